#include "module/StatusWindow.h"

#include <glib.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "core/Presentation.h"
#include "engine/KeyHandler.h"
#include "engine/StateReceiver.h"
#include "module/ModuleState.h"
#include "text/Utf8.h"

namespace Kestova::StatusWindow {
namespace {

using Presentation::Rectangle;

struct Widgets {
  GtkWidget* window = nullptr;
  GtkWidget* textLabel = nullptr;
  GtkWidget* hintLabel = nullptr;
  // What the labels were last given. A redraw that would give them the same
  // again leaves them alone: a new text makes Pango lay it out and the
  // window measure itself anew. Empty until the first redraw (and again
  // after a font change), so that one always sets both labels.
  std::optional<std::string> text;
  std::optional<std::pair<std::size_t, std::size_t>> lit;
  std::optional<std::string> hint;
  std::optional<bool> textRowShown;
  // The window is to be shown at the next turn of the host's main loop.
  guint pendingShow = 0;
  // How wide a character is at the current font, and how high a line.
  int characterWidth = 16;
  int lineHeight = 20;
  // The caret's line as the host last told it (module_move_win): where
  // the application draws the text being typed.
  std::optional<Rectangle> caretLine;
  // The host's candidate window, found among the process's windows.
  GtkWidget* hostCandidates = nullptr;
  // Our wheel handler on it, connected while it shows our candidates.
  gulong wheelHandler = 0;
};

Widgets& widgets() {
  static Widgets w;
  return w;
}

HostFunctions& host() {
  return moduleState().host;
}

bool suppressed() {
  return host().window_suppressed && host().window_suppressed() != 0;
}

int hostInt(int* slot, int fallback) {
  return slot ? *slot : fallback;
}

const char* hostColour(char** slot, const char* fallback) {
  return slot && *slot ? *slot : fallback;
}

// The status line with its lit bytes on the host's cursor colours, as
// attributes: setting them parses no markup.
void setStatusText(const std::string& text, std::size_t litStart, std::size_t litEnd) {
  Widgets& w = widgets();
  PangoAttrList* attributes = pango_attr_list_new();
  if (litStart < litEnd) {
    PangoColor colour;
    if (pango_color_parse(&colour, hostColour(host().cursor_background, "blue"))) {
      PangoAttribute* background = pango_attr_background_new(colour.red, colour.green, colour.blue);
      background->start_index = static_cast<guint>(litStart);
      background->end_index = static_cast<guint>(litEnd);
      pango_attr_list_insert(attributes, background);
    }
    if (pango_color_parse(&colour, hostColour(host().cursor_foreground, "white"))) {
      PangoAttribute* foreground = pango_attr_foreground_new(colour.red, colour.green, colour.blue);
      foreground->start_index = static_cast<guint>(litStart);
      foreground->end_index = static_cast<guint>(litEnd);
      pango_attr_list_insert(attributes, foreground);
    }
  }
  gtk_label_set_text(GTK_LABEL(w.textLabel), text.c_str());
  gtk_label_set_attributes(GTK_LABEL(w.textLabel), attributes);
  pango_attr_list_unref(attributes);
}

// Gives the labels what they should show: the text row (when `textRow`)
// with the bytes [litStart, litEnd) of its text lit, and the hint row
// (when the hint is not empty); true when anything changed.
bool updateLabels(bool textRow, std::string_view text, std::size_t litStart, std::size_t litEnd,
                  std::string_view hint) {
  Widgets& w = widgets();
  bool changed = false;
  if (textRow != w.textRowShown) {
    gtk_widget_set_visible(w.textLabel, textRow);
    w.textRowShown = textRow;
    changed = true;
  }
  const auto lit = std::make_pair(litStart, litEnd);
  if (textRow && (text != w.text || lit != w.lit)) {
    w.text = std::string(text);
    w.lit = lit;
    setStatusText(*w.text, litStart, litEnd);
    changed = true;
  }
  if (hint != w.hint) {
    w.hint = std::string(hint);
    gtk_label_set_text(GTK_LABEL(w.hintLabel), w.hint->c_str());
    gtk_widget_set_visible(w.hintLabel, !hint.empty());
    changed = true;
  }
  return changed;
}

gboolean showLater(gpointer) {
  Widgets& w = widgets();
  w.pendingShow = 0;
  if (w.window && !gtk_widget_get_visible(w.window)) gtk_widget_show(w.window);
  return G_SOURCE_REMOVE;
}

// Shrinks the window to its content and shows it. Mapping a window costs
// the X server a round trip, so a hidden window is mapped at the next turn
// of the host's main loop, after the host has answered the application; the
// host hears of every showing at once.
void showWindow(bool contentChanged) {
  Widgets& w = widgets();
  if (contentChanged) gtk_window_resize(GTK_WINDOW(w.window), 1, 1);
  if (!gtk_widget_get_visible(w.window) && w.pendingShow == 0) {
    w.pendingShow = g_idle_add_full(G_PRIORITY_HIGH_IDLE, showLater, nullptr, nullptr);
  }
  if (host().on_window_shown) host().on_window_shown();
}

void hideWindow() {
  Widgets& w = widgets();
  if (w.pendingShow != 0) {
    g_source_remove(w.pendingShow);
    w.pendingShow = 0;
  }
  if (w.window && gtk_widget_get_visible(w.window)) gtk_widget_hide(w.window);
}

bool windowShown() {
  const Widgets& w = widgets();
  return w.window && (gtk_widget_get_visible(w.window) || w.pendingShow != 0);
}

bool showWhenEmpty() {
  const int* slot = host().show_window_when_empty;
  return slot && *slot != 0;
}

int screenWidth() {
  return hostInt(host().screen_width, 1024);
}
int screenHeight() {
  return hostInt(host().screen_height, 768);
}

// The caret's line: what a window must not cover.
Rectangle caretRectangle() {
  const Widgets& w = widgets();
  if (w.caretLine) return *w.caretLine;
  // Before the host has said anything, the window position it keeps.
  return Rectangle{hostInt(host().window_x, 0), hostInt(host().window_y, 0), 0, 0};
}

// Places the window for what it now holds: at the caret, on the screen,
// off the caret's line; the host's window variables follow.
void placeWindow() {
  Widgets& w = widgets();
  GtkRequisition natural;
  gtk_widget_get_preferred_size(w.window, nullptr, &natural);
  const Rectangle place = Presentation::placePopup(caretRectangle(), natural.width, natural.height,
                                                   screenWidth(), screenHeight());
  gtk_window_move(GTK_WINDOW(w.window), place.x, place.y);
  if (host().window_x) *host().window_x = place.x;
  if (host().window_y) *host().window_y = place.y;
  if (host().window_width) *host().window_width = place.width;
  if (host().window_height) *host().window_height = place.height;
}

// Shows the window with only a line of text under the caret (a hint, the
// mode), or hides it when there is none.
void showAlone(std::string_view text) {
  if (text.empty()) {
    hideWindow();
    return;
  }
  const bool changed = updateLabels(false, {}, 0, 0, text);
  placeWindow();
  showWindow(changed);
}

// gcin builds its candidate window in the module's process: a top-level
// window whose child is a frame. Its size tells where it fits.
GtkWidget* hostCandidateWindow() {
  Widgets& w = widgets();
  if (w.hostCandidates) return w.hostCandidates;
  GList* windows = gtk_window_list_toplevels();
  for (GList* item = windows; item; item = item->next) {
    GtkWidget* window = GTK_WIDGET(item->data);
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(window));
    if (window != w.window && child && GTK_IS_FRAME(child)) {
      w.hostCandidates = window;
      g_signal_connect(window, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer) {
                         widgets().hostCandidates = nullptr;
                         widgets().wheelHandler = 0;
                       }),
                       nullptr);
      break;
    }
  }
  g_list_free(windows);
  return w.hostCandidates;
}

