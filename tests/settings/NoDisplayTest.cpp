// The settings window's entry point in a process where GTK has no display:
// it must refuse quietly (one log line) instead of crashing the caller.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <string>

#include "module/SettingsWindow.h"

namespace {

TEST(SettingsWindowWithoutDisplay, OpensNothingAndLogs) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  ::testing::internal::CaptureStderr();
  module_setup_window_create();
  module_setup_window_create();
  const std::string log = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(log,
            "gcin kestova Warn: no display for the settings window\n"
            "gcin kestova Warn: no display for the settings window\n");
  GList* windows = gtk_window_list_toplevels();
  EXPECT_EQ(windows, nullptr);
  g_list_free(windows);
}

}  // namespace
