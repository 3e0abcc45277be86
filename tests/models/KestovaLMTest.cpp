#include "models/KestovaLM.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "models/SortedPhraseTable.h"
#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

using Palisar::Lattivor2::ScoredPhrase;
using Testing::TempDir;

class KestovaLMTest : public ::testing::Test {
 protected:
  void loadBuiltIn(const std::string& body) {
    lm_.openBuiltInTable(dir_.write("data.txt", std::string(SortedPhraseTable::kHeader) + body));
    ASSERT_TRUE(lm_.builtInTableLoaded());
  }
  void loadUser(const std::string& phrases, const std::string& excluded = "") {
    lm_.openUserFiles(dir_.write("user.txt", phrases), dir_.write("exclude.txt", excluded));
  }
  void loadReplacements(const std::string& lines) {
    lm_.openReplacementFile(dir_.write("replace.txt", lines));
    lm_.setReplacementEnabled(true);
  }

  TempDir dir_;
  KestovaLM lm_;
};

TEST_F(KestovaLMTest, ExclusionAppliesToBothSourcesOfThatReadingOnly) {
  loadBuiltIn(
      "ㄐㄧㄚ 家 -2\n"
      "ㄐㄧㄚ 加 -2.5\n"
      "ㄐㄧㄚ-ㄘˊ 家祠 -5\n"
      "ㄐㄧㄚ-ㄘˊ 家慈 -6\n");
  loadUser("佳 ㄐㄧㄚ\n家祠 ㄐㄧㄚ-ㄘˊ\n甲 ㄐㄧㄚ\n", "家祠 ㄐㄧㄚ-ㄘˊ\n佳 ㄐㄧㄚ\n加 ㄐㄧㄚ\n");
  EXPECT_EQ(lm_.getScoredPhrases("ㄐㄧㄚ"),
            (std::vector<ScoredPhrase>{{"甲", -2 + 1e-9}, {"家", -2, "家"}}));
  EXPECT_EQ(lm_.getScoredPhrases("ㄐㄧㄚ-ㄘˊ"), (std::vector<ScoredPhrase>{{"家慈", -6, "家慈"}}));
}

TEST_F(KestovaLMTest, UserValueListedOnceInUserPosition) {
  loadBuiltIn(
      "ㄋㄧˇ-ㄏㄠˇ 你好 -2\n"
      "ㄋㄧˇ-ㄏㄠˇ 妳好 -4\n");
  loadUser("妳好 ㄋㄧˇ-ㄏㄠˇ\n妳好 ㄋㄧˇ-ㄏㄠˇ\n");
  EXPECT_EQ(lm_.getScoredPhrases("ㄋㄧˇ-ㄏㄠˇ"),
            (std::vector<ScoredPhrase>{{"妳好", 0, "妳好"}, {"你好", -2, "你好"}}));
}

TEST_F(KestovaLMTest, SingleSyllableUserPhraseRanksJustAboveBestBuiltIn) {
  loadBuiltIn(
      "ㄅㄚ 吧 -5.0\n"
      "ㄅㄚ 八 -3.2\n");
  loadUser("捌 ㄅㄚ\n叭 ㄅㄚ\n");
  auto phrases = lm_.getScoredPhrases("ㄅㄚ");
  EXPECT_EQ(phrases,
            (std::vector<ScoredPhrase>{
                {"捌", -3.2 + 1e-9}, {"叭", -3.2 + 1e-9}, {"吧", -5, "吧"}, {"八", -3.2, "八"}}));
  EXPECT_GT(phrases[0].score, phrases[3].score);
}

TEST_F(KestovaLMTest, SingleSyllableWithoutBuiltInKeepsUserScore) {
  loadBuiltIn("ㄅㄚ 八 -3\n");
  loadUser("ㄅ ㄅ\n媽 ㄇㄚ\n");
  EXPECT_EQ(lm_.getScoredPhrases("ㄇㄚ"), (std::vector<ScoredPhrase>{{"媽", 0, "媽"}}));
}

TEST_F(KestovaLMTest, ReplacementKeepsRawValueAndDeduplicates) {
  loadBuiltIn(
      "ㄊㄞˊ-ㄨㄢ 台灣 -3\n"
      "ㄊㄞˊ-ㄨㄢ 臺灣 -4\n"
      "ㄊㄞˊ-ㄨㄢ 台彎 -9\n");
  loadReplacements("台灣 臺灣\n台彎 台 彎\n");
  EXPECT_EQ(lm_.getScoredPhrases("ㄊㄞˊ-ㄨㄢ"),
            (std::vector<ScoredPhrase>{{"臺灣", -3, "台灣"}, {"台 彎", -9, "台彎"}}));
  lm_.setReplacementEnabled(false);
  EXPECT_EQ(lm_.getScoredPhrases("ㄊㄞˊ-ㄨㄢ").size(), 3u);
}

