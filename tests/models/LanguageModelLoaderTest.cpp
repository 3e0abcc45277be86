#include "models/LanguageModelLoader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "base/ModuleLog.h"
#include "models/SortedPhraseTable.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

namespace fs = std::filesystem;
using Palisar::Lattivor2::ScoredPhrase;
using Testing::namesIn;
using Testing::readFile;
using Testing::TempDir;

std::vector<std::string> values(const std::vector<ScoredPhrase>& phrases) {
  std::vector<std::string> out;
  for (const auto& phrase : phrases) out.push_back(phrase.value);
  return out;
}

std::string quoted(const fs::path& path) {
  return "\"" + path.string() + "\"";
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// A data root with a small built-in phrase file and an empty home.
class LoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.path() / "root/data");
    fs::create_directories(dir_.path() / "home/.gcin");
    dir_.write("root/data/kestova-data.txt", std::string(SortedPhraseTable::kHeader) +
                                                 "ㄅㄚ 八 -3\n"
                                                 "ㄅㄚ 吧 -4\n"
                                                 "ㄊㄞˊ-ㄨㄢ 台灣 -3\n"
                                                 "ㄐㄧㄣ-ㄊㄧㄢ MACRO@THIS_YEAR_GANZHI -8\n"
                                                 "ㄐㄧㄣ-ㄊㄧㄢ 今天 -3\n");
  }

  LanguageModelLoader::Paths paths() const {
    return {(dir_.path() / "root").string(),
            LanguageModelLoader::Paths::userDataDirectoryFor((dir_.path() / "home").string())};
  }
  std::unique_ptr<LanguageModelLoader> makeLoader() {
    return std::make_unique<LanguageModelLoader>(std::make_unique<LoaderStrings>(), paths());
  }
  fs::path userFiles() const { return dir_.path() / "home/.gcin/kestova/kestova"; }
  // Writes a user file, creating the user files directory if needed.
  void writeUserFile(const std::string& name, const std::string& contents) {
    fs::create_directories(userFiles());
    dir_.write("home/.gcin/kestova/kestova/" + name, contents);
  }
  std::string info(const std::string& message) { return "gcin kestova Info: " + message; }
  // No test here has a context file: the loader says so, once.
  std::string noContextFile() {
    return info("No context file (the walk goes without context until it appears): " +
                quoted(dir_.path() / "root/data/kestova-context.bin"));
  }
  std::string warn(const std::string& message) { return "gcin kestova Warn: " + message; }

  // Moves a file's modification time forward so the change is seen even
  // when the file system's clock did not tick.
  void touch(const fs::path& path) {
    fs::last_write_time(path, fs::last_write_time(path) + std::chrono::seconds(2));
  }

  TempDir dir_;
  ScopedLogCapture log_;
};

