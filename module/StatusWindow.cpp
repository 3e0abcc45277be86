#include "module/StatusWindow.h"

#include <glib.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "engine/StateReceiver.h"
#include "module/ModuleState.h"
#include "text/Utf8.h"

namespace Kestova::StatusWindow {
namespace {

struct Widgets {
  GtkWidget* window = nullptr;
  GtkWidget* textLabel = nullptr;
  GtkWidget* hintLabel = nullptr;
  // What the labels were last given. A redraw that would give them the same
  // again leaves them alone: setting markup makes Pango parse it and the
  // window measure itself anew. Empty until the first redraw (and again
  // after a font change), so that one always sets both labels.
  std::optional<std::string> markup;
  std::optional<std::string> hint;
};

Widgets& widgets() {
  static Widgets w;
  return w;
}

HostFunctions& host() {
  return moduleState().host;
}

struct GFree {
  void operator()(char* p) const { g_free(p); }
};
std::string escaped(std::string_view text) {
  std::unique_ptr<char, GFree> markup(
      g_markup_escape_text(text.data(), static_cast<gssize>(text.size())));
  return markup.get();
}

bool suppressed() {
  return host().window_suppressed && host().window_suppressed() != 0;
}

bool mayShow(const StateReceiver& receiver) {
  if (!widgets().window || suppressed()) return false;
  const int* showWhenEmpty = host().show_window_when_empty;
  return !receiver.isIdle() || (showWhenEmpty && *showWhenEmpty != 0);
}

// Shrinks the window to its content and shows it. A window already on the
// screen whose labels did not change keeps its size and is not shown again;
// the host hears of every showing all the same.
void showWindow(bool contentChanged) {
  Widgets& w = widgets();
  bool wasVisible = gtk_widget_get_visible(w.window);
  if (contentChanged || !wasVisible) gtk_window_resize(GTK_WINDOW(w.window), 1, 1);
  if (!wasVisible) gtk_widget_show(w.window);
  if (host().on_window_shown) host().on_window_shown();
}

const char* hostColour(char** slot, const char* fallback) {
  return slot && *slot ? *slot : fallback;
}

}  // namespace

std::string candidateRowText(std::string_view raw) {
  const std::string value = Utf8::sanitized(raw);
  if (value.size() < kHostRowBytes) return value;
  static constexpr std::string_view kEllipsis = "\u2026";
  std::string text(Utf8::prefixFitting(value, kHostRowBytes - 1 - kEllipsis.size()));
  return text + std::string(kEllipsis);
}

std::string statusMarkup(std::string_view text, std::size_t caretCharacters, const char* background,
                         const char* foreground) {
  const std::size_t before = Utf8::offsetAfter(text, caretCharacters);
  const std::size_t after = before + Utf8::characterLength(text, before);
  const std::string_view at = after > before ? text.substr(before, after - before) : " ";
  std::string markup = escaped(text.substr(0, before));
  markup += "<span background=\"";
  markup += escaped(background);
  markup += "\" foreground=\"";
  markup += escaped(foreground);
  markup += "\">";
  markup += escaped(at);
  markup += "</span>";
  markup += escaped(text.substr(after));
  return markup;
}

int fillPreedit(const StateReceiver* receiver, char* text, PreeditAttribute* attributes,
                int* cursor, int* fourth) {
  if (text) text[0] = '\0';
  if (cursor) *cursor = 0;
  if (fourth) *fourth = 0;
  if (!receiver || !text) return 0;
  std::size_t caret = 0;
  const std::string preedit = Utf8::sanitized(receiver->preeditText(&caret));
  const std::string_view shown = Utf8::prefixFitting(preedit, kPreeditBytes - 1);
  const std::size_t characters = Utf8::characterCount(shown);
  std::copy_n(shown.data(), shown.size(), text);
  text[shown.size()] = '\0';
  if (characters == 0) return 0;
  if (cursor) *cursor = static_cast<int>(std::min(caret, characters));
  if (attributes) {
    attributes[0].kind = 1;
    attributes[0].start = 0;
    attributes[0].end = static_cast<int16_t>(characters);
  }
  return 1;
}

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
  w.markup.reset();
  w.hint.reset();
  int size = host().font_size ? *host().font_size : 16;
  if (host().set_label_font_size) {
    host().set_label_font_size(w.textLabel, size);
    host().set_label_font_size(w.hintLabel, 2 * size / 3);
  }
}

