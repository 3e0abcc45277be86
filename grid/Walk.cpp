#include "grid/Walk.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <utility>

#include "grid/ReadingGrid.h"

namespace Palisar::Lattivor2 {

namespace {

using Clock = std::chrono::steady_clock;

// What a walk of `vertexCount` positions and `edgeCount` relaxations, begun
// at `started`, reports of its work.
void noteWalk(BestPath& path, std::size_t vertexCount, std::size_t edgeCount,
              Clock::time_point started) {
  path.noteSelections();
  path.vertexCount = vertexCount;
  path.edgeCount = edgeCount;
  path.elapsedMicros =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started).count();
}

// Readings that break the context: punctuation and the other special
// readings, and the space.
bool breaksContext(const std::string& reading) {
  return reading.empty() || reading.front() == '_' || reading == " ";
}

}  // namespace

// ---------------------------------------------------------------------------
// The plain walk.

BestPath PlainWalk::walk(const ReadingGrid& grid) {
  BestPath path;
  const std::size_t n = grid.readingCount();
  if (n == 0) return path;
  const auto started = Clock::now();

  struct Vertex {
    double score = -std::numeric_limits<double>::infinity();
    const ReadingGrid::NodePtr* node = nullptr;
    std::size_t predecessor = 0;
  };
  std::vector<Vertex> vertices(n + 1);
  vertices[0].score = 0;

  std::size_t relaxations = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const ReadingGrid::NodeColumn& column = grid.column(i);
    const double base = vertices[i].score;
    for (std::size_t length = 1; length <= column.longest; ++length) {
      const ReadingGrid::NodePtr& node = column.node(length);
      if (!node) continue;
      ++relaxations;
      const double s = base + node->score();
      Vertex& target = vertices[i + length];
      // Strictly greater: among equal totals the first relaxed (the longest
      // last node) stays. The first relaxation always counts, so that every
      // position is reached whatever the scores (infinities, not-a-number).
      if (!target.node || s > target.score) {
        target.score = s;
        target.node = &node;
        target.predecessor = i;
      }
    }
  }

  for (std::size_t v = n; v > 0;) {
    const Vertex& vertex = vertices[v];
    if (!vertex.node) break;  // unreachable: every reading has a length-1 node
    path.nodes.push_back(*vertex.node);
    path.readingCount += (*vertex.node)->length;
    v = vertex.predecessor;
  }
  std::reverse(path.nodes.begin(), path.nodes.end());
  noteWalk(path, n, relaxations, started);
  return path;
}

// ---------------------------------------------------------------------------
// The context walk.

ContextWalk::ContextWalk(std::shared_ptr<const ContextModel> model, WalkLimits limits)
    : model_(std::move(model)), limits_(limits) {}

ContextWalk::~ContextWalk() = default;

void ContextWalk::gridChanged(const GridChange& change) {
  constexpr std::size_t kReach = ReadingGrid::MaxNodeLength;
  const std::size_t p = change.position;
  switch (change.kind) {
    case GridChange::Kind::Cleared:
      states_.clear();
      lastPath_.clear();
      firstDirty_ = 0;
      changedThrough_ = 0;
      return;
    case GridChange::Kind::Inserted:
      // Paths ending at p or before use no node the insertion changes; the
      // kept states right of it move one position on.
      if (p + 1 <= states_.size()) states_.insert(p + 1, States{});
      if (changedThrough_ > p) ++changedThrough_;
      changedThrough_ = std::max(changedThrough_, p + kReach);
      std::erase_if(lastPath_,
                    [&](const Step& step) { return step.end - step.length < p && step.end > p; });
      for (Step& step : lastPath_) {
        if (step.end > p) ++step.end;
      }
      break;
    case GridChange::Kind::Removed:
      if (p + 1 < states_.size()) states_.erase(p + 1);
      if (changedThrough_ > p) --changedThrough_;
      changedThrough_ = std::max(changedThrough_, p + kReach);
      std::erase_if(lastPath_,
                    [&](const Step& step) { return step.end - step.length <= p && step.end > p; });
      for (Step& step : lastPath_) {
        if (step.end > p) --step.end;
      }
      break;
    case GridChange::Kind::Reselected:
      changedThrough_ = std::max(changedThrough_, change.through);
      break;
  }
  firstDirty_ = std::min(firstDirty_, p + 1);
}