TEST_F(LoaderTest, FirstStartInEmptyHome) {
  auto loader = makeLoader();
  std::string builtIn = (dir_.path() / "root/data/kestova-data.txt").string();
  std::string userDir = (dir_.path() / "home/.gcin/kestova").string();
  fs::path data = userFiles() / "data.txt";
  fs::path exclude = userFiles() / "exclude-phrases.txt";
  EXPECT_EQ(log_.lines(), (std::vector<std::string>{
                              info("Built-in LM: " + builtIn),
                              noContextFile(),
                              info("Set macro converter"),
                              info("Created user data directory: " + userDir),
                              info("Created kestova user data directory: " + userFiles().string()),
                              info("Creating: " + quoted(data)),
                              info("Creating: " + quoted(exclude)),
                              info("Will load: " + quoted(data)),
                              info("Will load: " + quoted(exclude)),
                          }));
  EXPECT_EQ(readFile(data.string()), LoaderStrings().userPhrasesTemplate());
  EXPECT_EQ(readFile(exclude.string()), LoaderStrings().excludedPhrasesTemplate());
  EXPECT_TRUE(LoaderStrings().userPhrasesTemplate().starts_with("# 手動加詞資料檔\n#\n"));
  EXPECT_TRUE(LoaderStrings().excludedPhrasesTemplate().ends_with("註解。\n\n"));
  EXPECT_FALSE(fs::exists(userFiles() / "phrases-replacement.txt"));
  EXPECT_EQ(fs::status(userFiles()).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(loader->userFilesDirectory(), userFiles().string());

  auto lm = loader->languageModel();
  EXPECT_TRUE(lm->builtInTableLoaded());
  EXPECT_EQ(values(lm->getScoredPhrases("ㄅㄚ")), (std::vector<std::string>{"八", "吧"}));
  // The macro expander is installed: the macro line expands to a year name.
  auto today = lm->getScoredPhrases("ㄐㄧㄣ-ㄊㄧㄢ");
  ASSERT_EQ(today.size(), 2u);
  EXPECT_TRUE(today[0].value.ends_with("年"));
  EXPECT_EQ(today[0].rawValue, "MACRO@THIS_YEAR_GANZHI");

  // A second start finds everything in place and only loads.
  // A built-in file replaced (as an install does) is opened again, once.
  log_.clear();
  const std::string contents = readFile(builtIn);
  fs::remove(builtIn);
  dir_.write("root/data/kestova-data.txt", contents);
  EXPECT_TRUE(loader->reloadIfChanged());
  EXPECT_FALSE(loader->reloadIfChanged());
  auto again = makeLoader();
  EXPECT_EQ(log_.lines(), (std::vector<std::string>{
                              info("Built-in LM changed on disk: " + builtIn),
                              info("Built-in LM: " + builtIn),
                              info("Built-in LM: " + builtIn),
                              noContextFile(),
                              info("Set macro converter"),
                              info("Will load: " + quoted(data)),
                              info("Will load: " + quoted(exclude)),
                          }));
}

TEST_F(LoaderTest, MissingBuiltInFileAndUnusableUserDirectory) {
  fs::remove(dir_.path() / "root/data/kestova-data.txt");
  fs::remove(dir_.path() / "home/.gcin");
  LanguageModelLoader loader(std::make_unique<LoaderStrings>(), paths());
  std::string userDir = (dir_.path() / "home/.gcin/kestova").string();
  EXPECT_EQ(log_.lines(), (std::vector<std::string>{
                              info("Built-in LM: "),
                              info("Failed to open built-in LM"),
                              noContextFile(),
                              info("Set macro converter"),
                              warn("Failed to create user data directory: " + userDir),
                          }));
  EXPECT_FALSE(loader.languageModel()->builtInTableLoaded());
  EXPECT_TRUE(loader.userFilesDirectory().empty());
  log_.clear();
  EXPECT_FALSE(loader.reloadIfChanged());
  loader.addPhrase("ㄅㄚ", "捌");
  EXPECT_EQ(log_.lines(),
            std::vector<std::string>{info("Not writing user phrases: data file does not exist")});
}

TEST_F(LoaderTest, NoHomeMeansNoUserFiles) {
  LanguageModelLoader loader(std::make_unique<LoaderStrings>(),
                             {(dir_.path() / "root").string(), ""});
  EXPECT_EQ(log_.lines().size(), 3u);
  EXPECT_FALSE(loader.reloadIfChanged());
  EXPECT_TRUE(loader.languageModel()->builtInTableLoaded());
}

TEST_F(LoaderTest, DefaultPathsAreTheFixedOnes) {
  auto paths = LanguageModelLoader::Paths::fromEnvironment();
  EXPECT_EQ(paths.dataRoot, "/usr/local/share/gcin/kestova");
  const char* home = std::getenv("HOME");
  EXPECT_EQ(paths.userDataDirectory, home ? std::string(home) + "/.gcin/kestova" : "");
  EXPECT_EQ(LanguageModelLoader::Paths::userDataDirectoryFor("/h"), "/h/.gcin/kestova");
}

TEST_F(LoaderTest, ReloadsBothPhraseFilesWhenOneChanges) {
  auto loader = makeLoader();
  auto lm = loader->languageModel();
  fs::path data = userFiles() / "data.txt";
  fs::path exclude = userFiles() / "exclude-phrases.txt";
  log_.clear();
  EXPECT_FALSE(loader->reloadIfChanged());
  EXPECT_TRUE(log_.lines().empty());

  // Edited by hand, keeping size and time; then touched.
  writeUserFile("exclude-phrases.txt", "吧 ㄅㄚ\n");
  touch(exclude);
  EXPECT_TRUE(loader->reloadIfChanged());
  EXPECT_EQ(log_.lines(), std::vector<std::string>{info("Will load: " + quoted(exclude))});
  EXPECT_EQ(values(lm->getScoredPhrases("ㄅㄚ")), std::vector<std::string>{"八"});

  // A deleted file stays loaded until its partner changes.
  fs::remove(exclude);
  log_.clear();
  EXPECT_FALSE(loader->reloadIfChanged());
  EXPECT_EQ(values(lm->getScoredPhrases("ㄅㄚ")), std::vector<std::string>{"八"});
  writeUserFile("data.txt", "捌 ㄅㄚ\n");
  touch(data);
  EXPECT_TRUE(loader->reloadIfChanged());
  EXPECT_EQ(log_.lines(), std::vector<std::string>{info("Will load: " + quoted(data))});
  EXPECT_EQ(values(lm->getScoredPhrases("ㄅㄚ")), (std::vector<std::string>{"捌", "八", "吧"}));
}

TEST_F(LoaderTest, UnreadableUserFileIsReportedAndLeavesItsModelEmpty) {
  auto loader = makeLoader();
  auto lm = loader->languageModel();
  fs::path data = userFiles() / "data.txt";
  loader->addPhrase("ㄅㄚ", "捌");
  ASSERT_EQ(values(lm->getScoredPhrases("ㄅㄚ")), (std::vector<std::string>{"捌", "八", "吧"}));

  // Another program puts a directory where the file was.
  fs::remove(data);
  fs::create_directory(data);
  log_.clear();
  EXPECT_TRUE(loader->reloadIfChanged());
  EXPECT_NE(
      std::find(log_.lines().begin(), log_.lines().end(),
                warn("Failed to load: " + quoted(data) + ": not a regular file (a directory)")),
      log_.lines().end())
      << ::testing::PrintToString(log_.lines());
  EXPECT_EQ(values(lm->getScoredPhrases("ㄅㄚ")), (std::vector<std::string>{"八", "吧"}));
}

TEST_F(LoaderTest, ReplacementFileSwitchesReplacementOnAndOff) {
  auto loader = makeLoader();
  auto lm = loader->languageModel();
  fs::path replacement = userFiles() / "phrases-replacement.txt";
  log_.clear();

  writeUserFile("phrases-replacement.txt", "台灣 臺灣\n");
  EXPECT_TRUE(loader->reloadIfChanged());
  EXPECT_TRUE(lm->replacementEnabled());
  EXPECT_EQ(lm->getScoredPhrases("ㄊㄞˊ-ㄨㄢ"), (std::vector<ScoredPhrase>{{"臺灣", -3, "台灣"}}));

  writeUserFile("phrases-replacement.txt", "台灣 台湾\n");
  touch(replacement);
  EXPECT_TRUE(loader->reloadIfChanged());
  EXPECT_EQ(values(lm->getScoredPhrases("ㄊㄞˊ-ㄨㄢ")), std::vector<std::string>{"台湾"});

  fs::remove(replacement);
  EXPECT_FALSE(loader->reloadIfChanged());
  EXPECT_FALSE(lm->replacementEnabled());
  EXPECT_EQ(values(lm->getScoredPhrases("ㄊㄞˊ-ㄨㄢ")), std::vector<std::string>{"台灣"});
  EXPECT_FALSE(loader->reloadIfChanged());

  EXPECT_EQ(log_.lines(),
            (std::vector<std::string>{
                info("Phrases replacement enabled, file: " + quoted(replacement)),
                info("Will reload phrases replacement file: " + quoted(replacement)),
                info("Phrases replacement disabled, file gone: " + quoted(replacement)),
            }));
}

TEST_F(LoaderTest, AddingAnExcludedPhraseMovesItToUserPhrases) {
  writeUserFile(
      "exclude-phrases.txt",
      "# 註解 ㄅㄚ\n八 ㄅㄚ\n\n吧 ㄅㄚ\n八 ㄅㄚ  \r\n八 ㄅㄚ\t\n# 八 ㄅㄚ\n八  ㄅㄚ\n八 ㄅㄚ");
  auto loader = makeLoader();
  auto lm = loader->languageModel();
  EXPECT_TRUE(lm->getScoredPhrases("ㄅㄚ").empty());
  log_.clear();

  loader->addPhrase("ㄅㄚ", "八");
  // Every line that excludes 八 goes, however it is spaced; comments, blank
  // lines and other phrases stay as read.
  EXPECT_EQ(readFile((userFiles() / "exclude-phrases.txt").string()),
            "# 註解 ㄅㄚ\n\n吧 ㄅㄚ\n# 八 ㄅㄚ\n");
  // Nothing is left behind but the files and the lock.
  EXPECT_EQ(namesIn(userFiles()),
            (std::vector<std::string>{".user-files.lock", "data.txt", "exclude-phrases.txt"}));
  EXPECT_TRUE(readFile((userFiles() / "data.txt").string()).ends_with("註解。\n\n八 ㄅㄚ\n"));
  // The files are not read again: the model adds what it wrote.
  EXPECT_EQ(log_.lines(), (std::vector<std::string>{
                              info("Removed phrase from file: 八, reading: ㄅㄚ"),
                              info("Added phrase to file: 八, reading: ㄅㄚ"),
                              info("Added user phrase: 八, reading: ㄅㄚ"),
                          }));
  EXPECT_FALSE(loader->reloadIfChanged());
  // 八 is back, as a user phrase; 吧 stays excluded, so no built-in phrase
  // is left to rank against and the user score stays 0.
  EXPECT_EQ(lm->getScoredPhrases("ㄅㄚ"), (std::vector<ScoredPhrase>{{"八", 0, "八", true}}));
}

TEST_F(LoaderTest, AddingTwiceKeepsOneLine) {
  auto loader = makeLoader();
  auto lm = loader->languageModel();
  loader->addPhrase("ㄋㄧˇ-ㄏㄠˇ", "你好");
  EXPECT_EQ(values(lm->getScoredPhrases("ㄋㄧˇ-ㄏㄠˇ")), std::vector<std::string>{"你好"});
  std::string before = readFile((userFiles() / "data.txt").string());
  log_.clear();
  loader->addPhrase("ㄋㄧˇ-ㄏㄠˇ", "你好");
  EXPECT_EQ(readFile((userFiles() / "data.txt").string()), before);
  EXPECT_EQ(log_.lines(),
            std::vector<std::string>{info("Phrase already exists: 你好, reading: ㄋㄧˇ-ㄏㄠˇ")});
  // A second phrase right after is seen even within one clock tick.
  loader->addPhrase("ㄋㄧˇ-ㄏㄠˇ", "妳好");
  EXPECT_EQ(values(lm->getScoredPhrases("ㄋㄧˇ-ㄏㄠˇ")),
            (std::vector<std::string>{"你好", "妳好"}));
}

TEST_F(LoaderTest, AppendingEndsAnUnterminatedLastLine) {
  writeUserFile("data.txt", "甲 ㄐㄧㄚˇ\r\n乙 ㄧˇ");
  auto loader = makeLoader();
  loader->addPhrase("ㄅㄧㄥˇ", "丙");
  EXPECT_EQ(readFile((userFiles() / "data.txt").string()), "甲 ㄐㄧㄚˇ\r\n乙 ㄧˇ\n丙 ㄅㄧㄥˇ\n");
  EXPECT_EQ(values(loader->languageModel()->getScoredPhrases("ㄧˇ")),
            std::vector<std::string>{"乙"});
  EXPECT_EQ(values(loader->languageModel()->getScoredPhrases("ㄅㄧㄥˇ")),
            std::vector<std::string>{"丙"});
}

TEST_F(LoaderTest, RefusesPhrasesThatWouldReadBackAsSomethingElse) {
  auto loader = makeLoader();
  std::string before = readFile((userFiles() / "data.txt").string());
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"ㄅㄚ", "八\nㄅㄚ-ㄅㄚ 爸爸"},
      {"ㄅㄚ", "八\r"},
      {"ㄅㄚ\n", "八"},
      {"ㄅㄚ ㄅㄚ", "八"},
      {"ㄅㄚ\tㄅㄚ", "八"},
      {"", "八"},
      {"ㄅㄚ", ""},
      {" ", " "},
      {"ㄅㄚ", "#八"},
      {"ㄅㄚ", " 八"},
      {"ㄅㄚ", "八 "},
      {"ㄅㄚ", std::string("八\0", 4)},
      {"ㄅㄚ", "\xEF\xBB\xBF八"},
      {"ㄅㄚ", "\xb0\xcb"},
      {"\xa3\x74", "八"},
  };
  for (const auto& [reading, value] : bad) {
    log_.clear();
    loader->addPhrase(reading, value);
    ASSERT_EQ(log_.lines().size(), 1u);
    EXPECT_TRUE(log_.lines()[0].starts_with("gcin kestova Warn: ")) << log_.lines()[0];
  }
  EXPECT_EQ(readFile((userFiles() / "data.txt").string()), before);
  // A value with inner spaces is fine and reads back whole.
  loader->addPhrase("ㄋㄧㄡˊ-ㄩㄝ", "New York");
  EXPECT_EQ(values(loader->languageModel()->getScoredPhrases("ㄋㄧㄡˊ-ㄩㄝ")),
            std::vector<std::string>{"New York"});
}

