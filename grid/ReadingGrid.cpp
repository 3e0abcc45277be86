#include "grid/ReadingGrid.h"

#include <algorithm>
#include <utility>

namespace Palisar::Lattivor2 {

namespace {

// The first column whose nodes can reach position p: a node covers at most
// MaxNodeLength readings.
std::size_t firstStartReaching(std::size_t p) {
  constexpr std::size_t kReach = ReadingGrid::MaxNodeLength - 1;
  return p > kReach ? p - kReach : 0;
}

}  // namespace

// ScoreRankedLanguageModel

ReadingGrid::ScoreRankedLanguageModel::ScoreRankedLanguageModel(
    std::shared_ptr<LanguageModel> model)
    : model_(std::move(model)) {}

std::vector<ScoredPhrase> ReadingGrid::ScoreRankedLanguageModel::getScoredPhrases(
    std::string_view reading) {
  if (!model_) return {};
  std::vector<ScoredPhrase> phrases = model_->getScoredPhrases(reading);
  auto higher = [](const ScoredPhrase& a, const ScoredPhrase& b) { return a.score > b.score; };
  if (std::is_sorted(phrases.begin(), phrases.end(), higher)) return phrases;
  // Highest score first, equal scores in the model's order. A syllable can
  // have hundreds of phrases: sorting (score, position) pairs and moving each
  // phrase once costs far less than a stable sort moving the phrases about.
  std::vector<std::pair<double, std::size_t>> order;
  order.reserve(phrases.size());
  for (std::size_t i = 0; i < phrases.size(); ++i) order.emplace_back(phrases[i].score, i);
  std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    return a.first > b.first || (a.first == b.first && a.second < b.second);
  });
  std::vector<ScoredPhrase> sorted;
  sorted.reserve(phrases.size());
  for (const auto& entry : order) sorted.push_back(std::move(phrases[entry.second]));
  return sorted;
}

bool ReadingGrid::ScoreRankedLanguageModel::hasScoredPhrases(std::string_view reading) {
  return model_ && model_->hasScoredPhrases(reading);
}

// Node

ReadingGrid::Node::Node(std::string runReading, std::size_t runLength,
                        std::vector<ScoredPhrase> runPhrases)
    : reading(std::move(runReading)), length(runLength), phrases(std::move(runPhrases)) {}

ScoredPhrase ReadingGrid::Node::currentPhrase() const {
  if (selected >= phrases.size()) return {};
  return phrases[selected];
}

const std::string& ReadingGrid::Node::currentValue() const {
  static const std::string kNoValue;
  if (selected >= phrases.size()) return kNoValue;
  return phrases[selected].value;
}

double ReadingGrid::Node::score() const {
  if (phrases.empty()) return 0;
  switch (overrideKind) {
    case OverrideKind::HighScore:
      return FixedHighScore;
    case OverrideKind::TopScore:
      return phrases.front().score;
    case OverrideKind::None:
      break;
  }
  return selected < phrases.size() ? phrases[selected].score : phrases.front().score;
}

bool ReadingGrid::Node::overrideWith(std::string_view value, OverrideKind kind) {
  for (std::size_t i = 0; i < phrases.size(); ++i) {
    if (phrases[i].value == value) {
      selected = i;
      overrideKind = kind;
      return true;
    }
  }
  return false;
}

void ReadingGrid::Node::release() {
  selected = 0;
  overrideKind = OverrideKind::None;
}

// ReadingGrid: readings and editing

ReadingGrid::ReadingGrid(std::shared_ptr<LanguageModel> model)
    : model_(std::move(model)), walk_(std::make_unique<PlainWalk>()) {}

ReadingGrid::~ReadingGrid() = default;
ReadingGrid::ReadingGrid(ReadingGrid&&) noexcept = default;
ReadingGrid& ReadingGrid::operator=(ReadingGrid&&) noexcept = default;

std::vector<std::string> ReadingGrid::readings() const {
  std::vector<std::string> result;
  result.reserve(slots_.size());
  for (std::size_t i = 0; i < slots_.size(); ++i) result.push_back(slots_[i].reading);
  return result;
}

std::vector<ReadingGrid::NodeColumn> ReadingGrid::columns() const {
  std::vector<NodeColumn> result;
  result.reserve(slots_.size());
  for (std::size_t i = 0; i < slots_.size(); ++i) result.push_back(slots_[i].column);
  return result;
}

void ReadingGrid::moveCursor(std::size_t position) {
  cursor_ = std::min(position, slots_.size());
}

void ReadingGrid::reset() {
  cursor_ = 0;
  slots_.clear();
  changed({GridChange::Kind::Cleared});
}

