#include "grid/ReadingGrid.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FixtureModel.h"

namespace {

using KestovaTest::FixtureModel;
using Palisar::Lattivor2::ReadingGrid;
using Palisar::Lattivor2::ScoredPhrase;
using Kind = ReadingGrid::OverrideKind;

class ReadingGridTest : public ::testing::Test {
 protected:
  ReadingGridTest() : model_(std::make_shared<FixtureModel>()), grid_(model_) {
    model_->add("ㄋㄧˇ", "你", -5)
        .add("ㄋㄧˇ", "擬", -6)
        .add("ㄏㄠˇ", "好", -5)
        .add("ㄋㄧˇ-ㄏㄠˇ", "你好", -6)
        .add("ㄇㄚ", "媽", -5)
        .add("ㄇㄚ-ㄋㄧˇ", "媽你", -11);
  }

  void type(const std::vector<std::string>& readings) {
    for (const auto& r : readings) ASSERT_TRUE(grid_.addReading(r)) << r;
  }

  // Every node of the grid, column by column, indexed by length - 1.
  std::vector<std::vector<ReadingGrid::NodePtr>> snapshot() const {
    std::vector<std::vector<ReadingGrid::NodePtr>> nodes;
    for (std::size_t i = 0; i < grid_.columnCount(); ++i) {
      const auto& column = grid_.column(i);
      nodes.emplace_back(std::begin(column.nodes), std::end(column.nodes));
    }
    return nodes;
  }

