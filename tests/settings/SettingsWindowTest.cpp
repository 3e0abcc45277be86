// The settings window in a real X server: the window is opened through the
// exported entry point, driven with real pointer and keyboard events, and
// judged by what it shows and by what lands in the settings file on disk.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <json-c/json.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "XTestSession.h"
#include "module/SettingsWindow.h"
#include "testhost/PrivateXServer.h"
#include "tests/support/SettingsFileKeys.h"
#include "tests/support/TempDir.h"

// Read by LeakSanitizer in sanitizer builds: fontconfig keeps its font caches
// for the life of the process and never frees them.
extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace fs = std::filesystem;
using namespace KestovaTest;

namespace {

constexpr char kTitle[] = "gcin Kestova設定";
constexpr char kErrorText[] = "無法儲存Kestova的設定";
// The check boxes, top to bottom. The settings file holds the first eight,
// then ctrl_enter, then the others.
using Kestova::Testing::kOptionKeys;
constexpr size_t kOptionCount = kOptionKeys.size();
constexpr size_t kOriginalOptions = Kestova::Testing::kOriginalOptionCount;
using Checks = std::array<bool, kOptionCount>;
const std::array<std::string, kOptionCount> kOptionLabels = {"空白鍵叫出候選字",
                                                             "候選字取游標後的詞",
                                                             "選字後游標移到詞後",
                                                             "ESC 鍵清空編輯區",
                                                             "保留打錯的注音以便修改",
                                                             "Shift + 字母以小寫放進編輯區",
                                                             "半形標點",
                                                             "重複按標點鍵選下一個候選字",
                                                             "依前後文選詞",
                                                             "單按 Shift 切換中英文",
                                                             "學習選過的詞",
                                                             "重新啟動後仍記得學過的詞"};
const std::array<std::string, 6> kComboEntries = {"不使用",   "注音",           "HTML Ruby",
                                                  "漢語拼音", "點字 (Unicode)", "點字 (ASCII)"};
const std::array<std::string, 6> kCtrlEnterNames = {
    "disabled", "bpmf_reading", "html_ruby", "hanyu_pinyin", "braille_unicode", "braille_ascii"};

fs::path outputDir() {
  fs::path dir(KESTOVA_SETTINGS_OUTPUT_DIR);
  fs::create_directories(dir);
  return dir;
}

[[maybe_unused]] ::testing::Environment* const gXEnvironment =
    ::testing::AddGlobalTestEnvironment(new XEnvironment(outputDir()));

std::optional<std::string> readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// The settings file as (key, value) pairs in file order; booleans read "true"
// or "false", strings their text. Empty when the file is missing or not JSON.
using Entries = std::vector<std::pair<std::string, std::string>>;
Entries readEntries(const fs::path& path) {
  Entries entries;
  json_object* root = json_object_from_file(path.c_str());
  if (!root) return entries;
  json_object_object_foreach(root, key, value) {
    entries.emplace_back(key, json_object_is_type(value, json_type_boolean)
                                  ? (json_object_get_boolean(value) ? "true" : "false")
                                  : json_object_get_string(value));
  }
  json_object_put(root);
  return entries;
}

Entries expectedEntries(const Checks& checked, int ctrlEnter) {
  Entries entries;
  for (size_t i = 0; i < kOptionKeys.size(); ++i) {
    if (i == kOriginalOptions) {
      entries.emplace_back("ctrl_enter", kCtrlEnterNames[static_cast<size_t>(ctrlEnter)]);
    }
    entries.emplace_back(kOptionKeys[i], checked[i] ? "true" : "false");
  }
  return entries;
}

// The widgets of an open settings window, found by walking its widget tree.
struct SettingsView {
  GtkWidget* window = nullptr;
  GtkWidget* notebook = nullptr;
  GtkWidget* settingsPage = nullptr;
  std::vector<std::string> pageTitles;
  std::vector<std::string> labels;  // the options, then the Ctrl+Enter label
  std::vector<GtkWidget*> labelWidgets;
  std::array<GtkWidget*, kOptionCount> checks{};
  GtkWidget* combo = nullptr;
  GtkWidget* forget = nullptr;
  GtkWidget* forgetStatus = nullptr;
  GtkWidget* cancel = nullptr;
  GtkWidget* ok = nullptr;

