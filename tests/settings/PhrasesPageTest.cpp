// The settings window's phrase page in a real X server, end to end: a user
// adds a phrase by typing its text, finds it by the keys of its reading,
// excludes a built-in phrase, removes the added one and undoes that, all with
// real pointer and keyboard events. After each step the user files hold
// what they must, and the module, loaded as gcin loads it, converts the
// same keys accordingly.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "XTestSession.h"
#include "models/SortedPhraseFile.h"
#include "testhost/TestHost.h"
#include "tests/support/TempDir.h"

extern "C" __attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace fs = std::filesystem;
using namespace KestovaTest;

namespace {

constexpr char kTitle[] = "gcin Kestova設定";

fs::path outputDir() {
  fs::path dir(KESTOVA_SETTINGS_OUTPUT_DIR);
  fs::create_directories(dir);
  return dir;
}

[[maybe_unused]] ::testing::Environment* const gXEnvironment =
    ::testing::AddGlobalTestEnvironment(new XEnvironment(outputDir()));

// ㄘㄜˋ ㄕˋ is 測試 until the user says otherwise; 策 and 士 are each the
// likeliest character of their syllable.
const std::vector<std::string> kBuiltIn = {
    "ㄘㄜˋ 策 -3", "ㄘㄜˋ 測 -3.5", "ㄘㄜˋ 側 -3.6",       "ㄕˋ 士 -3",
    "ㄕˋ 試 -3.5", "ㄕˋ 視 -3.4",   "ㄘㄜˋ-ㄕˋ 測試 -2",   "ㄘㄜˋ-ㄕˋ 側視 -2.5",
    "ㄋㄧˇ 你 -3", "ㄏㄠˇ 好 -3",   "ㄋㄧˇ-ㄏㄠˇ 你好 -2", "ㄋㄧˇ-ㄏㄠˇ 妳好 -2.6",
};

// The rows of the list: value, reading and source of each.
std::vector<std::string> rowsOf(GtkWidget* list) {
  std::vector<std::string> rows;
  GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(list));
  GtkTreeIter iter;
  for (gboolean valid = gtk_tree_model_get_iter_first(model, &iter); valid;
       valid = gtk_tree_model_iter_next(model, &iter)) {
    gchar* value = nullptr;
    gchar* reading = nullptr;
    gchar* source = nullptr;
    gtk_tree_model_get(model, &iter, 0, &value, 1, &reading, 2, &source, -1);
    rows.push_back(std::string(value ? value : "") + " " + (reading ? reading : "") + " " +
                   (source ? source : ""));
    g_free(value);
    g_free(reading);
    g_free(source);
  }
  return rows;
}

std::string textOf(GtkWidget* widget) {
  if (GTK_IS_ENTRY(widget)) return gtk_entry_get_text(GTK_ENTRY(widget));
  if (GTK_IS_LABEL(widget)) return gtk_label_get_text(GTK_LABEL(widget));
  return {};
}

class PhrasesPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<Kestova::PhraseFileLine> lines;
    for (const std::string& line : kBuiltIn) lines.push_back(Kestova::parsePhraseFileLine(line));
    fs::create_directories(dir_.path() / "root/data");
    ASSERT_TRUE(Kestova::writeSortedPhraseFile(
        (dir_.path() / "root/data/kestova-data.txt").string(), std::move(lines)));
    fs::create_directories(dir_.path() / "home");
    setenv("HOME", (dir_.path() / "home").c_str(), 1);
    setenv("KESTOVA_DATA_ROOT", (dir_.path() / "root").c_str(), 1);
    ASSERT_TRUE(movePointer(512, 384));
  }

  void TearDown() override {
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
  }

  fs::path userFile(const char* name) const {
    return dir_.path() / "home/.gcin/kestova/kestova" / name;
  }
  std::string read(const char* name) const { return Kestova::Testing::readFile(userFile(name)); }
  bool fileHasLine(const char* name, const std::string& line) const {
    return ("\n" + read(name)).find("\n" + line + "\n") != std::string::npos;
  }

  // Types keys into the running module, then Enter; what it committed.
  std::string convert(const std::string& keys) {
    for (char key : keys) host_->feedKey(static_cast<unsigned char>(key));
    host_->feedKey(XK_Return);
    pumpFor(std::chrono::milliseconds(20));
    return host_->takeCommitted();
  }

  // What typing the keys shows, taken back with Backspace: nothing is
  // committed, so nothing the user wrote stands against a later pick.
  std::string shown(const std::string& keys) {
    for (char key : keys) host_->feedKey(static_cast<unsigned char>(key));
    pumpFor(std::chrono::milliseconds(20));
    const std::string text = host_->preedit().text;
    for (int i = 0; i < 16 && !host_->preedit().text.empty(); ++i) host_->feedKey(XK_BackSpace);
    EXPECT_EQ(host_->preedit().text, "");
    return text;
  }

  // Selects the row whose value and source are these, with a click on it.
  void selectRow(const std::string& value, const std::string& source) {
    GtkTreeModel* model = gtk_tree_view_get_model(GTK_TREE_VIEW(list_));
    GtkTreeIter iter;
    int index = 0;
    for (gboolean valid = gtk_tree_model_get_iter_first(model, &iter); valid;
         valid = gtk_tree_model_iter_next(model, &iter), ++index) {
      gchar* rowValue = nullptr;
      gchar* rowSource = nullptr;
      gtk_tree_model_get(model, &iter, 0, &rowValue, 2, &rowSource, -1);
      const bool match = value == rowValue && source == rowSource;
      g_free(rowValue);
      g_free(rowSource);
      if (!match) continue;
      GtkTreePath* path = gtk_tree_path_new_from_indices(index, -1);
      GdkRectangle cell;
      gtk_tree_view_get_cell_area(GTK_TREE_VIEW(list_), path,
                                  gtk_tree_view_get_column(GTK_TREE_VIEW(list_), 0), &cell);
      gtk_tree_path_free(path);
      int x = 0;
      int y = 0;
      gtk_tree_view_convert_bin_window_to_widget_coords(
          GTK_TREE_VIEW(list_), cell.x + cell.width / 2, cell.y + cell.height / 2, &x, &y);
      ASSERT_TRUE(clickWidgetAt(list_, x, y));
      ASSERT_TRUE(pumpUntil([&] {
        GtkTreeModel* selectedModel = nullptr;
        GtkTreeIter selected;
        if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(list_)),
                                             &selectedModel, &selected)) {
          return false;
        }
        GtkTreePath* at = gtk_tree_model_get_path(selectedModel, &selected);
        const bool same = gtk_tree_path_get_indices(at)[0] == index;
        gtk_tree_path_free(at);
        return same;
      })) << "clicking did not select "
          << value;
      return;
    }
    FAIL() << "no row " << value << " " << source << " in "
           << ::testing::PrintToString(rowsOf(list_));
  }

  // Types keys, opens the candidates with Space, picks the row showing
  // `value` with its selection key and commits with Enter; what it
  // committed.
  std::string pickAndCommit(const std::string& keys, const std::string& value) {
    for (char key : keys) host_->feedKey(static_cast<unsigned char>(key));
    host_->feedKey(XK_space);
    int row = -1;
    for (const auto& [number, text] : host_->candidateWindow().rows) {
      if (text.find(value) != std::string::npos) row = number;
    }
    if (row < 0 || row > 8) {
      ADD_FAILURE() << value << " is not among the candidates";
      return {};
    }
    host_->feedKey(static_cast<unsigned>('1' + row));
    host_->feedKey(XK_Return);
    pumpFor(std::chrono::milliseconds(20));
    return host_->takeCommitted();
  }

  // Opens the settings window as gcin's setup tool does; null if it did
  // not appear.
  GtkWidget* openWindow() {
    host_->openSettingsWindow();
    GtkWidget* window = nullptr;
    if (!pumpUntil([&] {
          std::vector<GtkWidget*> windows = visibleWindowsTitled(kTitle);
          window = windows.size() == 1 ? windows[0] : nullptr;
          return window && isOnScreen(window);
        })) {
      ADD_FAILURE() << "the settings window did not appear";
      return nullptr;
    }
    return window;
  }

  // Clicks the tab of a page of the settings window.
  static void showPage(GtkWidget* window, int page) {
    GtkWidget* notebook = findNamed(window, "GtkNotebook");
    ASSERT_NE(notebook, nullptr);
    GtkWidget* tab = gtk_notebook_get_tab_label(
        GTK_NOTEBOOK(notebook), gtk_notebook_get_nth_page(GTK_NOTEBOOK(notebook), page));
    ASSERT_TRUE(pumpUntil([&] { return isOnScreen(tab); }));
    ASSERT_TRUE(clickWidget(tab));
    ASSERT_TRUE(
        pumpUntil([&] { return gtk_notebook_get_current_page(GTK_NOTEBOOK(notebook)) == page; }));
  }

  // Clicks "忘記學過的詞" on the settings page and confirms.
  void forget(GtkWidget* window) {
    showPage(window, 0);
    GtkWidget* button = findNamed(window, "forget-learnt-words");
    GtkWidget* status = findNamed(window, "forget-learnt-status");
    ASSERT_NE(button, nullptr);
    ASSERT_NE(status, nullptr);
    gtk_label_set_text(GTK_LABEL(status), "");
    ASSERT_TRUE(pumpUntil([&] { return isOnScreen(button); }));
    ASSERT_TRUE(clickWidget(button));
    GtkWidget* yes = nullptr;
    ASSERT_TRUE(pumpUntil([&] {
      GList* list = gtk_window_list_toplevels();
      for (GList* item = list; item; item = item->next) {
        if (GTK_IS_MESSAGE_DIALOG(item->data) && gtk_widget_get_visible(GTK_WIDGET(item->data))) {
          yes = gtk_dialog_get_widget_for_response(GTK_DIALOG(item->data), GTK_RESPONSE_ACCEPT);
        }
      }
      g_list_free(list);
      return yes && isOnScreen(yes);
    })) << "no question";
    ASSERT_TRUE(clickWidget(yes));
    ASSERT_TRUE(pumpUntil([&] { return textOf(status) == "已忘記學過的詞"; })) << textOf(status);
  }

  // The learnt words the phrase page lists once it is shown again.
  std::vector<std::string> learntRows(GtkWidget* window) {
    showPage(window, 1);
    GtkWidget* list = nullptr;
    if (!pumpUntil([&] {
          list = findNamed(window, "phrases-list");
          return list && isOnScreen(list);
        })) {
      ADD_FAILURE() << "the phrase page did not appear";
      return {};
    }
    std::vector<std::string> learnt;
    for (const std::string& row : rowsOf(list)) {
      if (row.ends_with(" 學習")) learnt.push_back(row);
    }
    return learnt;
  }

  void clickAndWait(GtkWidget* button, const std::function<bool()>& done, const char* what) {
    ASSERT_TRUE(gtk_widget_get_sensitive(button)) << what;
    ASSERT_TRUE(clickWidget(button)) << what;
    ASSERT_TRUE(pumpUntil(done)) << what << "; the page says: " << textOf(status_);
  }

  Kestova::Testing::TempDir dir_;
  std::unique_ptr<Kestova::TestHost> host_;
  GtkWidget* list_ = nullptr;
  GtkWidget* status_ = nullptr;
};

