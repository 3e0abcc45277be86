#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FixtureModel.h"
#include "grid/ReadingGrid.h"

namespace {

using KestovaTest::FixtureModel;
using Palisar::Lattivor2::BestPath;
using Palisar::Lattivor2::GridCandidate;
using Palisar::Lattivor2::ReadingGrid;
using Kind = ReadingGrid::OverrideKind;

std::vector<std::string> readingsOf(const BestPath& path) {
  std::vector<std::string> result;
  for (const auto& node : path.nodes) result.push_back(node->reading);
  return result;
}

ReadingGrid gridOf(std::shared_ptr<FixtureModel> model, const std::vector<std::string>& readings) {
  ReadingGrid grid(std::move(model));
  for (const auto& r : readings) EXPECT_TRUE(grid.addReading(r)) << r;
  return grid;
}

TEST(WalkTest, EmptyGridWalksToAnEmptyPath) {
  ReadingGrid grid(std::make_shared<FixtureModel>());
  const BestPath path = grid.bestPath();
  EXPECT_TRUE(path.nodes.empty());
  EXPECT_EQ(path.readingCount, 0u);
  EXPECT_EQ(path.vertexCount, 0u);
  EXPECT_EQ(path.edgeCount, 0u);
  EXPECT_EQ(path.elapsedMicros, 0);
  EXPECT_FALSE(path.nodeCovering(0));
  EXPECT_EQ(path.composedText(), "");
}

TEST(WalkTest, EqualTotalsGoToTheLongerLastNode) {
  struct Case {
    double wordScore;
    std::vector<std::string> expected;
  };
  for (const Case& c : {Case{-10.0, {"a-b"}}, Case{-10.5, {"a", "b"}}, Case{-9.0, {"a-b"}}}) {
    SCOPED_TRACE(c.wordScore);
    auto model = std::make_shared<FixtureModel>();
    model->add("a", "A", -5).add("b", "B", -5).add("a-b", "AB", c.wordScore);
    const BestPath path = gridOf(model, {"a", "b"}).bestPath();
    EXPECT_EQ(readingsOf(path), c.expected);
    EXPECT_EQ(path.readingCount, 2u);
    EXPECT_EQ(path.vertexCount, 2u);
    EXPECT_EQ(path.edgeCount, 3u);
  }
}

TEST(WalkTest, PrefersTheHighestTotalOverALongComposition) {
  auto model = std::make_shared<FixtureModel>();
  model->add("a", "A", -3).add("b", "B", -3).add("c", "C", -3);
  model->add("a-b", "AB", -4).add("b-c", "BC", -2).add("c-a", "CA", -7);
  // Per "abc": a + bc = -5 beats ab + c = -7 and three singles = -9.
  const BestPath path = gridOf(model, {"a", "b", "c", "a", "b", "c"}).bestPath();
  EXPECT_EQ(readingsOf(path), (std::vector<std::string>{"a", "b-c", "a", "b-c"}));
  EXPECT_EQ(path.composedText(), "ABCABC");
  EXPECT_EQ(path.readingCount, 6u);
}

// Readings a and b; a has a poor second phrase A2; the word ab scores abScore.
// Fixing A2 shows how each kind of override weighs in the walk.
TEST(WalkTest, OverrideKindsWeighDifferentlyInTheWalk) {
  struct Case {
    double abScore;
    Kind kind;
    std::string text;
  };
  const Case cases[] = {
      {-5, Kind::TopScore, "A2B"},   // weighed as A (-2): a + b = -4 beats ab
      {-3, Kind::TopScore, "AB"},    // a + b = -4 still loses to ab = -3
      {-3, Kind::HighScore, "A2B"},  // fixed: always kept
      {-5, Kind::None, "AB"},        // weighed as A2 (-9): a + b = -11 loses
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.abScore << " kind " << static_cast<int>(c.kind));
    auto model = std::make_shared<FixtureModel>();
    model->add("a", "A", -2).add("a", "A2", -9).add("b", "B", -2).add("a-b", "AB", c.abScore);
    ReadingGrid grid = gridOf(model, {"a", "b"});
    ASSERT_TRUE(grid.overrideAt(0, GridCandidate{"a", "A2", ""}, c.kind));
    EXPECT_EQ(grid.bestPath().composedText(), c.text);
  }
}