// A line saved in another encoding (Big5 here) is skipped, and the log
// names the file and the line, so that the user can find it. Comments and
// the other lines are read as usual.
TEST_F(LoaderTest, LinesThatAreNotUtf8AreSkippedAndNamed) {
  writeUserFile("data.txt",
                "\xb4\xfa\xb8\xd5 ㄊㄞˊ-ㄨㄢ\n"  // 測試 in Big5
                "臺灣 ㄊㄞˊ-ㄨㄢ\n"
                "# \xff a comment\n"
                "\r\n"
                "爸\xff ㄅㄚ\n");
  writeUserFile("phrases-replacement.txt", "台灣 \xbbO\xc6W\n八 捌\n");
  auto loader = makeLoader();
  auto lm = loader->languageModel();
  EXPECT_EQ(values(lm->getScoredPhrases("ㄊㄞˊ-ㄨㄢ")), (std::vector<std::string>{"臺灣", "台灣"}));
  EXPECT_EQ(values(lm->getScoredPhrases("ㄅㄚ")), (std::vector<std::string>{"捌", "吧"}));
  const fs::path data = userFiles() / "data.txt";
  const fs::path replacement = userFiles() / "phrases-replacement.txt";
  for (const std::string& expected :
       {warn("Skipped 2 lines that are not UTF-8: " + quoted(data) + ", lines 1, 5"),
        warn("Skipped a line that is not UTF-8: " + quoted(replacement) + ", line 1")}) {
    EXPECT_NE(std::find(log_.lines().begin(), log_.lines().end(), expected), log_.lines().end())
        << expected << "\n"
        << ::testing::PrintToString(log_.lines());
  }
}