  std::shared_ptr<FixtureModel> model_;
  ReadingGrid grid_;
};

TEST_F(ReadingGridTest, RefusedReadingsChangeNothing) {
  type({"ㄋㄧˇ", "ㄏㄠˇ"});
  grid_.moveCursor(1);
  const auto before = snapshot();
  for (const char* reading : {"", "-", "ㄅㄧㄤ"}) {
    SCOPED_TRACE(reading);
    EXPECT_FALSE(grid_.addReading(reading));
    EXPECT_EQ(grid_.readings(), (std::vector<std::string>{"ㄋㄧˇ", "ㄏㄠˇ"}));
    EXPECT_EQ(grid_.cursor(), 1u);
    EXPECT_EQ(snapshot(), before);
  }
}

TEST_F(ReadingGridTest, WordAppearsWithItsLastReadingAndGoesWithIt) {
  type({"ㄋㄧˇ"});
  EXPECT_EQ(grid_.column(0).longest, 1u);
  type({"ㄏㄠˇ"});
  ASSERT_EQ(grid_.column(0).longest, 2u);
  const auto& word = grid_.column(0).node(2);
  ASSERT_TRUE(word);
  EXPECT_EQ(word->reading, "ㄋㄧˇ-ㄏㄠˇ");
  EXPECT_EQ(word->length, 2u);
  EXPECT_EQ(word->currentValue(), "你好");
  EXPECT_EQ(grid_.cursor(), 2u);

  EXPECT_TRUE(grid_.removeReadingBefore());
  EXPECT_EQ(grid_.cursor(), 1u);
  EXPECT_EQ(grid_.readingCount(), 1u);
  EXPECT_EQ(grid_.column(0).longest, 1u);
  EXPECT_FALSE(grid_.column(0).node(2));
}

TEST_F(ReadingGridTest, ReadingInsideAWordDropsItAndItsRemovalBuildsAFreshNode) {
  type({"ㄋㄧˇ", "ㄏㄠˇ"});
  const auto word = grid_.column(0).node(2);
  ASSERT_TRUE(grid_.overrideAt(0, "你好", Kind::HighScore));
  ASSERT_TRUE(word->isOverridden());

  grid_.moveCursor(1);
  ASSERT_TRUE(grid_.addReading("ㄇㄚ"));
  EXPECT_EQ(grid_.readings(), (std::vector<std::string>{"ㄋㄧˇ", "ㄇㄚ", "ㄏㄠˇ"}));
  EXPECT_EQ(grid_.cursor(), 2u);
  EXPECT_EQ(grid_.column(0).longest, 1u);
  EXPECT_FALSE(grid_.column(0).node(2));

  ASSERT_TRUE(grid_.removeReadingBefore());
  const auto rebuilt = grid_.column(0).node(2);
  ASSERT_TRUE(rebuilt);
  EXPECT_NE(rebuilt, word);
  EXPECT_FALSE(rebuilt->isOverridden());
  EXPECT_EQ(rebuilt->currentValue(), "你好");

  // Delete after the cursor removes the reading under it, and the cursor stays.
  grid_.moveCursor(0);
  ASSERT_TRUE(grid_.removeReadingAfter());
  EXPECT_EQ(grid_.readings(), (std::vector<std::string>{"ㄏㄠˇ"}));
  EXPECT_EQ(grid_.cursor(), 0u);
}

TEST_F(ReadingGridTest, EditsAtEitherEndKeepEveryNode) {
  type({"ㄋㄧˇ", "ㄏㄠˇ"});
  auto before = snapshot();
  type({"ㄇㄚ"});  // at the end
  auto after = snapshot();
  ASSERT_EQ(after.size(), 3u);
  EXPECT_EQ(after[0], before[0]);
  EXPECT_EQ(after[1], before[1]);

  before = after;
  grid_.moveCursor(0);
  type({"ㄇㄚ"});  // at the start: the old columns move along
  after = snapshot();
  ASSERT_EQ(after.size(), 4u);
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(after[i + 1], before[i]) << i;
  // The new reading made the word "ㄇㄚ-ㄋㄧˇ" at the start.
  ASSERT_TRUE(after[0][1]);
  EXPECT_EQ(after[0][1]->reading, "ㄇㄚ-ㄋㄧˇ");
}

TEST_F(ReadingGridTest, NodesNeverExceedEightReadings) {
  // Words of every length from 2 to 12 over one syllable.
  std::string run = "ㄇㄚ";
  for (int length = 2; length <= 12; ++length) {
    run += "-ㄇㄚ";
    model_->add(run, std::to_string(length) + "x媽", -1.0 * length);
  }
  for (int i = 0; i < 12; ++i) type({"ㄇㄚ"});
  for (std::size_t i = 0; i < grid_.columnCount(); ++i) {
    const auto& column = grid_.column(i);
    EXPECT_EQ(column.longest, std::min<std::size_t>(8, 12 - i)) << i;
    for (std::size_t length = 1; length <= column.longest; ++length) {
      ASSERT_TRUE(column.node(length));
      EXPECT_EQ(column.node(length)->length, length);
    }
  }

  // An insertion at 8 keeps the eight-reading word that ends just before it
  // and every node starting at 8 or later.
  const auto before = snapshot();
  grid_.moveCursor(8);
  type({"ㄏㄠˇ"});
  const auto after = snapshot();
  EXPECT_EQ(after[0][7], before[0][7]);
  for (std::size_t i = 8; i < before.size(); ++i) EXPECT_EQ(after[i + 1], before[i]) << i;
  for (std::size_t i = 1; i < 8; ++i) EXPECT_EQ(grid_.column(i).longest, 8 - i) << i;
}

TEST_F(ReadingGridTest, RemovalsAtTheBoundsAreRefused) {
  EXPECT_FALSE(grid_.removeReadingBefore());
  EXPECT_FALSE(grid_.removeReadingAfter());
  type({"ㄋㄧˇ", "ㄏㄠˇ"});
  EXPECT_FALSE(grid_.removeReadingAfter());
  grid_.moveCursor(0);
  EXPECT_FALSE(grid_.removeReadingBefore());
  EXPECT_EQ(grid_.readingCount(), 2u);
}

TEST_F(ReadingGridTest, CursorIsClampedAndResetEmptiesTheGrid) {
  type({"ㄋㄧˇ", "ㄏㄠˇ"});
  grid_.moveCursor(7);
  EXPECT_EQ(grid_.cursor(), 2u);
  ASSERT_TRUE(grid_.addReading("ㄇㄚ"));
  EXPECT_EQ(grid_.readings().back(), "ㄇㄚ");

  grid_.reset();
  EXPECT_EQ(grid_.readingCount(), 0u);
  EXPECT_EQ(grid_.columnCount(), 0u);
  EXPECT_EQ(grid_.cursor(), 0u);
  EXPECT_TRUE(grid_.addReading("ㄏㄠˇ"));
  EXPECT_EQ(grid_.readings(), (std::vector<std::string>{"ㄏㄠˇ"}));
}

TEST_F(ReadingGridTest, PhrasesAreRankedByScoreKeepingTheModelsOrderOnTies) {
  model_->add("ㄕˋ", "是", -5).add("ㄕˋ", "事", -3).add("ㄕˋ", "市", -5).add("ㄕˋ", "式", -3);
  type({"ㄕˋ"});
  std::vector<std::string> values;
  for (const ScoredPhrase& p : grid_.column(0).node(1)->phrases) values.push_back(p.value);
  EXPECT_EQ(values, (std::vector<std::string>{"事", "式", "是", "市"}));
}

TEST(ScoreRankedLanguageModelTest, ForwardsQuestionsAndSurvivesANullModel) {
  auto model = std::make_shared<FixtureModel>();
  model->add("ㄅ", "b", -2, "raw").add("ㄅ", "a", -1);
  ReadingGrid::ScoreRankedLanguageModel ranked(model);
  EXPECT_TRUE(ranked.hasScoredPhrases("ㄅ"));
  EXPECT_FALSE(ranked.hasScoredPhrases("ㄆ"));
  EXPECT_EQ(ranked.getScoredPhrases("ㄅ"),
            (std::vector<ScoredPhrase>{{"a", -1}, {"b", -2, "raw"}}));

  ReadingGrid::ScoreRankedLanguageModel empty(nullptr);
  EXPECT_FALSE(empty.hasScoredPhrases("ㄅ"));
  EXPECT_TRUE(empty.getScoredPhrases("ㄅ").empty());
  ReadingGrid grid(nullptr);
  EXPECT_FALSE(grid.addReading("ㄅ"));
}

}  // namespace