BestPath ContextWalk::walk(const ReadingGrid& grid) {
  BestPath path;
  const std::size_t n = grid.readingCount();
  if (n == 0) {
    gridChanged({GridChange::Kind::Cleared});
    return path;
  }
  const auto started = Clock::now();
  std::size_t relaxations = 0;
  const std::size_t walkedFrom = firstDirty_;
  const std::size_t keptFrom = walkForward(grid, relaxations);
  lastPath_ = backTrack(grid, walkedFrom, keptFrom);

  path.nodes.reserve(lastPath_.size());
  for (const Step& step : lastPath_) {
    const ReadingGrid::NodePtr& node = grid.column(step.end - step.length).node(step.length);
    const State& state = states_[step.end][step.index];
    if (!state.fixed) node->selected = state.phrase;
    path.nodes.push_back(node);
  }
  path.readingCount = n;
  noteWalk(path, n, relaxations, started);
  return path;
}

namespace {

// Whether `fresh` holds the same states as `kept`, each scoring `shift`
// more; the first agreeing position of a run sets the shift. The scores are
// sums reached in another order, so they may differ in the last bits.
template <typename States>
bool agreeShifted(const States& fresh, const States& kept, bool firstOfRun, double& shift) {
  if (fresh.empty() || fresh.size() != kept.size()) return false;
  if (firstOfRun) shift = fresh.front().score - kept.front().score;
  if (!std::isfinite(shift)) return false;
  for (std::size_t k = 0; k < fresh.size(); ++k) {
    const auto& a = fresh[k];
    const auto& b = kept[k];
    if (a.length != b.length || a.phrase != b.phrase || a.previous != b.previous ||
        a.fixed != b.fixed || a.word.word != b.word.word || a.word.first != b.word.first ||
        a.word.last != b.word.last) {
      return false;
    }
    const double tolerance = 1e-9 * std::max(1.0, std::abs(a.score));
    if (!(std::abs(a.score - b.score - shift) <= tolerance)) return false;
  }
  return true;
}

}  // namespace

std::size_t ContextWalk::walkForward(const ReadingGrid& grid, std::size_t& relaxations) {
  const std::size_t n = grid.readingCount();
  while (states_.size() > n + 1) states_.erase(states_.size() - 1);
  while (states_.size() < n + 1) states_.insert(states_.size(), States{});
  if (firstDirty_ == 0 || states_[0].empty()) {
    State origin;
    origin.word = model_->sentenceStart();
    states_[0] = {origin};
    firstDirty_ = 1;
  }

  std::size_t keptFrom = n + 1;
  std::size_t agreeing = 0;
  double shift = 0;
  for (std::size_t j = firstDirty_; j <= n; ++j) {
    States fresh = statesAt(grid, j, relaxations);
    States& kept = states_[j];
    agreeing = agreeShifted(fresh, kept, agreeing == 0, shift) ? agreeing + 1 : 0;
    kept = std::move(fresh);
    // The states of the last MaxNodeLength positions are the kept ones,
    // shifted, and no node ending further on changed: every later position
    // would be worked out the same, shifted too.
    if (agreeing >= ReadingGrid::MaxNodeLength && j >= changedThrough_ && j < n) {
      for (std::size_t k = j + 1; k <= n; ++k) {
        for (State& state : states_[k]) state.score += shift;
      }
      keptFrom = j + 1;
      break;
    }
  }
  firstDirty_ = n + 1;
  changedThrough_ = 0;
  return keptFrom;
}

namespace {

// The phrases of a node the context walk weighs, [first, last): an
// overridden node's fixed phrase, the user's own phrase when it leads the
// node (a pair score never overrules it), or its best few.
std::pair<std::size_t, std::size_t> phrasesWeighed(const ReadingGrid::Node& node,
                                                   const WalkLimits& limits) {
  if (node.isOverridden()) {
    const std::size_t fixed = std::min(node.selected, node.phrases.size() - 1);
    return {fixed, fixed + 1};
  }
  if (node.phrases.front().fromUser) return {0, 1};
  const double floor = node.phrases.front().score - limits.scoreMargin;
  std::size_t last = 1;
  while (last < node.phrases.size() && last < limits.phrasesPerNode &&
         node.phrases[last].score >= floor)
    ++last;
  return {0, last};
}

// Looks up the context model's ids of a node's phrases up to `last`, once.
// A replaced value pairs as the value it replaces: replacement only
// relabels. After a special reading the context starts again.
void lookUpWords(ReadingGrid::Node& node, std::size_t last, const ContextModel& context) {
  const bool boundary = breaksContext(node.reading);
  for (std::size_t k = node.contextWords.size(); k < last; ++k) {
    const ScoredPhrase& phrase = node.phrases[k];
    node.contextWords.push_back(
        boundary ? context.sentenceStart()
                 : context.lookUp(phrase.rawValue.empty() ? phrase.value : phrase.rawValue));
  }
}

}  // namespace