// Editors that save UTF-8 with a byte-order mark: the mark is not part of
// the first phrase, in any of the three files, and edits keep it.
TEST_F(LoaderTest, ByteOrderMarkIsSkippedInEveryUserFile) {
  const std::string mark(kByteOrderMark);
  writeUserFile("data.txt", mark + "八 ㄅㄚ\n");
  writeUserFile("exclude-phrases.txt", mark + "吧 ㄅㄚ\n");
  writeUserFile("phrases-replacement.txt", mark + "台灣 臺灣\n");
  auto loader = makeLoader();
  auto lm = loader->languageModel();
  EXPECT_EQ(values(lm->getScoredPhrases("ㄅㄚ")), std::vector<std::string>{"八"});
  EXPECT_EQ(values(lm->getScoredPhrases("ㄊㄞˊ-ㄨㄢ")), std::vector<std::string>{"臺灣"});

  log_.clear();
  loader->addPhrase("ㄅㄚ", "八");
  EXPECT_EQ(log_.lines(),
            std::vector<std::string>{info("Phrase already exists: 八, reading: ㄅㄚ")});
  loader->addPhrase("ㄅㄚ", "吧");
  EXPECT_EQ(readFile((userFiles() / "exclude-phrases.txt").string()), mark);
  EXPECT_EQ(readFile((userFiles() / "data.txt").string()), mark + "八 ㄅㄚ\n吧 ㄅㄚ\n");
  EXPECT_EQ(values(lm->getScoredPhrases("ㄅㄚ")), (std::vector<std::string>{"八", "吧"}));

  // After the first line a mark is text: such a line is not the phrase.
  writeUserFile("exclude-phrases.txt", "# x\n" + mark + "八 ㄅㄚ\n");
  EXPECT_FALSE(LanguageModelLoader::removeEntries(userFiles() / "exclude-phrases.txt",
                                                  UserFileKind::kPhrases, {{"ㄅㄚ", "八"}}));
}