  Checks checkedStates() const {
    Checks states{};
    for (size_t i = 0; i < checks.size(); ++i) {
      states[i] = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(checks[i]));
    }
    return states;
  }
  int comboIndex() const { return gtk_combo_box_get_active(GTK_COMBO_BOX(combo)); }
};

const char* labelText(GtkWidget* widget) {
  return GTK_IS_LABEL(widget) ? gtk_label_get_text(GTK_LABEL(widget)) : "(not a label)";
}

// The button labels, in Chinese like the rest of the window, with the
// mnemonics GTK's own Chinese labels have.
constexpr char kCancelLabel[] = "取消(_C)";
constexpr char kOkLabel[] = "確定(_O)";
constexpr char kForgetLabel[] = "忘記學過的詞";

// Reads the layout of the window; records a failure and returns nothing when
// the window is not built as pages over a button row, the settings page a
// column of rows: a label and its check box for each option, the button
// that forgets the learnt words with its status, the Ctrl+Enter label and
// list.
std::optional<SettingsView> inspect(GtkWidget* window) {
  SettingsView view;
  view.window = window;
  std::vector<GtkWidget*> top = childrenOf(window);
  if (top.size() != 1 || !GTK_IS_BOX(top[0])) {
    ADD_FAILURE() << "the window does not hold one box";
    return std::nullopt;
  }
  std::vector<GtkWidget*> parts = childrenOf(top[0]);
  if (parts.size() != 2 || !GTK_IS_NOTEBOOK(parts[0])) {
    ADD_FAILURE() << "expected the pages and the button row";
    return std::nullopt;
  }
  GtkNotebook* notebook = GTK_NOTEBOOK(parts[0]);
  view.notebook = parts[0];
  if (gtk_notebook_get_n_pages(notebook) != 2) {
    ADD_FAILURE() << "expected two pages, got " << gtk_notebook_get_n_pages(notebook);
    return std::nullopt;
  }
  for (int i = 0; i < 2; ++i) {
    view.pageTitles.emplace_back(
        gtk_notebook_get_tab_label_text(notebook, gtk_notebook_get_nth_page(notebook, i)));
  }
  view.settingsPage = gtk_notebook_get_nth_page(notebook, 0);
  std::vector<GtkWidget*> rows = childrenOf(view.settingsPage);
  if (rows.size() != kOptionCount + 2) {
    ADD_FAILURE() << "expected " << kOptionCount
                  << " option rows, the forget row and the Ctrl+Enter row, got " << rows.size();
    return std::nullopt;
  }
  std::vector<GtkWidget*> forgetCells = childrenOf(rows[kOptionCount]);
  if (forgetCells.size() != 2 || !GTK_IS_BUTTON(forgetCells[0]) || !GTK_IS_LABEL(forgetCells[1]) ||
      gtk_button_get_label(GTK_BUTTON(forgetCells[0])) != std::string(kForgetLabel)) {
    ADD_FAILURE() << "the row under the check boxes is not the forget button and its status";
    return std::nullopt;
  }
  view.forget = forgetCells[0];
  view.forgetStatus = forgetCells[1];
  rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(kOptionCount));
  for (size_t i = 0; i <= kOptionCount; ++i) {
    std::vector<GtkWidget*> cells = childrenOf(rows[i]);
    if (cells.size() != 2) {
      ADD_FAILURE() << "row " << i << " holds " << cells.size() << " widgets";
      return std::nullopt;
    }
    view.labels.push_back(labelText(cells[0]));
    view.labelWidgets.push_back(cells[0]);
    if (i < kOptionCount) {
      if (!GTK_IS_CHECK_BUTTON(cells[1])) {
        ADD_FAILURE() << "row " << i << " has no check box after its label";
        return std::nullopt;
      }
      view.checks[i] = cells[1];
    } else if (GTK_IS_COMBO_BOX_TEXT(cells[1])) {
      view.combo = cells[1];
    }
  }
  for (GtkWidget* button : childrenOf(parts[1])) {
    const char* label = GTK_IS_BUTTON(button) ? gtk_button_get_label(GTK_BUTTON(button)) : nullptr;
    if (label && std::string(label) == kCancelLabel) view.cancel = button;
    if (label && std::string(label) == kOkLabel) view.ok = button;
  }
  if (!view.combo || !view.cancel || !view.ok) {
    ADD_FAILURE() << "missing the combo box or a button";
    return std::nullopt;
  }
  return view;
}

class SettingsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* home = getenv("HOME")) savedHome_ = home;
    ASSERT_FALSE(homeDirectory_.path().empty());
    home_ = homeDirectory_.path();
    setenv("HOME", home_.c_str(), 1);
    setAlternativeButtonOrder(false);
    // The window opens at the pointer.
    ASSERT_TRUE(movePointer(300, 300));
  }

  void TearDown() override {
    // Whatever a failed test left open must not leak into the next one.
    // Destroying one window may destroy others of the list (a dialog with
    // its parent), so every entry is held until the loop is done.
    GList* list = gtk_window_list_toplevels();
    for (GList* item = list; item; item = item->next) g_object_ref(item->data);
    for (GList* item = list; item; item = item->next) {
      if (gtk_window_get_window_type(GTK_WINDOW(item->data)) == GTK_WINDOW_TOPLEVEL) {
        gtk_widget_destroy(GTK_WIDGET(item->data));
      }
    }
    g_list_free_full(list, g_object_unref);
    pumpFor(std::chrono::milliseconds(50));
    EXPECT_TRUE(loggedProblems().empty())
        << "GTK reported: " << (loggedProblems().empty() ? "" : loggedProblems().front());
    loggedProblems().clear();
    if (savedHome_.empty()) {
      unsetenv("HOME");
    } else {
      setenv("HOME", savedHome_.c_str(), 1);
    }
  }

  static void setAlternativeButtonOrder(bool on) {
    g_object_set(gtk_settings_get_default(), "gtk-alternative-button-order", on ? TRUE : FALSE,
                 nullptr);
  }

  fs::path settingsPath() const { return home_ / ".gcin" / "config" / "kestova.json"; }

  // Opens the window through the exported entry point and waits until it can
  // be clicked.
  std::optional<SettingsView> open() {
    module_setup_window_create();
    GtkWidget* window = nullptr;
    bool shown = pumpUntil([&] {
      std::vector<GtkWidget*> windows = visibleWindowsTitled(kTitle);
      window = windows.size() == 1 ? windows[0] : nullptr;
      return window && isOnScreen(window);
    });
    if (!shown) {
      ADD_FAILURE() << "the settings window did not appear";
      return std::nullopt;
    }
    std::optional<SettingsView> view = inspect(window);
    if (view && !pumpUntil([&] { return isOnScreen(view->ok) && isOnScreen(view->checks[7]); })) {
      ADD_FAILURE() << "the window's widgets were not laid out";
      return std::nullopt;
    }
    return view;
  }

  static bool windowGone() { return visibleWindowsTitled(kTitle).empty(); }

  // Clicks a check box and waits until GTK has toggled it.
  static void toggle(const SettingsView& view, size_t row) {
    GtkToggleButton* check = GTK_TOGGLE_BUTTON(view.checks[row]);
    const bool before = gtk_toggle_button_get_active(check);
    ASSERT_TRUE(clickWidget(view.checks[row]));
    ASSERT_TRUE(pumpUntil([&] { return gtk_toggle_button_get_active(check) != before; }))
        << "clicking the check box of row " << row << " did not toggle it";
  }

  // Picks a combo entry the way a user does: click to pop the list up, move
  // with the arrow keys, confirm with Return.
  static void chooseCtrlEnter(const SettingsView& view, int index) {
    GtkComboBox* combo = GTK_COMBO_BOX(view.combo);
    ASSERT_TRUE(clickWidget(view.combo));
    ASSERT_TRUE(pumpUntil([&] {
      gboolean shown = FALSE;
      g_object_get(combo, "popup-shown", &shown, nullptr);
      return shown == TRUE;
    })) << "the Ctrl+Enter list did not pop up";
    pumpFor(std::chrono::milliseconds(100));
    // From the first entry: the pointer may rest on any entry of the list.
    ASSERT_TRUE(pressKey("Home"));
    for (int i = 0; i < index; ++i) ASSERT_TRUE(pressKey("Down"));
    ASSERT_TRUE(pressKey("Return"));
    ASSERT_TRUE(pumpUntil([&] {
      gboolean shown = TRUE;
      g_object_get(combo, "popup-shown", &shown, nullptr);
      return !shown && gtk_combo_box_get_active(combo) == index;
    })) << "entry "
        << index << " was not chosen; active is " << gtk_combo_box_get_active(combo);
  }

  Kestova::Testing::TempDir homeDirectory_;
  fs::path home_;
  std::string savedHome_;
};