// Where the candidate window goes: under the status window when it is on
// the screen, else under the caret, above either near the bottom of the
// screen, and always on the screen.
void showCandidates() {
  int width = 0;
  int height = 0;
  if (GtkWidget* candidates = hostCandidateWindow()) {
    GtkRequisition natural;
    gtk_widget_get_preferred_size(candidates, nullptr, &natural);
    width = natural.width;
    height = natural.height;
  }
  Rectangle anchor;
  if (!suppressed() && windowShown()) {
    anchor = Rectangle{hostInt(host().window_x, 0), hostInt(host().window_y, 0),
                       hostInt(host().window_width, 0), hostInt(host().window_height, 0)};
  } else {
    anchor = caretRectangle();
  }
  const Rectangle place =
      Presentation::placePopup(anchor, width, height, screenWidth(), screenHeight());
  if (!host().show_candidates_at) return;
  // gcin maps a hidden candidate window where it last was (the top left
  // corner the first time) before it moves it: placing it again once it is
  // on the screen puts it where it belongs.
  GtkWidget* candidates = hostCandidateWindow();
  const bool wasShown = candidates && gtk_widget_get_visible(candidates);
  host().show_candidates_at(place.x, place.y);
  if (candidates && !wasShown) host().show_candidates_at(place.x, place.y);
}

