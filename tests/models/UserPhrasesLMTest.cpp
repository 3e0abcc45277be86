#include "models/UserPhrasesLM.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "models/UserFileParser.h"
#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

using Palisar::Lattivor2::ScoredPhrase;
using Testing::TempDir;

std::vector<std::string> values(const std::vector<ScoredPhrase>& phrases) {
  std::vector<std::string> out;
  for (const auto& phrase : phrases) {
    EXPECT_EQ(phrase.score, 0);
    EXPECT_TRUE(phrase.rawValue.empty());
    out.push_back(phrase.value);
  }
  return out;
}

struct PhraseFileCase {
  const char* name;
  std::string contents;
  std::string reading;
  std::vector<std::string> expected;
};

void PrintTo(const PhraseFileCase& c, std::ostream* os) {
  *os << c.name;
}

class PhraseFileTest : public ::testing::TestWithParam<PhraseFileCase> {};

TEST_P(PhraseFileTest, ReadsValuesOfReading) {
  const PhraseFileCase& c = GetParam();
  TempDir dir;
  UserPhrasesLM lm;
  ASSERT_TRUE(lm.open(dir.write("data.txt", c.contents)));
  EXPECT_EQ(values(lm.getScoredPhrases(c.reading)), c.expected);
  EXPECT_EQ(lm.hasScoredPhrases(c.reading), !c.expected.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PhraseFileTest,
    ::testing::Values(
        PhraseFileCase{"InnerSpaceKept", "New York ㄋㄧㄡˊ-ㄩㄝ\n", "ㄋㄧㄡˊ-ㄩㄝ", {"New York"}},
        PhraseFileCase{"InnerBlanksKeptAsWritten", "a \t b  c ㄅ\n", "ㄅ", {"a \t b  c"}},
        PhraseFileCase{
            "LeadingAndTrailingBlanks", "  \t家祠\tㄐㄧㄚ-ㄘˊ \t \n", "ㄐㄧㄚ-ㄘˊ", {"家祠"}},
        PhraseFileCase{"SingleTokenLineSkipped", "孤單\n好 ㄏㄠˇ\n", "ㄏㄠˇ", {"好"}},
        PhraseFileCase{"SingleTokenIsNotAReading", "孤單\n", "孤單", {}},
        PhraseFileCase{"WindowsLineEnds", "甲 ㄅ\r\n乙 ㄅ\r\n丙 ㄆ\r\n", "ㄅ", {"甲", "乙"}},
        PhraseFileCase{"OldMacLineEnds", "甲 ㄅ\r乙 ㄅ\r", "ㄅ", {"甲", "乙"}},
        PhraseFileCase{"LastLineWithoutLineFeed", "甲 ㄅ\n乙 ㄅ", "ㄅ", {"甲", "乙"}},
        PhraseFileCase{"CommentLinesIgnored", "# 甲 ㄅ\n  # 乙 ㄅ\n丙 ㄅ\n", "ㄅ", {"丙"}},
        PhraseFileCase{"HashLaterOnLineIsText", "X# ㄅ\n", "ㄅ", {"X#"}},
        PhraseFileCase{"DuplicatesInFileOrder", "乙 ㄅ\n甲 ㄅ\n乙 ㄅ\n", "ㄅ", {"乙", "甲", "乙"}},
        PhraseFileCase{"BlankLinesAnywhere", "\n\n \t\n甲 ㄅ\n\r\n\n", "ㄅ", {"甲"}},
        PhraseFileCase{"FinalNulIgnored", std::string("甲 ㄅ\n\0", 9), "ㄅ", {"甲"}},
        PhraseFileCase{"FinalNulRightAfterReading", std::string("甲 ㄅ\0", 8), "ㄅ", {"甲"}},
        PhraseFileCase{"ReadingsThatArePrefixes", "八 ㄅㄚ\n爸爸 ㄅㄚ-ㄅㄚ\n", "ㄅㄚ", {"八"}},
        PhraseFileCase{"AbsentReading", "甲 ㄅ\n", "ㄆ", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UserPhrasesLMTest, InnerNulEmptiesTheWholeModel) {
  TempDir dir;
  UserPhrasesLM lm;
  EXPECT_FALSE(lm.open(dir.write("data.txt", std::string("甲 ㄅ\n\0乙 ㄆ\n", 17))));
  EXPECT_FALSE(lm.hasScoredPhrases("ㄅ"));
  EXPECT_TRUE(lm.getScoredPhrases("ㄅ").empty());
  EXPECT_FALSE(lm.open(dir.write("two.txt", std::string("甲 ㄅ\n\0\0", 10))));
}

TEST(UserPhrasesLMTest, MissingEmptyAndRepeatedOpens) {
  TempDir dir;
  UserPhrasesLM lm;
  EXPECT_FALSE(lm.open(dir.file("missing.txt")));
  EXPECT_FALSE(lm.open(dir.write("empty.txt", "")));
  // A file of comments only loads (nothing skipped is an error).
  ASSERT_TRUE(lm.open(dir.write("comments.txt", "# nothing\n")));
  EXPECT_FALSE(lm.open(dir.write("data.txt", "甲 ㄅ\n")));
  EXPECT_FALSE(lm.hasScoredPhrases("ㄅ"));
  lm.close();
  ASSERT_TRUE(lm.open(dir.file("data.txt")));
  EXPECT_TRUE(lm.hasScoredPhrases("ㄅ"));
}

TEST(UserPhrasesLMTest, OnlyRegularFilesLoad) {
  TempDir dir;
  std::filesystem::create_directory(dir.path() / "data.txt");
  UserPhrasesLM lm;
  EXPECT_FALSE(lm.open(dir.file("data.txt")));
  EXPECT_FALSE(lm.open("/dev/zero"));
  ReplacementTable table;
  EXPECT_FALSE(table.open(dir.file("data.txt")));
  EXPECT_FALSE(table.open("/dev/zero"));
  // A symbolic link to a regular file is fine.
  std::string target = dir.write("real.txt", "甲 ㄅ\n");
  std::filesystem::create_symlink(target, dir.path() / "link.txt");
  EXPECT_TRUE(lm.open(dir.file("link.txt")));
  EXPECT_TRUE(lm.hasScoredPhrases("ㄅ"));
}

TEST(UserPhrasesLMTest, SurvivesFileTruncatedOrRewrittenWhileLoaded) {
  // Another program may shrink or rewrite the file in place; the model
  // keeps answering from what it loaded until it is reloaded.
  TempDir dir;
  std::string path = dir.write("data.txt", std::string(4096, '#') + "\n甲 ㄅ\n乙 ㄅ\n");
  UserPhrasesLM lm;
  ASSERT_TRUE(lm.open(path));
  std::filesystem::resize_file(path, 0);
  EXPECT_EQ(values(lm.getScoredPhrases("ㄅ")), (std::vector<std::string>{"甲", "乙"}));
  dir.write("data.txt", "丙 ㄆ\n");
  EXPECT_EQ(values(lm.getScoredPhrases("ㄅ")), (std::vector<std::string>{"甲", "乙"}));
  lm.close();
  ASSERT_TRUE(lm.open(path));
  EXPECT_FALSE(lm.hasScoredPhrases("ㄅ"));
  EXPECT_EQ(values(lm.getScoredPhrases("ㄆ")), std::vector<std::string>{"丙"});
}

TEST(ReplacementTableTest, FirstReplacementWinsAndBlanksAreTrimmed) {
  TempDir dir;
  ReplacementTable table;
  EXPECT_EQ(table.replacementFor("X"), "");
  ASSERT_TRUE(table.open(dir.write("phrases-replacement.txt",
                                   "X Y\n"
                                   "X Z\n"
                                   "P   Q R  \n"
                                   "# C D\n"
                                   "lonely\n"
                                   "T\tU\t \r\n"
                                   "W V")));
  EXPECT_EQ(table.replacementFor("X"), "Y");
  EXPECT_EQ(table.replacementFor("P"), "Q R");
  EXPECT_EQ(table.replacementFor("T"), "U");
  EXPECT_EQ(table.replacementFor("W"), "V");
  EXPECT_EQ(table.replacementFor("#"), "");
  EXPECT_EQ(table.replacementFor("lonely"), "");
  EXPECT_EQ(table.replacementFor("Y"), "");
  table.close();
  EXPECT_EQ(table.replacementFor("X"), "");
}

TEST(UserFileParserTest, ReplacementKeyIsFirstTokenAndNulRejects) {
  UserFileIndex index;
  ASSERT_TRUE(parseUserFile("a b c\n", UserFileKind::kReplacements, index));
  ASSERT_EQ(index.size(), 1u);
  EXPECT_EQ(index["a"], std::vector<std::string_view>{"b c"});
  ASSERT_TRUE(parseUserFile("a b c\n", UserFileKind::kPhrases, index));
  EXPECT_EQ(index["c"], std::vector<std::string_view>{"a b"});
  EXPECT_FALSE(parseUserFile(std::string_view("a\0b c\n", 6), UserFileKind::kPhrases, index));
  EXPECT_TRUE(index.empty());
  EXPECT_FALSE(parseUserFile("", UserFileKind::kPhrases, index));
}

// Lines in another encoding are skipped and numbered as an editor numbers
// them (LF, CR LF and a lone CR each end one line); a byte-order mark at the
// start is not text. Comments and lone tokens are not checked.
TEST(UserFileParserTest, SkipsLinesThatAreNotUtf8AndNumbersThem) {
  UserFileIndex index;
  std::vector<size_t> malformed;
  ASSERT_TRUE(
      parseUserFile("\xEF\xBB\xBF甲 ㄅ\r\n"  // 1
                    "\xff ㄅ\r"              // 2
                    "\xff ㄆ\n"              // 3
                    "\n"                     // 4
                    "# \xff\n"               // 5
                    "\xa4\xa4 ㄓ\n"          // 6
                    "乙\t\xfe\n"             // 7
                    "\xfd\n"                 // 8
                    "丙 ㄅ",                 // 9
                    UserFileKind::kPhrases, index, &malformed));
  EXPECT_EQ(malformed, (std::vector<size_t>{2, 3, 6, 7}));
  ASSERT_EQ(index.size(), 1u);
  EXPECT_EQ(index["ㄅ"], (std::vector<std::string_view>{"甲", "丙"}));

  ASSERT_TRUE(
      parseUserFile("x \xff y\n\xEF\xBB\xBF"
                    "a b\n",
                    UserFileKind::kReplacements, index, &malformed));
  EXPECT_EQ(malformed, std::vector<size_t>{1});
  // Past the first line a byte-order mark is part of the text.
  EXPECT_EQ(index["\xEF\xBB\xBF"
                  "a"],
            std::vector<std::string_view>{"b"});
  // A file that is only a mark loads, empty.
  EXPECT_TRUE(parseUserFile("\xEF\xBB\xBF", UserFileKind::kPhrases, index));
  EXPECT_TRUE(index.empty());
}

}  // namespace
}  // namespace Kestova