// A user file that is there but empty is as normal as a missing one; the
// module makes one itself when it removes the last excluded phrase.
TEST_F(LoaderTest, EmptyUserFilesAreNotReported) {
  writeUserFile("exclude-phrases.txt", "八 ㄅㄚ\n");
  writeUserFile("phrases-replacement.txt", "");
  auto loader = makeLoader();
  loader->addPhrase("ㄅㄚ", "八");
  EXPECT_EQ(readFile((userFiles() / "exclude-phrases.txt").string()), "");
  auto again = makeLoader();
  for (const auto& line : log_.lines()) {
    EXPECT_FALSE(line.starts_with("gcin kestova Warn: ")) << line;
  }
  EXPECT_EQ(values(again->languageModel()->getScoredPhrases("ㄅㄚ")),
            (std::vector<std::string>{"八", "吧"}));
}

// A home directory whose name holds a line break (or any control
// character) never splits a log entry: each entry stays one line.
TEST_F(LoaderTest, LogEntriesStayOneLineWhateverThePathHolds) {
  const fs::path home = dir_.path() / "odd\nhome\r\x1b[2J";
  fs::create_directories(home / ".gcin");
  LanguageModelLoader loader(std::make_unique<LoaderStrings>(),
                             {(dir_.path() / "root").string(),
                              LanguageModelLoader::Paths::userDataDirectoryFor(home.string())});
  fs::create_directory(home / ".gcin/kestova/kestova/phrases-replacement.txt");
  loader.reloadIfChanged();
  ASSERT_GT(log_.lines().size(), 5u);
  bool sawEscapedPath = false;
  for (const auto& line : log_.lines()) {
    EXPECT_EQ(line.find_first_of("\n\r\x1b"), std::string::npos) << line;
    sawEscapedPath = sawEscapedPath || line.find("odd\\nhome\\r\\x1b[2J") != std::string::npos;
  }
  EXPECT_TRUE(sawEscapedPath) << ::testing::PrintToString(log_.lines());
}