TEST_F(PhrasesPageTest, AddFindExcludeRemoveAndUndoReachTheFilesAndTheModule) {
  std::string error;
  host_ = Kestova::TestHost::load(KESTOVA_MODULE_PATH, &error);
  ASSERT_TRUE(host_) << error;
  ASSERT_EQ(host_->initWin(), 1);
  ASSERT_EQ(convert("hk4g4"), "測試");

  host_->openSettingsWindow();
  GtkWidget* window = nullptr;
  ASSERT_TRUE(pumpUntil([&] {
    std::vector<GtkWidget*> windows = visibleWindowsTitled(kTitle);
    window = windows.size() == 1 ? windows[0] : nullptr;
    return window && isOnScreen(window);
  })) << "the settings window did not appear";

  // The phrase page is built when its tab is first clicked.
  GtkWidget* notebook = findNamed(window, "GtkNotebook");
  ASSERT_NE(notebook, nullptr);
  EXPECT_EQ(findNamed(window, "phrases-list"), nullptr);
  GtkWidget* tab = gtk_notebook_get_tab_label(GTK_NOTEBOOK(notebook),
                                              gtk_notebook_get_nth_page(GTK_NOTEBOOK(notebook), 1));
  ASSERT_TRUE(pumpUntil([&] { return isOnScreen(tab); }));
  ASSERT_TRUE(clickWidget(tab));
  ASSERT_TRUE(pumpUntil([&] {
    list_ = findNamed(window, "phrases-list");
    return list_ && isOnScreen(list_);
  })) << "the phrase page did not appear";
  GtkWidget* search = findNamed(window, "phrases-search");
  GtkWidget* value = findNamed(window, "phrases-value");
  GtkWidget* reading = findNamed(window, "phrases-reading");
  GtkWidget* verdict = findNamed(window, "phrases-verdict");
  GtkWidget* exclude = findNamed(window, "phrases-exclude");
  GtkWidget* remove = findNamed(window, "phrases-remove");
  GtkWidget* undo = findNamed(window, "phrases-undo");
  status_ = findNamed(window, "phrases-status");
  for (GtkWidget* widget : {search, value, reading, verdict, exclude, remove, undo, status_}) {
    ASSERT_NE(widget, nullptr);
  }
  // The loader made the user files; nobody has added anything yet.
  EXPECT_TRUE(rowsOf(list_).empty());
  EXPECT_TRUE(fs::exists(userFile("data.txt")));

  // Add: the text typed, its reading proposed and checked, Enter adds it.
  ASSERT_TRUE(pumpUntil([&] { return isOnScreen(value); }));
  ASSERT_TRUE(clickWidget(value));
  ASSERT_TRUE(typeText("策士"));
  ASSERT_TRUE(pumpUntil([&] { return textOf(value) == "策士"; })) << textOf(value);
  EXPECT_EQ(textOf(reading), "ㄘㄜˋ ㄕˋ");
  EXPECT_EQ(textOf(verdict), "請按 Enter 加入自訂詞庫");
  ASSERT_TRUE(pressKey("Return"));
  ASSERT_TRUE(pumpUntil([&] { return fileHasLine("data.txt", "策士 ㄘㄜˋ-ㄕˋ"); }))
      << read("data.txt");
  EXPECT_EQ(textOf(status_), "已加入「策士」（ㄘㄜˋ ㄕˋ）");
  EXPECT_EQ(textOf(value), "");
  EXPECT_EQ(convert("hk4g4"), "策士");

  // Find: the keys of the reading bring the added phrase and the built-in
  // ones of that reading, likeliest first.
  ASSERT_TRUE(clickWidget(search));
  ASSERT_TRUE(typeText("hk4"));
  const std::vector<std::string> found = {"策士 ㄘㄜˋ ㄕˋ 加入", "測試 ㄘㄜˋ ㄕˋ 內建",
                                          "側視 ㄘㄜˋ ㄕˋ 內建", "策 ㄘㄜˋ 內建",
                                          "測 ㄘㄜˋ 內建",       "側 ㄘㄜˋ 內建"};
  ASSERT_TRUE(pumpUntil([&] { return rowsOf(list_) == found; }))
      << ::testing::PrintToString(rowsOf(list_));

  // Exclude a built-in phrase.
  selectRow("測試", "內建");
  clickAndWait(
      exclude, [&] { return fileHasLine("exclude-phrases.txt", "測試 ㄘㄜˋ-ㄕˋ"); }, "exclude");
  EXPECT_EQ(textOf(status_), "已排除「測試」，不會再出現在候選字裡");
  EXPECT_EQ(rowsOf(list_)[1], "測試 ㄘㄜˋ ㄕˋ 排除");
  EXPECT_EQ(convert("hk4g4"), "策士");

  // Remove the added phrase: with 測試 excluded, 側視 is left.
  selectRow("策士", "加入");
  clickAndWait(
      remove, [&] { return !fileHasLine("data.txt", "策士 ㄘㄜˋ-ㄕˋ"); }, "remove");
  EXPECT_EQ(textOf(status_), "已移除「策士」");
  EXPECT_EQ(convert("hk4g4"), "側視");

  // Undo brings it back.
  clickAndWait(
      undo, [&] { return fileHasLine("data.txt", "策士 ㄘㄜˋ-ㄕˋ"); }, "undo");
  EXPECT_EQ(textOf(status_), "已復原上一個變更");
  EXPECT_TRUE(fileHasLine("exclude-phrases.txt", "測試 ㄘㄜˋ-ㄕˋ"));
  EXPECT_EQ(convert("hk4g4"), "策士");

  // The window grew with the page, and stayed on the screen.
  int x = 0;
  int y = 0;
  gtk_window_get_position(GTK_WINDOW(window), &x, &y);
  EXPECT_LE(y + gtk_widget_get_allocated_height(window), 768);
  EXPECT_LE(x + gtk_widget_get_allocated_width(window), 1024);

  pumpFor(std::chrono::milliseconds(300));
  EXPECT_TRUE(captureScreen((outputDir() / "phrases-page.png").string()));
}

