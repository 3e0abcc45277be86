#include "XTestSession.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>

#include <thread>

namespace KestovaTest {

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
  GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
  GdkWindow* surface = gtk_widget_get_window(toplevel);
  if (!surface) return false;
  int originX = 0;
  int originY = 0;
  gdk_window_get_origin(surface, &originX, &originY);
  GtkAllocation allocation;
  gtk_widget_get_allocation(widget, &allocation);
  int x = 0;
  int y = 0;
  if (!gtk_widget_translate_coordinates(widget, toplevel, allocation.width / 2,
                                        allocation.height / 2, &x, &y)) {
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

}  // namespace KestovaTest
