// The user's files damaged, removed or made unwritable while the input
// method runs: the loader must not throw, must fall back as documented, must
// say what happened in the log, and must never lose a phrase already stored.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ModuleLog.h"
#include "models/ContextFile.h"
#include "models/ContextLM.h"
#include "models/LanguageModelLoader.h"
#include "models/SortedPhraseTable.h"
#include "models/UserFilesEditor.h"
#include "models/UserPhraseAdder.h"
#include "tests/faults/FaultSupport.h"
#include "tests/support/LogCapture.h"

namespace Kestova::Testing {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUserPhrases = "# mine\n你好 ㄋㄧˇ-ㄏㄠˇ\n好的 ㄏㄠˇ-ㄉㄜ˙\n";
constexpr std::string_view kExcluded = "# hidden\n擬好 ㄋㄧˇ-ㄏㄠˇ\n";
constexpr std::string_view kReplacements = "可 渴\n";

// A data root with a built-in phrase file and a home whose user directory
// exists, as the module core leaves it before creating the loader.
class LoaderFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    writeBytes(root() / "data" / "data" / "kestova-data.txt",
               std::string(SortedPhraseTable::kHeader) +
                   "ㄋㄧˇ-ㄏㄠˇ 擬好 -5\n"
                   "ㄎㄜˇ 可 -2\n"
                   "ㄏㄠˇ-ㄉㄜ˙ 好的 -4\n");
    fs::create_directories(userDirectory());
  }

  const fs::path& root() const { return scratch_.path(); }
  fs::path userDirectory() const { return root() / "home" / ".gcin" / "kestova"; }
  fs::path userFile(std::string_view name) const { return userDirectory() / "kestova" / name; }

  // Starts a loader over user files holding the given texts.
  std::unique_ptr<LanguageModelLoader> start(bool withReplacements = true) {
    writeBytes(userFile(LanguageModelLoader::kUserPhrasesFileName), kUserPhrases);
    writeBytes(userFile(LanguageModelLoader::kExcludedPhrasesFileName), kExcluded);
    if (withReplacements) {
      writeBytes(userFile(LanguageModelLoader::kReplacementFileName), kReplacements);
    }
    return startAsIs();
  }

  std::unique_ptr<LanguageModelLoader> startAsIs() {
    LanguageModelLoader::Paths paths;
    paths.dataRoot = (root() / "data").string();
    paths.userDataDirectory = userDirectory().string();
    return std::make_unique<LanguageModelLoader>(std::make_unique<LoaderStrings>(), paths);
  }

  static std::vector<std::string> values(LanguageModelLoader& loader, std::string_view reading) {
    std::vector<std::string> found;
    for (const auto& phrase : loader.languageModel()->getScoredPhrases(reading)) {
      found.push_back(phrase.value);
    }
    return found;
  }

  static bool contains(const std::vector<std::string>& values, std::string_view value) {
    return std::find(values.begin(), values.end(), value) != values.end();
  }

  static bool logged(const ScopedLogCapture& log, std::string_view text) {
    for (const auto& line : log.lines()) {
      if (line.find(text) != std::string::npos) return true;
    }
    return false;
  }

  static std::string quoted(const fs::path& path) { return "\"" + path.string() + "\""; }

  // Names in the user files folder that are none of the files Kestova keeps
  // there: temporary files left behind.
  std::vector<std::string> strayFiles() const {
    std::vector<std::string> stray;
    for (const auto& entry : fs::directory_iterator(userDirectory() / "kestova")) {
      const std::string name = entry.path().filename().string();
      if (name != LanguageModelLoader::kUserPhrasesFileName &&
          name != LanguageModelLoader::kExcludedPhrasesFileName &&
          name != LanguageModelLoader::kReplacementFileName &&
          name != LanguageModelLoader::kLockFileName) {
        stray.push_back(name);
      }
    }
    return stray;
  }

  TempDir scratch_;
};

enum class Damage { Deleted, Truncated, Garbage, NulByte, Directory };

struct DamageCase {
  const char* name;
  std::string_view file;
  Damage damage;
};

void PrintTo(const DamageCase& c, std::ostream* out) {
  *out << c.name;
}

void damage(const fs::path& path, Damage how) {
  std::string bytes = readBytes(path);
  switch (how) {
    case Damage::Deleted:
      fs::remove(path);
      break;
    case Damage::Truncated:
      // Cut in the middle of a multi-byte character of the last line.
      writeBytes(path, bytes.substr(0, bytes.size() - 4));
      break;
    case Damage::Garbage:
      // Invalid UTF-8, control bytes, lone carriage returns, a cut character.
      writeBytes(path, std::string_view("\xff\xfe\x80 \r\r\t#\xc3\n\x01\x02 x\ty z\r\n\xe4\xbd"));
      break;
    case Damage::NulByte:
      bytes.insert(bytes.find('\n') + 1, 1, '\0');
      writeBytes(path, bytes);
      break;
    case Damage::Directory:
      // Unreadable even for root: a directory where the file was.
      fs::remove(path);
      fs::create_directory(path);
      break;
  }
}

class DamagedUserFile : public LoaderFaults, public ::testing::WithParamInterface<DamageCase> {};

