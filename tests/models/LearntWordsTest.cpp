// Words learnt from the user's picks: how they are kept and worn away, how
// the composite model ranks them, and the learnt.txt format.
#include "models/LearntWords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "models/KestovaLM.h"
#include "models/SortedPhraseTable.h"
#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

using Palisar::Lattivor2::ScoredPhrase;
using Word = LearntWords::Word;

std::vector<std::string> valuesOf(const std::vector<Word>& words) {
  std::vector<std::string> values;
  for (const Word& word : words) values.push_back(word.value);
  return values;
}

TEST(LearntWords, ALaterPickWearsTheEarlierOnesOfItsReadingAway) {
  LearntWords words;
  words.learn("ㄨㄟˋ", "位");
  words.learn("ㄨㄟˋ", "未");
  EXPECT_EQ(valuesOf(words.wordsOf("ㄨㄟˋ")), (std::vector<std::string>{"未", "位"}));
  EXPECT_EQ(words.wordsOf("ㄨㄟˋ")[1].weight, 0.5);
  words.learn("ㄨㄟˋ", "為");  // 未 0.5, 位 0.25
  words.learn("ㄨㄟˋ", "胃");  // 為 0.5, 未 0.25, 位 gone below 0.2
  EXPECT_EQ(valuesOf(words.wordsOf("ㄨㄟˋ")), (std::vector<std::string>{"胃", "為", "未"}));
  // Learning a value again brings it back to full weight, ahead.
  words.learn("ㄨㄟˋ", "未");
  EXPECT_EQ(words.wordsOf("ㄨㄟˋ").front().value, "未");
  EXPECT_EQ(words.wordsOf("ㄨㄟˋ").front().weight, 1.0);
  // Other readings are untouched; forgetting takes one word out.
  words.learn("ㄗㄞˋ", "在");
  words.forget("ㄨㄟˋ", "未");
  EXPECT_EQ(valuesOf(words.wordsOf("ㄨㄟˋ")), (std::vector<std::string>{"胃", "為"}));
  EXPECT_TRUE(words.has("ㄗㄞˋ"));
  EXPECT_FALSE(words.has("ㄅㄚ"));
}

TEST(LearntWords, AWeakenedWordHalvesAndGoesBelowTheThreshold) {
  LearntWords words;
  words.learn("ㄅㄨˋ-ㄈㄣˋ", "部分");
  words.learn("ㄉㄚˋ", "大");
  const std::uint64_t version = words.version();
  words.weaken("ㄅㄨˋ-ㄈㄣˋ", "部份");  // not learnt: nothing changes
  EXPECT_EQ(words.version(), version);
  words.weaken("ㄅㄨˋ-ㄈㄣˋ", "部分");
  EXPECT_NE(words.version(), version);
  EXPECT_EQ(words.wordsOf("ㄅㄨˋ-ㄈㄣˋ").front().weight, 0.5);
  words.weaken("ㄅㄨˋ-ㄈㄣˋ", "部分");
  EXPECT_EQ(words.wordsOf("ㄅㄨˋ-ㄈㄣˋ").front().weight, 0.25);
  words.weaken("ㄅㄨˋ-ㄈㄣˋ", "部分");
  EXPECT_FALSE(words.has("ㄅㄨˋ-ㄈㄣˋ"));
  EXPECT_EQ(words.size(), 1u);
}

TEST(LearntWords, TheLeastRecentlyLearntGoFirstPastTheCapacity) {
  LearntWords words;
  for (std::size_t i = 0; i <= LearntWords::kCapacity; ++i) {
    words.learn("ㄅㄚ-" + std::to_string(i), "八" + std::to_string(i));
  }
  EXPECT_EQ(words.size(), LearntWords::kCapacity);
  EXPECT_FALSE(words.has("ㄅㄚ-0"));
  EXPECT_TRUE(words.has("ㄅㄚ-1"));
  // The file order keeps the least recently learnt first, and reads back.
  const std::vector<Word> all = words.words();
  EXPECT_EQ(all.front().reading, "ㄅㄚ-1");
  LearntWords again;
  again.assign(parseLearntFile(formatLearntFile(all)).words);
  EXPECT_EQ(again.words(), all);
}

