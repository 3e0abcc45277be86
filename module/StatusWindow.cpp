#include "module/StatusWindow.h"

#include <glib.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <optional>

#include "engine/StateReceiver.h"
#include "module/ModuleState.h"
#include "module/Presentation.h"
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
  std::optional<std::optional<std::size_t>> caret;
  std::optional<std::string> hint;
  std::optional<bool> textRowShown;
  // The window is to be shown at the next turn of the host's main loop.
  guint pendingShow = 0;
  // How wide a character is at the current font, and how high a line.
  int characterWidth = 16;
  int lineHeight = 20;
  // The caret as the host last told it (module_move_win), before any
  // clamping: where the application draws the text being typed.
  std::optional<Rectangle> caret_spot;
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

// The status line's text with the caret character (a space at the end) on
// the host's cursor colours, as attributes: setting them parses no markup.
void setStatusText(std::string_view text, std::size_t caret) {
  Widgets& w = widgets();
  std::string shown(text);
  std::size_t start = Utf8::offsetAfter(shown, caret);
  if (start == shown.size()) shown += ' ';
  const std::size_t end = start + Utf8::characterLength(shown, start);
  PangoAttrList* attributes = pango_attr_list_new();
  PangoColor colour;
  if (pango_color_parse(&colour, hostColour(host().cursor_background, "blue"))) {
    PangoAttribute* background = pango_attr_background_new(colour.red, colour.green, colour.blue);
    background->start_index = static_cast<guint>(start);
    background->end_index = static_cast<guint>(end);
    pango_attr_list_insert(attributes, background);
  }
  if (pango_color_parse(&colour, hostColour(host().cursor_foreground, "white"))) {
    PangoAttribute* foreground = pango_attr_foreground_new(colour.red, colour.green, colour.blue);
    foreground->start_index = static_cast<guint>(start);
    foreground->end_index = static_cast<guint>(end);
    pango_attr_list_insert(attributes, foreground);
  }
  gtk_label_set_text(GTK_LABEL(w.textLabel), shown.c_str());
  gtk_label_set_attributes(GTK_LABEL(w.textLabel), attributes);
  pango_attr_list_unref(attributes);
}