TEST_F(KestovaLMTest, ExclusionLooksAtValueBeforeReplacement) {
  loadBuiltIn("ㄊㄞˊ-ㄨㄢ 台灣 -3\nㄊㄞˊ-ㄨㄢ 臺灣 -4\n");
  loadUser("", "臺灣 ㄊㄞˊ-ㄨㄢ\n");
  loadReplacements("台灣 臺灣\n");
  EXPECT_EQ(lm_.getScoredPhrases("ㄊㄞˊ-ㄨㄢ"), (std::vector<ScoredPhrase>{{"臺灣", -3, "台灣"}}));
}

TEST_F(KestovaLMTest, MacroExpansion) {
  loadBuiltIn(
      "ㄐㄧㄣ-ㄊㄧㄢ MACRO@DATE_TODAY_SHORT -8\n"
      "ㄐㄧㄣ-ㄊㄧㄢ MACRO@UNKNOWN -8\n"
      "ㄐㄧㄣ-ㄊㄧㄢ MACRO@UNKNOWN -7\n"
      "ㄐㄧㄣ-ㄊㄧㄢ MACRO@ -8\n"
      "ㄐㄧㄣ-ㄊㄧㄢ 今天 -3\n");
  lm_.setMacroExpander([](std::string_view text) {
    return text == "MACRO@DATE_TODAY_SHORT" ? std::string("2024/1/1") : std::string(text);
  });
  EXPECT_EQ(lm_.getScoredPhrases("ㄐㄧㄣ-ㄊㄧㄢ"),
            (std::vector<ScoredPhrase>{{"2024/1/1", -8, "MACRO@DATE_TODAY_SHORT"},
                                       {"MACRO@UNKNOWN", -7, "MACRO@UNKNOWN"},
                                       {"MACRO@", -8, "MACRO@"},
                                       {"今天", -3, "今天"}}));
}

TEST_F(KestovaLMTest, ExpanderMayReturnEmptyText) {
  loadBuiltIn("ㄎㄨㄥ 空 -3\n");
  lm_.setMacroExpander([](std::string_view) { return std::string(); });
  EXPECT_EQ(lm_.getScoredPhrases("ㄎㄨㄥ"), (std::vector<ScoredPhrase>{{"", -3, "空"}}));
}

TEST_F(KestovaLMTest, SpaceReadingAlwaysYieldsSpace) {
  EXPECT_EQ(lm_.getScoredPhrases(" "), (std::vector<ScoredPhrase>{{" ", 0}}));
  EXPECT_TRUE(lm_.hasScoredPhrases(" "));
  loadUser("空白 \t\n", "  \n");
  EXPECT_EQ(lm_.getScoredPhrases(" "), (std::vector<ScoredPhrase>{{" ", 0}}));
}

TEST_F(KestovaLMTest, EverythingExcludedMeansNoPhrases) {
  loadBuiltIn("ㄅㄚ 八 -3\nㄅㄚ 吧 -4\nㄇㄚ 媽 -3\n");
  loadUser("", "八 ㄅㄚ\n吧 ㄅㄚ\n");
  EXPECT_FALSE(lm_.hasScoredPhrases("ㄅㄚ"));
  EXPECT_TRUE(lm_.getScoredPhrases("ㄅㄚ").empty());
  EXPECT_TRUE(lm_.hasScoredPhrases("ㄇㄚ"));
}

TEST_F(KestovaLMTest, FailedReloadEmptiesSourceInsteadOfKeepingIt) {
  loadBuiltIn("ㄅㄚ 八 -3\n");
  loadUser("捌 ㄅㄚ\n");
  EXPECT_EQ(lm_.getScoredPhrases("ㄅㄚ").size(), 2u);
  lm_.openUserFiles(dir_.file("gone.txt"), dir_.file("gone2.txt"));
  lm_.openBuiltInTable("");
  EXPECT_FALSE(lm_.builtInTableLoaded());
  EXPECT_TRUE(lm_.getScoredPhrases("ㄅㄚ").empty());
  EXPECT_FALSE(lm_.hasScoredPhrases("ㄅㄚ"));
}

}  // namespace
}  // namespace Kestova