TEST_F(SettingsWindowTest, ShowsDefaultsWithoutSettingsFile) {
  std::optional<SettingsView> view = open();
  ASSERT_TRUE(view);
  EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(view->window)), kTitle);
  std::vector<std::string> expectedLabels(kOptionLabels.begin(), kOptionLabels.end());
  expectedLabels.push_back("Ctrl + Enter 送出");
  EXPECT_EQ(view->labels, expectedLabels);

  std::vector<std::string> entries;
  GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(view->combo));
  GtkTreeIter iter;
  for (gboolean valid = gtk_tree_model_get_iter_first(model, &iter); valid;
       valid = gtk_tree_model_iter_next(model, &iter)) {
    gchar* text = nullptr;
    gtk_tree_model_get(model, &iter, 0, &text, -1);
    entries.push_back(text ? text : "");
    g_free(text);
  }
  EXPECT_EQ(entries, std::vector<std::string>(kComboEntries.begin(), kComboEntries.end()));

  EXPECT_EQ(view->checkedStates(), (Checks{true, false, false, false, false, false, false, false,
                                           true, false, true, false}));
  EXPECT_EQ(view->comboIndex(), 0);
  gchar* active = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(view->combo));
  EXPECT_STREQ(active, "不使用");
  g_free(active);

  // Check box on the right of its label, in the same row.
  GtkAllocation label;
  GtkAllocation check;
  gtk_widget_get_allocation(childrenOf(gtk_widget_get_parent(view->checks[0]))[0], &label);
  gtk_widget_get_allocation(view->checks[0], &check);
  EXPECT_LT(label.x, check.x);

  // The window opens centred on the pointer, which the fixture put at 300,300 (the window, with its
  // page tabs, is too tall to be centred higher without leaving the screen).
  int x = 0;
  int y = 0;
  gdk_window_get_origin(gtk_widget_get_window(view->window), &x, &y);
  EXPECT_NEAR(x + gtk_widget_get_allocated_width(view->window) / 2, 300, 2);
  EXPECT_NEAR(y + gtk_widget_get_allocated_height(view->window) / 2, 300, 2);

  // Opening the window writes nothing.
  EXPECT_FALSE(fs::exists(settingsPath()));

  pumpFor(std::chrono::milliseconds(300));
  const fs::path shot = outputDir() / "settings-window.png";
  EXPECT_TRUE(captureScreen(shot.string()));
  EXPECT_GT(fs::file_size(shot), 0u);
}

// Where a label's text is drawn, from its allocation, alignment and layout,
// in the coordinates of `page`.
struct TextSpan {
  int start = 0;
  int end = 0;
};
TextSpan textSpan(GtkWidget* label, GtkWidget* page) {
  int width = 0;
  pango_layout_get_pixel_size(gtk_label_get_layout(GTK_LABEL(label)), &width, nullptr);
  const int allocated = gtk_widget_get_allocated_width(label);
  int x = 0;
  int y = 0;
  gtk_widget_translate_coordinates(label, page, 0, 0, &x, &y);
  const int start =
      x + static_cast<int>((allocated - width) * gtk_label_get_xalign(GTK_LABEL(label)));
  return {start, start + width};
}

