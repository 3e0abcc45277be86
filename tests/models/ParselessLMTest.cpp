#include "models/ParselessLM.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "base/MappedFile.h"
#include "models/SortedPhraseTable.h"
#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

using Palisar::Lattivor2::ScoredPhrase;
using Testing::TempDir;

const std::string kHeader(SortedPhraseTable::kHeader);

// ㄅㄚ is a leading part of ㄅㄚ-ㄅㄚ and of ㄅㄚˇ; all three must stay apart.
const std::string kBody =
    "ㄅㄚ 八 -3.2\n"
    "ㄅㄚ 吧 -4.5\n"
    "ㄅㄚ 八 -6\n"
    "ㄅㄚ-ㄅㄚ 爸爸 -2.5\n"
    "ㄅㄚˇ 把 -3\n"
    "ㄇㄚ 媽 -3.5\n"
    "ㄇㄚ-ㄇㄚ 媽媽 -2.25\n"
    "ㄋㄧˇ 你 -2\n"
    "ㄓ 之 -1.5";  // the last line has no line feed

std::vector<std::string> values(const std::vector<ScoredPhrase>& phrases) {
  std::vector<std::string> out;
  for (const auto& phrase : phrases) out.push_back(phrase.value);
  return out;
}

TEST(MappedFileTest, MapsWholeFileAndRefusesSecondOpen) {
  TempDir dir;
  std::string path = dir.write("a.txt", "hello");
  MappedFile file;
  ASSERT_TRUE(file.open(path));
  EXPECT_EQ(file.view(), "hello");
  EXPECT_FALSE(file.open(dir.write("b.txt", "other")));
  EXPECT_EQ(file.view(), "hello");

  MappedFile moved = std::move(file);
  EXPECT_FALSE(file.isOpen());
  EXPECT_EQ(moved.view(), "hello");
  moved.close();
  EXPECT_FALSE(moved.isOpen());
  EXPECT_EQ(moved.size(), 0u);
}

TEST(MappedFileTest, MissingAndEmptyFilesFail) {
  TempDir dir;
  MappedFile file;
  EXPECT_FALSE(file.open(dir.file("missing.txt")));
  EXPECT_FALSE(file.open(dir.write("empty.txt", "")));
  EXPECT_FALSE(file.open(""));
  EXPECT_FALSE(file.isOpen());
}

TEST(SortedPhraseTableTest, FindsFirstLineOfEveryReading) {
  std::string data = kHeader + kBody;
  SortedPhraseTable table(data.data(), data.size());
  EXPECT_EQ(table.firstLineWithPrefix("ㄅㄚ "), 0u);
  EXPECT_EQ(table.firstLineWithPrefix(""), 0u);
  EXPECT_FALSE(table.firstLineWithPrefix("ㄅ ").has_value());
  EXPECT_FALSE(table.firstLineWithPrefix("ㄆㄚ ").has_value());
  EXPECT_FALSE(table.firstLineWithPrefix("ㄓㄨ ").has_value());
  EXPECT_FALSE(table.firstLineWithPrefix("~").has_value());
  // Every line of the body can be found by its own reading.
  std::string_view body = table.body();
  size_t start = 0;
  while (start < body.size()) {
    size_t end = body.find('\n', start);
    if (end == std::string_view::npos) end = body.size();
    std::string_view line = body.substr(start, end - start);
    std::string prefix(line.substr(0, line.find(' ') + 1));
    auto found = table.firstLineWithPrefix(prefix);
    ASSERT_TRUE(found.has_value()) << prefix;
    EXPECT_LE(*found, start);
    EXPECT_TRUE(body.substr(*found).starts_with(prefix));
    // It is a line start, and the line before it has another reading.
    if (*found > 0) {
      EXPECT_EQ(body[*found - 1], '\n');
      size_t previous = body.rfind('\n', *found - 2);
      previous = previous == std::string_view::npos ? 0 : previous + 1;
      EXPECT_FALSE(body.substr(previous).starts_with(prefix));
    }
    start = end + 1;
  }
}

