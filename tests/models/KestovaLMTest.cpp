#include "models/KestovaLM.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
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
            (std::vector<ScoredPhrase>{{"甲", -2 + 1e-9, "", true}, {"家", -2, "家"}}));
  EXPECT_EQ(lm_.getScoredPhrases("ㄐㄧㄚ-ㄘˊ"), (std::vector<ScoredPhrase>{{"家慈", -6, "家慈"}}));
}

TEST_F(KestovaLMTest, UserValueListedOnceInUserPosition) {
  loadBuiltIn(
      "ㄋㄧˇ-ㄏㄠˇ 你好 -2\n"
      "ㄋㄧˇ-ㄏㄠˇ 妳好 -4\n");
  loadUser("妳好 ㄋㄧˇ-ㄏㄠˇ\n妳好 ㄋㄧˇ-ㄏㄠˇ\n");
  EXPECT_EQ(lm_.getScoredPhrases("ㄋㄧˇ-ㄏㄠˇ"),
            (std::vector<ScoredPhrase>{{"妳好", 0, "妳好", true}, {"你好", -2, "你好"}}));
}

TEST_F(KestovaLMTest, SingleSyllableUserPhraseRanksJustAboveBestBuiltIn) {
  loadBuiltIn(
      "ㄅㄚ 吧 -5.0\n"
      "ㄅㄚ 八 -3.2\n");
  loadUser("捌 ㄅㄚ\n叭 ㄅㄚ\n");
  auto phrases = lm_.getScoredPhrases("ㄅㄚ");
  EXPECT_EQ(phrases, (std::vector<ScoredPhrase>{{"捌", -3.2 + 1e-9, "", true},
                                                {"叭", -3.2 + 1e-9, "", true},
                                                {"吧", -5, "吧"},
                                                {"八", -3.2, "八"}}));
  EXPECT_GT(phrases[0].score, phrases[3].score);
}

TEST_F(KestovaLMTest, SingleSyllableWithoutBuiltInKeepsUserScore) {
  loadBuiltIn("ㄅㄚ 八 -3\n");
  loadUser("ㄅ ㄅ\n媽 ㄇㄚ\n");
  EXPECT_EQ(lm_.getScoredPhrases("ㄇㄚ"), (std::vector<ScoredPhrase>{{"媽", 0, "媽", true}}));
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

// Look-ups are remembered: each change of a source or a setting must show in
// the very next look-up of a reading that was answered before it.
TEST_F(KestovaLMTest, EveryChangeShowsInTheNextLookUpOfAnAnsweredReading) {
  loadBuiltIn("ㄅㄚ 八 -3\nㄅㄚ 吧 -4\n");
  loadUser("", "");
  struct Step {
    const char* change;
    std::function<void()> apply;
    std::vector<ScoredPhrase> expected;
  };
  const std::vector<Step> steps = {
      {"nothing yet", [] {}, {{"八", -3, "八"}, {"吧", -4, "吧"}}},
      {"a user phrase",
       [&] { loadUser("捌 ㄅㄚ\n", ""); },
       {{"捌", -3 + 1e-9, "", true}, {"八", -3, "八"}, {"吧", -4, "吧"}}},
      {"an exclusion",
       [&] { loadUser("捌 ㄅㄚ\n", "吧 ㄅㄚ\n"); },
       {{"捌", -3 + 1e-9, "", true}, {"八", -3, "八"}}},
      {"replacements on",
       [&] { loadReplacements("八 8\n"); },
       {{"捌", -3 + 1e-9, "", true}, {"8", -3, "八"}}},
      {"replacements off",
       [&] { lm_.setReplacementEnabled(false); },
       {{"捌", -3 + 1e-9, "", true}, {"八", -3, "八"}}},
      {"another replacement file",
       [&] {
         lm_.setReplacementEnabled(true);
         loadReplacements("八 捌\n");
       },
       // 八 becomes 捌, which the user's phrase already lists: with no built-in
       // phrase left, the user's keeps its own score.
       {{"捌", 0, "捌", true}}},
      {"an expander",
       [&] {
         lm_.setMacroExpander([](std::string_view text) {
           return text == "捌" ? std::string("8") : std::string(text);
         });
       },
       {{"8", 0, "捌", true}}},
      {"another built-in table",
       [&] {
         lm_.setMacroExpander(nullptr);
         lm_.setReplacementEnabled(false);
         loadUser("", "");
         lm_.openBuiltInTable(
             dir_.write("other.txt", std::string(SortedPhraseTable::kHeader) + "ㄅㄚ 巴 -2\n"));
       },
       {{"巴", -2, "巴"}}},
      {"no built-in table", [&] { lm_.openBuiltInTable(""); }, {}},
  };
  for (const Step& step : steps) {
    step.apply();
    // Twice: the first answer may be computed, the second remembered.
    for (int round = 0; round < 2; ++round) {
      EXPECT_EQ(lm_.getScoredPhrases("ㄅㄚ"), step.expected) << "after " << step.change;
      EXPECT_EQ(lm_.hasScoredPhrases("ㄅㄚ"), !step.expected.empty()) << "after " << step.change;
    }
  }
}

// A macro's text can change between two look-ups (a date at midnight): an
// answer with an expansion in it is computed every time.
TEST_F(KestovaLMTest, ExpandedMacrosAreExpandedAtEveryLookUp) {
  loadBuiltIn("ㄐㄧㄣ-ㄊㄧㄢ MACRO@DATE_TODAY_SHORT -8\nㄐㄧㄣ-ㄊㄧㄢ 今天 -3\n");
  int day = 1;
  lm_.setMacroExpander([&day](std::string_view text) {
    return text == "MACRO@DATE_TODAY_SHORT" ? "2024/1/" + std::to_string(day) : std::string(text);
  });
  EXPECT_EQ(lm_.getScoredPhrases("ㄐㄧㄣ-ㄊㄧㄢ").front().value, "2024/1/1");
  day = 2;
  EXPECT_EQ(lm_.getScoredPhrases("ㄐㄧㄣ-ㄊㄧㄢ").front().value, "2024/1/2");
}

// More phrases than the look-ups keep: every answer stays the one a fresh
// model gives, whatever was forgotten in between.
TEST_F(KestovaLMTest, AnswersStayRightPastWhatTheLookUpsKeep) {
  const std::size_t readings = 64;
  const std::size_t perReading = KestovaLM::kCachedPhraseLimit / 16;
  std::string body;
  auto reading = [](std::size_t i) { return "ㄅㄚ" + std::to_string(1000 + i); };
  for (std::size_t r = 0; r < readings; ++r) {
    for (std::size_t p = 0; p < perReading; ++p) {
      body += reading(r) + " v" + std::to_string(p) + " -" + std::to_string(1 + p % 7) + "\n";
    }
  }
  std::string path = dir_.write("big.txt", std::string(SortedPhraseTable::kHeader) + body);
  KestovaLM fresh;
  lm_.openBuiltInTable(path);
  for (std::size_t step = 0; step < 3 * readings; ++step) {
    const std::string r = reading((step * 37) % readings);
    fresh.openBuiltInTable(path);  // opening forgets every earlier answer
    const std::vector<ScoredPhrase> expected = fresh.getScoredPhrases(r);
    ASSERT_EQ(expected.size(), perReading);
    ASSERT_EQ(lm_.getScoredPhrases(r), expected) << r << " at step " << step;
  }
}

}  // namespace
}  // namespace Kestova