ContextWalk::State ContextWalk::bestArrival(const States& before, double own,
                                            const ContextModel::Word& word, bool boundary,
                                            std::size_t& relaxations) const {
  const double weight = model_->weight();
  State best;
  for (std::size_t s = 0; s < before.size(); ++s) {
    ++relaxations;
    const double pair = boundary ? 0.0 : weight * model_->pairScore(before[s].word, word);
    double total = before[s].score + own + pair;
    // Scores that are not numbers rank last, so that the states stay
    // ordered and every position keeps a state.
    if (std::isnan(total)) total = -std::numeric_limits<double>::infinity();
    if (s == 0 || total > best.score) {
      best.score = total;
      best.previous = static_cast<std::uint32_t>(s);
    }
  }
  return best;
}

ContextWalk::States ContextWalk::statesAt(const ReadingGrid& grid, std::size_t j,
                                          std::size_t& relaxations) {
  States candidates;
  for (std::size_t length = 1; length <= ReadingGrid::MaxNodeLength && length <= j; ++length) {
    const std::size_t i = j - length;
    const ReadingGrid::NodePtr& node = grid.column(i).node(length);
    if (!node || node->phrases.empty() || states_[i].empty()) continue;
    const auto [first, last] = phrasesWeighed(*node, limits_);
    lookUpWords(*node, last, *model_);
    const bool boundary = breaksContext(node->reading);
    for (std::size_t k = first; k < last; ++k) {
      const double own = node->isOverridden() ? node->score() : node->phrases[k].score;
      State best = bestArrival(states_[i], own, node->contextWords[k], boundary, relaxations);
      best.word = node->contextWords[k];
      best.length = static_cast<std::uint32_t>(length);
      best.phrase = static_cast<std::uint32_t>(k);
      best.fixed = node->isOverridden();
      candidates.push_back(best);
    }
  }
  // Best first; among equal totals the longer last node, as in the plain walk.
  std::sort(candidates.begin(), candidates.end(), [](const State& a, const State& b) {
    if (a.score != b.score) return a.score > b.score;
    return a.length > b.length;
  });
  if (candidates.size() > limits_.statesPerPosition)
    candidates.resize(std::max<std::size_t>(limits_.statesPerPosition, 1));
  return candidates;
}

std::vector<ContextWalk::Step> ContextWalk::backTrack(const ReadingGrid& grid,
                                                      std::size_t walkedFrom,
                                                      std::size_t keptFrom) const {
  const std::size_t n = grid.readingCount();
  const auto byEnd = [](const Step& step, std::size_t end) { return step.end < end; };
  std::vector<Step> reversed;
  std::size_t position = n;
  std::uint32_t index = 0;
  // Right of the positions walked again the states are the kept ones: the
  // back-track would follow the last path there.
  if (keptFrom <= n && !lastPath_.empty() && lastPath_.back().end == n) {
    const auto first = std::lower_bound(lastPath_.begin(), lastPath_.end(), keptFrom, byEnd);
    for (auto step = lastPath_.end(); step != first;) reversed.push_back(*--step);
    if (first != lastPath_.end()) {
      const State& state = states_[first->end][first->index];
      position = first->end - state.length;
      index = state.previous;
    }
  }
  // Left of them, from where the back-track meets the last path at a
  // position whose states were not walked again, it is the last path.
  std::size_t keptSteps = 0;
  while (position > 0 && index < states_[position].size()) {
    if (position < walkedFrom) {
      const auto same = std::lower_bound(lastPath_.begin(), lastPath_.end(), position, byEnd);
      if (same != lastPath_.end() && same->end == position && same->index == index) {
        keptSteps = static_cast<std::size_t>(same - lastPath_.begin()) + 1;
        break;
      }
    }
    const State& state = states_[position][index];
    reversed.push_back({position, index, state.length});
    position -= state.length;
    index = state.previous;
  }
  std::vector<Step> path(lastPath_.begin(),
                         lastPath_.begin() + static_cast<std::ptrdiff_t>(keptSteps));
  path.insert(path.end(), reversed.rbegin(), reversed.rend());
  return path;
}

}  // namespace Palisar::Lattivor2