// Whatever happened to one of the three files, reloading and adding a phrase
// neither throw nor touch the other files, and what the user stored survives.
TEST_P(DamagedUserFile, ReloadAndAddKeepStoredPhrases) {
  const DamageCase& c = GetParam();
  auto loader = start();
  const fs::path damaged = userFile(c.file);
  const fs::path userPhrases = userFile(LanguageModelLoader::kUserPhrasesFileName);
  damage(damaged, c.damage);
  const std::string damagedBytes = readBytes(damaged);

  ScopedLogCapture log;
  EXPECT_NO_THROW(loader->reloadIfChanged());
  EXPECT_NO_THROW(values(*loader, "ㄋㄧˇ-ㄏㄠˇ"));
  EXPECT_NO_THROW(values(*loader, "ㄎㄜˇ"));
  EXPECT_NO_THROW(loader->addPhrase("ㄇㄚ-ㄇㄚ", "媽媽"));
  EXPECT_NO_THROW(loader->reloadIfChanged());

  const bool phraseFileUsable = c.file != LanguageModelLoader::kUserPhrasesFileName ||
                                (c.damage != Damage::Deleted && c.damage != Damage::Directory);
  const std::string stored = readBytes(userPhrases);
  if (phraseFileUsable) {
    // The new line is added after whatever was there; nothing is lost.
    const std::string before = c.file == LanguageModelLoader::kUserPhrasesFileName
                                   ? damagedBytes
                                   : std::string(kUserPhrases);
    EXPECT_EQ(stored.substr(0, before.size()), before);
    EXPECT_TRUE(stored.ends_with("\n媽媽 ㄇㄚ-ㄇㄚ\n")) << stored;
    EXPECT_TRUE(logged(log, "Added user phrase: 媽媽, reading: ㄇㄚ-ㄇㄚ"));
  } else if (c.damage == Damage::Deleted) {
    EXPECT_FALSE(fs::exists(userPhrases)) << "a deleted user file is not recreated";
    EXPECT_TRUE(logged(log, "Not writing user phrases: data file does not exist"));
  } else {
    EXPECT_TRUE(logged(log, "Failed to add user phrase: 媽媽, reading: ㄇㄚ-ㄇㄚ"));
  }
  // The files that were not damaged are untouched, apart from the addition.
  if (c.file != LanguageModelLoader::kExcludedPhrasesFileName) {
    EXPECT_EQ(readBytes(userFile(LanguageModelLoader::kExcludedPhrasesFileName)), kExcluded);
  }
  if (c.file != LanguageModelLoader::kReplacementFileName) {
    EXPECT_EQ(readBytes(userFile(LanguageModelLoader::kReplacementFileName)), kReplacements);
  }
  if (c.damage != Damage::Deleted) {
    EXPECT_EQ(readBytes(damaged).substr(0, damagedBytes.size()), damagedBytes);
  }
  for (const auto& line : log.lines()) {
    EXPECT_TRUE(line.starts_with("gcin kestova ")) << line;
  }
}

constexpr std::string_view kData = LanguageModelLoader::kUserPhrasesFileName;
constexpr std::string_view kExclude = LanguageModelLoader::kExcludedPhrasesFileName;
constexpr std::string_view kReplace = LanguageModelLoader::kReplacementFileName;

INSTANTIATE_TEST_SUITE_P(
    Faults, DamagedUserFile,
    ::testing::Values(DamageCase{"PhrasesDeleted", kData, Damage::Deleted},
                      DamageCase{"PhrasesTruncated", kData, Damage::Truncated},
                      DamageCase{"PhrasesGarbage", kData, Damage::Garbage},
                      DamageCase{"PhrasesNulByte", kData, Damage::NulByte},
                      DamageCase{"PhrasesDirectory", kData, Damage::Directory},
                      DamageCase{"ExcludedDeleted", kExclude, Damage::Deleted},
                      DamageCase{"ExcludedTruncated", kExclude, Damage::Truncated},
                      DamageCase{"ExcludedGarbage", kExclude, Damage::Garbage},
                      DamageCase{"ExcludedNulByte", kExclude, Damage::NulByte},
                      DamageCase{"ExcludedDirectory", kExclude, Damage::Directory},
                      DamageCase{"ReplacementDeleted", kReplace, Damage::Deleted},
                      DamageCase{"ReplacementTruncated", kReplace, Damage::Truncated},
                      DamageCase{"ReplacementGarbage", kReplace, Damage::Garbage},
                      DamageCase{"ReplacementNulByte", kReplace, Damage::NulByte},
                      DamageCase{"ReplacementDirectory", kReplace, Damage::Directory}),
    [](const auto& info) { return std::string(info.param.name); });

// What the model answers after each kind of damage, and the log line that
// says why.
TEST_F(LoaderFaults, ModelFallsBackAsDocumented) {
  auto loader = start();
  ASSERT_EQ(values(*loader, "ㄋㄧˇ-ㄏㄠˇ"), std::vector<std::string>{"你好"});
  ASSERT_EQ(values(*loader, "ㄎㄜˇ"), std::vector<std::string>{"渴"});
  const fs::path phrases = userFile(kData);
  const fs::path excluded = userFile(kExclude);
  const fs::path replacements = userFile(kReplace);

  {
    // A deleted phrase file keeps its phrases until the pair is reloaded.
    ScopedLogCapture log;
    fs::remove(phrases);
    EXPECT_FALSE(loader->reloadIfChanged());
    EXPECT_TRUE(contains(values(*loader, "ㄋㄧˇ-ㄏㄠˇ"), "你好"));
    writeBytes(phrases, kUserPhrases);
    EXPECT_TRUE(loader->reloadIfChanged());
    EXPECT_TRUE(logged(log, "Will load: " + quoted(phrases)));
  }
  {
    // A NUL byte makes the whole excluded file unusable: nothing is hidden.
    ScopedLogCapture log;
    damage(excluded, Damage::NulByte);
    EXPECT_TRUE(loader->reloadIfChanged());
    EXPECT_TRUE(logged(log, "Will load: " + quoted(excluded)));
    EXPECT_EQ(values(*loader, "ㄋㄧˇ-ㄏㄠˇ"), (std::vector<std::string>{"你好", "擬好"}));
  }
  {
    // The replacement file going away switches replacement off.
    ScopedLogCapture log;
    fs::remove(replacements);
    EXPECT_FALSE(loader->reloadIfChanged());
    EXPECT_TRUE(logged(log, "Phrases replacement disabled, file gone: " + quoted(replacements)));
    EXPECT_EQ(values(*loader, "ㄎㄜˇ"), std::vector<std::string>{"可"});
  }
  {
    // Coming back as a directory, it is looked at but replaces nothing.
    ScopedLogCapture log;
    fs::create_directory(replacements);
    EXPECT_NO_THROW(loader->reloadIfChanged());
    EXPECT_EQ(values(*loader, "ㄎㄜˇ"), std::vector<std::string>{"可"});
  }
  {
    // The phrase file as a directory: the user's phrases are simply absent.
    damage(phrases, Damage::Directory);
    EXPECT_NO_THROW(loader->reloadIfChanged());
    EXPECT_EQ(values(*loader, "ㄋㄧˇ-ㄏㄠˇ"), (std::vector<std::string>{"擬好"}));
  }
}

