#include "models/UserFilesEditor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/FileAccess.h"
#include "models/UserFileParser.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

namespace fs = std::filesystem;
using File = UserFilesEditor::File;
using Testing::readFile;
using Testing::TempDir;

// A user files directory holding the four files.
class UserFilesEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write(File::Phrases, "# 手動加詞\n策士 ㄘㄜˋ-ㄕˋ\n");
    write(File::ExcludedPhrases, "# 手動刪詞\n側視 ㄘㄜˋ-ㄕˋ\n");
    write(File::Replacements, "台 臺\n裡 裏\n");
    write(File::LearntWords, "測試 ㄘㄜˋ-ㄕˋ 0.5\r\n好 ㄏㄠˇ 1\n測試 ㄘㄜˋ-ㄕˋ 0.25\n");
  }
  void write(File file, const std::string& text) {
    dir_.write(editor_.pathOf(file).filename().string(), text);
  }
  std::string read(File file) const { return readFile(editor_.pathOf(file).string()); }
  // Every file's contents, to compare before and after.
  std::vector<std::string> all() const {
    return {read(File::Phrases), read(File::ExcludedPhrases), read(File::Replacements),
            read(File::LearntWords)};
  }

  TempDir dir_;
  UserFilesEditor editor_{dir_.path().string()};
  ScopedLogCapture log_;
};

TEST_F(UserFilesEditorTest, NamesTheFilesOfTheDirectory) {
  EXPECT_EQ(editor_.pathOf(File::Phrases), dir_.path() / "data.txt");
  EXPECT_EQ(editor_.pathOf(File::ExcludedPhrases), dir_.path() / "exclude-phrases.txt");
  EXPECT_EQ(editor_.pathOf(File::Replacements), dir_.path() / "phrases-replacement.txt");
  EXPECT_EQ(editor_.pathOf(File::LearntWords), dir_.path() / "learnt.txt");
}