// As gcin's own setup windows have it: every label at the left edge of the
// page, its control right after it; the buttons in Chinese.
TEST_F(SettingsWindowTest, LabelsStartAtTheLeftWithTheirControlsRightAfterThem) {
  std::optional<SettingsView> view = open();
  ASSERT_TRUE(view);
  EXPECT_EQ(view->pageTitles, (std::vector<std::string>{"設定", "自訂詞庫"}));
  for (size_t i = 0; i < view->labelWidgets.size(); ++i) {
    SCOPED_TRACE(view->labels[i]);
    const TextSpan text = textSpan(view->labelWidgets[i], view->settingsPage);
    EXPECT_LE(text.start, 8) << "the label's text does not start at the left";
    GtkWidget* control = i < kOptionCount ? view->checks[i] : view->combo;
    int x = 0;
    int y = 0;
    gtk_widget_translate_coordinates(control, view->settingsPage, 0, 0, &x, &y);
    EXPECT_GE(x, text.end);
    EXPECT_LE(x - text.end, 8) << "the control is not right after its label";
  }
  for (GtkWidget* button : {view->cancel, view->ok}) {
    EXPECT_TRUE(gtk_button_get_use_underline(GTK_BUTTON(button)));
  }
  // The forget button starts at the left, under the learning check boxes,
  // its status right after it.
  int x = 0;
  int y = 0;
  gtk_widget_translate_coordinates(view->forget, view->settingsPage, 0, 0, &x, &y);
  EXPECT_LE(x, 8);
  int checkX = 0;
  int checkY = 0;
  gtk_widget_translate_coordinates(view->checks[kOptionCount - 1], view->settingsPage, 0, 0,
                                   &checkX, &checkY);
  EXPECT_GT(y, checkY);
  int statusX = 0;
  gtk_widget_translate_coordinates(view->forgetStatus, view->settingsPage, 0, 0, &statusX, &y);
  EXPECT_GE(statusX, x + gtk_widget_get_allocated_width(view->forget));
}

TEST_F(SettingsWindowTest, ShowsTheValuesOfTheSettingsFile) {
  writeFile(settingsPath(), R"({
  "choose_candidate_using_space": false,
  "select_phrase_after_cursor": true,
  "esc_clears_buffer": 1,
  "half_width_punctuation": true,
  "ctrl_enter": "braille_unicode"
})");
  std::optional<SettingsView> view = open();
  ASSERT_TRUE(view);
  // A number where a boolean belongs is ignored, leaving the default.
  EXPECT_EQ(view->checkedStates(), (Checks{false, true, false, false, false, false, true, false,
                                           true, false, true, false}));
  EXPECT_EQ(view->comboIndex(), 4);
}

TEST_F(SettingsWindowTest, SecondOpenShowsTheSameWindow) {
  std::optional<SettingsView> first = open();
  ASSERT_TRUE(first);
  toggle(*first, 2);

  std::optional<SettingsView> second = open();
  ASSERT_TRUE(second);
  EXPECT_EQ(second->window, first->window);
  // The open window keeps what the user has done in it.
  EXPECT_TRUE(second->checkedStates()[2]);

  // The X server sees one window with the title, too.
  std::string found;
  ASSERT_TRUE(xdotool({"search", "--onlyvisible", "--name", kTitle}, &found));
  EXPECT_EQ(std::count(found.begin(), found.end(), '\n'), 1) << found;
}

// Each case: the rows to click, the Ctrl+Enter entry to pick (-1: leave it),
// and what the file must then say.
struct SaveCase {
  const char* name;
  std::vector<size_t> clicks;
  int ctrlEnter;
  Checks saved;
  int savedCtrlEnter;
};