// A phrase file that is a directory at start-up does not stop the loader:
// the built-in phrases still work.
TEST_F(LoaderFaults, StartsWithUnreadableUserFiles) {
  fs::create_directories(userFile(kData));
  fs::create_directories(userFile(kExclude));
  fs::create_directories(userFile(kReplace));
  std::unique_ptr<LanguageModelLoader> loader;
  ASSERT_NO_THROW(loader = startAsIs());
  EXPECT_EQ(values(*loader, "ㄎㄜˇ"), std::vector<std::string>{"可"});
}

// The user directory removed while typing, then put back.
TEST_F(LoaderFaults, UserDirectoryRemovedWhileRunning) {
  auto loader = start(false);
  fs::remove_all(userDirectory());
  ScopedLogCapture log;
  EXPECT_NO_THROW(loader->reloadIfChanged());
  EXPECT_TRUE(contains(values(*loader, "ㄋㄧˇ-ㄏㄠˇ"), "你好"));
  loader->addPhrase("ㄇㄚ-ㄇㄚ", "媽媽");
  EXPECT_TRUE(logged(log, "Not writing user phrases: data file does not exist"));
  EXPECT_FALSE(fs::exists(userDirectory())) << "nothing is recreated behind the user's back";

  writeBytes(userFile(kData), "媽媽 ㄇㄚ-ㄇㄚ\n");
  EXPECT_TRUE(loader->reloadIfChanged());
  EXPECT_EQ(values(*loader, "ㄇㄚ-ㄇㄚ"), std::vector<std::string>{"媽媽"});
}

// A path component that is a file: the user files directory cannot be made.
TEST_F(LoaderFaults, UserDirectoryBlockedByAFile) {
  fs::remove_all(userDirectory());
  writeBytes(userDirectory(), "not a directory");
  ScopedLogCapture log;
  std::unique_ptr<LanguageModelLoader> loader;
  ASSERT_NO_THROW(loader = startAsIs());
  EXPECT_TRUE(logged(log, "Failed to create kestova user data directory: " +
                              (userDirectory() / "kestova").string()));
  EXPECT_EQ(values(*loader, "ㄎㄜˇ"), std::vector<std::string>{"可"});
  loader->addPhrase("ㄇㄚ-ㄇㄚ", "媽媽");
  EXPECT_TRUE(logged(log, "Not writing user phrases: data file does not exist"));
  EXPECT_EQ(readBytes(userDirectory()), "not a directory");
}

// Links in the user folder: a user file that is a link is read through it
// but never written through it (the file it points to may be anyone's), and
// a link planted at the fixed temporary name that older versions used does
// not matter, since temporary names are unique and never follow links.
TEST_F(LoaderFaults, LinksInTheUserFolderAreNeverWrittenThrough) {
  auto loader = start(false);
  const fs::path phrases = userFile(kData);
  const fs::path excluded = userFile(kExclude);
  const fs::path outside = root() / "outside.txt";
  writeBytes(outside, "外 ㄨㄞˋ\n");
  fs::remove(phrases);
  fs::create_symlink(outside, phrases);
  const fs::path victim = root() / "victim.txt";
  writeBytes(victim, "precious\n");
  fs::create_symlink(victim, excluded.string() + ".tmp");

  ScopedLogCapture log;
  EXPECT_TRUE(loader->reloadIfChanged());
  EXPECT_EQ(values(*loader, "ㄨㄞˋ"), std::vector<std::string>{"外"});
  EXPECT_EQ(loader->addPhrase("ㄋㄧˇ-ㄏㄠˇ", "擬好"), UserPhraseAdder::AddResult::Failed);
  EXPECT_EQ(readBytes(outside), "外 ㄨㄞˋ\n");
  EXPECT_TRUE(fs::is_symlink(phrases));
  EXPECT_TRUE(logged(log, "Failed to add user phrase: 擬好, reading: ㄋㄧˇ-ㄏㄠˇ: " +
                              quoted(phrases) + ": it is a symbolic link"));
  // The addition failed, so the phrase stays excluded.
  EXPECT_EQ(readBytes(excluded), kExcluded);
  EXPECT_FALSE(contains(values(*loader, "ㄋㄧˇ-ㄏㄠˇ"), "擬好"));

  // With a phrase file of its own again, the removal from the excluded
  // phrases goes through a temporary file of its own; the planted link and
  // what it points to are untouched.
  fs::remove(phrases);
  writeBytes(phrases, kUserPhrases);
  loader->reloadIfChanged();
  EXPECT_EQ(loader->addPhrase("ㄋㄧˇ-ㄏㄠˇ", "擬好"), UserPhraseAdder::AddResult::Added);
  EXPECT_EQ(readBytes(excluded), "# hidden\n");
  EXPECT_FALSE(fs::is_symlink(excluded));
  EXPECT_EQ(readBytes(victim), "precious\n");
  EXPECT_TRUE(fs::is_symlink(excluded.string() + ".tmp"));
}