gboolean onWheel(GtkWidget*, GdkEventScroll* event, gpointer) {
  double dx = 0;
  double dy = 0;
  if (event->direction == GDK_SCROLL_UP ||
      (event->direction == GDK_SCROLL_SMOOTH &&
       gdk_event_get_scroll_deltas(reinterpret_cast<GdkEvent*>(event), &dx, &dy) && dy < 0)) {
    turnCandidatePage(false);
  } else if (event->direction == GDK_SCROLL_DOWN ||
             (event->direction == GDK_SCROLL_SMOOTH && dy > 0)) {
    turnCandidatePage(true);
  }
  return TRUE;
}

// gcin's candidate window does nothing with the wheel: while it shows our
// candidates, the wheel turns their pages.
void listenToTheWheel() {
  Widgets& w = widgets();
  GtkWidget* candidates = hostCandidateWindow();
  if (!candidates || w.wheelHandler) return;
  gtk_widget_add_events(candidates, GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK);
  w.wheelHandler = g_signal_connect(candidates, "scroll-event", G_CALLBACK(onWheel), nullptr);
}

void stopListeningToTheWheel() {
  Widgets& w = widgets();
  if (w.hostCandidates && w.wheelHandler)
    g_signal_handler_disconnect(w.hostCandidates, w.wheelHandler);
  w.wheelHandler = 0;
}

void hideCandidates() {
  stopListeningToTheWheel();
  if (host().hide_candidates) host().hide_candidates();
}

void refreshCandidates(const StateReceiver& receiver) {
  const std::size_t rows = receiver.rowsOnPage();
  if (host().clear_candidates) host().clear_candidates();
  if (rows == 0) {
    hideCandidates();
    return;
  }
  // gcin sets its own callbacks whenever it switches methods or focus:
  // ours go in again before every showing.
  registerCandidateCallbacks();
  listenToTheWheel();
  const std::size_t highlighted = receiver.highlight() - receiver.pageSize() * receiver.page();
  if (host().set_candidate) {
    for (std::size_t row = 0; row < rows; ++row) {
      const std::string text =
          Presentation::candidateRow(receiver.rowText(row), row == highlighted, kHostRowBytes);
      host().set_candidate(static_cast<int>(row), text.c_str(), -1);
    }
  }
  if (receiver.hasPreviousPage() && host().mark_previous_page) host().mark_previous_page();
  if (receiver.hasNextPage() && host().mark_next_page) host().mark_next_page();
  showCandidates();
}

