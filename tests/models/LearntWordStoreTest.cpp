#include "models/LearntWordStore.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "models/UserFilesEditor.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

namespace fs = std::filesystem;
using Testing::readFile;
using Testing::TempDir;

using Words = std::vector<std::pair<std::string, std::string>>;  // (reading, value)

// A user files folder shared by a running input method's store and the
// settings window's editor, which live in different processes and meet
// only in the files.
class LearntWordStoreTest : public ::testing::Test {
 protected:
  std::unique_ptr<LearntWordStore> start(bool remember) {
    auto store = std::make_unique<LearntWordStore>();
    store->setFolder(dir_.path(), dir_.path() / ".user-files.lock");
    store->configure(true, remember);
    return store;
  }
  // The words in memory, least recently learnt first, as "VALUE READING".
  static std::vector<std::string> wordsOf(const LearntWordStore& store) {
    std::vector<std::string> words;
    for (const LearntWords::Word& word : store.words()->words()) {
      words.push_back(word.value + " " + word.reading);
    }
    return words;
  }
  fs::path learntFile() const { return dir_.path() / "learnt.txt"; }
  std::string fileText() const { return readFile(learntFile().string()); }
  UserFilesEditor::Outcome forgetInTheWindow() {
    return UserFilesEditor(dir_.path().string()).forgetLearntWords();
  }

  TempDir dir_;
  ScopedLogCapture log_;
};

const Words kPicks = {{"ㄘㄜˋ-ㄕˋ", "側視"}, {"ㄋㄧˇ", "妳"}};
const std::vector<std::string> kPicked = {"側視 ㄘㄜˋ-ㄕˋ", "妳 ㄋㄧˇ"};