void ReadingGrid::changed(const GridChange& change) {
  walk_->gridChanged(change);
}

void ReadingGrid::invalidateWalk() {
  changed({GridChange::Kind::Cleared});
}

void ReadingGrid::setContextModel(std::shared_ptr<const ContextModel> model) {
  contextModel_ = std::move(model);
  if (contextModel_) {
    walk_ = std::make_unique<ContextWalk>(contextModel_, walkLimits_);
  } else {
    walk_ = std::make_unique<PlainWalk>();
  }
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    for (const NodePtr& node : slots_[i].column.nodes) {
      if (!node) continue;
      node->contextWords.clear();
      if (!node->isOverridden()) node->selected = 0;
    }
  }
}

void ReadingGrid::setWalkLimits(const WalkLimits& limits) {
  walkLimits_ = limits;
  if (contextModel_) walk_ = std::make_unique<ContextWalk>(contextModel_, walkLimits_);
}

BestPath ReadingGrid::bestPath() {
  return walk_->walk(*this);
}

bool ReadingGrid::addReading(std::string_view reading) {
  if (reading.empty() || reading == separator_) return false;
  std::vector<ScoredPhrase> phrases = model_.getScoredPhrases(reading);
  if (phrases.empty()) return false;

  insertColumn(cursor_, std::string(reading));
  NodeColumn& column = slots_[cursor_].column;
  column.nodes[0] = std::make_shared<Node>(std::string(reading), 1, std::move(phrases));
  column.longest = 1;
  buildNodesAround(cursor_, Edit::Insertion);
  ++cursor_;
  return true;
}

bool ReadingGrid::removeReadingBefore() {
  if (cursor_ == 0) return false;
  --cursor_;
  removeColumn(cursor_);
  buildNodesAround(cursor_, Edit::Deletion);
  return true;
}

bool ReadingGrid::removeReadingAfter() {
  if (cursor_ >= slots_.size()) return false;
  removeColumn(cursor_);
  buildNodesAround(cursor_, Edit::Deletion);
  return true;
}

void ReadingGrid::insertColumn(std::size_t p, std::string reading) {
  changed({GridChange::Kind::Inserted, p});
  const bool inside = p != 0 && p != slots_.size();
  slots_.insert(p, Slot{std::move(reading), NodeColumn{}});
  // No node crosses either end of the grid.
  if (inside) dropCrossingNodes(p);
}

void ReadingGrid::removeColumn(std::size_t p) {
  if (p >= slots_.size()) return;
  changed({GridChange::Kind::Removed, p});
  slots_.erase(p);
  dropCrossingNodes(p);
}

void ReadingGrid::dropCrossingNodes(std::size_t p) {
  if (p == 0 || slots_.empty()) return;
  const std::size_t first = firstStartReaching(p);
  for (std::size_t i = first; i < p; ++i) {
    NodeColumn& column = slots_[i].column;
    // A node starting at i crosses p when i + length > p.
    const std::size_t keep = p - i;
    for (std::size_t length = keep + 1; length <= MaxNodeLength; ++length) {
      column.nodes[length - 1].reset();
    }
    column.longest = 0;
    for (std::size_t length = std::min(keep, MaxNodeLength); length > 0; --length) {
      if (column.nodes[length - 1]) {
        column.longest = length;
        break;
      }
    }
  }
}

std::string ReadingGrid::joinedReading(std::size_t start, std::size_t length) const {
  std::string joined = slots_[start].reading;
  for (std::size_t i = start + 1; i < start + length; ++i) {
    joined += separator_;
    joined += slots_[i].reading;
  }
  return joined;
}

void ReadingGrid::buildNodesAround(std::size_t p, Edit edit) {
  const std::size_t n = slots_.size();
  // An insertion at p changes the runs containing p; a deletion at p makes
  // runs containing both new neighbours p - 1 and p.
  const std::size_t end = std::min(n, edit == Edit::Insertion ? p + 1 : p);  // one past last start
  for (std::size_t i = firstStartReaching(p); i < end; ++i) {
    const std::size_t maxLength = std::min(MaxNodeLength, n - i);
    for (std::size_t length = p - i + 1; length <= maxLength; ++length) buildNode(i, length);
  }
}

void ReadingGrid::buildNode(std::size_t start, std::size_t length) {
  NodeColumn& column = slots_[start].column;
  std::string reading = joinedReading(start, length);
  NodePtr& slot = column.nodes[length - 1];
  if (slot && slot->reading == reading) return;
  std::vector<ScoredPhrase> phrases = model_.getScoredPhrases(reading);
  if (!phrases.empty()) {
    slot = std::make_shared<Node>(std::move(reading), length, std::move(phrases));
    column.longest = std::max(column.longest, length);
    return;
  }
  // Only a stale node could sit here; never leave one behind.
  if (!slot) return;
  slot.reset();
  column.longest = 0;
  for (std::size_t l = MaxNodeLength; l > 0; --l) {
    if (column.nodes[l - 1]) {
      column.longest = l;
      break;
    }
  }
}