// Each change, what the files hold after it, and that undo gives back the
// files as they were (lines removed come back at the end of their file).
TEST_F(UserFilesEditorTest, EveryChangeIsWrittenAndUndone) {
  struct Case {
    const char* name;
    std::function<UserFilesEditor::Outcome(UserFilesEditor&)> change;
    File file;
    std::string after;
    std::string undone;
  };
  const std::vector<Case> cases = {
      {"add",
       [](UserFilesEditor& e) {
         return e.addPhrase({"ㄋㄧˇ-ㄏㄠˇ", "你好"});
       },
       File::Phrases, "# 手動加詞\n策士 ㄘㄜˋ-ㄕˋ\n你好 ㄋㄧˇ-ㄏㄠˇ\n",
       "# 手動加詞\n策士 ㄘㄜˋ-ㄕˋ\n"},
      {"add an excluded phrase",
       [](UserFilesEditor& e) {
         return e.addPhrase({"ㄘㄜˋ-ㄕˋ", "側視"});
       },
       File::ExcludedPhrases, "# 手動刪詞\n", "# 手動刪詞\n側視 ㄘㄜˋ-ㄕˋ\n"},
      {"remove",
       [](UserFilesEditor& e) {
         return e.removePhrase({"ㄘㄜˋ-ㄕˋ", "策士"});
       },
       File::Phrases, "# 手動加詞\n", "# 手動加詞\n策士 ㄘㄜˋ-ㄕˋ\n"},
      {"exclude",
       [](UserFilesEditor& e) {
         return e.excludePhrase({"ㄘㄜˋ-ㄕˋ", "測試"});
       },
       File::ExcludedPhrases, "# 手動刪詞\n側視 ㄘㄜˋ-ㄕˋ\n測試 ㄘㄜˋ-ㄕˋ\n",
       "# 手動刪詞\n側視 ㄘㄜˋ-ㄕˋ\n"},
      {"exclude an added phrase",
       [](UserFilesEditor& e) {
         return e.excludePhrase({"ㄘㄜˋ-ㄕˋ", "策士"});
       },
       File::Phrases, "# 手動加詞\n", "# 手動加詞\n策士 ㄘㄜˋ-ㄕˋ\n"},
      {"include",
       [](UserFilesEditor& e) {
         return e.includePhrase({"ㄘㄜˋ-ㄕˋ", "側視"});
       },
       File::ExcludedPhrases, "# 手動刪詞\n", "# 手動刪詞\n側視 ㄘㄜˋ-ㄕˋ\n"},
      {"remove a replacement", [](UserFilesEditor& e) { return e.removeReplacement("台", "臺"); },
       File::Replacements, "裡 裏\n", "裡 裏\n台 臺\n"},
      // Every line of the word goes, whatever its weight, and the file is
      // written as the learnt-word store writes it; undo learns the word
      // back, weights included, as the most recently learnt.
      {"remove a learnt word",
       [](UserFilesEditor& e) {
         return e.removeLearntWord({"ㄘㄜˋ-ㄕˋ", "測試"});
       },
       File::LearntWords, "好 ㄏㄠˇ 1\n", "好 ㄏㄠˇ 1\n測試 ㄘㄜˋ-ㄕˋ 0.5\n測試 ㄘㄜˋ-ㄕˋ 0.25\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    UserFilesEditor editor(dir_.path().string());
    const std::vector<std::string> before = all();
    const UserFilesEditor::Outcome outcome = c.change(editor);
    EXPECT_TRUE(outcome.ok) << outcome.failure;
    EXPECT_TRUE(outcome.changed);
    EXPECT_EQ(read(c.file), c.after);
    ASSERT_TRUE(editor.canUndo());
    const UserFilesEditor::Outcome undone = editor.undo();
    EXPECT_TRUE(undone.ok) << undone.failure;
    EXPECT_EQ(read(c.file), c.undone);
    EXPECT_FALSE(editor.canUndo());
    // The other files are as they were.
    std::vector<std::string> now = all();
    for (size_t i = 0; i < now.size(); ++i) {
      if (i != static_cast<size_t>(c.file)) {
        EXPECT_EQ(now[i], before[i]) << "file " << i;
      }
    }
  }
}

TEST_F(UserFilesEditorTest, ChangesThatFindNothingToDoAreNotRemembered) {
  const std::vector<std::string> before = all();
  for (const UserFilesEditor::Outcome& outcome : {
           editor_.addPhrase({"ㄘㄜˋ-ㄕˋ", "策士"}),
           editor_.removePhrase({"ㄘㄜˋ-ㄕˋ", "測試"}),
           editor_.excludePhrase({"ㄘㄜˋ-ㄕˋ", "側視"}),
           editor_.includePhrase({"ㄘㄜˋ-ㄕˋ", "策士"}),
           editor_.removeReplacement("台", "台"),
       }) {
    EXPECT_TRUE(outcome.ok) << outcome.failure;
    EXPECT_FALSE(outcome.changed);
  }
  EXPECT_EQ(all(), before);
  EXPECT_FALSE(editor_.canUndo());
  EXPECT_TRUE(editor_.undo().ok);
}

TEST_F(UserFilesEditorTest, UndoGoesBackOneChangeAtATimeNewestFirst) {
  ASSERT_TRUE(
      editor_.addPhrases({{"ㄋㄧˇ-ㄏㄠˇ", "你好"}, {"ㄘㄜˋ-ㄕˋ", "側視"}, {"ㄋㄧˇ-ㄏㄠˇ", "你好"}})
          .ok);
  EXPECT_EQ(read(File::Phrases), "# 手動加詞\n策士 ㄘㄜˋ-ㄕˋ\n你好 ㄋㄧˇ-ㄏㄠˇ\n側視 ㄘㄜˋ-ㄕˋ\n");
  EXPECT_EQ(read(File::ExcludedPhrases), "# 手動刪詞\n");
  ASSERT_TRUE(editor_.excludePhrase({"ㄘㄜˋ-ㄕˋ", "策士"}).ok);
  EXPECT_EQ(read(File::Phrases), "# 手動加詞\n你好 ㄋㄧˇ-ㄏㄠˇ\n側視 ㄘㄜˋ-ㄕˋ\n");
  EXPECT_EQ(read(File::ExcludedPhrases), "# 手動刪詞\n策士 ㄘㄜˋ-ㄕˋ\n");
  EXPECT_EQ(editor_.undoCount(), 2u);

  ASSERT_TRUE(editor_.undo().ok);
  EXPECT_EQ(read(File::Phrases), "# 手動加詞\n你好 ㄋㄧˇ-ㄏㄠˇ\n側視 ㄘㄜˋ-ㄕˋ\n策士 ㄘㄜˋ-ㄕˋ\n");
  EXPECT_EQ(read(File::ExcludedPhrases), "# 手動刪詞\n");
  // The import is one change: both phrases go, the exclusion comes back.
  ASSERT_TRUE(editor_.undo().ok);
  EXPECT_EQ(read(File::Phrases), "# 手動加詞\n策士 ㄘㄜˋ-ㄕˋ\n");
  EXPECT_EQ(read(File::ExcludedPhrases), "# 手動刪詞\n側視 ㄘㄜˋ-ㄕˋ\n");
  EXPECT_FALSE(editor_.canUndo());
}

TEST_F(UserFilesEditorTest, RefusalsAndFailuresLeaveTheFilesAndSayWhy) {
  const std::vector<std::string> before = all();
  // A phrase that would not read back as itself.
  UserFilesEditor::Outcome outcome = editor_.addPhrases({{"ㄅㄚ", "八"}, {"ㄅㄚ", "#八"}});
  EXPECT_FALSE(outcome.ok);
  EXPECT_FALSE(outcome.failure.empty());
  EXPECT_FALSE(editor_.excludePhrase({"ㄅㄚ ㄅㄚ", "八"}).ok);

  // Another instance holds the lock for longer than an edit takes.
  {
    std::optional<FileAccess::FileLock> held =
        LanguageModelLoader::lockUserFiles(dir_.path().string(), nullptr);
    ASSERT_TRUE(held);
    outcome = editor_.removePhrase({"ㄘㄜˋ-ㄕˋ", "策士"});
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.failure, "another process holds the lock");
  }
  EXPECT_EQ(all(), before);
  EXPECT_FALSE(editor_.canUndo());

  // A learnt-word file that is not there, a phrase file grown too large.
  fs::remove(editor_.pathOf(File::LearntWords));
  outcome = editor_.removeLearntWord({"ㄏㄠˇ", "好"});
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.failure, "no such file");
  fs::resize_file(editor_.pathOf(File::Phrases), FileAccess::kUserFileLimit + 1);
  outcome = editor_.addPhrase({"ㄋㄧˇ-ㄏㄠˇ", "你好"});
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.failure, "larger than 67108864 bytes");
  EXPECT_EQ(fs::file_size(editor_.pathOf(File::Phrases)), FileAccess::kUserFileLimit + 1);

  // With no directory at all nothing is edited.
  UserFilesEditor nowhere("");
  EXPECT_FALSE(nowhere.addPhrase({"ㄋㄧˇ-ㄏㄠˇ", "你好"}).ok);
  EXPECT_FALSE(nowhere.removePhrase({"ㄋㄧˇ-ㄏㄠˇ", "你好"}).ok);
}