// The settings window's "Forget learnt words" and a deleted file reach a
// running instance through the file, whether it keeps its words on disk or
// only in memory, and whatever the file held before; learning goes on
// afterwards from nothing.
TEST_F(LearntWordStoreTest, ForgettingThroughTheFileReachesARunningInstance) {
  enum class How { Window, Delete };
  struct Case {
    const char* name;
    bool remember;
    // What learnt.txt holds when the instance starts; null: no file.
    const char* fileBefore;
    How how;
  };
  const std::vector<Case> cases = {
      {"in memory, no file, the window", false, nullptr, How::Window},
      {"in memory, a file kept from before, the window", false, "好 ㄏㄠˇ 1\n", How::Window},
      {"in memory, an empty file from an earlier forget, the window", false, "", How::Window},
      {"in memory, a file kept from before, deleted", false, "好 ㄏㄠˇ 1\n", How::Delete},
      {"on disk, the window", true, nullptr, How::Window},
      {"on disk, the file deleted", true, "好 ㄏㄠˇ 1\n", How::Delete},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(learntFile());
    if (c.fileBefore) dir_.write("learnt.txt", c.fileBefore);
    std::unique_ptr<LearntWordStore> running = start(c.remember);
    running->learnWords(kPicks);
    std::vector<std::string> before = kPicked;
    if (c.remember && c.fileBefore) before.insert(before.begin(), "好 ㄏㄠˇ");
    ASSERT_EQ(wordsOf(*running), before);

    if (c.how == How::Window) {
      const UserFilesEditor::Outcome outcome = forgetInTheWindow();
      ASSERT_TRUE(outcome.ok) << outcome.failure;
      EXPECT_EQ(fileText(), "");
      // Made private to the user; a file there keeps its mode.
      if (!c.fileBefore) {
        EXPECT_EQ(fs::status(learntFile()).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
      }
    } else {
      fs::remove(learntFile());
    }
    EXPECT_TRUE(running->reloadIfChanged());
    EXPECT_TRUE(wordsOf(*running).empty());
    EXPECT_FALSE(running->reloadIfChanged()) << "forgotten once";

    running->learnWords({{"ㄘㄜˋ", "側"}});
    EXPECT_EQ(wordsOf(*running), std::vector<std::string>{"側 ㄘㄜˋ"});
    EXPECT_FALSE(running->reloadIfChanged()) << "its own write is no change";
    if (c.remember) {
      EXPECT_EQ(fileText(), "側 ㄘㄜˋ 1\n");
      // Read back after a restart.
      EXPECT_EQ(wordsOf(*start(true)), std::vector<std::string>{"側 ㄘㄜˋ"});
    } else {
      EXPECT_EQ(fileText().find("側"), std::string::npos);
    }
  }
}

// The module reloads its settings before it looks at the user files. A
// forget made while the words were kept in memory only must hold when
// remembering was switched on in the same visit to the settings window:
// what was learnt so far joins the file only if it was not forgotten.
TEST_F(LearntWordStoreTest, AForgetHoldsWhenRememberingChangesBeforeTheNextCheck) {
  for (const bool rememberBefore : {false, true}) {
    SCOPED_TRACE(rememberBefore ? "remembering switched off" : "remembering switched on");
    fs::remove(learntFile());
    std::unique_ptr<LearntWordStore> running = start(rememberBefore);
    running->learnWords(kPicks);
    ASSERT_EQ(wordsOf(*running), kPicked);

    ASSERT_TRUE(forgetInTheWindow().ok);
    running->configure(true, !rememberBefore);
    running->reloadIfChanged();
    EXPECT_TRUE(wordsOf(*running).empty());
    EXPECT_EQ(fileText(), "");
  }
  // Switched on with nothing forgotten, the words learnt so far join the
  // file.
  fs::remove(learntFile());
  std::unique_ptr<LearntWordStore> running = start(false);
  running->learnWords(kPicks);
  running->configure(true, true);
  EXPECT_EQ(wordsOf(*running), kPicked);
  EXPECT_EQ(fileText(), "側視 ㄘㄜˋ-ㄕˋ 1\n妳 ㄋㄧˇ 1\n");
}

// A word another pick wore away is kept at its new weight, on disk and in
// memory alike.
TEST_F(LearntWordStoreTest, AWeakenedWordIsWrittenAtItsWeight) {
  for (const bool remember : {false, true}) {
    SCOPED_TRACE(remember ? "on disk" : "in memory");
    fs::remove(learntFile());
    std::unique_ptr<LearntWordStore> running = start(remember);
    running->learnWords(kPicks);
    running->weakenWords({{"ㄘㄜˋ-ㄕˋ", "側視"}});
    EXPECT_EQ(running->words()->wordsOf("ㄘㄜˋ-ㄕˋ").front().weight, 0.5);
    if (remember) {
      EXPECT_EQ(fileText(), "側視 ㄘㄜˋ-ㄕˋ 0.5\n妳 ㄋㄧˇ 1\n");
      EXPECT_EQ(start(true)->words()->wordsOf("ㄘㄜˋ-ㄕˋ").front().weight, 0.5);
    }
  }
}

// Forgetting in the settings window empties the file, and every instance
// on the same folder forgets: the one that wrote the file, another that
// remembers, and one that keeps its words in memory only.
TEST_F(LearntWordStoreTest, ForgettingReachesEveryInstance) {
  std::unique_ptr<LearntWordStore> remembering = start(true);
  remembering->learnWords(kPicks);
  std::unique_ptr<LearntWordStore> other = start(true);
  std::unique_ptr<LearntWordStore> inMemory = start(false);
  inMemory->learnWords({{"ㄘㄜˋ", "側"}});
  ASSERT_EQ(wordsOf(*other), kPicked);

  ASSERT_TRUE(forgetInTheWindow().ok);
  EXPECT_EQ(fileText(), "");
  EXPECT_TRUE(remembering->reloadIfChanged());
  EXPECT_TRUE(wordsOf(*remembering).empty());
  EXPECT_TRUE(other->reloadIfChanged());
  EXPECT_TRUE(wordsOf(*other).empty());
  EXPECT_TRUE(inMemory->reloadIfChanged());
  EXPECT_TRUE(wordsOf(*inMemory).empty());
}

}  // namespace
}  // namespace Kestova