// The disk fills up in the middle of adding a phrase (the file may grow by
// `room` bytes, fewer than the line needs). The phrase file must end up as it
// was, or with the whole line: never with a piece of it, which would read
// back as a different phrase.
TEST_F(LoaderFaults, FullDiskWhileAddingKeepsTheFileWhole) {
  for (size_t room : {size_t{0}, size_t{1}, size_t{9}}) {
    SCOPED_TRACE(room);
    auto loader = start(false);
    const fs::path phrases = userFile(kData);
    const std::string before = readBytes(phrases);
    int code = runInChild([&] {
      ScopedLogCapture log;
      limitFileSize(before.size() + room);
      loader->addPhrase("ㄇㄚ-ㄇㄚ", "媽媽");
      if (!logged(log, "Failed to add user phrase: 媽媽, reading: ㄇㄚ-ㄇㄚ")) return 4;
      return kChildPassed;
    });
    EXPECT_EQ(code, kChildPassed) << "the failure is logged";
    EXPECT_EQ(readBytes(phrases), before);
    EXPECT_EQ(strayFiles(), std::vector<std::string>{});
  }
}

// The disk fills up while the excluded-phrase file is rewritten: the file
// keeps its lines and the temporary file is removed.
TEST_F(LoaderFaults, FullDiskWhileRemovingKeepsTheFile) {
  auto loader = start(false);
  const fs::path excluded = userFile(kExclude);
  writeBytes(excluded, std::string(kExcluded) + "# " + std::string(200, 'x') + "\n");
  const std::string before = readBytes(excluded);
  int code = runInChild([&] {
    ScopedLogCapture log;
    limitFileSize(16);
    if (LanguageModelLoader::removeEntries(excluded, UserFileKind::kPhrases,
                                           {{"ㄋㄧˇ-ㄏㄠˇ", "擬好"}})) {
      return 4;
    }
    return logged(log, "Failed to write to file: ") ? kChildPassed : 5;
  });
  EXPECT_EQ(code, kChildPassed);
  EXPECT_EQ(readBytes(excluded), before);
  EXPECT_EQ(strayFiles(), std::vector<std::string>{});
}

// A change of two files whose second step cannot be written (the file-size
// limit stands in for a full disk: the small file takes its appended line,
// the large one cannot be written anew): the first step is taken back, both
// files are as they were, nothing is left to undo and the outcome says which
// file failed. Adding first appends to the phrase file and then rewrites the
// excluded phrases; excluding first appends to the excluded phrases and then
// rewrites the phrase file.
TEST_F(LoaderFaults, AChangeWhoseSecondFileCannotBeWrittenLeavesBothAsTheyWere) {
  struct Case {
    const char* name;
    std::function<UserFilesEditor::Outcome(UserFilesEditor&)> change;
    std::string_view phrases;
    std::string_view excluded;
    std::string_view failingFile;
  };
  const std::string padding = "# " + std::string(3000, 'x') + "\n";
  const std::string longPhrases = std::string(kUserPhrases) + padding;
  const std::string longExcluded = std::string(kExcluded) + padding;
  const std::vector<Case> cases = {
      {"add an excluded phrase",
       [](UserFilesEditor& editor) {
         return editor.addPhrase({"ㄋㄧˇ-ㄏㄠˇ", "擬好"});
       },
       kUserPhrases, longExcluded, LanguageModelLoader::kExcludedPhrasesFileName},
      {"exclude a user phrase",
       [](UserFilesEditor& editor) {
         return editor.excludePhrase({"ㄋㄧˇ-ㄏㄠˇ", "你好"});
       },
       longPhrases, kExcluded, LanguageModelLoader::kUserPhrasesFileName},
  };
  const fs::path phrases = userFile(LanguageModelLoader::kUserPhrasesFileName);
  const fs::path excluded = userFile(LanguageModelLoader::kExcludedPhrasesFileName);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    writeBytes(phrases, c.phrases);
    writeBytes(excluded, c.excluded);
    const int code = runInChild([&] {
      ScopedLogCapture log;
      limitFileSize(1024);
      UserFilesEditor editor((userDirectory() / "kestova").string());
      const UserFilesEditor::Outcome outcome = c.change(editor);
      KESTOVA_CHILD_EXPECT(!outcome.ok && !outcome.changed);
      KESTOVA_CHILD_EXPECT(outcome.file == userFile(c.failingFile));
      KESTOVA_CHILD_EXPECT(outcome.failure.find("File too large") != std::string::npos);
      KESTOVA_CHILD_EXPECT(!editor.canUndo());
      return kChildPassed;
    });
    EXPECT_EQ(code, kChildPassed);
    EXPECT_EQ(readBytes(phrases), c.phrases);
    EXPECT_EQ(readBytes(excluded), c.excluded);
    EXPECT_EQ(strayFiles(), std::vector<std::string>{});
  }
}

// A real full file system: a small tmpfs filled up, then a phrase added so
// that the line crosses into a page the file system no longer has.
TEST_F(LoaderFaults, FullFileSystemWhileAdding) {
  const fs::path mount = root() / "tiny";
  int code = runInChild([&] {
    if (!mountPrivateTmpfs(mount, 64 * 1024)) return kChildUnsupported;
    const fs::path files = mount / "home" / ".gcin" / "kestova" / "kestova";
    const fs::path phrases = files / "data.txt";
    // The last page of the file is nearly full.
    std::string text(kUserPhrases);
    text += "# " + std::string(4096 - 4 - text.size(), 'x') + "\n";
    writeBytes(phrases, text);
    writeBytes(files / "exclude-phrases.txt", kExcluded);
    LanguageModelLoader::Paths paths;
    paths.dataRoot = (root() / "data").string();
    paths.userDataDirectory = (mount / "home" / ".gcin" / "kestova").string();
    LanguageModelLoader loader(std::make_unique<LoaderStrings>(), paths);
    // Fill the file system.
    {
      std::ofstream filler(mount / "filler", std::ios::binary);
      std::string block(4096, 'f');
      while (filler.write(block.data(), block.size())) {
      }
    }
    ScopedLogCapture log;
    loader.addPhrase("ㄇㄚ-ㄇㄚ", "媽媽");
    std::string after = readBytes(phrases);
    if (after != text && after != text + "媽媽 ㄇㄚ-ㄇㄚ\n") {
      std::fprintf(stderr, "phrase file damaged: ends with \"%s\"\n",
                   after.substr(text.size() - 4).c_str());
      return 4;
    }
    if (after == text && !logged(log, "Failed to add user phrase")) return 5;
    return kChildPassed;
  });
  if (code == kChildUnsupported) GTEST_SKIP() << "cannot mount a tmpfs here";
  EXPECT_EQ(code, kChildPassed);
}