TEST(SortedPhraseTableTest, LookupsAgreeWithLinearScanOnManyReadings) {
  // Readings of every length around a binary search's probe points.
  std::string data = kHeader;
  std::vector<std::string> readings;
  for (int i = 0; i < 300; ++i) {
    char reading[16];
    std::snprintf(reading, sizeof reading, "r%03d", i);
    readings.push_back(reading);
    for (int j = 0; j < i % 4; ++j) {
      data += std::string(reading) + " v" + std::to_string(j) + std::string(j * 7, 'x') + " -1\n";
    }
  }
  SortedPhraseTable table(data.data(), data.size());
  for (int i = 0; i < 300; ++i) {
    auto lines = table.linesWithPrefix(readings[i] + " ");
    ASSERT_EQ(lines.size(), static_cast<size_t>(i % 4)) << readings[i];
    for (size_t j = 0; j < lines.size(); ++j) {
      EXPECT_TRUE(lines[j].starts_with(readings[i] + " v" + std::to_string(j)));
    }
  }
}

TEST(SortedPhraseTableTest, BufferWithoutHeaderIsEmpty) {
  const std::string withoutLineFeed = kHeader.substr(0, kHeader.size() - 1);
  for (std::string data : {kBody, withoutLineFeed, withoutLineFeed + "X\n" + kBody}) {
    SortedPhraseTable table(data.data(), data.size());
    EXPECT_TRUE(table.body().empty());
    EXPECT_TRUE(table.linesWithPrefix("ㄅㄚ ").empty());
  }
}

class ParselessLMTest : public ::testing::Test {
 protected:
  std::string writeSorted(std::string_view body) {
    return dir_.write("data.txt", kHeader + std::string(body));
  }
  TempDir dir_;
  ParselessLM lm_;
};

TEST_F(ParselessLMTest, ReturnsLinesOfOneReadingInFileOrderWithDuplicates) {
  ASSERT_TRUE(lm_.open(writeSorted(kBody)));
  EXPECT_TRUE(lm_.isLoaded());
  std::vector<ScoredPhrase> expected = {{"八", -3.2}, {"吧", -4.5}, {"八", -6}};
  EXPECT_EQ(lm_.getScoredPhrases("ㄅㄚ"), expected);
  EXPECT_EQ(values(lm_.getScoredPhrases("ㄅㄚ-ㄅㄚ")), std::vector<std::string>{"爸爸"});
  EXPECT_EQ(values(lm_.getScoredPhrases("ㄅㄚˇ")), std::vector<std::string>{"把"});
  EXPECT_EQ(values(lm_.getScoredPhrases("ㄇㄚ-ㄇㄚ")), std::vector<std::string>{"媽媽"});
  EXPECT_TRUE(lm_.getScoredPhrases("ㄅ").empty());
  EXPECT_FALSE(lm_.hasScoredPhrases("ㄅ"));
  EXPECT_FALSE(lm_.hasScoredPhrases("ㄅㄚ-"));
  EXPECT_TRUE(lm_.hasScoredPhrases("ㄋㄧˇ"));
}

TEST_F(ParselessLMTest, LastLineWithoutLineFeedIsReturnedWhole) {
  ASSERT_TRUE(lm_.open(writeSorted(kBody)));
  EXPECT_EQ(lm_.getScoredPhrases("ㄓ"), (std::vector<ScoredPhrase>{{"之", -1.5}}));
}