TEST_F(SettingsWindowTest, OkSavesTheChoicesInFileOrder) {
  const std::vector<SaveCase> cases = {
      {"untouched",
       {},
       -1,
       {true, false, false, false, false, false, false, false, true, false, true, false},
       0},
      {"several boxes and Hanyu Pinyin",
       {0, 3, 7, 11},
       3,
       {false, false, false, true, false, false, false, true, true, false, true, true},
       3},
      {"every box cleared",
       {0, 8, 10},
       5,
       {false, false, false, false, false, false, false, false, false, false, false, false},
       5},
      {"every box checked",
       {1, 2, 3, 4, 5, 6, 7, 9, 11},
       2,
       {true, true, true, true, true, true, true, true, true, true, true, true},
       2},
  };
  for (const SaveCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::error_code ignored;
    fs::remove_all(home_ / ".gcin", ignored);

    std::optional<SettingsView> view = open();
    ASSERT_TRUE(view);
    for (size_t row : c.clicks) toggle(*view, row);
    if (c.ctrlEnter >= 0) chooseCtrlEnter(*view, c.ctrlEnter);
    ASSERT_TRUE(clickWidget(view->ok));
    ASSERT_TRUE(pumpUntil(windowGone)) << "OK did not close the window";

    EXPECT_EQ(readEntries(settingsPath()), expectedEntries(c.saved, c.savedCtrlEnter));
    EXPECT_FALSE(fs::exists(settingsPath().string() + ".tmp"));
    // The directory is private to the user.
    struct stat st;
    ASSERT_EQ(stat(settingsPath().parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Opened again, the window shows what was saved.
    std::optional<SettingsView> again = open();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->checkedStates(), c.saved);
    EXPECT_EQ(again->comboIndex(), c.savedCtrlEnter);
    ASSERT_TRUE(clickWidget(again->cancel));
    ASSERT_TRUE(pumpUntil(windowGone));
  }
}

TEST_F(SettingsWindowTest, CancelAndCloseDiscardTheChanges) {
  const std::string original = R"({ "half_width_punctuation": true, "ctrl_enter": "html_ruby" })";
  writeFile(settingsPath(), original);
  const auto modified = fs::last_write_time(settingsPath());

  const std::vector<std::pair<const char*, bool (*)(const SettingsView&)>> ways = {
      {"Cancel button", [](const SettingsView& v) { return clickWidget(v.cancel); }},
      {"close request", [](const SettingsView& v) { return sendDeleteRequest(v.window); }},
  };
  for (const auto& [name, dismiss] : ways) {
    SCOPED_TRACE(name);
    std::optional<SettingsView> view = open();
    ASSERT_TRUE(view);
    EXPECT_EQ(view->checkedStates(), (Checks{true, false, false, false, false, false, true, false,
                                             true, false, true, false}));
    toggle(*view, 0);
    toggle(*view, 6);
    chooseCtrlEnter(*view, 1);
    GtkWidget* dismissed = view->window;
    g_object_add_weak_pointer(G_OBJECT(dismissed), reinterpret_cast<gpointer*>(&dismissed));
    const bool sent = dismiss(*view);
    const bool gone = sent && pumpUntil(windowGone);
    if (dismissed) {
      g_object_remove_weak_pointer(G_OBJECT(dismissed), reinterpret_cast<gpointer*>(&dismissed));
    }
    ASSERT_TRUE(sent);
    ASSERT_TRUE(gone) << "the window stayed open";
    EXPECT_EQ(dismissed, nullptr) << "the window was hidden, not destroyed";
    EXPECT_EQ(readFile(settingsPath()), original);
    EXPECT_EQ(fs::last_write_time(settingsPath()), modified);

    // A new window starts again from the file, not from the discarded choices.
    std::optional<SettingsView> again = open();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->checkedStates(), (Checks{true, false, false, false, false, false, true, false,
                                              true, false, true, false}));
    EXPECT_EQ(again->comboIndex(), 2);
    ASSERT_TRUE(clickWidget(again->cancel));
    ASSERT_TRUE(pumpUntil(windowGone));
  }
}

TEST_F(SettingsWindowTest, CancelWithoutSettingsFileCreatesNone) {
  std::optional<SettingsView> view = open();
  ASSERT_TRUE(view);
  toggle(*view, 4);
  ASSERT_TRUE(clickWidget(view->cancel));
  ASSERT_TRUE(pumpUntil(windowGone));
  EXPECT_FALSE(fs::exists(home_ / ".gcin"));
}

