// Random edits against a grid built from scratch: incremental maintenance must
// give exactly the nodes a fresh grid has over the same readings, ask the model
// no more than the runs through the edited position, and leave every other
// node object in place.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "FixtureModel.h"
#include "grid/GapBuffer.h"
#include "grid/ReadingGrid.h"

namespace {

using KestovaTest::FixtureModel;
using Palisar::Lattivor2::GapBuffer;
using Palisar::Lattivor2::ReadingGrid;

constexpr std::size_t kMaxInsertionQueries = 36;
constexpr std::size_t kMaxDeletionQueries = 28;

const std::array<std::string, 3> kSyllables = {"ㄅㄚ", "ㄆㄚ", "ㄇㄚ"};
const std::string kUnknownSyllable = "ㄈㄚ";

std::uint32_t fnv1a(const std::string& text) {
  std::uint32_t hash = 2166136261u;
  for (unsigned char c : text) hash = (hash ^ c) * 16777619u;
  return hash;
}

// Every syllable alone, and about a third of all runs of 2 to 8 syllables, each
// with one to three phrases whose scores often tie.
std::shared_ptr<FixtureModel> makeDenseModel() {
  auto model = std::make_shared<FixtureModel>();
  std::vector<std::string> runs(kSyllables.begin(), kSyllables.end());
  std::vector<std::string> current = runs;
  for (std::size_t length = 2; length <= ReadingGrid::MaxNodeLength; ++length) {
    std::vector<std::string> longer;
    for (const auto& run : current) {
      for (const auto& s : kSyllables) longer.push_back(run + "-" + s);
    }
    for (const auto& run : longer) {
      if (fnv1a(run) % 3 == 0) runs.push_back(run);
    }
    current = std::move(longer);
  }
  for (const auto& run : runs) {
    const std::uint32_t h = fnv1a(run + "#");
    const int phraseCount = 1 + static_cast<int>(h % 3);
    for (int k = 0; k < phraseCount; ++k) {
      model->add(run, run + "/" + std::to_string(k),
                 -1.0 - static_cast<double>((h >> (4 + k)) % 4));
    }
  }
  return model;
}

using Snapshot = std::vector<std::array<ReadingGrid::NodePtr, ReadingGrid::MaxNodeLength>>;

Snapshot snapshot(const ReadingGrid& grid) {
  Snapshot result(grid.columnCount());
  for (std::size_t i = 0; i < grid.columnCount(); ++i) {
    for (std::size_t l = 0; l < ReadingGrid::MaxNodeLength; ++l) {
      result[i][l] = grid.column(i).nodes[l];
    }
  }
  return result;
}

void expectSameNodes(const ReadingGrid& actual, const ReadingGrid& expected) {
  ASSERT_EQ(actual.readings(), expected.readings());
  ASSERT_EQ(actual.columnCount(), expected.columnCount());
  for (std::size_t i = 0; i < actual.columnCount(); ++i) {
    const auto& a = actual.column(i);
    const auto& e = expected.column(i);
    ASSERT_EQ(a.longest, e.longest) << "column " << i;
    for (std::size_t l = 1; l <= ReadingGrid::MaxNodeLength; ++l) {
      ASSERT_EQ(static_cast<bool>(a.node(l)), static_cast<bool>(e.node(l)))
          << "column " << i << " length " << l;
      if (!a.node(l)) continue;
      EXPECT_EQ(a.node(l)->reading, e.node(l)->reading);
      EXPECT_EQ(a.node(l)->length, l);
      EXPECT_EQ(a.node(l)->phrases, e.node(l)->phrases);
    }
  }
}

// Nodes that end before `edited` stay at their column, and the columns from
// `firstMoved` on move by `shift` with all their nodes.
void expectUntouchedNodesKept(const Snapshot& before, const Snapshot& after, std::size_t edited,
                              std::size_t firstMoved, std::ptrdiff_t shift) {
  for (std::size_t i = 0; i < before.size() && i < edited; ++i) {
    for (std::size_t l = 1; i + l <= edited && l <= ReadingGrid::MaxNodeLength; ++l) {
      ASSERT_EQ(after[i][l - 1], before[i][l - 1]) << "column " << i << " length " << l;
    }
  }
  for (std::size_t i = firstMoved; i < before.size(); ++i) {
    ASSERT_EQ(after[static_cast<std::size_t>(static_cast<std::ptrdiff_t>(i) + shift)], before[i])
        << "column " << i;
  }
}

TEST(GridPropertyTest, RandomEditsMatchAGridBuiltFromScratch) {
  auto model = makeDenseModel();
  ReadingGrid grid(model);
  std::mt19937 random(20261210);
  std::size_t insertions = 0;
  std::size_t deletions = 0;

  for (int step = 0; step < 3000; ++step) {
    SCOPED_TRACE(testing::Message() << "step " << step);
    const std::size_t count = grid.readingCount();
    grid.moveCursor(std::uniform_int_distribution<std::size_t>(0, count)(random));
    const std::size_t cursor = grid.cursor();
    const Snapshot before = snapshot(grid);
    const int dice = std::uniform_int_distribution<int>(0, 99)(random);
    model->resetCalls();

    if (count == 0 || (count < 48 && dice < 55)) {
      const bool unknown = dice % 20 == 0;
      const std::string reading =
          unknown ? kUnknownSyllable : kSyllables[random() % kSyllables.size()];
      const bool added = grid.addReading(reading);
      ASSERT_EQ(added, !unknown);
      if (added) {
        ++insertions;
        ASSERT_LE(model->calls(), kMaxInsertionQueries);
        ASSERT_EQ(grid.cursor(), cursor + 1);
        expectUntouchedNodesKept(before, snapshot(grid), cursor, cursor, 1);
      } else {
        ASSERT_EQ(grid.cursor(), cursor);
        ASSERT_EQ(snapshot(grid), before);
      }
    } else if (dice % 2 == 0) {
      const bool removed = grid.removeReadingBefore();
      ASSERT_EQ(removed, cursor > 0);
      if (!removed) continue;
      ++deletions;
      ASSERT_LE(model->calls(), kMaxDeletionQueries);
      ASSERT_EQ(grid.cursor(), cursor - 1);
      expectUntouchedNodesKept(before, snapshot(grid), cursor - 1, cursor, -1);
    } else {
      const bool removed = grid.removeReadingAfter();
      ASSERT_EQ(removed, cursor < count);
      if (!removed) continue;
      ++deletions;
      ASSERT_LE(model->calls(), kMaxDeletionQueries);
      ASSERT_EQ(grid.cursor(), cursor);
      expectUntouchedNodesKept(before, snapshot(grid), cursor, cursor + 1, -1);
    }

    ReadingGrid fresh(model);
    for (const auto& reading : grid.readings()) ASSERT_TRUE(fresh.addReading(reading));
    expectSameNodes(grid, fresh);
    if (HasFatalFailure()) return;
    ASSERT_EQ(grid.bestPath().readingCount, grid.readingCount());
  }
  // The walk exercised both kinds of edit on long compositions.
  EXPECT_GT(insertions, 1000u);
  EXPECT_GT(deletions, 1000u);
}

TEST(GridPropertyTest, InsertionInALongCompositionAsksAllThirtySixRuns) {
  auto model = makeDenseModel();
  ReadingGrid grid(model);
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(grid.addReading(kSyllables[i % 3]));
  grid.moveCursor(10);
  model->resetCalls();
  ASSERT_TRUE(grid.addReading(kSyllables[0]));
  EXPECT_EQ(model->calls(), kMaxInsertionQueries);
  model->resetCalls();
  ASSERT_TRUE(grid.removeReadingBefore());
  EXPECT_EQ(model->calls(), kMaxDeletionQueries);
}

TEST(GapBufferTest, RandomEditsMatchAVector) {
  GapBuffer<std::string> buffer;
  std::vector<std::string> reference;
  std::mt19937 random(7);
  std::size_t cursor = 0;
  for (int step = 0; step < 5000; ++step) {
    // Mostly local edits with an occasional jump, as at a text cursor.
    if (random() % 8 == 0) cursor = reference.empty() ? 0 : random() % (reference.size() + 1);
    cursor = std::min(cursor, reference.size());
    if (reference.empty() || random() % 5 < 3) {
      const std::string value = std::to_string(step) + "v";
      buffer.insert(cursor, value);
      reference.insert(reference.begin() + static_cast<std::ptrdiff_t>(cursor), value);
      ++cursor;
    } else if (cursor > 0) {
      --cursor;
      buffer.erase(cursor);
      reference.erase(reference.begin() + static_cast<std::ptrdiff_t>(cursor));
    } else {
      buffer.erase(0);
      reference.erase(reference.begin());
    }
    ASSERT_EQ(buffer.size(), reference.size());
    if (step % 97 == 0 || step > 4900) {
      for (std::size_t i = 0; i < reference.size(); ++i) ASSERT_EQ(buffer[i], reference[i]) << i;
    }
  }
  buffer.clear();
  EXPECT_TRUE(buffer.empty());
}

}  // namespace