void hide() {
  Widgets& w = widgets();
  if (w.window) gtk_widget_hide(w.window);
  if (host().hide_candidates) host().hide_candidates();
  if (host().on_window_hidden) host().on_window_hidden();
}

void show(const StateReceiver& receiver) {
  if (mayShow(receiver)) showWindow(true);
}

bool visible() {
  return widgets().window && gtk_widget_get_visible(widgets().window);
}

void refresh(const StateReceiver& receiver) {
  Widgets& w = widgets();
  if (receiver.isIdle()) {
    if (w.window) {
      // A window shown while nothing is composed (the host may ask for
      // that) must not show the composition committed before.
      if (w.markup != "") {
        gtk_label_set_markup(GTK_LABEL(w.textLabel), "");
        w.markup = "";
      }
      if (w.hint != "") {
        gtk_label_set_text(GTK_LABEL(w.hintLabel), "");
        gtk_widget_set_visible(w.hintLabel, FALSE);
        w.hint = "";
      }
      hide();
    }
    return;
  }
  if (w.window) {
    std::size_t caret = 0;
    const std::string text = Utf8::sanitized(receiver.preeditText(&caret));
    std::string markup = statusMarkup(text, caret, hostColour(host().cursor_background, "blue"),
                                      hostColour(host().cursor_foreground, "white"));
    bool changed = false;
    if (markup != w.markup) {
      gtk_label_set_markup(GTK_LABEL(w.textLabel), markup.c_str());
      w.markup = std::move(markup);
      changed = true;
    }
    const std::string hint = Utf8::sanitized(receiver.hintText());
    if (hint != w.hint) {
      w.hint = std::string(hint);
      gtk_label_set_text(GTK_LABEL(w.hintLabel), w.hint->c_str());
      gtk_widget_set_visible(w.hintLabel, !hint.empty());
      changed = true;
    }
    if (mayShow(receiver)) showWindow(changed);
  }

  std::size_t rows = receiver.rowsOnPage();
  if (host().clear_candidates) host().clear_candidates();
  if (rows == 0) {
    if (host().hide_candidates) host().hide_candidates();
    return;
  }
  if (host().set_candidate) {
    for (std::size_t row = 0; row < rows; ++row) {
      std::string text = candidateRowText(receiver.rowText(row));
      host().set_candidate(static_cast<int>(row), text.c_str(), -1);
    }
  }
  if (receiver.hasPreviousPage() && host().mark_previous_page) host().mark_previous_page();
  if (receiver.hasNextPage() && host().mark_next_page) host().mark_next_page();
  int x = host().window_x ? *host().window_x : 0;
  int y = host().window_y ? *host().window_y : 0;
  if (!suppressed() && host().window_height) y += *host().window_height;
  if (host().show_candidates_at) host().show_candidates_at(x, y);
}

void move(int x, int y) {
  Widgets& w = widgets();
  if (!w.window) return;
  int width = 0;
  int height = 0;
  gtk_window_get_size(GTK_WINDOW(w.window), &width, &height);
  if (host().window_width) *host().window_width = width;
  if (host().window_height) *host().window_height = height;
  int screenWidth = host().screen_width ? *host().screen_width : 0;
  int screenHeight = host().screen_height ? *host().screen_height : 0;
  if (x > screenWidth - width) x = screenWidth - width;
  if (x <= 0) x = 0;
  if (y > screenHeight - height) y = screenHeight - height;
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

}  // namespace Kestova::StatusWindow
