// Driving GUI tests on a private X server (testhost/PrivateXServer.h): runs
// the GTK main context and moves the pointer and keyboard through xdotool so
// that the widgets under test receive real X input events.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "testhost/PrivateXServer.h"

namespace KestovaTest {

// One private X server and one GTK for a whole test program, with GTK kept
// away from the machine's buses, settings and input methods. Register it
// with ::testing::AddGlobalTestEnvironment.
class XEnvironment : public ::testing::Environment {
 public:
  // The server's log goes to `logFolder` (and is removed when all went well).
  explicit XEnvironment(std::filesystem::path logFolder) : logFolder_(std::move(logFolder)) {}
  void SetUp() override;
  void TearDown() override;

 private:
  std::filesystem::path logFolder_;
  std::filesystem::path log_;
  std::unique_ptr<Kestova::PrivateXServer> server_;
};

// Warnings and criticals that GLib, GTK or the window logged since the
// environment was set up: a misused GTK call shows up here rather than as
// a visible fault. Tests check and clear it.
std::vector<std::string>& loggedProblems();

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
// Clicks the left button at a point given in the widget's own coordinates.
bool clickWidgetAt(GtkWidget* widget, int x, int y);
// Types text into whatever has the keyboard focus with XTest, each character
// on a spare key mapped to it (xdotool maps such characters only for a
// moment, and a slow reader of the events then loses them).
bool typeText(const std::string& text);
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
// The first widget under `widget` (itself included) with this name
// (gtk_widget_set_name); null when there is none.
GtkWidget* findNamed(GtkWidget* widget, const std::string& name);

}  // namespace KestovaTest