// Forgetting empties the learnt words whether the file was there or not
// (an empty file is what a running input method takes as "forget"), and
// touches nothing else; there is no undo for it.
TEST_F(UserFilesEditorTest, ForgettingLearntWordsLeavesAnEmptyFile) {
  for (const bool present : {true, false}) {
    SCOPED_TRACE(present ? "a file of words" : "no file");
    SetUp();
    if (!present) fs::remove(editor_.pathOf(File::LearntWords));
    // A new file is private to the user; one that was there keeps its mode.
    const fs::perms mode =
        present ? fs::status(editor_.pathOf(File::LearntWords)).permissions() & fs::perms::all
                : fs::perms::owner_read | fs::perms::owner_write;
    std::vector<std::string> expected = all();
    expected[static_cast<size_t>(File::LearntWords)] = "";
    UserFilesEditor editor(dir_.path().string());
    const UserFilesEditor::Outcome outcome = editor.forgetLearntWords();
    EXPECT_TRUE(outcome.ok) << outcome.failure;
    EXPECT_FALSE(outcome.changed);
    EXPECT_EQ(all(), expected);
    EXPECT_TRUE(fs::is_regular_file(editor.pathOf(File::LearntWords)));
    EXPECT_EQ(fs::status(editor.pathOf(File::LearntWords)).permissions() & fs::perms::all, mode);
    EXPECT_FALSE(editor.canUndo());
  }

  // A folder no input method ever made has nothing to forget, and is not
  // made.
  const fs::path never = dir_.path() / "never";
  const UserFilesEditor::Outcome outcome = UserFilesEditor(never.string()).forgetLearntWords();
  EXPECT_TRUE(outcome.ok) << outcome.failure;
  EXPECT_FALSE(fs::exists(never));
}

