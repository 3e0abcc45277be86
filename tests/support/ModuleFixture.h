// Loads the built module into a TestHost over a private HOME and data root.
// The module keeps its core for the life of the process, as inside gcin, so
// each test runs in a process of its own (CTest runs every case separately).
#pragma once

#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "core/KeyTranslation.h"
#include "testhost/TestEnvironment.h"
#include "testhost/TestHost.h"

namespace Kestova {

// The mark the module puts before the highlighted candidate row.
inline const std::string kHighlightMark = "\u25B8";

class ModuleFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    environment_.activate();
    environment_.writePhraseFile(TestEnvironment::samplePhrases());
    std::string error;
    host_ = TestHost::load(KESTOVA_MODULE_PATH, &error);
    ASSERT_TRUE(host_) << error;
  }

  // Types plain characters (their keysyms are their ASCII codes).
  void type(std::string_view keys) {
    for (char c : keys) host_->feedKey(c == ' ' ? XK_space : static_cast<unsigned char>(c));
  }

  // The hint row of the module's status window (which lives in the test
  // process): its text while it is shown, else "".
  static std::string hintText() {
    std::string hint;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* w = toplevels; w; w = w->next) {
      GtkWidget* child = gtk_bin_get_child(GTK_BIN(w->data));
      if (!child || !GTK_IS_BOX(child)) continue;
      GList* rows = gtk_container_get_children(GTK_CONTAINER(child));
      if (g_list_length(rows) == 2) {
        GtkWidget* row = GTK_WIDGET(g_list_nth_data(rows, 1));
        if (GTK_IS_LABEL(row) && gtk_widget_get_visible(row)) {
          hint = gtk_label_get_text(GTK_LABEL(row));
        }
      }
      g_list_free(rows);
    }
    g_list_free(toplevels);
    return hint;
  }

  TestHost& host() const { return *host_; }
  TestEnvironment& environment() { return environment_; }
  const TestEnvironment& environment() const { return environment_; }
  const std::filesystem::path& home() const { return environment_.home(); }

 private:
  TestEnvironment environment_;
  std::unique_ptr<TestHost> host_;
};

}  // namespace Kestova