TEST_F(SettingsWindowTest, FailedSaveShowsErrorAndKeepsTheWindow) {
  // A directory where the settings file belongs: the rename over it fails for
  // every user, root included.
  fs::create_directories(settingsPath());

  std::optional<SettingsView> view = open();
  ASSERT_TRUE(view);
  toggle(*view, 1);
  chooseCtrlEnter(*view, 2);
  ASSERT_TRUE(clickWidget(view->ok));

  GtkWidget* dialog = nullptr;
  ASSERT_TRUE(pumpUntil([&] {
    GList* list = gtk_window_list_toplevels();
    for (GList* item = list; item; item = item->next) {
      if (GTK_IS_MESSAGE_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data))) {
        dialog = GTK_WIDGET(item->data);
      }
    }
    g_list_free(list);
    return dialog && isOnScreen(dialog);
  })) << "no error dialog";
  gchar* text = nullptr;
  g_object_get(dialog, "text", &text, nullptr);
  EXPECT_STREQ(text, kErrorText);
  g_free(text);
  EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(dialog)));
  EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), GTK_WINDOW(view->window));
  GtkMessageType type = GTK_MESSAGE_OTHER;
  g_object_get(dialog, "message-type", &type, nullptr);
  EXPECT_EQ(type, GTK_MESSAGE_ERROR);
  // OK is the only answer.
  for (GtkResponseType other : {GTK_RESPONSE_CANCEL, GTK_RESPONSE_CLOSE, GTK_RESPONSE_YES}) {
    EXPECT_EQ(gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), other), nullptr);
  }
  GtkWidget* dialogOk = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  ASSERT_NE(dialogOk, nullptr);

  // Nothing was written and the window is still there.
  EXPECT_TRUE(fs::is_directory(settingsPath()));
  EXPECT_TRUE(fs::is_empty(settingsPath()));
  EXPECT_FALSE(fs::exists(settingsPath().string() + ".tmp"));
  EXPECT_EQ(visibleWindowsTitled(kTitle).size(), 1u);

  pumpFor(std::chrono::milliseconds(300));
  EXPECT_TRUE(captureScreen((outputDir() / "settings-save-failed.png").string()));

  ASSERT_TRUE(pumpUntil([&] { return isOnScreen(dialogOk); }));
  ASSERT_TRUE(clickWidget(dialogOk));
  ASSERT_TRUE(pumpUntil([&] {
    std::vector<GtkWidget*> all;
    GList* list = gtk_window_list_toplevels();
    bool dialogLeft = false;
    for (GList* item = list; item; item = item->next) {
      if (GTK_IS_MESSAGE_DIALOG(item->data)) dialogLeft = true;
    }
    g_list_free(list);
    return !dialogLeft;
  })) << "the error dialog was not dismissed";

  // The settings window stays, with the user's choices, and saves them once
  // the obstacle is gone.
  std::vector<GtkWidget*> windows = visibleWindowsTitled(kTitle);
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0], view->window);
  EXPECT_EQ(view->checkedStates(), (Checks{true, true, false, false, false, false, false, false,
                                           true, false, true, false}));
  EXPECT_EQ(view->comboIndex(), 2);

  fs::remove(settingsPath());
  ASSERT_TRUE(clickWidget(view->ok));
  ASSERT_TRUE(pumpUntil(windowGone));
  EXPECT_EQ(readEntries(settingsPath()), expectedEntries({true, true, false, false, false, false,
                                                          false, false, true, false, true, false},
                                                         2));
}

// The message dialog on the screen, if there is one.
GtkWidget* visibleMessageDialog() {
  GtkWidget* dialog = nullptr;
  GList* list = gtk_window_list_toplevels();
  for (GList* item = list; item; item = item->next) {
    if (GTK_IS_MESSAGE_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data))) {
      dialog = GTK_WIDGET(item->data);
    }
  }
  g_list_free(list);
  return dialog;
}

std::string dialogText(GtkWidget* dialog, const char* property) {
  gchar* text = nullptr;
  g_object_get(dialog, property, &text, nullptr);
  std::string result = text ? text : "";
  g_free(text);
  return result;
}