TEST_F(ParselessLMTest, ScoreFieldVariants) {
  // Missing score reads 0; a number is read from the start of the field; a
  // field that is not a number reads 0 instead of failing the look-up.
  ASSERT_TRUE(
      lm_.open(writeSorted("a 1\n"
                           "b 2 \n"
                           "c 3 -2.5extra\n"
                           "d 4 oops\n"
                           "e 5 1e999\n"
                           "f 6 +1.5\n"
                           "g\n"
                           "h 8 -7\r\n"
                           "i 9 nan\n"
                           "j 10 inf\n"
                           "k 11 -inf\n"
                           "l 12 -1.2345678901234567\n")));
  EXPECT_EQ(lm_.getScoredPhrases("a"), (std::vector<ScoredPhrase>{{"1", 0}}));
  EXPECT_EQ(lm_.getScoredPhrases("b"), (std::vector<ScoredPhrase>{{"2", 0}}));
  EXPECT_EQ(lm_.getScoredPhrases("c"), (std::vector<ScoredPhrase>{{"3", -2.5}}));
  EXPECT_EQ(lm_.getScoredPhrases("d"), (std::vector<ScoredPhrase>{{"4", 0}}));
  EXPECT_EQ(lm_.getScoredPhrases("e"), (std::vector<ScoredPhrase>{{"5", 0}}));
  EXPECT_EQ(lm_.getScoredPhrases("f"), (std::vector<ScoredPhrase>{{"6", 1.5}}));
  EXPECT_TRUE(lm_.getScoredPhrases("g").empty());
  EXPECT_EQ(lm_.getScoredPhrases("h"), (std::vector<ScoredPhrase>{{"8", -7}}));
  // Numbers that are not finite read 0 as well: the walk never sees them.
  EXPECT_EQ(lm_.getScoredPhrases("i"), (std::vector<ScoredPhrase>{{"9", 0}}));
  EXPECT_EQ(lm_.getScoredPhrases("j"), (std::vector<ScoredPhrase>{{"10", 0}}));
  EXPECT_EQ(lm_.getScoredPhrases("k"), (std::vector<ScoredPhrase>{{"11", 0}}));
  EXPECT_EQ(lm_.getScoredPhrases("l"), (std::vector<ScoredPhrase>{{"12", -1.2345678901234567}}));
}

// The short scores the file writes take a fast path: it must give the very
// double the general parse gives, for every score the file can hold.
TEST(ParseSortedLine, ScoresReadExactlyAsTheGeneralParseReadsThem) {
  std::mt19937_64 random(42);
  for (int i = 0; i < 200000; ++i) {
    char text[64];
    const double score = -static_cast<double>(random() % 1000000) / 10000.0;
    const int written = i % 2 ? std::snprintf(text, sizeof text, "%.4f", score)
                              : std::snprintf(text, sizeof text, "%.*f", static_cast<int>(i % 9),
                                              score * (1 + static_cast<double>(i % 7)));
    double expected = 0;
    std::from_chars(text, text + written, expected);
    const ScoredPhrase phrase = parseSortedLine(std::string("r v ") + text);
    ASSERT_EQ(phrase.score, expected) << text;
  }
}

TEST_F(ParselessLMTest, HeaderlessAndHeaderOnlyFilesLoadEmpty) {
  ASSERT_TRUE(lm_.open(dir_.write("plain.txt", kBody)));
  EXPECT_TRUE(lm_.isLoaded());
  EXPECT_TRUE(lm_.getScoredPhrases("ㄅㄚ").empty());
  EXPECT_FALSE(lm_.hasScoredPhrases("ㄅㄚ"));
  lm_.close();
  EXPECT_FALSE(lm_.isLoaded());

  ASSERT_TRUE(lm_.open(dir_.write("header.txt", kHeader)));
  EXPECT_TRUE(lm_.isLoaded());
  EXPECT_TRUE(lm_.getScoredPhrases("ㄅㄚ").empty());
  EXPECT_FALSE(lm_.hasScoredPhrases(""));
}

TEST_F(ParselessLMTest, UnloadedModelAnswersNothing) {
  EXPECT_FALSE(lm_.isLoaded());
  EXPECT_TRUE(lm_.getScoredPhrases("ㄅㄚ").empty());
  EXPECT_FALSE(lm_.hasScoredPhrases("ㄅㄚ"));
  EXPECT_FALSE(lm_.open(dir_.file("missing.txt")));
  EXPECT_FALSE(lm_.isLoaded());
}

TEST_F(ParselessLMTest, SecondOpenWithoutCloseFailsAndKeepsTable) {
  ASSERT_TRUE(lm_.open(writeSorted(kBody)));
  std::string other = dir_.write("other.txt", kHeader + "ㄅㄚ 巴 -1\n");
  EXPECT_FALSE(lm_.open(other));
  EXPECT_EQ(lm_.getScoredPhrases("ㄅㄚ").size(), 3u);
  lm_.close();
  ASSERT_TRUE(lm_.open(other));
  EXPECT_EQ(lm_.getScoredPhrases("ㄅㄚ"), (std::vector<ScoredPhrase>{{"巴", -1}}));
}

}  // namespace
}  // namespace Kestova