// A word the user picked is learnt by the running module; "忘記學過的詞" in
// the settings window makes it forget, through the learnt-word file, both
// when the words are kept in memory only and when they are kept in
// learnt.txt too; the phrase page lists the learnt words before the forget,
// none after it, and the words learnt afterwards. What ㄘㄜˋㄕˋ gives is
// looked at without committing it: a 測試 the user committed would have the
// pick of 側視 learnt beside 你好 only.
TEST_F(PhrasesPageTest, ForgettingLearntWordsReachesTheModuleAndThePhrasePage) {
  std::string error;
  host_ = Kestova::TestHost::load(KESTOVA_MODULE_PATH, &error);
  ASSERT_TRUE(host_) << error;
  ASSERT_EQ(host_->initWin(), 1);
  // 側視 picked after 你好 comes back where the pick history has nothing:
  // at the start of a composition.
  const std::string after = "su3cl3hk4g4";
  ASSERT_EQ(shown("hk4g4"), "測試");

  // Kept in memory only (the default): nothing on disk to list.
  ASSERT_EQ(pickAndCommit(after, "側視"), "你好側視");
  EXPECT_EQ(shown("hk4g4"), "側視");
  EXPECT_FALSE(fs::exists(userFile("learnt.txt")));
  GtkWidget* window = openWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(learntRows(window).empty());
  forget(window);
  EXPECT_EQ(read("learnt.txt"), "");
  EXPECT_EQ(shown("hk4g4"), "測試");

  // Forgotten and switched to keeping them in learnt.txt in one visit to
  // the window: the module reads the settings first, and what it had
  // learnt must not reach the file.
  ASSERT_EQ(pickAndCommit(after, "側視"), "你好側視");
  EXPECT_EQ(shown("hk4g4"), "側視");
  forget(window);
  GtkWidget* remember = nullptr;
  for (GtkWidget* row :
       childrenOf(gtk_notebook_get_nth_page(GTK_NOTEBOOK(findNamed(window, "GtkNotebook")), 0))) {
    std::vector<GtkWidget*> cells = childrenOf(row);
    if (cells.size() == 2 && GTK_IS_LABEL(cells[0]) &&
        textOf(cells[0]) == "重新啟動後仍記得學過的詞") {
      remember = cells[1];
    }
  }
  ASSERT_NE(remember, nullptr);
  ASSERT_TRUE(clickWidget(remember));
  ASSERT_TRUE(pumpUntil([&] { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(remember)); }));
  GtkWidget* ok = nullptr;
  for (GtkWidget* button : childrenOf(childrenOf(childrenOf(window)[0])[1])) {
    if (GTK_IS_BUTTON(button) &&
        gtk_button_get_label(GTK_BUTTON(button)) == std::string("確定(_O)")) {
      ok = button;
    }
  }
  ASSERT_NE(ok, nullptr);
  ASSERT_TRUE(clickWidget(ok));
  ASSERT_TRUE(pumpUntil([] { return visibleWindowsTitled(kTitle).empty(); }));
  EXPECT_EQ(shown("hk4g4"), "測試");
  EXPECT_EQ(read("learnt.txt"), "");

  // Kept in learnt.txt: listed by the page, forgotten by the button.
  ASSERT_EQ(pickAndCommit(after, "側視"), "你好側視");
  EXPECT_EQ(read("learnt.txt"), "側視 ㄘㄜˋ-ㄕˋ 1\n");
  EXPECT_EQ(shown("hk4g4"), "側視");
  window = openWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(learntRows(window), std::vector<std::string>{"側視 ㄘㄜˋ ㄕˋ 學習"});
  forget(window);
  EXPECT_EQ(read("learnt.txt"), "");
  EXPECT_TRUE(learntRows(window).empty());
  EXPECT_EQ(shown("hk4g4"), "測試");

  // Learning goes on, and the page lists what is learnt next.
  ASSERT_EQ(pickAndCommit("su3cl3", "妳好"), "妳好");
  EXPECT_EQ(read("learnt.txt"), "妳好 ㄋㄧˇ-ㄏㄠˇ 1\n");
  showPage(window, 0);
  EXPECT_EQ(learntRows(window), std::vector<std::string>{"妳好 ㄋㄧˇ ㄏㄠˇ 學習"});
  EXPECT_EQ(shown("hk4g4"), "測試");
}

}  // namespace
