// The context file: written by contextFileBytes, mapped by ContextLM, and
// handed out by the loader when it lies beside the built-in phrase file.
#include "models/ContextLM.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>

#include "models/ContextFile.h"
#include "models/LanguageModelLoader.h"
#include "models/SortedPhraseTable.h"
#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

namespace fs = std::filesystem;
using Palisar::Lattivor2::ContextModel;
using Testing::TempDir;

ContextFileContents sampleContents() {
  ContextFileContents contents;
  contents.weight = 0.5;
  contents.words = {{"", -0.25}, {"寫", -1.0}, {"程式", -0.5}, {"城市", 0}};
  contents.pairs = {
      {"寫", "程式", 1.25}, {"", "寫", 0.75}, {"寫", "城市", -2.0}, {"它", "的", 0.5}};
  return contents;
}

TEST(ContextLM, ReadsWhatWasWritten) {
  TempDir dir;
  const std::string path = dir.file("context.bin");
  ASSERT_TRUE(writeContextFile(path, sampleContents()));
  ContextLM model;
  ASSERT_TRUE(model.open(path));
  EXPECT_EQ(model.wordCount(), 6u);  // 它 and 的 come from a pair
  EXPECT_EQ(model.pairCount(), 4u);
  EXPECT_DOUBLE_EQ(model.weight(), 0.5);
  const auto write = model.lookUp("寫"), program = model.lookUp("程式"),
             city = model.lookUp("城市");
  ASSERT_NE(write.word, ContextModel::kUnknownWord);
  EXPECT_EQ(model.lookUp("城").word, ContextModel::kUnknownWord);
  EXPECT_EQ(model.sentenceStart().word, model.wordId(""));
  const ContextModel::Word unknown;

  struct Case {
    ContextModel::Word previous, next;
    double score;
  };
  const Case cases[] = {
      {write, program, 1.25},
      {write, city, -2.0},
      {model.sentenceStart(), write, 0.75},
      {model.lookUp("它"), model.lookUp("的"), 0.5},
      // Unlisted pairs back off to the earlier word's score ...
      {program, write, -0.5},
      {write, unknown, -1.0},
      {model.sentenceStart(), program, -0.25},
      {model.lookUp("的"), write, 0.0},
      // ... and an unknown earlier word scores nothing.
      {unknown, program, 0.0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(model.pairScore(c.previous, c.next), c.score);
}

// Words that are not listed as a pair meet at their characters: the last
// character of the earlier word and the first of the later one.
// Writing never goes through a fixed temporary name: a link planted at
// "context.bin.tmp" is neither followed nor replaced, and the file appears
// whole.
TEST(ContextLM, WritingIgnoresALinkPlantedAtTheTemporaryName) {
  TempDir dir;
  const std::string path = dir.file("context.bin");
  const std::string victim = dir.file("victim.txt");
  {
    std::FILE* file = std::fopen(victim.c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fputs("keep me", file);
    std::fclose(file);
  }
  fs::create_symlink(victim, path + ".tmp");
  ASSERT_TRUE(writeContextFile(path, sampleContents()));
  EXPECT_EQ(fs::file_size(victim), 7u);
  EXPECT_TRUE(fs::is_symlink(path + ".tmp"));
  ContextLM model;
  EXPECT_TRUE(model.open(path));
}

TEST(ContextLM, UnlistedPairsFallBackToTheCharactersWhereTheyMeet) {
  TempDir dir;
  ContextFileContents contents = sampleContents();
  contents.characterWeight = 0.5;
  contents.pairs.push_back({"\x01式", "\x02的", 2.0});
  const std::string path = dir.file("context.bin");
  ASSERT_TRUE(writeContextFile(path, contents));
  ContextLM model;
  ASSERT_TRUE(model.open(path));
  EXPECT_DOUBLE_EQ(model.characterWeight(), 0.5);
  const auto formula = model.lookUp("公式");  // unknown word, known last character
  EXPECT_EQ(formula.word, ContextModel::kUnknownWord);
  EXPECT_NE(formula.last, ContextModel::kUnknownWord);
  const auto of = model.lookUp("的");
  EXPECT_DOUBLE_EQ(model.pairScore(model.lookUp("程式"), of), 1.0);
  EXPECT_DOUBLE_EQ(model.pairScore(formula, of), 1.0);
  EXPECT_DOUBLE_EQ(model.pairScore(formula, model.lookUp("的確")), 1.0);
  // A listed word pair wins over its characters.
  contents.pairs.push_back({"程式", "的", -1.0});
  ASSERT_TRUE(writeContextFile(path, contents));
  ContextLM again;
  ASSERT_TRUE(again.open(path));
  EXPECT_DOUBLE_EQ(again.pairScore(again.lookUp("程式"), again.lookUp("的")), -1.0);
  EXPECT_DOUBLE_EQ(again.pairScore(again.lookUp("寫"), again.lookUp("的")), -1.0);  // back-off
}

TEST(ContextLM, RefusesFilesThatAreNotWholeContextFiles) {
  TempDir dir;
  const std::string whole = contextFileBytes(sampleContents());
  std::string badMagic = whole;
  badMagic[3] = 'X';
  std::string wrongCount = whole;
  wrongCount[8] = static_cast<char>(wrongCount[8] + 1);
  const std::string cases[] = {"",
                               whole.substr(0, 20),
                               whole.substr(0, whole.size() - 1),
                               whole + "x",
                               badMagic,
                               wrongCount,
                               std::string(SortedPhraseTable::kHeader) + "ㄅㄚ 八 -1\n"};
  for (const std::string& bytes : cases) {
    ContextLM model;
    EXPECT_FALSE(model.open(dir.write("bad.bin", bytes)));
    EXPECT_FALSE(model.isLoaded());
    EXPECT_EQ(model.lookUp("寫").word, ContextModel::kUnknownWord);
    EXPECT_EQ(model.pairScore(model.lookUp("寫"), model.lookUp("程式")), 0.0);
  }
  ContextLM missing;
  EXPECT_FALSE(missing.open(dir.file("nothing-here.bin")));
}

// Offsets and pair ranges that point outside their sections, and scores that
// are not numbers, read as empty or 0: nothing leaves the mapping.
TEST(ContextLM, DamagedEntriesReadAsNothing) {
  TempDir dir;
  std::string bytes = contextFileBytes(sampleContents());
  constexpr std::size_t kWords = 40, kWordSize = 16;
  auto put = [&bytes](std::size_t at, std::uint32_t value) { std::memcpy(&bytes[at], &value, 4); };
  // Word 1's text offset far out, word 2's first pair beyond the pairs, the
  // first pair's score not a number.
  put(kWords + kWordSize * 1, 0x7FFFFFF0u);
  put(kWords + kWordSize * 2 + 8, 0xFFFFFFFFu);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  std::uint32_t nanBits = 0;
  std::memcpy(&nanBits, &nan, 4);
  put(kWords + kWordSize * 6 + 4, nanBits);
  ContextLM model;
  ASSERT_TRUE(model.open(dir.write("damaged.bin", bytes)));
  for (ContextModel::WordId previous = 0; previous < 8; ++previous) {
    for (ContextModel::WordId next = 0; next < 8; ++next) {
      const ContextModel::Word a{previous, previous, previous}, b{next, next, next};
      EXPECT_TRUE(std::isfinite(model.pairScore(a, b)));
    }
  }
  for (const char* text : {"程式", "", "寫", "城市"}) model.lookUp(text);
}

TEST(ContextLM, TheLoaderMapsTheFileBesideTheBuiltInPhrases) {
  TempDir dir;
  fs::create_directories(dir.path() / "root/data");
  dir.write("root/data/kestova-data.txt", std::string(SortedPhraseTable::kHeader) + "ㄅㄚ 八 -1\n");
  LanguageModelLoader::Paths paths;
  paths.dataRoot = (dir.path() / "root").string();
  {
    LanguageModelLoader loader(nullptr, paths);
    EXPECT_EQ(loader.contextModel(), nullptr);
  }
  dir.write("root/data/kestova-context.bin", "not a context file");
  {
    LanguageModelLoader loader(nullptr, paths);
    EXPECT_EQ(loader.contextModel(), nullptr);
  }
  ASSERT_TRUE(writeContextFile(dir.file("root/data/kestova-context.bin"), sampleContents()));
  LanguageModelLoader loader(nullptr, paths);
  auto model = loader.contextModel();
  ASSERT_NE(model, nullptr);
  EXPECT_NE(model->lookUp("程式").word, ContextModel::kUnknownWord);
  // A replaced file gives a new model; the old one stays valid for its
  // holders.
  ASSERT_TRUE(writeContextFile(dir.file("root/data/kestova-context.bin"), sampleContents()));
  EXPECT_TRUE(loader.reloadIfChanged());
  EXPECT_NE(loader.contextModel(), model);
  EXPECT_DOUBLE_EQ(model->pairScore(model->lookUp("寫"), model->lookUp("程式")), 1.25);
}

}  // namespace
}  // namespace Kestova
