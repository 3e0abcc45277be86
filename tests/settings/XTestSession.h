// Driving GUI tests on a private X server (testhost/PrivateXServer.h): runs
// the GTK main context and moves the pointer and keyboard through xdotool so
// that the widgets under test receive real X input events.
#pragma once

#include <gtk/gtk.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace KestovaTest {

// Runs the GTK main context until the condition holds or the time is up.
bool pumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));
// Runs the GTK main context for a while, handling whatever arrives.
void pumpFor(std::chrono::milliseconds duration);

// Runs xdotool with the arguments and waits for it; true when it exited with 0.
bool xdotool(const std::vector<std::string>& arguments, std::string* output = nullptr);
// Moves the pointer to a screen position and waits until it is there.
bool movePointer(int x, int y);
// Moves the pointer to the middle of the widget and clicks the left button.
bool clickWidget(GtkWidget* widget);
// Sends one key name (X keysym name, as xdotool spells it) to whatever has the
// keyboard focus or grab.
bool pressKey(const std::string& keyName);
// Asks a top-level window to close the way a window manager's close button
// does: a WM_DELETE_WINDOW client message through the X server.
bool sendDeleteRequest(GtkWidget* window);
// Saves a picture of the whole screen.
bool captureScreen(const std::string& pngPath);

// The widget's children in packing order (empty for a non-container).
std::vector<GtkWidget*> childrenOf(GtkWidget* widget);
// Every top-level GTK window of the process that is visible and has the title.
std::vector<GtkWidget*> visibleWindowsTitled(const std::string& title);
// True once the widget is mapped and laid out, so it can be clicked.
bool isOnScreen(GtkWidget* widget);

}  // namespace KestovaTest