// Forgetting the learnt words: asked first, then done at once (not with
// OK), leaving learnt.txt empty whatever was there, which a running input
// method takes as "forget" (the module's own tests show it reaching one).
TEST_F(SettingsWindowTest, ForgetButtonAsksThenEmptiesTheLearntWords) {
  enum class Before { Words, NoFile, NoFolder, Directory };
  struct Case {
    const char* name;
    Before before;
    bool confirm;
    // What learnt.txt holds afterwards; none: it is not a file.
    std::optional<std::string> after;
    std::string status;
  };
  const std::string words = "側視 ㄘㄜˋ-ㄕˋ 1\n好 ㄏㄠˇ 0.5\n";
  const std::vector<Case> cases = {
      {"cancelled", Before::Words, false, words, ""},
      {"a file of words", Before::Words, true, "", "已忘記學過的詞"},
      {"no file yet", Before::NoFile, true, "", "已忘記學過的詞"},
      {"no user folder", Before::NoFolder, true, std::nullopt, "已忘記學過的詞"},
      {"a directory in the way", Before::Directory, true, std::nullopt,
       "無法忘記學過的詞（it is not a regular file (a directory)）"},
  };
  const fs::path folder = home_ / ".gcin" / "kestova" / "kestova";
  const fs::path learnt = folder / "learnt.txt";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::error_code ignored;
    fs::remove_all(home_ / ".gcin", ignored);
    if (c.before == Before::Words) writeFile(learnt, words);
    if (c.before == Before::NoFile) fs::create_directories(folder);
    if (c.before == Before::Directory) fs::create_directories(learnt);

    std::optional<SettingsView> view = open();
    ASSERT_TRUE(view);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(view->forgetStatus)), "");
    ASSERT_TRUE(pumpUntil([&] { return isOnScreen(view->forget); }));
    ASSERT_TRUE(clickWidget(view->forget));
    GtkWidget* dialog = nullptr;
    ASSERT_TRUE(pumpUntil([&] {
      dialog = visibleMessageDialog();
      return dialog && isOnScreen(dialog);
    })) << "no question";
    EXPECT_EQ(dialogText(dialog, "text"), "要忘記所有學過的詞嗎？");
    EXPECT_NE(dialogText(dialog, "secondary-text").find("learnt.txt"), std::string::npos);
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(dialog)));
    EXPECT_EQ(gtk_window_get_transient_for(GTK_WINDOW(dialog)), GTK_WINDOW(view->window));
    GtkWidget* no = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    GtkWidget* yes = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    ASSERT_NE(no, nullptr);
    ASSERT_NE(yes, nullptr);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(no)), "取消(_C)");
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(yes)), "忘記(_F)");
    // Nothing happens before the answer.
    if (c.before == Before::Words) {
      EXPECT_EQ(readFile(learnt), words);
    }
    if (c.before == Before::Words && !c.confirm) {
      pumpFor(std::chrono::milliseconds(300));
      EXPECT_TRUE(captureScreen((outputDir() / "settings-forget.png").string()));
    }

    GtkWidget* answer = c.confirm ? yes : no;
    ASSERT_TRUE(pumpUntil([&] { return isOnScreen(answer); }));
    ASSERT_TRUE(clickWidget(answer));
    ASSERT_TRUE(pumpUntil([] { return visibleMessageDialog() == nullptr; }))
        << "the question stayed";
    EXPECT_EQ(gtk_label_get_text(GTK_LABEL(view->forgetStatus)), c.status);
    if (c.after) {
      EXPECT_TRUE(fs::is_regular_file(learnt));
      EXPECT_EQ(readFile(learnt), *c.after);
    } else {
      EXPECT_FALSE(fs::is_regular_file(learnt));
    }
    if (c.before == Before::NoFolder) {
      EXPECT_FALSE(fs::exists(folder));
    }
    // The window stays open, and the settings are not saved by it.
    EXPECT_EQ(visibleWindowsTitled(kTitle).size(), 1u);
    EXPECT_FALSE(fs::exists(settingsPath()));
    ASSERT_TRUE(clickWidget(view->cancel));
    ASSERT_TRUE(pumpUntil(windowGone));
  }
}

TEST_F(SettingsWindowTest, ButtonOrderFollowsTheDesktopSetting) {
  for (bool alternative : {false, true}) {
    SCOPED_TRACE(alternative ? "alternative order" : "usual order");
    setAlternativeButtonOrder(alternative);
    std::optional<SettingsView> view = open();
    ASSERT_TRUE(view);
    GtkAllocation cancel;
    GtkAllocation ok;
    gtk_widget_get_allocation(view->cancel, &cancel);
    gtk_widget_get_allocation(view->ok, &ok);
    if (alternative) {
      EXPECT_LT(ok.x, cancel.x) << "OK belongs left of Cancel";
    } else {
      EXPECT_LT(cancel.x, ok.x) << "Cancel belongs left of OK";
    }
    // The button row still works with the buttons swapped.
    ASSERT_TRUE(clickWidget(view->cancel));
    ASSERT_TRUE(pumpUntil(windowGone));
    EXPECT_FALSE(fs::exists(settingsPath()));
  }
}

}  // namespace