TEST(LoaderFileOperationsTest, ReportMissingFilesAndMatchTrailingBlanks) {
  TempDir dir;
  ScopedLogCapture log;
  fs::path missing = dir.path() / "missing.txt";
  const std::vector<LanguageModelLoader::EntryKey> entry{{"ㄅ", "甲"}};
  const auto present = [&](const fs::path& file, const std::string& reading) {
    return !LanguageModelLoader::entriesPresent(file, UserFileKind::kPhrases, {{reading, "甲"}})
                .empty();
  };
  EXPECT_FALSE(LanguageModelLoader::removeEntries(missing, UserFileKind::kPhrases, entry));
  EXPECT_FALSE(LanguageModelLoader::appendLines(missing, {"甲 ㄅ"}));
  EXPECT_FALSE(present(missing, "ㄅ"));
  EXPECT_EQ(log.lines(),
            (std::vector<std::string>{
                "gcin kestova Warn: File does not exist: " + quoted(missing),
                "gcin kestova Warn: File does not exist: " + quoted(missing),
                "gcin kestova Warn: Failed to open file: " + quoted(missing) + ": no such file",
            }));

  fs::path file =
      dir.write("f.txt", "甲 ㄅ \t\r\n#甲 ㄅ\n \t甲\t ㄅ\n甲 ㄅ\r乙 ㄆ\n甲甲 ㄅ\n甲 ㄅㄅ\n");
  EXPECT_TRUE(present(file, "ㄅ"));
  EXPECT_FALSE(present(file, "ㄆ"));
  log.clear();
  // Nothing to remove: the file stays, no temporary file is left.
  EXPECT_FALSE(LanguageModelLoader::removeEntries(file, UserFileKind::kPhrases, {{"ㄆ", "甲"}}));
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
  EXPECT_TRUE(LanguageModelLoader::removeEntries(file, UserFileKind::kPhrases, entry));
  // A line the model reads as two phrases (split at a lone CR) stays.
  EXPECT_EQ(readFile(file.string()), "#甲 ㄅ\n甲 ㄅ\r乙 ㄆ\n甲甲 ㄅ\n甲 ㄅㄅ\n");
}

}  // namespace
}  // namespace Kestova
