#include "XTestSession.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/gdkx.h>

#include <unistd.h>

#include <cstdlib>
#include <map>
#include <string_view>
#include <thread>

#include "text/Utf8.h"

namespace KestovaTest {

namespace {

GLogWriterOutput recordProblems(GLogLevelFlags level, const GLogField* fields, gsize count,
                                gpointer data) {
  if (level & (G_LOG_LEVEL_ERROR | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING)) {
    for (gsize i = 0; i < count; ++i) {
      if (std::string_view(fields[i].key) == "MESSAGE" && fields[i].length < 0) {
        loggedProblems().emplace_back(static_cast<const char*>(fields[i].value));
      }
    }
  }
  return g_log_writer_default(level, fields, count, data);
}

}  // namespace

std::vector<std::string>& loggedProblems() {
  static std::vector<std::string> problems;
  return problems;
}

void XEnvironment::SetUp() {
  // Keep GTK away from the session bus, the accessibility bus, dconf and
  // any input method server of the machine.
  setenv("NO_AT_BRIDGE", "1", 1);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  setenv("GDK_BACKEND", "x11", 1);
  setenv("GTK_IM_MODULE", "gtk-im-context-simple", 1);
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  g_log_set_writer_func(recordProblems, nullptr, nullptr);
  // Test cases may run in parallel, each with a server of its own.
  std::filesystem::create_directories(logFolder_);
  log_ = logFolder_ / ("xvfb-" + std::to_string(getpid()) + ".log");
  // The server exits with its last client, so a crashed test does not
  // leave it behind.
  server_ = std::make_unique<Kestova::PrivateXServer>(
      Kestova::PrivateXServerOptions{log_.string(), /*exitWithLastClient=*/true});
  if (!server_->running()) {
    FAIL() << server_->error();
  }
  ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "GTK cannot open " << server_->display();
}

void XEnvironment::TearDown() {
  server_.reset();
  // The server's log only matters when it failed to start.
  std::error_code ignored;
  std::filesystem::remove(log_, ignored);
}

bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void pumpFor(std::chrono::milliseconds duration) {
  pumpUntil([] { return false; }, duration);
}

bool xdotool(const std::vector<std::string>& arguments, std::string* output) {
  // Everything queued for the server so far must reach it before xdotool acts.
  gdk_display_flush(gdk_display_get_default());
  std::vector<char*> argv;
  std::string program = "xdotool";
  argv.push_back(program.data());
  std::vector<std::string> copies = arguments;
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  gchar* out = nullptr;
  gint status = 0;
  GError* error = nullptr;
  gboolean spawned = g_spawn_sync(nullptr, argv.data(), nullptr, G_SPAWN_SEARCH_PATH, nullptr,
                                  nullptr, output ? &out : nullptr, nullptr, &status, &error);
  if (error) g_error_free(error);
  if (output) *output = out ? out : "";
  g_free(out);
  return spawned && g_spawn_check_wait_status(status, nullptr);
}

bool clickWidget(GtkWidget* widget) {
  GtkAllocation allocation;
  gtk_widget_get_allocation(widget, &allocation);
  return clickWidgetAt(widget, allocation.width / 2, allocation.height / 2);
}

bool clickWidgetAt(GtkWidget* widget, int widgetX, int widgetY) {
  GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
  GdkWindow* surface = gtk_widget_get_window(toplevel);
  if (!surface) return false;
  int originX = 0;
  int originY = 0;
  gdk_window_get_origin(surface, &originX, &originY);
  int x = 0;
  int y = 0;
  if (!gtk_widget_translate_coordinates(widget, toplevel, widgetX, widgetY, &x, &y)) {
    return false;
  }
  return movePointer(originX + x, originY + y) && xdotool({"click", "1"});
}

bool movePointer(int x, int y) {
  // xdotool's own --sync waits for a motion event, which never comes when the
  // pointer already is there; ask the server where the pointer is instead.
  if (!xdotool({"mousemove", std::to_string(x), std::to_string(y)})) return false;
  GdkDevice* pointer =
      gdk_seat_get_pointer(gdk_display_get_default_seat(gdk_display_get_default()));
  return pumpUntil([&] {
    int pointerX = -1;
    int pointerY = -1;
    gdk_device_get_position(pointer, nullptr, &pointerX, &pointerY);
    return pointerX == x && pointerY == y;
  });
}

bool pressKey(const std::string& keyName) {
  return xdotool({"key", keyName});
}

bool typeText(const std::string& text) {
  // Every character gets a key of its own that nothing else uses, mapped to
  // it for the rest of the (private) server's life: a key event is read with
  // the mapping in force when GTK reads it, however long that takes.
  static std::map<gunichar, KeyCode> keys;
  GdkDisplay* gdkDisplay = gdk_display_get_default();
  Display* display = gdk_x11_display_get_xdisplay(gdkDisplay);
  GdkKeymap* keymap = gdk_keymap_get_for_display(gdkDisplay);
  for (std::string_view character : Kestova::Utf8::splitCharacters(text)) {
    const gunichar code =
        g_utf8_get_char_validated(character.data(), static_cast<gssize>(character.size()));
    if (code == static_cast<gunichar>(-1) || code == static_cast<gunichar>(-2)) return false;
    const guint keyval = gdk_unicode_to_keyval(code);
    auto found = keys.find(code);
    if (found == keys.end()) {
      int first = 0;
      int last = 0;
      XDisplayKeycodes(display, &first, &last);
      int perKey = 0;
      KeySym* map =
          XGetKeyboardMapping(display, static_cast<KeyCode>(first), last - first + 1, &perKey);
      int spare = 0;
      for (int key = last; key >= first && !spare; --key) {
        bool empty = true;
        for (int i = 0; i < perKey; ++i) empty = empty && map[(key - first) * perKey + i] == 0;
        if (empty) spare = key;
      }
      XFree(map);
      if (!spare) return false;
      KeySym symbols[2] = {keyval, keyval};
      XChangeKeyboardMapping(display, spare, 2, symbols, 1);
      XSync(display, False);
      found = keys.emplace(code, static_cast<KeyCode>(spare)).first;
      // GTK reads the new mapping from the server's notice of it.
      const bool seen = pumpUntil([&] {
        GdkKeymapKey* entries = nullptr;
        gint count = 0;
        bool mapped = false;
        if (gdk_keymap_get_entries_for_keyval(keymap, keyval, &entries, &count)) {
          for (gint i = 0; i < count; ++i) mapped = mapped || entries[i].keycode == guint(spare);
          g_free(entries);
        }
        return mapped;
      });
      if (!seen) return false;
    }
    XTestFakeKeyEvent(display, found->second, True, CurrentTime);
    XTestFakeKeyEvent(display, found->second, False, CurrentTime);
    XSync(display, False);
    pumpFor(std::chrono::milliseconds(20));
  }
  return true;
}

bool sendDeleteRequest(GtkWidget* window) {
  GdkWindow* surface = gtk_widget_get_window(window);
  if (!surface) return false;
  // A connection of its own, like a window manager's.
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = gdk_x11_window_get_xid(surface);
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  Status sent = XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return sent != 0;
}

bool captureScreen(const std::string& pngPath) {
  gdk_display_sync(gdk_display_get_default());
  gchar* argv[] = {const_cast<gchar*>("import"), const_cast<gchar*>("-window"),
                   const_cast<gchar*>("root"), const_cast<gchar*>(pngPath.c_str()), nullptr};
  gint status = 0;
  gboolean spawned = g_spawn_sync(nullptr, argv, nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                                  nullptr, nullptr, &status, nullptr);
  return spawned && g_spawn_check_wait_status(status, nullptr);
}

std::vector<GtkWidget*> childrenOf(GtkWidget* widget) {
  std::vector<GtkWidget*> result;
  if (!GTK_IS_CONTAINER(widget)) return result;
  GList* list = gtk_container_get_children(GTK_CONTAINER(widget));
  for (GList* item = list; item; item = item->next) {
    result.push_back(GTK_WIDGET(item->data));
  }
  g_list_free(list);
  return result;
}

std::vector<GtkWidget*> visibleWindowsTitled(const std::string& title) {
  std::vector<GtkWidget*> result;
  GList* list = gtk_window_list_toplevels();
  for (GList* item = list; item; item = item->next) {
    GtkWindow* window = GTK_WINDOW(item->data);
    const char* windowTitle = gtk_window_get_title(window);
    if (windowTitle && title == windowTitle && gtk_widget_get_visible(GTK_WIDGET(window))) {
      result.push_back(GTK_WIDGET(window));
    }
  }
  g_list_free(list);
  return result;
}

bool isOnScreen(GtkWidget* widget) {
  if (!gtk_widget_get_mapped(widget)) return false;
  GtkAllocation allocation;
  gtk_widget_get_allocation(widget, &allocation);
  return allocation.width > 1 && allocation.height > 1;
}

GtkWidget* findNamed(GtkWidget* widget, const std::string& name) {
  if (name == gtk_widget_get_name(widget)) return widget;
  for (GtkWidget* child : childrenOf(widget)) {
    if (GtkWidget* found = findNamed(child, name)) return found;
  }
  return nullptr;
}

}  // namespace KestovaTest
