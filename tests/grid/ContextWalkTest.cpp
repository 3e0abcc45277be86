// The walk with a context model: pair scores decide between homophones,
// overrides stay where they were put, the kept states give the same path as
// a walk from scratch, and switching the model off gives the plain walk.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "grid/ReadingGrid.h"
#include "tests/grid/FixtureModel.h"

namespace {

using KestovaTest::FixtureModel;
using Palisar::Lattivor2::BestPath;
using Palisar::Lattivor2::ContextModel;
using Palisar::Lattivor2::ReadingGrid;
using OverrideKind = ReadingGrid::OverrideKind;

// Word pairs in a map; every word named by a pair is known, pairs it does
// not list score `backoff`.
class PairModel : public ContextModel {
 public:
  PairModel& pair(const std::string& previous, const std::string& next, double score) {
    pairs_[{id(previous), id(next)}] = score;
    return *this;
  }
  PairModel& withWeight(double weight) {
    weight_ = weight;
    return *this;
  }
  PairModel& withBackoff(double backoff) {
    backoff_ = backoff;
    return *this;
  }

  Word lookUp(std::string_view value) const override {
    auto it = ids_.find(std::string(value));
    return Word{it == ids_.end() ? kUnknownWord : it->second, kUnknownWord, kUnknownWord};
  }
  Word sentenceStart() const override { return Word{0, kUnknownWord, kUnknownWord}; }
  double pairScore(const Word& previous, const Word& next) const override {
    if (previous.word == kUnknownWord) return 0;
    auto it = pairs_.find({previous.word, next.word});
    return it == pairs_.end() ? backoff_ : it->second;
  }
  double weight() const override { return weight_; }

 private:
  WordId id(const std::string& word) {
    auto [it, inserted] = ids_.emplace(word, static_cast<WordId>(ids_.size()));
    return it->second;
  }

