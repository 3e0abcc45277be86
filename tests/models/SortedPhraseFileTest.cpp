#include "models/SortedPhraseFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "models/ParselessLM.h"
#include "models/SortedPhraseTable.h"
#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

using Testing::readFile;
using Testing::TempDir;

TEST(SortedPhraseFile, SortsByReadingThenScoreAndMergesRepeats) {
  std::vector<PhraseFileLine> lines = {
      {"ㄅㄚˇ", "把", -2},  {"ㄅㄚ-ㄅㄚ", "爸爸", -3},    {"ㄅㄚ", "巴", -4}, {"ㄅㄚ", "八", -2},
      {"ㄅㄚ", "巴", -3.5}, {"_punctuation_,", "，", -1}, {"ㄅ", "x", -5},    {"ㄅㄚ", "吧", -2},
  };
  sortPhraseFileLines(lines);
  std::vector<PhraseFileLine> expected = {
      {"_punctuation_,", "，", -1}, {"ㄅ", "x", -5},      {"ㄅㄚ", "八", -2},
      {"ㄅㄚ", "吧", -2},           {"ㄅㄚ", "巴", -3.5}, {"ㄅㄚ-ㄅㄚ", "爸爸", -3},
      {"ㄅㄚˇ", "把", -2},
  };
  EXPECT_EQ(lines, expected);
}

TEST(SortedPhraseFile, WrittenFileAnswersThroughTheParselessModel) {
  TempDir dir;
  const std::string path = dir.file("data.txt");
  ASSERT_TRUE(writeSortedPhraseFile(
      path, {parsePhraseFileLine("ㄅㄚ-ㄅㄚ 爸爸 -3"), parsePhraseFileLine("ㄅㄚ 巴 -4.25"),
             parsePhraseFileLine("ㄅㄚ 八 -2"), parsePhraseFileLine("ㄅㄚˇ 把")}));
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
  EXPECT_EQ(readFile(path), std::string(SortedPhraseTable::kHeader) +
                                "ㄅㄚ 八 -2.0000\n"
                                "ㄅㄚ 巴 -4.2500\n"
                                "ㄅㄚ-ㄅㄚ 爸爸 -3.0000\n"
                                "ㄅㄚˇ 把 0.0000\n");
  ParselessLM model;
  ASSERT_TRUE(model.open(path));
  auto phrases = model.getScoredPhrases("ㄅㄚ");
  ASSERT_EQ(phrases.size(), 2u);
  EXPECT_EQ(phrases[0].value, "八");
  EXPECT_DOUBLE_EQ(phrases[1].score, -4.25);
  EXPECT_EQ(model.getScoredPhrases("ㄅㄚ-ㄅㄚ").size(), 1u);
}

TEST(SortedPhraseFile, FailedWriteLeavesNothingBehind) {
  TempDir dir;
  EXPECT_FALSE(writeSortedPhraseFile(dir.file("no/such/dir/data.txt"), {{"ㄅㄚ", "八", -2}}));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace Kestova