TEST(WalkTest, FixingASyllableInsideAWordSplitsItAndReleasesTheWord) {
  auto model = std::make_shared<FixtureModel>();
  model->add("a", "A", -5).add("b", "B", -5).add("b", "B2", -7).add("c", "C", -5);
  model->add("a-b-c", "ABC", -6).add("a-b-c", "ABC2", -8).add("a-b", "AB", -7);
  ReadingGrid grid = gridOf(model, {"a", "b", "c"});
  ASSERT_TRUE(grid.overrideAt(0, "ABC2", Kind::HighScore));
  const BestPath before = grid.bestPath();
  ASSERT_EQ(before.composedText(), "ABC2");
  const auto word = before.nodes.front();

  ASSERT_TRUE(grid.overrideAt(1, "B2", Kind::HighScore));
  EXPECT_FALSE(word->isOverridden());
  EXPECT_EQ(word->currentValue(), "ABC");
  EXPECT_EQ(before.composedText(), "ABC");  // the old path shares the released node

  const BestPath after = grid.bestPath();
  EXPECT_EQ(readingsOf(after), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(after.composedText(), "AB2C");
  EXPECT_TRUE(after.nodes[1]->isOverridden());
}

TEST(WalkTest, OverrideNeedsAValueOfACrossingNode) {
  auto model = std::make_shared<FixtureModel>();
  model->add("a", "A", -5).add("a", "X", -6).add("b", "B", -5).add("a-b", "X", -20);
  ReadingGrid grid = gridOf(model, {"a", "b"});

  EXPECT_FALSE(grid.overrideAt(0, "B", Kind::HighScore));  // b does not cover 0
  EXPECT_FALSE(grid.overrideAt(3, "A", Kind::HighScore));  // beyond the end
  EXPECT_FALSE(grid.overrideAt(0, GridCandidate{"a", "AB", ""}, Kind::HighScore));
  EXPECT_EQ(grid.bestPath().composedText(), "AB");

  // By value the shortest node starting at the position matches first; by
  // candidate only the node of that reading.
  ASSERT_TRUE(grid.overrideAt(0, "X", Kind::HighScore));
  EXPECT_EQ(grid.column(0).node(1)->currentValue(), "X");
  EXPECT_FALSE(grid.column(0).node(2)->isOverridden());
  ASSERT_TRUE(grid.overrideAt(0, GridCandidate{"a-b", "X", ""}, Kind::HighScore));
  EXPECT_TRUE(grid.column(0).node(2)->isOverridden());
  EXPECT_FALSE(grid.column(0).node(1)->isOverridden());  // released by the word
  EXPECT_EQ(grid.bestPath().composedText(), "X");

  // The same override again succeeds and keeps the state; the end position
  // means the last reading.
  ASSERT_TRUE(grid.overrideAt(2, GridCandidate{"a-b", "X", ""}, Kind::HighScore));
  EXPECT_TRUE(grid.column(0).node(2)->isOverridden());
  EXPECT_EQ(grid.bestPath().composedText(), "X");

  ReadingGrid empty(model);
  EXPECT_FALSE(empty.overrideAt(0, "A", Kind::HighScore));
}

TEST(WalkTest, CandidatesListLongerNodesFirstInScoreOrder) {
  auto model = std::make_shared<FixtureModel>();
  model->add("a", "A", -5).add("b", "B", -6).add("b", "B1", -5, "b1raw").add("c", "C", -5);
  model->add("a-b", "AB", -7).add("b-c", "BC", -7).add("a-b-c", "ABC", -9);
  ReadingGrid grid = gridOf(model, {"a", "b", "c"});

  const std::vector<GridCandidate> atB = {
      {"a-b-c", "ABC", ""}, {"b-c", "BC", ""}, {"a-b", "AB", ""},
      {"b", "B1", "b1raw"}, {"b", "B", ""},
  };
  EXPECT_EQ(grid.candidateList(1), atB);
  const std::vector<GridCandidate> atC = {{"a-b-c", "ABC", ""}, {"b-c", "BC", ""}, {"c", "C", ""}};
  EXPECT_EQ(grid.candidateList(2), atC);
  EXPECT_EQ(grid.candidateList(3), atC);  // the end asks about the last reading
  EXPECT_TRUE(grid.candidateList(4).empty());
  EXPECT_TRUE(ReadingGrid(model).candidateList(0).empty());

  // nodesCrossing keeps its own order: the position's own nodes first.
  std::vector<std::string> crossing;
  for (const auto& entry : grid.nodesCrossing(1)) {
    crossing.push_back(entry.node->reading + "@" + std::to_string(entry.start));
  }
  EXPECT_EQ(crossing, (std::vector<std::string>{"b@1", "b-c@1", "a-b@0", "a-b-c@0"}));
  EXPECT_TRUE(grid.nodesCrossing(3).empty());
}

TEST(WalkTest, NodeCoveringAtItsBounds) {
  auto model = std::make_shared<FixtureModel>();
  model->add("a", "A", -5).add("b", "B", -5).add("c", "C", -5).add("d", "D", -5);
  model->add("e", "E", -5).add("a-b", "AB", -1).add("d-e", "DE", -1);
  const BestPath path = gridOf(model, {"a", "b", "c", "d", "e"}).bestPath();
  ASSERT_EQ(readingsOf(path), (std::vector<std::string>{"a-b", "c", "d-e"}));
  ASSERT_EQ(path.readingCount, 5u);

  struct Case {
    std::size_t position;
    std::string reading;
    std::size_t end;
  };
  for (const Case& c : {Case{0, "a-b", 2}, Case{1, "a-b", 2}, Case{2, "c", 3}, Case{3, "d-e", 5},
                        Case{4, "d-e", 5}, Case{5, "d-e", 5}}) {
    SCOPED_TRACE(c.position);
    const auto covering = path.nodeCovering(c.position);
    ASSERT_TRUE(covering);
    EXPECT_EQ(covering->node->reading, c.reading);
    EXPECT_EQ(covering->end, c.end);
  }
  EXPECT_FALSE(path.nodeCovering(6));
}

TEST(WalkTest, OverrideLastsUntilAnEditRebuildsItsNode) {
  auto model = std::make_shared<FixtureModel>();
  model->add("a", "A", -5).add("b", "B", -5).add("c", "C", -5);
  model->add("a-b", "AB", -6).add("a-b", "AB2", -9);
  ReadingGrid grid = gridOf(model, {"a", "b"});
  ASSERT_TRUE(grid.overrideAt(0, "AB2", Kind::HighScore));

  // Walks, an edit at the end and an edit at the start leave it in place.
  EXPECT_EQ(grid.bestPath().composedText(), "AB2");
  ASSERT_TRUE(grid.addReading("c"));
  grid.moveCursor(0);
  ASSERT_TRUE(grid.addReading("c"));
  EXPECT_EQ(grid.bestPath().composedText(), "CAB2C");
  ASSERT_TRUE(grid.removeReadingBefore());
  EXPECT_EQ(grid.bestPath().composedText(), "AB2C");

  // A reading inside the word drops it; taking it out builds a fresh word.
  grid.moveCursor(1);
  ASSERT_TRUE(grid.addReading("c"));
  EXPECT_EQ(grid.bestPath().composedText(), "ACBC");
  ASSERT_TRUE(grid.removeReadingBefore());
  EXPECT_EQ(grid.bestPath().composedText(), "ABC");
}

TEST(NodeTest, ScoreAndSelection) {
  ReadingGrid::Node node("a", 1, {{"A", -2}, {"A2", -4}});
  EXPECT_EQ(node.score(), -2);
  EXPECT_FALSE(node.overrideWith("A3", Kind::HighScore));
  EXPECT_EQ(node.currentValue(), "A");
  EXPECT_FALSE(node.isOverridden());

  ASSERT_TRUE(node.overrideWith("A2", Kind::None));
  EXPECT_EQ(node.score(), -4);
  ASSERT_TRUE(node.overrideWith("A2", Kind::TopScore));
  EXPECT_EQ(node.score(), -2);
  ASSERT_TRUE(node.overrideWith("A2", Kind::HighScore));
  EXPECT_EQ(node.score(), ReadingGrid::FixedHighScore);
  EXPECT_EQ(node.currentPhrase().value, "A2");
  node.release();
  EXPECT_EQ(node.currentValue(), "A");
  EXPECT_FALSE(node.isOverridden());

  const ReadingGrid::Node empty("x", 1, {});
  EXPECT_EQ(empty.score(), 0);
  EXPECT_EQ(empty.currentValue(), "");
  EXPECT_EQ(empty.currentPhrase(), Palisar::Lattivor2::ScoredPhrase());
}

}  // namespace