// A read-only file system (the user's home mounted read-only): adding a
// phrase that is excluded fails cleanly with both files intact.
TEST_F(LoaderFaults, ReadOnlyFileSystemWhileAdding) {
  const fs::path mount = root() / "readonly";
  int code = runInChild([&] {
    if (!mountPrivateTmpfs(mount, 1024 * 1024)) return kChildUnsupported;
    const fs::path files = mount / "home" / ".gcin" / "kestova" / "kestova";
    writeBytes(files / "data.txt", kUserPhrases);
    writeBytes(files / "exclude-phrases.txt", kExcluded);
    LanguageModelLoader::Paths paths;
    paths.dataRoot = (root() / "data").string();
    paths.userDataDirectory = (mount / "home" / ".gcin" / "kestova").string();
    LanguageModelLoader loader(std::make_unique<LoaderStrings>(), paths);
    if (!remountReadOnly(mount)) return kChildUnsupported;
    ScopedLogCapture log;
    loader.addPhrase("ㄋㄧˇ-ㄏㄠˇ", "擬好");
    if (readBytes(files / "data.txt") != kUserPhrases) return 4;
    if (readBytes(files / "exclude-phrases.txt") != kExcluded) return 5;
    if (!logged(log, "Read-only file system")) return 6;
    if (!logged(log, "Failed to add user phrase: 擬好, reading: ㄋㄧˇ-ㄏㄠˇ")) return 7;
    // The phrases already loaded are still there.
    auto phrases = loader.languageModel()->getScoredPhrases("ㄋㄧˇ-ㄏㄠˇ");
    if (phrases.empty() || phrases.front().value != "你好") return 8;
    return kChildPassed;
  });
  if (code == kChildUnsupported) GTEST_SKIP() << "cannot mount a tmpfs here";
  EXPECT_EQ(code, kChildPassed);
}

// Special files where a user file should be: a FIFO (at start-up or put
// there during a session) must not block, a link to an endless device must
// not be read or copied for ever, and an addition to a phrase file that is
// no file must not claim success. Each case runs in a child that an alarm
// ends if it blocks.
enum class Special { Fifo, LinkToZero, LinkToRandom };

struct SpecialFileCase {
  const char* name;
  std::string_view file;
  Special special;
  bool atStartUp;
};

void PrintTo(const SpecialFileCase& c, std::ostream* out) {
  *out << c.name;
}

void putSpecialFile(const fs::path& path, Special special) {
  fs::remove(path);
  switch (special) {
    case Special::Fifo:
      ::mkfifo(path.c_str(), 0600);
      break;
    case Special::LinkToZero:
      fs::create_symlink("/dev/zero", path);
      break;
    case Special::LinkToRandom:
      fs::create_symlink("/dev/urandom", path);
      break;
  }
}

class SpecialUserFile : public LoaderFaults,
                        public ::testing::WithParamInterface<SpecialFileCase> {};