  std::map<std::string, WordId> ids_{{"", 0}};
  std::map<std::pair<WordId, WordId>, double> pairs_;
  double weight_ = 1.0;
  double backoff_ = 0;
};

std::shared_ptr<FixtureModel> writingModel() {
  auto model = std::make_shared<FixtureModel>();
  model->add("ㄒㄧㄝˇ", "寫", -3.0)
      .add("ㄔㄥˊ-ㄕˋ", "城市", -3.0)
      .add("ㄔㄥˊ-ㄕˋ", "程式", -3.5)
      .add("ㄔㄥˊ", "成", -2.5)
      .add("ㄕˋ", "是", -1.5)
      .add("ㄊㄚ", "他", -1.9)
      .add("ㄊㄚ", "它", -2.45)
      .add("ㄉㄜ˙", "的", -1.0)
      .add("ㄒㄧㄥˊ", "行", -2.0)
      .add("ㄒㄧㄥˊ", "形", -2.8)
      .add("ㄐㄩˇ-ㄒㄧㄥˊ", "舉行", -3.0)
      .add("ㄐㄩˇ-ㄒㄧㄥˊ", "矩形", -4.0)
      .add("ㄐㄩˇ", "舉", -3.0)
      .add("ㄉㄚˋ", "大", -2.0)
      .add("ㄒㄧㄠˇ", "小", -2.0);
  return model;
}

std::string walk(ReadingGrid& grid) {
  return grid.bestPath().composedText();
}

ReadingGrid typed(const std::shared_ptr<FixtureModel>& model,
                  const std::vector<std::string>& readings,
                  std::shared_ptr<const ContextModel> context) {
  ReadingGrid grid(model);
  grid.setContextModel(std::move(context));
  for (const auto& reading : readings) EXPECT_TRUE(grid.addReading(reading)) << reading;
  return grid;
}

TEST(ContextWalk, APairScoreFlipsAHomophone) {
  auto model = writingModel();
  auto context = std::make_shared<PairModel>();
  context->pair("寫", "程式", 1.0).pair("矩形", "的", 1.5).pair("它", "的", 0.7);

  struct Case {
    std::vector<std::string> readings;
    std::string plain;
    std::string withContext;
  };
  const std::vector<Case> cases = {
      {{"ㄒㄧㄝˇ", "ㄔㄥˊ", "ㄕˋ"}, "寫城市", "寫程式"},
      {{"ㄐㄩˇ", "ㄒㄧㄥˊ", "ㄉㄜ˙", "ㄉㄚˋ", "ㄒㄧㄠˇ"}, "舉行的大小", "矩形的大小"},
      {{"ㄊㄚ", "ㄉㄜ˙"}, "他的", "它的"},
      // No pair applies: the context walk agrees with the plain one.
      {{"ㄔㄥˊ", "ㄕˋ"}, "城市", "城市"},
  };
  for (const Case& c : cases) {
    ReadingGrid plain = typed(model, c.readings, nullptr);
    EXPECT_EQ(walk(plain), c.plain);
    ReadingGrid contextual = typed(model, c.readings, context);
    EXPECT_EQ(walk(contextual), c.withContext);
    // A weight of 0 makes the pairs count for nothing.
    context->withWeight(0);
    contextual.invalidateWalk();
    EXPECT_EQ(walk(contextual), c.plain);
    context->withWeight(1.0);
  }
}

TEST(ContextWalk, SelectsTheChosenPhraseOnThePathNodes) {
  auto model = writingModel();
  auto context = std::make_shared<PairModel>();
  context->pair("寫", "程式", 1.0);
  ReadingGrid grid = typed(model, {"ㄒㄧㄝˇ", "ㄔㄥˊ", "ㄕˋ"}, context);
  BestPath path = grid.bestPath();
  ASSERT_EQ(path.nodes.size(), 2u);
  EXPECT_EQ(path.nodes[1]->currentValue(), "程式");
  EXPECT_FALSE(path.nodes[1]->isOverridden());
  // The candidates keep their order: the node's best phrase first.
  EXPECT_EQ(grid.candidateList(1).front().value, "城市");
}

TEST(ContextWalk, AnOverrideStaysAndTheRestIsWalkedAroundIt) {
  auto model = writingModel();
  auto context = std::make_shared<PairModel>();
  // The pairs pull towards 他 before 的 and 程式 after 寫 ...
  context->pair("他", "的", 2.0).pair("寫", "程式", 1.0).pair("成", "是", -3.0);
  ReadingGrid grid = typed(model, {"ㄊㄚ", "ㄉㄜ˙", "ㄒㄧㄝˇ", "ㄔㄥˊ", "ㄕˋ"}, context);
  EXPECT_EQ(walk(grid), "他的寫程式");
  // ... but the user's 它 stays, and so does the user's 成 against its pair.
  ASSERT_TRUE(grid.overrideAt(0, "它", OverrideKind::HighScore));
  EXPECT_EQ(walk(grid), "它的寫程式");
  ASSERT_TRUE(grid.overrideAt(3, "成", OverrideKind::HighScore));
  EXPECT_EQ(walk(grid), "它的寫成是");
  // A top-score override competes with its best phrase's score, in context.
  ReadingGrid other = typed(model, {"ㄒㄧㄝˇ", "ㄔㄥˊ", "ㄕˋ"}, context);
  ASSERT_TRUE(other.overrideAt(1, "城市", OverrideKind::TopScore));
  EXPECT_EQ(walk(other), "寫城市");
}

TEST(ContextWalk, TheNeighbourOfAnOverrideIsChosenInItsContext) {
  auto model = writingModel();
  auto context = std::make_shared<PairModel>();
  context->pair("矩形", "的", 0.5);
  ReadingGrid grid = typed(model, {"ㄊㄚ", "ㄉㄜ˙", "ㄒㄧㄥˊ"}, context);
  EXPECT_EQ(walk(grid), "他的行");
  auto other = std::make_shared<PairModel>();
  other->pair("的", "形", 1.5);
  grid.setContextModel(other);
  EXPECT_EQ(walk(grid), "他的形");
  ASSERT_TRUE(grid.overrideAt(2, "行", OverrideKind::HighScore));
  EXPECT_EQ(walk(grid), "他的行");
}

TEST(ContextWalk, SwitchingTheModelOffGivesThePlainWalk) {
  auto model = writingModel();
  auto context = std::make_shared<PairModel>();
  context->pair("寫", "程式", 1.0).pair("它", "的", 1.0);
  const std::vector<std::string> readings = {"ㄊㄚ", "ㄉㄜ˙", "ㄒㄧㄝˇ", "ㄔㄥˊ", "ㄕˋ"};
  ReadingGrid grid = typed(model, readings, context);
  EXPECT_EQ(walk(grid), "它的寫程式");
  grid.setContextModel(nullptr);
  ReadingGrid plain = typed(model, readings, nullptr);
  const BestPath off = grid.bestPath(), fresh = plain.bestPath();
  ASSERT_EQ(off.nodes.size(), fresh.nodes.size());
  for (std::size_t i = 0; i < off.nodes.size(); ++i) {
    EXPECT_EQ(off.nodes[i]->reading, fresh.nodes[i]->reading);
    EXPECT_EQ(off.nodes[i]->currentValue(), fresh.nodes[i]->currentValue());
    EXPECT_EQ(off.nodes[i]->score(), fresh.nodes[i]->score());
  }
  EXPECT_EQ(off.composedText(), "他的寫城市");
}

// Random compositions edited at random places: the states the walk keeps
// between edits must give exactly the walk from scratch.
TEST(ContextWalk, KeptStatesGiveTheWalkFromScratch) {
  std::mt19937 random(20261210);
  const std::vector<std::string> syllables = {"ㄅㄚ", "ㄆㄚ", "ㄇㄚ", "ㄈㄚ", "ㄉㄚ", "ㄊㄚ"};
  auto model = std::make_shared<FixtureModel>();
  auto context = std::make_shared<PairModel>();
  std::vector<std::string> values;
  auto score = [&] { return -1.0 - static_cast<double>(random() % 500) / 100.0; };
  for (const auto& a : syllables) {
    for (int k = 0; k < 4; ++k) {
      values.push_back(a + std::to_string(k));
      model->add(a, values.back(), score());
    }
    for (const auto& b : syllables) {
      if (random() % 3 == 0) model->add(a + "-" + b, a + b, score());
    }
  }
  for (int p = 0; p < 300; ++p) {
    context->pair(values[random() % values.size()], values[random() % values.size()],
                  static_cast<double>(random() % 400) / 100.0 - 2.0);
  }
  for (int round = 0; round < 20; ++round) {
    ReadingGrid grid(model);
    grid.setContextModel(context);
    for (int step = 0; step < 60; ++step) {
      const unsigned action = random() % 10;
      if (action < 6 || grid.readingCount() == 0) {
        grid.moveCursor(random() % (grid.readingCount() + 1));
        grid.addReading(syllables[random() % syllables.size()]);
      } else if (action < 8) {
        grid.moveCursor(random() % (grid.readingCount() + 1));
        grid.removeReadingBefore();
      } else {
        const std::size_t position = random() % grid.readingCount();
        const auto candidates = grid.candidateList(position);
        if (!candidates.empty()) {
          grid.overrideAt(position, candidates[random() % candidates.size()],
                          random() % 2 ? OverrideKind::HighScore : OverrideKind::TopScore);
        }
      }
      const std::string kept = walk(grid);
      grid.invalidateWalk();
      ASSERT_EQ(kept, walk(grid)) << "round " << round << " step " << step;
    }
  }
}

// Edits in the middle of long compositions: the walk redoes the positions
// from the edit on until its states agree with the kept ones, takes the rest
// over, and must still give the walk from scratch, node for node and phrase
// for phrase. Scores are multiples of 1/64, so that every total is exact
// whichever way it was reached and a tie is a tie both ways.
TEST(ContextWalk, EditsInTheMiddleOfLongCompositionsGiveTheWalkFromScratch) {
  std::mt19937 random(20261211);
  const std::vector<std::string> syllables = {"ㄅㄚ", "ㄆㄚ", "ㄇㄚ", "ㄈㄚ",
                                              "ㄉㄚ", "ㄊㄚ", "ㄋㄚ"};
  auto model = std::make_shared<FixtureModel>();
  auto context = std::make_shared<PairModel>();
  auto score = [&] { return -1.0 - static_cast<double>(random() % 320) / 64.0; };
  std::vector<std::string> values;
  for (const auto& a : syllables) {
    for (int k = 0; k < 3; ++k) {
      values.push_back(a + std::to_string(k));
      model->add(a, values.back(), score());
    }
    for (const auto& b : syllables) {
      if (random() % 3 == 0) model->add(a + "-" + b, a + b, score());
    }
  }
  for (int p = 0; p < 200; ++p) {
    context->pair(values[random() % values.size()], values[random() % values.size()],
                  static_cast<double>(random() % 192) / 64.0 - 1.5);
  }
  // Two grids get the same edits: one walks with what it kept from its
  // earlier walks, the other from nothing every time.
  std::size_t editsWalked = 0, edgesKept = 0, edgesFresh = 0;
  auto nodesOf = [](const BestPath& path) {
    std::vector<std::string> shown;
    for (const auto& node : path.nodes) shown.push_back(node->reading + node->currentValue());
    return shown;
  };
  for (int round = 0; round < 6; ++round) {
    ReadingGrid keeping(model), fresh(model);
    for (ReadingGrid* grid : {&keeping, &fresh}) grid->setContextModel(context);
    for (int i = 0; i < 120; ++i) {
      const std::string& syllable = syllables[random() % syllables.size()];
      keeping.addReading(syllable);
      fresh.addReading(syllable);
    }
    keeping.bestPath();
    for (int step = 0; step < 40; ++step) {
      const std::size_t middle = 30 + random() % (keeping.readingCount() - 60);
      const unsigned action = random() % 3;
      const std::string& syllable = syllables[random() % syllables.size()];
      const auto candidates = keeping.candidateList(middle);
      const auto& candidate = candidates[random() % candidates.size()];
      const OverrideKind kind = random() % 2 ? OverrideKind::HighScore : OverrideKind::TopScore;
      for (ReadingGrid* grid : {&keeping, &fresh}) {
        grid->moveCursor(middle);
        if (action == 0) {
          grid->addReading(syllable);
        } else if (action == 1) {
          grid->removeReadingBefore();
        } else {
          grid->overrideAt(middle, candidate, kind);
        }
      }
      const BestPath kept = keeping.bestPath();
      const auto keptShown = nodesOf(kept);
      fresh.invalidateWalk();
      const BestPath walked = fresh.bestPath();
      ASSERT_EQ(keptShown, nodesOf(walked)) << "round " << round << " step " << step;
      ASSERT_EQ(kept.readingCount, keeping.readingCount());
      ++editsWalked;
      edgesKept += kept.edgeCount;
      edgesFresh += walked.edgeCount;
    }
  }
  // The kept states spared most of the work: an edit in the middle redid a
  // few positions, not half the composition.
  EXPECT_GT(editsWalked, 0u);
  EXPECT_LT(edgesKept * 4, edgesFresh) << edgesKept << " against " << edgesFresh;
}

// Whatever the scores (infinities, not-a-number, the extremes of double),
// both walks cover every reading with nodes that follow each other.
TEST(ContextWalk, EveryReadingIsCoveredWhateverTheScores) {
  std::mt19937 random(7);
  const double extremes[] = {std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::max(),
                             std::numeric_limits<double>::lowest(),
                             std::numeric_limits<double>::denorm_min(),
                             0.0,
                             -1.5,
                             42.0};
  auto anyScore = [&] {
    return random() % 2 ? extremes[random() % std::size(extremes)]
                        : -static_cast<double>(random() % 1000) / 100.0;
  };
  const std::vector<std::string> syllables = {"ㄅㄚ", "ㄆㄚ", "ㄇㄚ"};
  for (int round = 0; round < 40; ++round) {
    auto model = std::make_shared<FixtureModel>();
    auto context = std::make_shared<PairModel>();
    context->withBackoff(anyScore());
    for (const auto& a : syllables) {
      for (int k = 0; k < 3; ++k) model->add(a, a + std::to_string(k), anyScore());
      for (const auto& b : syllables) {
        model->add(a + "-" + b, a + b, anyScore());
        context->pair(a + "0", b + "1", anyScore());
        context->pair(a + b, b + "0", anyScore());
      }
    }
    for (bool withContext : {false, true}) {
      ReadingGrid grid(model);
      if (withContext) grid.setContextModel(context);
      const std::size_t length = 1 + random() % 12;
      for (std::size_t i = 0; i < length; ++i) {
        ASSERT_TRUE(grid.addReading(syllables[random() % syllables.size()]));
      }
      const BestPath path = grid.bestPath();
      std::size_t covered = 0;
      for (const auto& node : path.nodes) {
        ASSERT_TRUE(node);
        EXPECT_EQ(node->reading.substr(0, grid.reading(covered).size()), grid.reading(covered));
        covered += node->length;
      }
      EXPECT_EQ(covered, length) << "round " << round << (withContext ? " with" : " without")
                                 << " context";
      EXPECT_EQ(path.readingCount, length);
    }
  }
}

}  // namespace