TEST(LearntWords, DamagedLinesOfTheFileAreSkippedAndCounted) {
  const LearntFileContents contents = parseLearntFile(
      "\uFEFF# learnt words\n"
      "位在 ㄨㄟˋ-ㄗㄞˋ 1\n"
      "\n"
      "未 ㄨㄟˋ 0.5\r\n"
      "只有兩欄 ㄅㄚ\n"    // too few fields
      "八 ㄅㄚ 1.5\n"      // weight above 1
      "八 ㄅㄚ 0.1\n"      // weight below the floor
      "八 ㄅㄚ nan\n"      // not a number
      "#注解 ㄅㄚ 1\n"     // a comment
      "\xff\xfe ㄅㄚ 1\n"  // not UTF-8
      "巴 ㄅㄚ 0.25");
  EXPECT_EQ(contents.words,
            (std::vector<Word>{
                {"ㄨㄟˋ-ㄗㄞˋ", "位在", 1.0}, {"ㄨㄟˋ", "未", 0.5}, {"ㄅㄚ", "巴", 0.25}}));
  EXPECT_EQ(contents.damagedLines, (std::vector<std::size_t>{5, 6, 7, 8, 10}));
}

class LearntRankingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lm_.openBuiltInTable(dir_.write("data.txt", std::string(SortedPhraseTable::kHeader) +
                                                    "ㄓㄨˇ 主 -2\n"
                                                    "ㄓㄨˇ-ㄧㄠˋ 主要 -2.5\n"
                                                    "ㄧㄠˋ 要 -1.5\n"
                                                    "ㄧㄠˋ 鑰 -4\n"));
    lm_.setLearntWords(words_);
  }
  Testing::TempDir dir_;
  KestovaLM lm_;
  std::shared_ptr<LearntWords> words_ = std::make_shared<LearntWords>();
};

TEST_F(LearntRankingTest, LearntWordsRankFirstAndAWordTheSourcesLackIsAdded) {
  EXPECT_EQ(lm_.getScoredPhrases("ㄧㄠˋ").front().value, "要");
  words_->learn("ㄧㄠˋ", "鑰");
  words_->learn("ㄓㄨˇ-ㄧㄠˋ", "主鑰");
  // A learnt character ranks just above the best other one, and is marked.
  const auto single = lm_.getScoredPhrases("ㄧㄠˋ");
  EXPECT_EQ(single.front().value, "鑰");
  EXPECT_TRUE(single.front().fromUser && single.front().learnt);
  EXPECT_GT(single.front().score, -1.5);
  EXPECT_LT(single.front().score, -1.5 + 1e-6);
  // A learnt word scores at least as a user's phrase (0), even one the
  // sources lack.
  const auto word = lm_.getScoredPhrases("ㄓㄨˇ-ㄧㄠˋ");
  ASSERT_EQ(word.size(), 2u);
  EXPECT_EQ(word.front().value, "主鑰");
  EXPECT_TRUE(word.front().fromUser && word.front().learnt);
  EXPECT_GE(word.front().score, 0);
  // Worn away, it scores less; forgotten, it is gone.
  words_->learn("ㄓㄨˇ-ㄧㄠˋ", "主要");
  EXPECT_EQ(lm_.getScoredPhrases("ㄓㄨˇ-ㄧㄠˋ")[1].value, "主鑰");
  EXPECT_LT(lm_.getScoredPhrases("ㄓㄨˇ-ㄧㄠˋ")[1].score, 0);
  words_->forget("ㄓㄨˇ-ㄧㄠˋ", "主鑰");
  EXPECT_EQ(lm_.getScoredPhrases("ㄓㄨˇ-ㄧㄠˋ").size(), 1u);
  // A reading only a learnt word has is known.
  words_->learn("ㄇㄛˋ-ㄋㄧˊ", "莫尼");
  EXPECT_TRUE(lm_.hasScoredPhrases("ㄇㄛˋ-ㄋㄧˊ"));
  // Without learnt words nothing of them shows.
  lm_.setLearntWords(nullptr);
  EXPECT_FALSE(lm_.hasScoredPhrases("ㄇㄛˋ-ㄋㄧˊ"));
  EXPECT_EQ(lm_.getScoredPhrases("ㄧㄠˋ").front().value, "要");
}

}  // namespace
}  // namespace Kestova