TEST_P(SpecialUserFile, NeverBlocksNorReadsForEver) {
  const SpecialFileCase& c = GetParam();
  const fs::path special = userFile(c.file);
  const fs::path phrases = userFile(kData);
  int code = runInChild([&] {
    guardChild(20);
    std::unique_ptr<LanguageModelLoader> loader;
    ScopedLogCapture log;
    if (c.atStartUp) {
      writeBytes(phrases, kUserPhrases);
      writeBytes(userFile(kExclude), kExcluded);
      writeBytes(userFile(kReplace), kReplacements);
      putSpecialFile(special, c.special);
      loader = startAsIs();
    } else {
      loader = start();
      putSpecialFile(special, c.special);
      loader->reloadIfChanged();
    }
    KESTOVA_CHILD_EXPECT(!values(*loader, "ㄎㄜˇ").empty());
    const size_t linesBefore = log.lines().size();
    loader->addPhrase("ㄇㄚ-ㄇㄚ", "媽媽");
    if (c.file == kData) {
      KESTOVA_CHILD_EXPECT(!logged(log, "Added user phrase"));
      // One line says why, not one for each step that could not be taken.
      KESTOVA_CHILD_EXPECT(log.lines().size() == linesBefore + 1);
      KESTOVA_CHILD_EXPECT(log.lines().back().starts_with(
          "gcin kestova Warn: Failed to add user phrase: 媽媽, reading: ㄇㄚ-ㄇㄚ: " +
          quoted(phrases) + ": it is "));
    } else {
      KESTOVA_CHILD_EXPECT(logged(log, "Added user phrase: 媽媽, reading: ㄇㄚ-ㄇㄚ"));
      KESTOVA_CHILD_EXPECT(readBytes(phrases) == std::string(kUserPhrases) + "媽媽 ㄇㄚ-ㄇㄚ\n");
    }
    KESTOVA_CHILD_EXPECT(
        logged(log, "Failed to load: " + quoted(special) + ": not a regular file (a "));
    loader->reloadIfChanged();
    return kChildPassed;
  });
  EXPECT_EQ(code, kChildPassed) << (code == kChildBlocked ? "blocked" : "");
  // What stood there is still there, and nothing was left behind.
  EXPECT_EQ(fs::is_fifo(special), c.special == Special::Fifo);
  EXPECT_EQ(fs::is_symlink(special), c.special != Special::Fifo);
  EXPECT_EQ(strayFiles(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SpecialUserFile,
    ::testing::Values(
        SpecialFileCase{"PhrasesFifoAtStartUp", kData, Special::Fifo, true},
        SpecialFileCase{"ExcludedFifoAtStartUp", kExclude, Special::Fifo, true},
        SpecialFileCase{"ReplacementFifoAtStartUp", kReplace, Special::Fifo, true},
        SpecialFileCase{"PhrasesFifoInSession", kData, Special::Fifo, false},
        SpecialFileCase{"ExcludedFifoInSession", kExclude, Special::Fifo, false},
        SpecialFileCase{"ReplacementFifoInSession", kReplace, Special::Fifo, false},
        SpecialFileCase{"PhrasesLinkToZero", kData, Special::LinkToZero, false},
        SpecialFileCase{"ExcludedLinkToRandom", kExclude, Special::LinkToRandom, false},
        SpecialFileCase{"ReplacementLinkToZero", kReplace, Special::LinkToZero, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A sparse phrase file of 6 GB (under a memory limit, where a copy of it
// cannot be made): the file is refused by its size, with a log line, and
// the module starts and types with the rest.
TEST_F(LoaderFaults, HugeSparsePhraseFileIsRefusedBySize) {
  const fs::path phrases = userFile(kData);
  writeBytes(userFile(kExclude), kExcluded);
  writeBytes(phrases, "");
  fs::resize_file(phrases, std::uintmax_t{6} << 30);
  int code = runInChild([&] {
    guardChild(30);
    ScopedLogCapture log;
    auto loader = startAsIs();
    KESTOVA_CHILD_EXPECT(
        logged(log, "Failed to load: " + quoted(phrases) + ": larger than 67108864 bytes"));
    KESTOVA_CHILD_EXPECT(values(*loader, "ㄎㄜˇ") == std::vector<std::string>{"可"});
    loader->addPhrase("ㄇㄚ-ㄇㄚ", "媽媽");
    KESTOVA_CHILD_EXPECT(logged(log, "Failed to add user phrase: 媽媽, reading: ㄇㄚ-ㄇㄚ"));
    return kChildPassed;
  });
  EXPECT_EQ(code, kChildPassed);
  EXPECT_EQ(fs::file_size(phrases), std::uintmax_t{6} << 30);
}

// Two instances of the module (two X sessions of one user, or a restart
// racing the old instance) each add phrases that are listed in a long
// excluded-phrase file, at the same time. Every addition and every removal
// survives, every line nobody touched is still there exactly once, and no
// file gains a NUL byte. An addition that finds the other instance holding
// the lock waits in memory and is written by a later key.
TEST_F(LoaderFaults, TwoInstancesEditingAtOnceKeepEveryLine) {
  constexpr int kListed = 3000;
  constexpr int kAddedByEach = 100;
  auto phrase = [](int i) {
    return std::pair("詞" + std::to_string(i), "ㄘˊ-" + std::to_string(i));
  };
  std::string excludedText = "# hidden\n";
  for (int i = 0; i < kListed; ++i) {
    const auto [value, reading] = phrase(i);
    excludedText += value + " " + reading + "\n";
  }
  writeBytes(userFile(kData), kUserPhrases);
  writeBytes(userFile(kExclude), excludedText);

  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  pid_t children[2];
  for (int instance = 0; instance < 2; ++instance) {
    children[instance] = startChild([&, instance] {
      guardChild(120);
      ::close(start[1]);
      auto loader = startAsIs();
      char go;
      if (::read(start[0], &go, 1) != 0) return 4;  // wait for the other one
      ScopedLogCapture log;
      // The two interleave: instance 0 takes the even phrases, 1 the odd ones.
      for (int i = instance; i < 2 * kAddedByEach; i += 2) {
        const auto [value, reading] = phrase(i);
        if (loader->addPhrase(reading, value) == UserPhraseAdder::AddResult::Failed) return 5;
        // Keys go on meanwhile; each offers the waiting phrases to the files.
        loader->checkBetweenKeys();
      }
      while (loader->hasPendingPhrases()) {
        ::usleep(1000);
        loader->checkBetweenKeys();
      }
      for (int i = instance; i < 2 * kAddedByEach; i += 2) {
        const auto [value, reading] = phrase(i);
        if (!logged(log, "Added user phrase: " + value + ", reading: " + reading)) {
          std::fprintf(stderr, "instance %d could not add %s\n", instance, value.c_str());
          return 1;
        }
      }
      return kChildPassed;
    });
  }
  ::close(start[0]);
  ::close(start[1]);  // both go
  EXPECT_EQ(waitForChild(children[0]), kChildPassed);
  EXPECT_EQ(waitForChild(children[1]), kChildPassed);

  // Counted rather than compared whole, so that a failure stays readable.
  const std::string excluded = readBytes(userFile(kExclude));
  const std::string phrases = readBytes(userFile(kData));
  EXPECT_EQ(std::count(excluded.begin(), excluded.end(), '\0'), 0) << "NUL bytes";
  EXPECT_EQ(std::count(phrases.begin(), phrases.end(), '\0'), 0) << "NUL bytes";
  auto lines = [](std::string_view text) {
    std::map<std::string, int> count;
    while (!text.empty()) {
      const size_t end = text.find('\n');
      ++count[std::string(text.substr(0, end))];
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return count;
  };
  const auto excludedLines = lines(excluded);
  const auto phraseLines = lines(phrases);
  int lost = 0, doubled = 0, notRemoved = 0, notAdded = 0;
  for (int i = 0; i < kListed; ++i) {
    const auto [value, reading] = phrase(i);
    const std::string line = value + " " + reading;
    const auto found = excludedLines.find(line);
    const int times = found == excludedLines.end() ? 0 : found->second;
    if (i < 2 * kAddedByEach) {
      notRemoved += times;
      const auto addedLine = phraseLines.find(line);
      const int added = addedLine == phraseLines.end() ? 0 : addedLine->second;
      if (added != 1) ++notAdded;
    } else if (times == 0) {
      ++lost;
    } else if (times > 1) {
      ++doubled;
    }
  }
  EXPECT_EQ(lost, 0) << "untouched excluded lines lost";
  EXPECT_EQ(doubled, 0) << "untouched excluded lines doubled";
  EXPECT_EQ(notRemoved, 0) << "removals undone";
  EXPECT_EQ(notAdded, 0) << "additions lost or doubled";
  // Nothing else in either file.
  EXPECT_EQ(excludedLines.size(), static_cast<size_t>(kListed - 2 * kAddedByEach + 1));
  EXPECT_TRUE(phrases.starts_with(kUserPhrases));
  EXPECT_EQ(phraseLines.size(), static_cast<size_t>(2 * kAddedByEach + 3));
  EXPECT_EQ(strayFiles(), std::vector<std::string>{});
}

// Six instances add phrases at once to a large user phrase file (16 MB; the
// cap is 64). An addition costs an append, not a rewrite of the file, so
// none waits long for the lock; one that finds it taken waits in memory
// and a later key writes it. Every phrase lands exactly once, after the
// file as it was.
TEST_F(LoaderFaults, SixInstancesAddingToALargeFileLoseNothing) {
  constexpr int kInstances = 6;
  constexpr int kAddedByEach = 4;
  std::string large(kUserPhrases);
  for (int i = 0; large.size() < (size_t{16} << 20); ++i) {
    large += "舊詞" + std::to_string(i) + " ㄐㄧㄡˋ-" + std::to_string(i) + "\n";
  }
  writeBytes(userFile(kData), large);
  writeBytes(userFile(kExclude), kExcluded);
  auto phrase = [](int instance, int i) {
    const std::string n = std::to_string(instance) + "-" + std::to_string(i);
    return std::pair("新詞" + n, "ㄒㄧㄣ-" + n);
  };

  int start[2];
  ASSERT_EQ(::pipe(start), 0);
  std::vector<pid_t> children;
  for (int instance = 0; instance < kInstances; ++instance) {
    children.push_back(startChild([&, instance] {
      guardChild(240);
      ::close(start[1]);
      auto loader = startAsIs();
      char go;
      if (::read(start[0], &go, 1) != 0) return 4;  // all start together
      ScopedLogCapture log;
      for (int i = 0; i < kAddedByEach; ++i) {
        const auto [value, reading] = phrase(instance, i);
        if (loader->addPhrase(reading, value) == UserPhraseAdder::AddResult::Failed) return 5;
        loader->checkBetweenKeys();
      }
      while (loader->hasPendingPhrases()) {
        ::usleep(2000);
        loader->checkBetweenKeys();
      }
      for (int i = 0; i < kAddedByEach; ++i) {
        const auto [value, reading] = phrase(instance, i);
        KESTOVA_CHILD_EXPECT(logged(log, "Added user phrase: " + value + ", reading: " + reading));
        // Still in use, though the file was not read again.
        KESTOVA_CHILD_EXPECT(values(*loader, reading) == std::vector<std::string>{value});
      }
      return kChildPassed;
    }));
  }
  ::close(start[0]);
  ::close(start[1]);  // all go
  for (pid_t child : children) EXPECT_EQ(waitForChild(child), kChildPassed);

  const std::string after = readBytes(userFile(kData));
  EXPECT_TRUE(after.starts_with(large)) << "the file as it was is kept";
  EXPECT_EQ(std::count(after.begin(), after.end(), '\0'), 0) << "NUL bytes";
  std::string_view added = std::string_view(after).substr(std::min(large.size(), after.size()));
  for (int instance = 0; instance < kInstances; ++instance) {
    for (int i = 0; i < kAddedByEach; ++i) {
      const auto [value, reading] = phrase(instance, i);
      const std::string line = value + " " + reading + "\n";
      size_t found = added.find(line);
      EXPECT_NE(found, std::string_view::npos) << "lost: " << line;
      if (found != std::string_view::npos) {
        EXPECT_EQ(added.find(line, found + 1), std::string_view::npos) << "doubled: " << line;
      }
    }
  }
  EXPECT_EQ(std::count(added.begin(), added.end(), '\n'), kInstances * kAddedByEach)
      << "nothing else is added";
  EXPECT_EQ(strayFiles(), std::vector<std::string>{});
}

// A built-in phrase file of about 600 KB: ㄅㄚ 八 first, ㄎㄜˇ 可 last and
// 20,000 filler lines between, so that a file cut shorter loses both ends'
// neighbours of any page.
std::string largeBuiltInFile() {
  std::string big(SortedPhraseTable::kHeader);
  big += "ㄅㄚ 八 -3\n";
  for (int i = 0; i < 20000; ++i) big += "ㄇ-" + std::to_string(100000 + i) + " 填 -9\n";
  big += "ㄎㄜˇ 可 -2\n";
  return big;
}

// The built-in phrase file overwritten in place while mapped (cp of a
// shorter file over it): the next reload check notices the change and maps
// the file again before any look-up reads past its new end (which would
// fault). A file replaced by rename is picked up the same way.
TEST_F(LoaderFaults, BuiltInFileRewrittenInPlaceIsMappedAgain) {
  const fs::path dataFile = root() / "data" / "data" / "kestova-data.txt";
  writeBytes(dataFile, largeBuiltInFile());
  int code = runInChild([&] {
    guardChild(30);
    auto loader = start(false);
    KESTOVA_CHILD_EXPECT(values(*loader, "ㄎㄜˇ") == std::vector<std::string>{"可"});
    ScopedLogCapture log;
    {
      // As cp does it: the same file, truncated, then written.
      std::ofstream out(dataFile, std::ios::binary | std::ios::trunc);
      out << SortedPhraseTable::kHeader << "ㄎㄜˇ 課 -1\n";
    }
    const bool reloaded = loader->reloadIfChanged();
    for (const char* reading : {"ㄇ-110000", "ㄇ-119999", "ㄅㄚ", "ㄗ"}) {
      KESTOVA_CHILD_EXPECT(values(*loader, reading).empty());
    }
    KESTOVA_CHILD_EXPECT(values(*loader, "ㄎㄜˇ") == std::vector<std::string>{"課"});
    KESTOVA_CHILD_EXPECT(reloaded);
    KESTOVA_CHILD_EXPECT(logged(log, "Built-in LM changed on disk: " + dataFile.string()));
    // Replaced by rename, as an install does.
    const fs::path next = dataFile.string() + ".new";
    writeBytes(next, std::string(SortedPhraseTable::kHeader) + "ㄎㄜˇ 渴 -1\n");
    fs::rename(next, dataFile);
    KESTOVA_CHILD_EXPECT(loader->reloadIfChanged());
    KESTOVA_CHILD_EXPECT(values(*loader, "ㄎㄜˇ") == std::vector<std::string>{"渴"});
    // Nothing changed: no reload.
    KESTOVA_CHILD_EXPECT(!loader->reloadIfChanged());
    return kChildPassed;
  });
  EXPECT_EQ(code, kChildPassed) << (code == 128 + SIGBUS ? "SIGBUS" : "");
}

// The built-in phrase file cut shorter in place in the middle of a key,
// after the check before it: look-ups past the new end read zeros instead
// of faulting, and find nothing. The next key's check sets the file aside
// (said once), the built-in phrases count as unusable, and the file is
// opened again at the next reload, once it is whole again.
TEST_F(LoaderFaults, BuiltInFileCutShortDuringAKey) {
  const fs::path dataFile = root() / "data" / "data" / "kestova-data.txt";
  writeBytes(dataFile, largeBuiltInFile());
  int code = runInChild([&] {
    guardChild(30);
    auto loader = start(false);
    loader->checkBetweenKeys();
    KESTOVA_CHILD_EXPECT(loader->builtInPhrasesUsable());
    KESTOVA_CHILD_EXPECT(::truncate(dataFile.c_str(), 0) == 0);
    for (const char* reading : {"ㄇ-110000", "ㄇ-119999", "ㄅㄚ", "ㄎㄜˇ"}) {
      KESTOVA_CHILD_EXPECT(values(*loader, reading).empty());
    }
    ScopedLogCapture log;
    loader->checkBetweenKeys();
    loader->checkBetweenKeys();
    KESTOVA_CHILD_EXPECT(log.lines() ==
                         std::vector<std::string>{
                             "gcin kestova Warn: Built-in LM changed in place while in use; set "
                             "aside until nothing is composed: " +
                             dataFile.string()});
    KESTOVA_CHILD_EXPECT(!loader->builtInPhrasesUsable());
    // Written whole again, in place as cp does it.
    writeBytes(dataFile, largeBuiltInFile());
    KESTOVA_CHILD_EXPECT(loader->reloadIfChanged());
    KESTOVA_CHILD_EXPECT(loader->builtInPhrasesUsable());
    KESTOVA_CHILD_EXPECT(values(*loader, "ㄎㄜˇ") == std::vector<std::string>{"可"});
    KESTOVA_CHILD_EXPECT(values(*loader, "ㄇ-119999") == std::vector<std::string>{"填"});
    return kChildPassed;
  });
  EXPECT_EQ(code, kChildPassed) << (code == 128 + SIGBUS ? "SIGBUS" : "");
}

// The context file cut shorter in place in the middle of a key: the walk's
// look-ups read zeros and score nothing; the next key's check closes the
// model (the grid still holding it finds no word in it), and the next
// reload maps the file again, once it is whole again.
TEST_F(LoaderFaults, ContextFileCutShortDuringAKey) {
  const fs::path context = root() / "data" / "data" / "kestova-context.bin";
  ContextFileContents contents;
  for (int i = 0; i < 3000; ++i) contents.words.push_back({"詞" + std::to_string(i), -1.0});
  contents.pairs = {{"詞1", "詞2", 1.5}};
  ASSERT_TRUE(writeContextFile(context.string(), contents));
  const std::string whole = readBytes(context);
  int code = runInChild([&] {
    guardChild(30);
    auto loader = start(false);
    std::shared_ptr<const ContextLM> held = loader->contextModel();
    KESTOVA_CHILD_EXPECT(held && held->pairScore(held->lookUp("詞1"), held->lookUp("詞2")) == 1.5);
    KESTOVA_CHILD_EXPECT(::truncate(context.c_str(), 0) == 0);
    KESTOVA_CHILD_EXPECT(held->lookUp("詞2999").word == ContextLM::kUnknownWord);
    ScopedLogCapture log;
    loader->checkBetweenKeys();
    loader->checkBetweenKeys();
    KESTOVA_CHILD_EXPECT(log.lines() ==
                         std::vector<std::string>{
                             "gcin kestova Warn: Context file changed in place while in use; set "
                             "aside until nothing is composed: " +
                             context.string()});
    KESTOVA_CHILD_EXPECT(!held->isLoaded());
    KESTOVA_CHILD_EXPECT(held->pairScore(held->lookUp("詞1"), held->lookUp("詞2")) == 0);
    writeBytes(context, whole);
    KESTOVA_CHILD_EXPECT(loader->reloadIfChanged());
    auto again = loader->contextModel();
    KESTOVA_CHILD_EXPECT(again && again != held);
    KESTOVA_CHILD_EXPECT(again->pairScore(again->lookUp("詞1"), again->lookUp("詞2")) == 1.5);
    return kChildPassed;
  });
  EXPECT_EQ(code, kChildPassed) << (code == 128 + SIGBUS ? "SIGBUS" : "");
}

}  // namespace
}  // namespace Kestova::Testing