TEST_F(UserFilesEditorTest, ForgettingLearntWordsSaysWhyItFailed) {
  {
    std::optional<FileAccess::FileLock> held =
        LanguageModelLoader::lockUserFiles(dir_.path().string(), nullptr);
    ASSERT_TRUE(held);
    const UserFilesEditor::Outcome outcome = editor_.forgetLearntWords();
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.failure, "another process holds the lock");
    EXPECT_EQ(read(File::LearntWords), "測試 ㄘㄜˋ-ㄕˋ 0.5\r\n好 ㄏㄠˇ 1\n測試 ㄘㄜˋ-ㄕˋ 0.25\n");
  }
  fs::remove(editor_.pathOf(File::LearntWords));
  fs::create_directory(editor_.pathOf(File::LearntWords));
  const UserFilesEditor::Outcome outcome = editor_.forgetLearntWords();
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.failure, "it is not a regular file (a directory)");
  EXPECT_FALSE(UserFilesEditor("").forgetLearntWords().ok);
}

TEST_F(UserFilesEditorTest, AnUndoneAdditionStaysUndoneWhenTheLineWasAlreadyGone) {
  ASSERT_TRUE(editor_.addPhrase({"ㄋㄧˇ-ㄏㄠˇ", "你好"}).ok);
  // Someone removed the line by hand meanwhile.
  write(File::Phrases, "# 手動加詞\n策士 ㄘㄜˋ-ㄕˋ\n");
  const UserFilesEditor::Outcome undone = editor_.undo();
  EXPECT_TRUE(undone.ok) << undone.failure;
  EXPECT_EQ(read(File::Phrases), "# 手動加詞\n策士 ㄘㄜˋ-ㄕˋ\n");
}

// The input method's editor never waits for the lock: an addition that
// finds another holder waits in the editor, in the order made, and is
// written whole (taken out of the exclusions too) once the lock is free.
// Nothing it does is kept for undo.
TEST_F(UserFilesEditorTest, KeyThreadAdditionsWaitInTheEditorWhileTheLockIsHeld) {
  UserFilesEditor editor(dir_.path().string(), UserFilesEditor::Role::KeyThread);
  const std::vector<std::string> before = all();
  {
    std::optional<FileAccess::FileLock> held =
        LanguageModelLoader::lockUserFiles(dir_.path().string(), nullptr);
    ASSERT_TRUE(held);
    for (const UserFilesEditor::Phrase& phrase : std::vector<UserFilesEditor::Phrase>{
             {"ㄋㄧˇ-ㄏㄠˇ", "你好"}, {"ㄘㄜˋ-ㄕˋ", "側視"}, {"ㄋㄧˇ-ㄏㄠˇ", "你好"}}) {
      const UserFilesEditor::Outcome outcome = editor.addPhrase(phrase);
      EXPECT_TRUE(outcome.pending);
      EXPECT_FALSE(outcome.ok);
      EXPECT_EQ(outcome.failure, "");
    }
    // Still held: nothing is written, nothing is dropped.
    EXPECT_TRUE(editor.writePending().empty());
    // Any other change fails at once.
    EXPECT_EQ(editor.removePhrase({"ㄘㄜˋ-ㄕˋ", "策士"}).failure, "another process holds the lock");
  }
  EXPECT_EQ(all(), before);
  EXPECT_EQ(editor.pendingPhrases(),
            (std::vector<UserFilesEditor::Phrase>{{"ㄋㄧˇ-ㄏㄠˇ", "你好"}, {"ㄘㄜˋ-ㄕˋ", "側視"}}));

  const std::vector<UserFilesEditor::Written> written = editor.writePending();
  ASSERT_EQ(written.size(), 2u);
  for (const UserFilesEditor::Written& each : written) {
    EXPECT_TRUE(each.outcome.ok) << each.outcome.failure;
    EXPECT_EQ(each.outcome.added, 1u);
  }
  EXPECT_EQ(written[1].phrase, (UserFilesEditor::Phrase{"ㄘㄜˋ-ㄕˋ", "側視"}));
  EXPECT_TRUE(editor.pendingPhrases().empty());
  EXPECT_EQ(read(File::Phrases), "# 手動加詞\n策士 ㄘㄜˋ-ㄕˋ\n你好 ㄋㄧˇ-ㄏㄠˇ\n側視 ㄘㄜˋ-ㄕˋ\n");
  EXPECT_EQ(read(File::ExcludedPhrases), "# 手動刪詞\n");
  EXPECT_FALSE(editor.canUndo());
  // With the lock free, an addition is written at once.
  const UserFilesEditor::Outcome outcome = editor.addPhrase({"ㄏㄠˇ-ㄉㄜ˙", "好的"});
  EXPECT_TRUE(outcome.ok && !outcome.pending);
  EXPECT_TRUE(read(File::Phrases).ends_with("好的 ㄏㄠˇ-ㄉㄜ˙\n"));
}