// Gives the labels what they should show (the text row without a caret
// when `caret` is empty); true when anything changed.
bool updateLabels(bool textRow, std::string_view text, std::optional<std::size_t> caret,
                  std::string_view hint) {
  Widgets& w = widgets();
  bool changed = false;
  if (textRow != w.textRowShown) {
    gtk_widget_set_visible(w.textLabel, textRow);
    w.textRowShown = textRow;
    changed = true;
  }
  if (textRow && (text != w.text || caret != w.caret)) {
    if (caret) {
      setStatusText(text, *caret);
    } else {
      gtk_label_set_text(GTK_LABEL(w.textLabel), std::string(text).c_str());
      gtk_label_set_attributes(GTK_LABEL(w.textLabel), nullptr);
    }
    w.text = std::string(text);
    w.caret = caret;
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

bool mayShow(const StateReceiver& receiver) {
  if (!widgets().window || suppressed()) return false;
  const int* showWhenEmpty = host().show_window_when_empty;
  return !receiver.isIdle() || (showWhenEmpty && *showWhenEmpty != 0);
}

int screenWidth() {
  return hostInt(host().screen_width, 1024);
}
int screenHeight() {
  return hostInt(host().screen_height, 768);
}

// The caret as a rectangle one line high that ends where the host says.
Rectangle caretRectangle() {
  const Widgets& w = widgets();
  if (w.caret_spot) return *w.caret_spot;
  // Before the host has said anything, the window position it keeps.
  return Rectangle{hostInt(host().window_x, 0), hostInt(host().window_y, 0), 0, 0};
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

// With the preedit in the application the window shows only a hint (a
// marking, a mistyped syllable), right at the caret.
void refreshHintAlone(std::string_view hint) {
  Widgets& w = widgets();
  if (hint.empty()) {
    if (windowShown()) hideWindow();
    return;
  }
  if (updateLabels(false, {}, std::nullopt, hint) || !windowShown()) {
    gtk_window_resize(GTK_WINDOW(w.window), 1, 1);
  }
  GtkRequisition natural;
  gtk_widget_get_preferred_size(w.window, nullptr, &natural);
  const Rectangle place = Presentation::placePopup(caretRectangle(), natural.width, natural.height,
                                                   screenWidth(), screenHeight());
  gtk_window_move(GTK_WINDOW(w.window), place.x, place.y);
  if (!windowShown()) {
    w.pendingShow = g_idle_add_full(G_PRIORITY_HIGH_IDLE, showLater, nullptr, nullptr);
  }
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
  w.caret.reset();
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
  if (mayShow(receiver)) showWindow(true);
}

bool visible() {
  return windowShown();
}

void refresh(const StateReceiver& receiver) {
  Widgets& w = widgets();
  if (receiver.isIdle()) {
    if (w.window) {
      // A window shown while nothing is composed (the host may ask for
      // that) shows the mode, never the composition committed before.
      updateLabels(true, moduleState().englishMode ? kEnglishModeText : "", std::nullopt, "");
      hide();
    }
    return;
  }
  if (w.window) {
    const std::string hint = Utf8::sanitized(receiver.hintText());
    if (suppressed()) {
      refreshHintAlone(hint);
    } else {
      std::size_t caret = 0;
      const std::string composition = Utf8::sanitized(receiver.preeditText(&caret));
      // One line that stays on the screen, the caret in view.
      const int room = std::max(screenWidth() - 2 * w.characterWidth, 3 * w.characterWidth);
      const auto line = Presentation::statusLineWindow(
          composition, caret, static_cast<std::size_t>(room / std::max(w.characterWidth, 1)));
      const bool changed = updateLabels(true, line.text, std::optional(line.caret), hint);
      if (mayShow(receiver)) showWindow(changed);
    }
  }
  refreshCandidates(receiver);
}

void move(int x, int y) {
  Widgets& w = widgets();
  if (!w.window) return;
  const int screenW = hostInt(host().screen_width, 0);
  const int screenH = hostInt(host().screen_height, 0);
  // The caret's line, ending at the spot, as far as it is on the screen.
  const int spotY = std::clamp(y, 0, std::max(0, screenH));
  const int lineTop = std::max(0, spotY - w.lineHeight);
  w.caret_spot = Rectangle{std::clamp(x, 0, std::max(0, screenW)), lineTop, 0, spotY - lineTop};
  int width = 0;
  int height = 0;
  gtk_window_get_size(GTK_WINDOW(w.window), &width, &height);
  if (host().window_width) *host().window_width = width;
  if (host().window_height) *host().window_height = height;
  if (x > screenW - width) x = screenW - width;
  if (x <= 0) x = 0;
  if (y > screenH - height) y = screenH - height;
  if (y <= 0) y = 0;
  gtk_window_move(GTK_WINDOW(w.window), x, y);
  if (host().window_x) *host().window_x = x;
  if (host().window_y) *host().window_y = y;
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

  std::size_t markStart = 0;
  std::size_t markEnd = 0;
  if (const auto* marking = receiver->stateAs<InputStates::Marking>()) {
    const std::size_t before = Utf8::characterCount(marking->before);
    const std::size_t selected = Utf8::characterCount(marking->selection);
    markStart = before > view.skipped ? before - view.skipped : 0;
    markEnd = before + selected > view.skipped ? before + selected - view.skipped : 0;
  }
  const auto spans = Presentation::preeditSpans(characters, view.caret, markStart, markEnd);
  if (!attributes) return 0;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    attributes[i].kind = spans[i].kind;
    attributes[i].start = static_cast<int16_t>(spans[i].start);
    attributes[i].end = static_cast<int16_t>(spans[i].end);
  }
  return static_cast<int>(spans.size());
}

}  // namespace Kestova::StatusWindow
