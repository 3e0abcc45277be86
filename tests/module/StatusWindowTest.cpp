// The status window and the host's candidate window as the module presents
// them. The module's GTK window lives in the test process, so its labels can
// be read back.
#include <X11/keysym.h>
#include <gtk/gtk.h>

#include <limits>
#include <string>
#include <vector>

#include "tests/support/ModuleFixture.h"

namespace Kestova {
namespace {

class StatusWindowTest : public ModuleFixture {
 protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    ASSERT_EQ(host().initWin(), 1);
  }
  // The labels of the module's window: the text row and the hint row.
  static std::vector<GtkWidget*> labels() {
    std::vector<GtkWidget*> found;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* w = toplevels; w; w = w->next) {
      GtkWidget* child = gtk_bin_get_child(GTK_BIN(w->data));
      if (!child || !GTK_IS_BOX(child)) continue;
      GList* children = gtk_container_get_children(GTK_CONTAINER(child));
      for (GList* c = children; c; c = c->next) found.push_back(GTK_WIDGET(c->data));
      g_list_free(children);
    }
    g_list_free(toplevels);
    return found;
  }
  static std::string textMarkup() {
    auto found = labels();
    return found.empty() ? std::string() : gtk_label_get_label(GTK_LABEL(found[0]));
  }
  // The status line as its text with the caret's character in brackets,
  // the brackets standing for the colours it is drawn in ("[bg/fg]").
  static std::string textWithCaret() {
    auto found = labels();
    if (found.empty()) return "(no window)";
    std::string text = gtk_label_get_text(GTK_LABEL(found[0]));
    PangoAttrList* list = gtk_label_get_attributes(GTK_LABEL(found[0]));
    if (!list) return text;
    std::string background;
    std::string foreground;
    guint start = 0;
    guint end = 0;
    for (GSList* each = pango_attr_list_get_attributes(list); each; each = each->next) {
      auto* attribute = static_cast<PangoAttribute*>(each->data);
      auto* colour = reinterpret_cast<PangoAttrColor*>(attribute);
      gchar* name = pango_color_to_string(&colour->color);
      (attribute->klass->type == PANGO_ATTR_BACKGROUND ? background : foreground) = name;
      g_free(name);
      start = attribute->start_index;
      end = attribute->end_index;
      pango_attribute_destroy(attribute);
    }
    return text.substr(0, start) + "[" + text.substr(start, end - start) + " " + background + "/" +
           foreground + "]" + text.substr(end);
  }
};

// The status line marks the caret and lights, in the host's cursor
// colours, what the preedit lights.
TEST_F(StatusWindowTest, WhatIsActedOnIsLitInTheHostColours) {
  ASSERT_EQ(labels().size(), 2u);
  host().variables().cursorBackground = "red";
  host().variables().cursorForeground = "#ffff00";
  type("u hk4g4");
  EXPECT_EQ(textWithCaret(), "一[測試 #ffff00000000/#ffffffff0000]|");
  host().feedKey(XK_Left);
  EXPECT_EQ(textWithCaret(), "一[測|試 #ffff00000000/#ffffffff0000]");
  host().feedKey(XK_Home);
  EXPECT_EQ(textWithCaret(), "|[一 #ffff00000000/#ffffffff0000]測試");
  host().feedKey(XK_End);
  host().feedKey(XK_Left, kShiftMask);
  host().feedKey(XK_Left, kShiftMask);
  EXPECT_EQ(textWithCaret(), "一|[測試 #ffff00000000/#ffffffff0000]");
  host().feedKey(XK_Escape);
  type("s");
  EXPECT_EQ(textWithCaret(), "一[ㄋ #ffff00000000/#ffffffff0000]|測試");
  EXPECT_EQ(host().winVisible(), 1);
  EXPECT_GT(host().calls(&HostFunctions::on_window_shown), 0);
}

// Redraws leave unchanged labels alone; the hint row must still follow the
// state from the first redraw on, and again after a font change.
TEST_F(StatusWindowTest, HintRowShowsOnlyWhileThereIsAHint) {
  auto rows = labels();
  ASSERT_EQ(rows.size(), 2u);
  type("hk4g4");
  EXPECT_FALSE(gtk_widget_get_visible(rows[1]));
  host().feedKey(XK_Left, kShiftMask);
  EXPECT_TRUE(gtk_widget_get_visible(rows[1]));
  EXPECT_STRNE(gtk_label_get_text(GTK_LABEL(rows[1])), "");
  host().variables().fontSize = 30;
  host().changeFontSize();
  host().feedKey(XK_Escape);
  EXPECT_FALSE(gtk_widget_get_visible(rows[1]));
  EXPECT_EQ(host().winVisible(), 1);
}