// What the composition lights, in its characters: the marked range while
// marking, the syllable being typed, or else the phrase the candidate list
// acts on.
Presentation::Range litRange(const StateReceiver& receiver, std::string_view composition,
                             std::size_t caret) {
  if (const auto* marking = receiver.stateAs<InputStates::Marking>()) {
    const std::size_t before = Utf8::characterCount(marking->before);
    return {before, before + Utf8::characterCount(marking->selection)};
  }
  const KeyHandler& handler = receiver.keyHandler();
  if (!handler.readingBuffer().isEmpty()) {
    const std::size_t typed = Utf8::characterCount(handler.readingBuffer().displayText());
    return {caret > typed ? caret - typed : 0, caret};
  }
  const auto [start, end] = handler.candidatePhraseBytes();
  if (end > composition.size()) return {};
  return {Utf8::characterCount(composition.substr(0, start)),
          Utf8::characterCount(composition.substr(0, end))};
}

// The composition on one line, the caret in view, lit as the preedit is.
// The line is as long as there is room for right of the caret, or on half
// the screen, whichever is more: the window moves left to stay on it.
void showComposition(const StateReceiver& receiver, std::string_view hint) {
  const Widgets& w = widgets();
  std::size_t caret = 0;
  const std::string composition = Utf8::sanitized(receiver.preeditText(&caret));
  const int spotX = std::clamp(caretRectangle().x, 0, screenWidth());
  const int room = std::max(screenWidth() - spotX, screenWidth() / 2) - 2 * w.characterWidth;
  // The caret mark takes a place too.
  const auto characters =
      static_cast<std::size_t>(std::max(room / std::max(w.characterWidth, 1), 4));
  const Presentation::View view =
      Presentation::statusLineWindow(composition, caret, characters - 1);
  const Presentation::StatusLine line = Presentation::statusLine(
      view, Presentation::rangeInView(view, litRange(receiver, composition, caret)));
  const bool changed = updateLabels(true, line.text, line.litStart, line.litEnd, hint);
  placeWindow();
  showWindow(changed);
}

}  // namespace

void create() {
  Widgets& w = widgets();
  if (w.window) return;
  w.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_resizable(GTK_WINDOW(w.window), FALSE);
  gtk_widget_realize(w.window);
  if (host().adopt_window) host().adopt_window(w.window);

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(w.window), box);
  w.textLabel = gtk_label_new(nullptr);
  w.hintLabel = gtk_label_new(nullptr);
  // Both rows start at the left edge, where the text being typed starts.
  gtk_label_set_xalign(GTK_LABEL(w.textLabel), 0);
  gtk_label_set_xalign(GTK_LABEL(w.hintLabel), 0);
  gtk_box_pack_start(GTK_BOX(box), w.textLabel, FALSE, FALSE, 0);
  gtk_box_pack_start(GTK_BOX(box), w.hintLabel, FALSE, FALSE, 0);
  gtk_widget_show_all(box);

  if (host().on_window_built) host().on_window_built();
  applyFontSize();
  hide();
}

bool exists() {
  return widgets().window != nullptr;
}

void applyFontSize() {
  Widgets& w = widgets();
  if (!w.window) return;
  if (host().style_window) host().style_window(w.window);
  // The labels change size with the font: the next redraw refits the window.
  w.text.reset();
  w.lit.reset();
  w.hint.reset();
  int size = hostInt(host().font_size, 16);
  if (host().set_label_font_size) {
    host().set_label_font_size(w.textLabel, size);
    host().set_label_font_size(w.hintLabel, 2 * size / 3);
  }
  // A wide character at the new font sizes the status line.
  PangoLayout* layout = gtk_widget_create_pango_layout(w.textLabel, "國");
  int width = 0;
  int height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  g_object_unref(layout);
  if (width > 0) w.characterWidth = width;
  if (height > 0) w.lineHeight = height;
}