// ReadingGrid: candidates and overrides

std::vector<ReadingGrid::CrossingNode> ReadingGrid::nodesCrossing(std::size_t position) const {
  std::vector<CrossingNode> result;
  if (position >= slots_.size()) return result;
  const NodeColumn& own = slots_[position].column;
  for (std::size_t length = 1; length <= own.longest; ++length) {
    if (own.nodes[length - 1]) result.push_back({own.nodes[length - 1], position});
  }
  const std::size_t first = firstStartReaching(position);
  for (std::size_t i = first; i < position; ++i) {
    const NodeColumn& column = slots_[i].column;
    for (std::size_t length = position - i + 1; length <= column.longest; ++length) {
      if (column.nodes[length - 1]) result.push_back({column.nodes[length - 1], i});
    }
  }
  return result;
}

std::vector<GridCandidate> ReadingGrid::candidateList(std::size_t position) const {
  std::vector<GridCandidate> result;
  const std::size_t n = slots_.size();
  if (n == 0 || position > n) return result;
  std::vector<CrossingNode> crossing = nodesCrossing(position == n ? n - 1 : position);
  std::stable_sort(
      crossing.begin(), crossing.end(),
      [](const CrossingNode& a, const CrossingNode& b) { return a.node->length > b.node->length; });
  for (const CrossingNode& entry : crossing) {
    for (const ScoredPhrase& phrase : entry.node->phrases) {
      result.push_back({entry.node->reading, phrase.value, phrase.rawValue});
    }
  }
  return result;
}

bool ReadingGrid::overrideAt(std::size_t position, std::string_view value, OverrideKind kind) {
  return overrideMatching(position, nullptr, value, kind);
}

bool ReadingGrid::overrideAt(std::size_t position, const GridCandidate& candidate,
                             OverrideKind kind) {
  return overrideMatching(position, &candidate.reading, candidate.value, kind);
}

bool ReadingGrid::overrideMatching(std::size_t position, const std::string* reading,
                                   std::string_view value, OverrideKind kind) {
  const std::size_t n = slots_.size();
  if (n == 0 || position > n) return false;
  const std::vector<CrossingNode> crossing = nodesCrossing(position == n ? n - 1 : position);
  for (const CrossingNode& entry : crossing) {
    Node& node = *entry.node;
    if (reading && node.reading != *reading) continue;
    if (!node.overrideWith(value, kind)) continue;
    // The nodes released below start at most MaxNodeLength - 1 readings
    // before this one and end at most that far after it.
    changed({GridChange::Kind::Reselected, firstStartReaching(entry.start),
             entry.start + node.length + MaxNodeLength});
    // Whatever else covers the fixed readings must not keep an override of
    // its own, or the walk could not honour this one.
    const std::size_t end = std::min(entry.start + node.length, n);
    for (std::size_t q = entry.start; q < end; ++q) {
      for (const CrossingNode& other : nodesCrossing(q)) {
        if (other.node != entry.node) other.node->release();
      }
    }
    return true;
  }
  return false;
}

// BestPath

std::optional<BestPath::Covering> BestPath::nodeCovering(std::size_t position) const {
  if (nodes.empty() || position > readingCount) return std::nullopt;
  if (position == 0) return Covering{nodes.front(), nodes.front()->length};
  if (position + 1 >= readingCount) return Covering{nodes.back(), readingCount};
  std::size_t sum = 0;
  for (const ReadingGrid::NodePtr& node : nodes) {
    sum += node->length;
    if (position < sum) return Covering{node, sum};
  }
  return std::nullopt;
}

const std::string& BestPath::valueAt(std::size_t index) const {
  const ReadingGrid::Node& node = *nodes[index];
  if (index < selections.size() && selections[index] < node.phrases.size()) {
    return node.phrases[selections[index]].value;
  }
  return node.currentValue();
}

void BestPath::noteSelections() {
  selections.clear();
  selections.reserve(nodes.size());
  for (const ReadingGrid::NodePtr& node : nodes) selections.push_back(node->selected);
}

std::string BestPath::composedText() const {
  std::string text;
  for (const ReadingGrid::NodePtr& node : nodes) text += node->currentValue();
  return text;
}

}  // namespace Palisar::Lattivor2