TEST_F(StatusWindowTest, IdleRedrawHidesBothWindows) {
  type("u ");
  host().feedKey(XK_space);
  ASSERT_TRUE(host().candidateWindow().shown);
  ASSERT_EQ(host().winVisible(), 1);
  host().feedKey('1');
  host().feedKey(XK_Return);
  EXPECT_EQ(host().winVisible(), 0);
  EXPECT_FALSE(host().candidateWindow().shown);

  // Showing on request needs a composition or the host's show-when-empty,
  // and an empty window shows nothing of the composition committed before.
  host().showWin();
  EXPECT_EQ(host().winVisible(), 0);
  host().variables().showWindowWhenEmpty = 1;
  host().showWin();
  EXPECT_EQ(host().winVisible(), 1);
  EXPECT_EQ(textMarkup().find("一"), std::string::npos) << textMarkup();
  host().hideWin();
  EXPECT_EQ(host().winVisible(), 0);
}

TEST_F(StatusWindowTest, CandidatesSitUnderTheWindow) {
  host().moveWin(100, 200);
  type("u ");
  host().feedKey(XK_space);
  const TestHost::Variables& v = host().variables();
  EXPECT_EQ(v.windowX, 100);
  EXPECT_EQ(v.windowY, 200);
  EXPECT_GT(v.windowHeight, 0);
  EXPECT_EQ(host().candidateWindow().x, 100);
  EXPECT_EQ(host().candidateWindow().y, 200 + v.windowHeight);
}

TEST_F(StatusWindowTest, SuppressedWindowIsNeverShownAndCandidatesTakeItsPlace) {
  host().setWindowSuppressed(1);
  host().variables().windowX = 100;
  host().variables().windowY = 200;
  host().variables().windowHeight = 30;
  type("u ");
  EXPECT_EQ(host().winVisible(), 0);
  host().feedKey(XK_space);
  EXPECT_TRUE(host().candidateWindow().shown);
  EXPECT_EQ(host().candidateWindow().x, 100);
  EXPECT_EQ(host().candidateWindow().y, 200);
  host().variables().showWindowWhenEmpty = 1;
  host().showWin();
  EXPECT_EQ(host().winVisible(), 0);
}

TEST_F(StatusWindowTest, MovingKeepsTheWindowOnTheScreen) {
  type("hk4");
  host().moveWin(5000, -40);
  const TestHost::Variables& v = host().variables();
  EXPECT_GT(v.windowWidth, 0);
  EXPECT_GT(v.windowHeight, 0);
  EXPECT_EQ(v.windowX, v.screenWidth - v.windowWidth);
  EXPECT_EQ(v.windowY, 0);
  EXPECT_EQ(host().calls(&HostFunctions::on_window_moved), 1);
  host().moveWin(10, 5000);
  EXPECT_EQ(v.windowX, 10);
  EXPECT_EQ(v.windowY, v.screenHeight - v.windowHeight);
  // Positions near the int limits must not overflow while being clamped.
  host().moveWin(std::numeric_limits<int>::max(), std::numeric_limits<int>::min());
  EXPECT_EQ(v.windowX, v.screenWidth - v.windowWidth);
  EXPECT_EQ(v.windowY, 0);

  host().variables().windowWidth = -1;
  host().getWinGeom();
  EXPECT_EQ(host().calls(&HostFunctions::get_window_size), 1);
  EXPECT_GT(v.windowWidth, 0);
}

// The window is placed from the caret whenever it is drawn: one that grows
// while the caret stays put is moved back onto the screen.
TEST_F(StatusWindowTest, GrowingWindowStaysOnTheScreen) {
  host().moveWin(900, 100);
  const TestHost::Variables& v = host().variables();
  for (int i = 0; i < 60; ++i) {
    type("u ");
    ASSERT_GE(v.windowX, 0);
    ASSERT_LE(v.windowX + v.windowWidth, v.screenWidth) << i;
    ASSERT_EQ(v.windowY, 100);
  }
  EXPECT_LT(v.windowX, 900);
}

// A hint alone (the application draws the composition) goes under the
// caret's line, or above it near the bottom, and on the screen, also for an
// application partly off it.
TEST_F(StatusWindowTest, HintStaysOnTheScreenAndOffTheCaretsLine) {
  host().setWindowSuppressed(1);
  host().moveWin(1000, 790);
  type("u u ");
  EXPECT_EQ(host().winVisible(), 0);
  host().feedKey(XK_Left, kShiftMask);
  host().feedKey(XK_Left, kShiftMask);
  ASSERT_EQ(host().winVisible(), 1);
  const TestHost::Variables& v = host().variables();
  EXPECT_GT(v.windowWidth, 100);
  EXPECT_EQ(v.windowX, v.screenWidth - v.windowWidth);
  EXPECT_GE(v.windowY, 0);
  EXPECT_LE(v.windowY + v.windowHeight, 790 - 2 * 16);
  // The caret moving on moves the window with it.
  host().moveWin(10, 100);
  EXPECT_EQ(v.windowX, 10);
  EXPECT_EQ(v.windowY, 100);
}