// What the caller keeps loaded spares the editor reading the files: the
// part of the phrase file it loaded is taken as it says, only the lines
// appended after it are read; an excluded-phrase file as loaded that lists
// none of the phrases is neither read nor rewritten. The caller hears
// which files changed, and whether they were as loaded before.
TEST_F(UserFilesEditorTest, WhatTheCallerLoadedIsNotReadAgain) {
  class Loaded : public UserFilesEditor::LoadedFiles {
   public:
    std::optional<std::uint64_t> loadedSize(File file) const override {
      return file == File::Phrases ? phrasesSize : excludedSize;
    }
    bool lists(File file, const UserFilesEditor::Phrase& phrase) const override {
      return file == File::Phrases && phrase.value == "策士";
    }
    void edited(File file, bool wasAsLoaded) override { edits.emplace_back(file, wasAsLoaded); }

    std::optional<std::uint64_t> phrasesSize;
    std::optional<std::uint64_t> excludedSize;
    std::vector<std::pair<File, bool>> edits;
  } loaded;
  // As loaded: the first line only (策士); 測試 was appended since. The
  // excluded-phrase file the caller says it loaded lists nothing, though
  // it lists 側視 (a file changed in a way the caller cannot see).
  write(File::Phrases, "# 手動加詞\n策士 ㄘㄜˋ-ㄕˋ\n測試 ㄘㄜˋ-ㄕˋ\n");
  loaded.phrasesSize = std::string("# 手動加詞\n策士 ㄘㄜˋ-ㄕˋ\n").size();
  loaded.excludedSize = fs::file_size(editor_.pathOf(File::ExcludedPhrases));
  UserFilesEditor editor(dir_.path().string(), UserFilesEditor::Role::KeyThread, &loaded);
  for (const char* value : {"策士", "測試"}) {
    const UserFilesEditor::Outcome outcome = editor.addPhrase({"ㄘㄜˋ-ㄕˋ", value});
    EXPECT_TRUE(outcome.ok) << value;
    EXPECT_EQ(outcome.added, 0u) << value;
  }
  EXPECT_TRUE(loaded.edits.empty());
  EXPECT_TRUE(editor.addPhrase({"ㄘㄜˋ-ㄕˋ", "側視"}).ok);
  EXPECT_EQ(read(File::ExcludedPhrases), "# 手動刪詞\n側視 ㄘㄜˋ-ㄕˋ\n");
  EXPECT_EQ(loaded.edits, (std::vector<std::pair<File, bool>>{{File::Phrases, false}}));

  // Nothing known of either file: both are read whole.
  loaded.phrasesSize.reset();
  loaded.excludedSize.reset();
  loaded.edits.clear();
  write(File::Phrases, "# 手動加詞\n");
  const UserFilesEditor::Outcome outcome = editor.addPhrase({"ㄘㄜˋ-ㄕˋ", "策士"});
  EXPECT_EQ(outcome.added, 1u);
  EXPECT_EQ(read(File::Phrases), "# 手動加詞\n策士 ㄘㄜˋ-ㄕˋ\n");
  EXPECT_TRUE(editor.addPhrase({"ㄘㄜˋ-ㄕˋ", "側視"}).ok);
  EXPECT_EQ(read(File::ExcludedPhrases), "# 手動刪詞\n");
  EXPECT_EQ(loaded.edits,
            (std::vector<std::pair<File, bool>>{
                {File::Phrases, false}, {File::Phrases, false}, {File::ExcludedPhrases, false}}));
}

TEST(UserFileParserTest, EntriesComeInFileOrderWithTheirLineNumbers) {
  std::vector<std::string> seen;
  ASSERT_TRUE(forEachUserFileEntry("乙 ㄧˇ\n\n甲 ㄐㄧㄚˇ\r\n乙 ㄧˇ\r丙", UserFileKind::kPhrases,
                                   [&](const UserFileEntry& entry) {
                                     seen.push_back(std::to_string(entry.lineNumber) + " " +
                                                    std::string(entry.value));
                                   }));
  EXPECT_EQ(seen, (std::vector<std::string>{"1 乙", "3 甲", "4 乙"}));
  // A NUL anywhere but at the very end rejects the file, as parseUserFile does.
  bool visited = false;
  EXPECT_FALSE(forEachUserFileEntry(std::string("甲 ㄅ\n\0乙 ㄆ", 16), UserFileKind::kPhrases,
                                    [&](const UserFileEntry&) { visited = true; }));
  EXPECT_FALSE(visited);
}

}  // namespace
}  // namespace Kestova
