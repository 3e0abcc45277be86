// The walks over a reading grid: which sequence of nodes covers every
// reading with the best total score, and, with a context model, which phrase
// each of them shows. The grid owns one walk (PlainWalk, or ContextWalk when
// it has a context model), tells it of every edit through gridChanged, and
// asks it for the path in ReadingGrid::bestPath. Nothing else calls a walk.
//
// A walk may keep what it worked out for the next call; it is told of every
// change of the grid from the one place where the grid is edited, so it can
// redo only what a change can alter. A walk may set the selection of a
// node that is not overridden (the context walk shows the phrase it chose);
// it never changes the grid's readings or nodes otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "grid/ContextModel.h"
#include "grid/GapBuffer.h"

namespace Palisar::Lattivor2 {

class ReadingGrid;
struct BestPath;

// A change of the grid since the last walk, as the grid reports it.
struct GridChange {
  enum class Kind {
    Inserted,    // a reading was inserted at `position`
    Removed,     // the reading at `position` was removed
    Reselected,  // nodes ending from `position` + 1 to `through` changed selection
    Cleared,     // anything else: walk again from nothing
  };
  Kind kind = Kind::Cleared;
  std::size_t position = 0;
  std::size_t through = 0;
};

class Walk {
 public:
  virtual ~Walk() = default;
  // The best path over the grid as it stands; the grid reported every
  // change since the last call.
  virtual BestPath walk(const ReadingGrid& grid) = 0;
  virtual void gridChanged(const GridChange& change) = 0;
};

// The highest total of node scores, over every node; ties go to the
// alternative whose last node starts earliest (the longer last node). One
// forward pass and one back-track over the whole grid: it keeps nothing.
class PlainWalk final : public Walk {
 public:
  BestPath walk(const ReadingGrid& grid) override;
  void gridChanged(const GridChange&) override {}
};

// How far the context walk looks: the phrases it weighs per node (those
// within scoreMargin of the node's best phrase, at most phrasesPerNode),
// and the best states it keeps per reading position.
struct WalkLimits {
  std::size_t phrasesPerNode = 6;
  double scoreMargin = 2.5;
  std::size_t statesPerPosition = 12;
};

// The highest total of phrase scores and weighted pair scores of
// neighbouring phrases (ContextModel): a Viterbi search whose state is the
// last node and the phrase chosen for it, over the best few phrases of
// every node that is not overridden (WalkLimits); an overridden node offers
// only its fixed phrase, weighed as the node's score. It selects the
// chosen phrase of every node on the path that is not overridden.
//
// The states of each reading position are kept between walks. A change
// makes the walk redo the positions from the change on, until its states
// agree again with the kept ones (the same states, scores shifted by one
// amount, over as many positions as a node can span): from there on every
// kept state stands, shifted, and the last path's nodes there are taken
// over. So an edit costs about the same anywhere in a long composition.
class ContextWalk final : public Walk {
 public:
  ContextWalk(std::shared_ptr<const ContextModel> model, WalkLimits limits);
  ~ContextWalk() override;

  BestPath walk(const ReadingGrid& grid) override;
  void gridChanged(const GridChange& change) override;

 private:
  // A path ending at a reading position with a given node and phrase.
  struct State {
    double score = 0;
    ContextModel::Word word;
    std::uint32_t length = 0;    // of the last node; 0 for the start
    std::uint32_t phrase = 0;    // index into the last node's phrases
    std::uint32_t previous = 0;  // index of the state before, at position - length
    bool fixed = false;          // the last node is overridden
  };
  using States = std::vector<State>;
  // A node of the last path: the state at its end position, and its length.
  struct Step {
    std::size_t end = 0;
    std::uint32_t index = 0;
    std::uint32_t length = 0;
  };

  // Forward pass: the states of every position from firstDirty_ on, until
  // they agree with the kept ones. Returns the first position whose kept
  // states were taken over (the reading count + 1 when none were).
  std::size_t walkForward(const ReadingGrid& grid, std::size_t& relaxations);
  // The states of one position from those before it.
  States statesAt(const ReadingGrid& grid, std::size_t position, std::size_t& relaxations);
  // The best way to reach a phrase whose own score is `own` from the states
  // before its node.
  State bestArrival(const States& before, double own, const ContextModel::Word& word, bool boundary,
                    std::size_t& relaxations) const;
  // Back-track from the best state at the end; the steps of the last path
  // from `keptFrom` on are taken over, and so are those left of the
  // positions walked again where the back-track meets the last path.
  std::vector<Step> backTrack(const ReadingGrid& grid, std::size_t walkedFrom,
                              std::size_t keptFrom) const;

  std::shared_ptr<const ContextModel> model_;
  WalkLimits limits_;
  // The states by reading position, best first. Those from firstDirty_ on
  // are from before the changes since the last walk, moved with their
  // positions; changedThrough_ is the last position whose nodes changed.
  GapBuffer<States> states_;
  std::size_t firstDirty_ = 0;
  std::size_t changedThrough_ = 0;
  std::vector<Step> lastPath_;
};

}  // namespace Palisar::Lattivor2