void hide() {
  hideWindow();
  hideCandidates();
  if (host().on_window_hidden) host().on_window_hidden();
}

void show(const StateReceiver& receiver) {
  Widgets& w = widgets();
  if (!w.window) return;
  if (!receiver.isIdle() || englishMode() || !receiver.hintText().empty()) {
    // What the state shows now, never what an earlier showing left.
    refresh(receiver);
  } else if (showWhenEmpty() && !suppressed()) {
    updateLabels(true, "", 0, 0, "");
    placeWindow();
    showWindow(true);
  }
}

bool visible() {
  return windowShown();
}

void refresh(const StateReceiver& receiver) {
  Widgets& w = widgets();
  if (receiver.isIdle()) {
    if (!w.window) return;
    // Nothing is composed: the window shows alone at the caret the mode
    // while keys go to the application, or else the notice of the last key
    // (a mistyped syllable) until the next one; or it hides.
    const std::string alone =
        englishMode() ? std::string(kEnglishModeText) : Utf8::sanitized(receiver.hintText());
    if (alone.empty()) {
      hide();
    } else {
      hideCandidates();
      showAlone(alone);
    }
    return;
  }
  if (w.window) {
    const std::string hint = Utf8::sanitized(receiver.hintText());
    if (suppressed()) {
      // The application draws the composition: only a hint shows here.
      showAlone(hint);
    } else {
      showComposition(receiver, hint);
    }
  }
  refreshCandidates(receiver);
}

void move(int x, int y) {
  Widgets& w = widgets();
  if (!w.window) return;
  // gcin's spot is under the application's text line, a line's room below
  // it: the line is taken to be two of ours high above the spot.
  const int lineArea = 2 * w.lineHeight;
  const int spotX = std::clamp(x, 0, std::max(0, screenWidth()));
  const int spotY = std::clamp(y, 0, std::max(0, screenHeight()) + lineArea);
  w.caretLine = Rectangle{spotX, spotY - lineArea, 0, lineArea};
  placeWindow();
  if (host().on_window_moved) host().on_window_moved();
}

void readGeometry() {
  Widgets& w = widgets();
  if (!w.window) return;
  int x = 0;
  int y = 0;
  gtk_window_get_position(GTK_WINDOW(w.window), &x, &y);
  if (host().window_x) *host().window_x = x;
  if (host().window_y) *host().window_y = y;
  if (host().get_window_size && host().window_width && host().window_height) {
    host().get_window_size(w.window, host().window_width, host().window_height);
  }
}

int fillPreedit(const StateReceiver* receiver, char* text, PreeditAttribute* attributes,
                int* cursor, int* fourth) {
  if (text) text[0] = '\0';
  if (cursor) *cursor = 0;
  if (fourth) *fourth = 0;
  if (!receiver || !text) return 0;
  std::size_t caret = 0;
  const std::string composition = Utf8::sanitized(receiver->preeditText(&caret));
  // A long composition is cut around the caret, so what is typed stays in view.
  const auto view = Presentation::preeditWindow(composition, caret, kPreeditBytes - 1);
  std::copy(view.text.begin(), view.text.end(), text);
  text[view.text.size()] = '\0';
  const std::size_t characters = Utf8::characterCount(view.text);
  if (characters == 0) return 0;
  if (cursor) *cursor = static_cast<int>(view.caret);

  const auto spans = Presentation::preeditSpans(
      characters, Presentation::rangeInView(view, litRange(*receiver, composition, caret)));
  if (!attributes) return 0;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    attributes[i].kind = spans[i].kind;
    attributes[i].start = static_cast<int16_t>(spans[i].start);
    attributes[i].end = static_cast<int16_t>(spans[i].end);
  }
  return static_cast<int>(spans.size());
}

}  // namespace Kestova::StatusWindow
