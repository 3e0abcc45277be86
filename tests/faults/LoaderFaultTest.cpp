// The user's files damaged, removed or made unwritable while the input
// method runs: the loader must not throw, must fall back as documented, must
// say what happened in the log, and must never lose a phrase already stored.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "models/LanguageModelLoader.h"
#include "models/ModuleLog.h"
#include "models/SortedPhraseTable.h"
#include "tests/faults/FaultSupport.h"

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

// The temporary file of a removal cannot be created: the excluded-phrase
// file stays as it was and nothing is left behind.
TEST_F(LoaderFaults, RemovalWithoutRoomForTheTemporaryFile) {
  auto loader = start(false);
  const fs::path excluded = userFile(kExclude);
  fs::create_directory(excluded.string() + ".tmp");
  ScopedLogCapture log;
  loader->addPhrase("ㄋㄧˇ-ㄏㄠˇ", "擬好");
  EXPECT_TRUE(logged(log, "Failed to create temporary file: " + excluded.string() + ".tmp"));
  EXPECT_EQ(readBytes(excluded), kExcluded);
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
    EXPECT_FALSE(fs::exists(phrases.string() + ".tmp"));
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
    if (LanguageModelLoader::removeLine(excluded, "ㄋㄧˇ-ㄏㄠˇ", "擬好")) return 4;
    return logged(log, "Failed to write to file: ") ? kChildPassed : 5;
  });
  EXPECT_EQ(code, kChildPassed);
  EXPECT_EQ(readBytes(excluded), before);
  EXPECT_FALSE(fs::exists(excluded.string() + ".tmp"));
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
    if (!logged(log, "Failed to create temporary file: ")) return 6;
    if (!logged(log, "Failed to add user phrase: 擬好, reading: ㄋㄧˇ-ㄏㄠˇ")) return 7;
    // The phrases already loaded are still there.
    auto phrases = loader.languageModel()->getScoredPhrases("ㄋㄧˇ-ㄏㄠˇ");
    if (phrases.empty() || phrases.front().value != "你好") return 8;
    return kChildPassed;
  });
  if (code == kChildUnsupported) GTEST_SKIP() << "cannot mount a tmpfs here";
  EXPECT_EQ(code, kChildPassed);
}

}  // namespace
}  // namespace Kestova::Testing