// A mistyped syllable with nothing else composed leaves nothing composed:
// the window shows its notice alone at the caret, where a hint shows, in
// GTK and XIM applications alike, until the next key, whether the module
// uses that key or leaves it to the application unseen; the release of the
// mistyped key is not the next key.
TEST_F(StatusWindowTest, MistypedSyllableNoticeShowsAtTheCaretUntilTheNextKey) {
  struct NextKey {
    const char* name;
    unsigned keysym;
    unsigned mask;
  };
  const NextKey nextKeys[] = {
      {"BackSpace", XK_BackSpace, 0},  // the key handler's, passed on
      {"Shift", XK_Shift_L, 0},        // none of the key handler's
      {"Alt+x", 'x', kMod1Mask},
      {"Caps Lock", XK_Caps_Lock, 0},
      {"x under Caps Lock", 'X', kLockMask},
  };
  auto rows = labels();
  ASSERT_EQ(rows.size(), 2u);
  const TestHost::Variables& v = host().variables();
  for (const int suppressed : {1, 0}) {
    host().setWindowSuppressed(suppressed);
    for (const NextKey& next : nextKeys) {
      SCOPED_TRACE(std::string(next.name) + (suppressed ? " in a GTK application" : " in XIM"));
      host().moveWin(300, 400);
      type("1u;3");
      host().feedKeyRelease('3', 0);
      ASSERT_EQ(host().winVisible(), 1);
      EXPECT_FALSE(gtk_widget_get_visible(rows[0]));
      EXPECT_TRUE(gtk_widget_get_visible(rows[1]));
      EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(rows[1])), "「ㄅㄧㄤˇ」不是注音音節");
      EXPECT_EQ(v.windowX, 300);
      EXPECT_EQ(v.windowY, 400);
      EXPECT_FALSE(host().candidateWindow().shown);
      host().feedKey(next.keysym, next.mask);
      EXPECT_EQ(host().winVisible(), 0);
      EXPECT_EQ(host().committed(), "");
    }
  }

  // gcin showing the window again keeps the notice; hiding it with its
  // application drops it, so that the next application never sees it.
  type("1u;3");
  host().showWin();
  EXPECT_EQ(host().winVisible(), 1);
  host().hideWin();
  host().showWin();
  EXPECT_EQ(host().winVisible(), 0);
  // The next syllable's composition takes the notice's place.
  type("1u;3s");
  EXPECT_EQ(host().winVisible(), 1);
  EXPECT_TRUE(gtk_widget_get_visible(rows[0]));
  EXPECT_FALSE(gtk_widget_get_visible(rows[1]));
}

// English mode: a Shift tap asks gcin to put the application in English
// (gcin keeps the mode per application and shows it in its indicator), and
// the window says so at the caret while keys go to the application.
TEST_F(StatusWindowTest, EnglishModeShowsAtTheCaret) {
  environment().writeSettingsFile(R"({"shift_toggles_english": true})");
  ASSERT_EQ(host().initWin(), 1);
  auto tap = [this] {
    host().feedKey(XK_Shift_L, 0);
    host().feedKeyRelease(XK_Shift_L, kShiftMask);
  };
  auto rows = labels();
  ASSERT_EQ(rows.size(), 2u);
  type("su3");
  tap();
  EXPECT_EQ(host().committed(), "你");
  EXPECT_EQ(host().calls(&HostFunctions::set_chinese_mode), 1);
  EXPECT_EQ(host().winVisible(), 1);
  EXPECT_FALSE(gtk_widget_get_visible(rows[0]));
  EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(rows[1])), "英");
  EXPECT_EQ(host().feedKey('h'), 0);
  // Shift held for a capital is no tap.
  host().feedKey(XK_Shift_L, 0);
  EXPECT_EQ(host().feedKey('H', kShiftMask), 0);
  host().feedKeyRelease(XK_Shift_L, kShiftMask);
  EXPECT_EQ(host().calls(&HostFunctions::set_chinese_mode), 1);
  // gcin hides the window with its application, and shows it again.
  host().hideWin();
  EXPECT_EQ(host().winVisible(), 0);
  host().showWin();
  EXPECT_EQ(host().winVisible(), 1);
  tap();
  EXPECT_EQ(host().calls(&HostFunctions::set_chinese_mode), 2);
  EXPECT_EQ(host().winVisible(), 0);
  EXPECT_EQ(host().feedKey('h'), 1);

  // A host that keeps no mode per application: the module keeps one.
  host().feedKey(XK_Escape);
  HostFunctions table = host().table();
  table.set_chinese_mode = nullptr;
  ASSERT_EQ(host().initWin(table), 1);
  tap();
  EXPECT_EQ(host().calls(&HostFunctions::set_chinese_mode), 2);
  EXPECT_EQ(host().winVisible(), 1);
  EXPECT_EQ(host().feedKey('h'), 0);
  tap();
  EXPECT_EQ(host().winVisible(), 0);
  EXPECT_EQ(host().feedKey('h'), 1);
}

TEST_F(StatusWindowTest, FontSizeChangeRestylesBothLabels) {
  host().clearCallLog();
  host().variables().fontSize = 30;
  host().changeFontSize();
  const int style = TestHost::slotOf(&HostFunctions::style_window);
  const int fontSize = TestHost::slotOf(&HostFunctions::set_label_font_size);
  EXPECT_EQ((std::vector<int>{style, fontSize, fontSize}), host().callLog());
}

}  // namespace
}  // namespace Kestova
