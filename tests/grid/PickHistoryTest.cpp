#include "grid/PickHistory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "FixtureModel.h"

namespace {

using Kestova::PickHistory;
using Kestova::PickSuggestion;
using KestovaTest::FixtureModel;
using Palisar::Lattivor2::BestPath;
using Palisar::Lattivor2::GridCandidate;
using Palisar::Lattivor2::ReadingGrid;

constexpr double kNow = 1765000000;  // whole seconds, as the key handler passes them
constexpr double kHalfLife = 5400;

// A node of a hand-made path: its phrases in descending score, and which one
// is selected.
struct NodeShape {
  std::string reading;
  std::vector<std::string> values;
  std::size_t selected = 0;
};

BestPath pathOf(const std::vector<NodeShape>& shapes) {
  BestPath path;
  for (const NodeShape& shape : shapes) {
    std::vector<Palisar::Lattivor2::ScoredPhrase> phrases;
    for (std::size_t i = 0; i < shape.values.size(); ++i) {
      phrases.emplace_back(shape.values[i], -1.0 - static_cast<double>(i));
    }
    const std::size_t length =
        1 + static_cast<std::size_t>(std::count(shape.reading.begin(), shape.reading.end(), '-'));
    auto node = std::make_shared<ReadingGrid::Node>(shape.reading, length, std::move(phrases));
    node->selected = shape.selected;
    path.readingCount += length;
    path.nodes.push_back(std::move(node));
  }
  path.vertexCount = path.readingCount;
  return path;
}

TEST(PickHistoryTest, ContextKeysNameTheNodeAndTheTwoBeforeIt) {
  const BestPath path = pathOf({{"ㄋㄧˇ", {"你", "擬"}, 1},
                                {"ㄏㄠˇ", {"好", "郝"}, 1},
                                {"ㄇㄚ", {"媽", "馬"}, 1},
                                {"ㄇㄚ", {"媽"}}});
  // The node's own term uses its best phrase, the others their current value.
  EXPECT_EQ(PickHistory::contextKey(path, 0), "()-()-(ㄋㄧˇ,你)");
  EXPECT_EQ(PickHistory::contextKey(path, 1), "()-(ㄋㄧˇ,擬)-(ㄏㄠˇ,好)");
  EXPECT_EQ(PickHistory::contextKey(path, 2), "(ㄋㄧˇ,擬)-(ㄏㄠˇ,郝)-(ㄇㄚ,媽)");
  EXPECT_EQ(PickHistory::contextKey(path, 3), "(ㄏㄠˇ,郝)-(ㄇㄚ,馬)-(ㄇㄚ,媽)");
}

TEST(PickHistoryTest, SpecialReadingsCutTheContext) {
  struct Case {
    std::vector<NodeShape> path;
    std::string key;  // of the last node
  };
  const Case cases[] = {
      {{{"_punctuation_list", {"，"}}, {"ㄋㄧˇ", {"你"}}, {"ㄏㄠˇ", {"好"}}},
       "()-(ㄋㄧˇ,你)-(ㄏㄠˇ,好)"},
      {{{"ㄋㄧˇ", {"你"}}, {"_punctuation_list", {"，"}}, {"ㄏㄠˇ", {"好"}}}, "()-()-(ㄏㄠˇ,好)"},
      {{{"_letter_A", {"A"}}, {"ㄏㄠˇ", {"好"}}}, "()-()-(ㄏㄠˇ,好)"},
      {{{"ㄋㄧˇ", {"你"}}, {"_letter_A", {"A"}}}, "()-(ㄋㄧˇ,你)-(_letter_A,A)"},
  };
  for (const Case& c : cases) {
    const BestPath path = pathOf(c.path);
    EXPECT_EQ(PickHistory::contextKey(path, path.nodes.size() - 1), c.key);
  }
}

TEST(PickHistoryTest, PicksFadeWithTheirHalfLifeAndStopAfterTwentyOfThem) {
  PickHistory history(500, kHalfLife);
  const BestPath before = pathOf({{"ㄋㄧˇ", {"你"}}, {"ㄏㄠˇ", {"好", "郝"}}});
  const BestPath after = pathOf({{"ㄋㄧˇ", {"你"}}, {"ㄏㄠˇ", {"好", "郝"}, 1}});
  history.recordPick(before, after, 1, kNow);
  ASSERT_TRUE(history.contains("()-(ㄋㄧˇ,你)-(ㄏㄠˇ,好)"));

  struct Case {
    double age;
    std::string value;
  };
  for (const Case& c :
       {Case{0, "郝"}, Case{5400, "郝"}, Case{107999, "郝"}, Case{108001, ""}, Case{1e7, ""}}) {
    SCOPED_TRACE(c.age);
    const PickSuggestion suggestion = history.suggestPick(before, 1, kNow + c.age);
    EXPECT_EQ(suggestion.value, c.value);
    EXPECT_FALSE(suggestion.forceHighScore);
  }
  // Another position has another key.
  EXPECT_TRUE(history.suggestPick(before, 0, kNow).empty());
}

TEST(PickHistoryTest, ValuesCompeteByShareAndByTheirOwnLatestPick) {
  const BestPath before = pathOf({{"ㄕˋ", {"是", "事", "市"}}});
  auto pick = [&](PickHistory& history, std::size_t selected, double time) {
    history.recordPick(before, pathOf({{"ㄕˋ", {"是", "事", "市"}, selected}}), 0, time);
  };
  {
    PickHistory history(500, kHalfLife);  // 事 twice, 市 once: 2/3 against 1/3
    pick(history, 1, kNow);
    pick(history, 2, kNow);
    pick(history, 1, kNow);
    EXPECT_EQ(history.suggestPick(before, 0, kNow).value, "事");
    EXPECT_EQ(history.size(), 1u);
  }
  {
    PickHistory history(500, kHalfLife);  // 事 twice long ago, 市 once just now
    pick(history, 1, kNow - 20000);
    pick(history, 1, kNow - 20000);
    pick(history, 2, kNow);
    EXPECT_EQ(history.suggestPick(before, 0, kNow).value, "市");
  }
  {
    PickHistory history(500, kHalfLife);  // equal weights: the first in byte order
    pick(history, 2, kNow);
    pick(history, 1, kNow);
    const std::string first = std::min<std::string>("事", "市");
    EXPECT_EQ(history.suggestPick(before, 0, kNow).value, first);
  }
  {
    PickHistory history(500, kHalfLife);  // a clock that went back counts as now
    pick(history, 2, kNow + 3600);        // 市, after 事 in byte order
    pick(history, 1, kNow);
    const std::string first = std::min<std::string>("事", "市");
    EXPECT_EQ(history.suggestPick(before, 0, kNow).value, first);
  }
}

TEST(PickHistoryTest, KeyAndForceFlagFollowTheShapeOfThePick) {
  PickHistory history(500, kHalfLife);
  // A longer phrase picked over single syllables: learnt under the old node's
  // context, forcing the phrase.
  const BestPath singles = pathOf({{"ㄋㄧˇ", {"你"}}, {"ㄏㄠˇ", {"好"}}});
  const BestPath word = pathOf({{"ㄋㄧˇ-ㄏㄠˇ", {"你好", "妳好"}, 1}});
  history.recordPick(singles, word, 1, kNow);
  EXPECT_TRUE(history.contains("()-(ㄋㄧˇ,你)-(ㄏㄠˇ,好)"));
  PickSuggestion suggestion = history.suggestPick(singles, 1, kNow);
  EXPECT_EQ(suggestion.value, "妳好");
  EXPECT_TRUE(suggestion.forceHighScore);

  // A syllable picked out of a word: learnt under the new context.
  const BestPath words = pathOf({{"ㄇㄚ-ㄇㄚ", {"媽媽"}}});
  const BestPath split = pathOf({{"ㄇㄚ", {"媽"}}, {"ㄇㄚ", {"媽", "馬"}, 1}});
  history.recordPick(words, split, 1, kNow);
  EXPECT_TRUE(history.contains("()-(ㄇㄚ,媽)-(ㄇㄚ,媽)"));
  suggestion = history.suggestPick(split, 1, kNow);
  EXPECT_EQ(suggestion.value, "馬");
  EXPECT_FALSE(suggestion.forceHighScore);
  EXPECT_EQ(history.size(), 2u);
}

TEST(PickHistoryTest, UnsuitablePicksAreNotRecorded) {
  const BestPath four = pathOf({{"a-b-c-d", {"ABCD"}}});
  const BestPath singles = pathOf({{"a", {"A"}}, {"b", {"B"}}, {"c", {"C"}}, {"d", {"D"}}});
  const BestPath three = pathOf({{"a", {"A"}}, {"b", {"B"}}, {"c", {"C"}}});
  struct Case {
    const char* what;
    BestPath before, after;
    std::size_t position;
  };
  const Case cases[] = {
      {"picked node longer than three", singles, four, 1},
      {"different reading counts", three, singles, 1},
      {"empty before", BestPath{}, singles, 0},
      {"empty after", singles, BestPath{}, 0},
      {"position beyond the path", singles, singles, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PickHistory history(500, kHalfLife);
    history.recordPick(c.before, c.after, c.position, kNow);
    EXPECT_EQ(history.size(), 0u);
  }
  PickHistory history(500, kHalfLife);
  EXPECT_TRUE(history.suggestPick(BestPath{}, 0, kNow).empty());
}

TEST(PickHistoryTest, LeastRecentlyRecordedKeyGoesBeyondCapacity) {
  PickHistory history(500, kHalfLife);
  auto path = [](int i) { return pathOf({{std::to_string(i) + "k", {"V", "W"}}}); };
  auto key = [](int i) { return std::string("()-()-(").append(std::to_string(i)).append("k,V)"); };
  auto record = [&](int i) {
    const BestPath before = path(i);
    BestPath after = path(i);
    after.nodes[0]->selected = 1;
    history.recordPick(before, after, 0, kNow);
  };

  for (int i = 0; i < 501; ++i) record(i);
  EXPECT_EQ(history.size(), 500u);
  EXPECT_FALSE(history.contains(key(0)));
  EXPECT_TRUE(history.suggestPick(path(0), 0, kNow).empty());
  EXPECT_TRUE(history.contains(key(1)));

  // Recording again refreshes a key; asking does not.
  record(1);
  EXPECT_EQ(history.suggestPick(path(2), 0, kNow).value, "W");
  record(501);
  EXPECT_TRUE(history.contains(key(1)));
  EXPECT_FALSE(history.contains(key(2)));
  EXPECT_TRUE(history.contains(key(3)));
  EXPECT_EQ(history.size(), 500u);
}

// The way the key handler uses the history: learn a pick, then on typing the
// same readings again apply the suggestion to the grid.
TEST(PickHistoryTest, SuggestionReappliesAPickOnTheGrid) {
  auto model = std::make_shared<FixtureModel>();
  model->add("ㄋㄧˇ", "你", -5).add("ㄏㄠˇ", "好", -5).add("ㄏㄠˇ", "郝", -7);
  ReadingGrid grid(model);
  PickHistory history(500, kHalfLife);
  ASSERT_TRUE(grid.addReading("ㄋㄧˇ"));
  ASSERT_TRUE(grid.addReading("ㄏㄠˇ"));
  const BestPath before = grid.bestPath();
  ASSERT_TRUE(
      grid.overrideAt(1, GridCandidate{"ㄏㄠˇ", "郝", ""}, ReadingGrid::OverrideKind::HighScore));
  const BestPath after = grid.bestPath();
  ASSERT_EQ(after.composedText(), "你郝");
  history.recordPick(before, after, 1, kNow);

  grid.reset();
  ASSERT_TRUE(grid.addReading("ㄋㄧˇ"));
  ASSERT_TRUE(grid.addReading("ㄏㄠˇ"));
  const BestPath fresh = grid.bestPath();
  ASSERT_EQ(fresh.composedText(), "你好");
  const PickSuggestion suggestion = history.suggestPick(fresh, 1, kNow + 60);
  ASSERT_EQ(suggestion.value, "郝");
  ASSERT_TRUE(grid.overrideAt(1, suggestion.value,
                              suggestion.forceHighScore ? ReadingGrid::OverrideKind::HighScore
                                                        : ReadingGrid::OverrideKind::TopScore));
  EXPECT_EQ(grid.bestPath().composedText(), "你郝");
}

TEST(PickHistoryTest, ZeroCapacityRemembersNothing) {
  PickHistory history(0, 0);  // a non-positive half-life falls back to the default
  const BestPath before = pathOf({{"a", {"A", "B"}}});
  const BestPath after = pathOf({{"a", {"A", "B"}, 1}});
  history.recordPick(before, after, 0, kNow);
  EXPECT_EQ(history.size(), 0u);
  EXPECT_TRUE(history.suggestPick(before, 0, kNow).empty());
}

}  // namespace
