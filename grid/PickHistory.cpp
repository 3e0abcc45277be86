#include "grid/PickHistory.h"

#include <algorithm>
#include <cmath>

namespace Kestova {

namespace {

using Palisar::Lattivor2::BestPath;
using Palisar::Lattivor2::ReadingGrid;

constexpr double kDefaultHalfLife = 5400.0;
constexpr double kLn2 = 0.6931471805599453;
// Below this decay (twenty half-lives) a pick no longer counts.
constexpr double kDecayCutOff = 9.5367431640625e-07;  // 2^-20

bool isSpecialReading(const std::string& reading) {
  return !reading.empty() && reading.front() == '_';
}

std::string term(const std::string& reading, const std::string& value) {
  return "(" + reading + "," + value + ")";
}

// The value that names a node in a key: its first phrase as the phrase
// sources rank it. A word learnt from the user's picks goes first once it
// is learnt, and must not change the key of the node it was learnt at.
const std::string& keyValue(const ReadingGrid::Node& node) {
  static const std::string kNone;
  if (node.phrases.empty()) return kNone;
  for (const auto& phrase : node.phrases) {
    if (!phrase.learnt) return phrase.value;
  }
  return node.phrases.front().value;
}

}  // namespace

PickHistory::PickHistory(std::size_t capacity, double halfLife)
    : capacity_(capacity), decayExponent_(-kLn2 / (halfLife > 0 ? halfLife : kDefaultHalfLife)) {}

std::string PickHistory::contextKey(const BestPath& path, std::size_t nodeIndex) {
  const ReadingGrid::Node& node = *path.nodes[nodeIndex];
  const std::string own = term(node.reading, keyValue(node));
  std::string first = "()";
  std::string middle = "()";
  // The context does not reach back across a special reading such as
  // punctuation.
  if (nodeIndex > 0 && !isSpecialReading(path.nodes[nodeIndex - 1]->reading)) {
    // The neighbours as the walk showed them: a later walk may have chosen
    // other phrases for the same nodes since.
    middle = term(path.nodes[nodeIndex - 1]->reading, path.valueAt(nodeIndex - 1));
    if (nodeIndex > 1 && !isSpecialReading(path.nodes[nodeIndex - 2]->reading)) {
      first = term(path.nodes[nodeIndex - 2]->reading, path.valueAt(nodeIndex - 2));
    }
  }
  return first + "-" + middle + "-" + own;
}

namespace {

// The index in path.nodes of the node covering `position`; path.nodes.size()
// if none.
std::size_t coveringIndex(const BestPath& path, std::size_t position) {
  const auto covering = path.nodeCovering(position);
  if (!covering) return path.nodes.size();
  const auto it = std::find(path.nodes.begin(), path.nodes.end(), covering->node);
  return static_cast<std::size_t>(it - path.nodes.begin());
}

}  // namespace

void PickHistory::recordPick(const BestPath& before, const BestPath& after, std::size_t position,
                             double timestamp) {
  if (before.nodes.empty() || after.nodes.empty()) return;
  if (before.readingCount != after.readingCount) return;

  const auto picked = after.nodeCovering(position);
  if (!picked || picked->node->length > 3) return;
  const auto old = before.nodeCovering(picked->end - 1);
  if (!old) return;

  const std::size_t pickedLength = picked->node->length;
  const std::size_t oldLength = old->node->length;
  std::string key;
  if (pickedLength == 1 && oldLength > 1) {
    // A single syllable picked out of a longer word: the word is gone, so the
    // context is the one the pick created.
    key = contextKey(after, coveringIndex(after, position));
  } else {
    key = contextKey(before, coveringIndex(before, picked->end - 1));
  }
  remember(key, picked->node->currentValue(), oldLength < pickedLength, timestamp);
}

void PickHistory::remember(const std::string& key, const std::string& value, bool forceHighScore,
                           double timestamp) {
  const auto found = index_.find(key);
  if (found != index_.end()) {
    entries_.splice(entries_.begin(), entries_, found->second);
    PickObservation& observation = found->second->observation;
    ++observation.count;
    PickOverride& pick = observation.overrides[value];
    pick.timestamp = timestamp;
    ++pick.count;
    pick.forceHighScore = forceHighScore;
    return;
  }

  PickEntry entry{key, PickObservation{}};
  entry.observation.count = 1;
  entry.observation.overrides.emplace(value, PickOverride{1, timestamp, forceHighScore});
  entries_.push_front(std::move(entry));
  index_.emplace(key, entries_.begin());
  if (entries_.size() > capacity_) {
    index_.erase(entries_.back().key);
    entries_.pop_back();
  }
}

PickSuggestion PickHistory::suggestPick(const BestPath& path, std::size_t position,
                                        double timestamp) const {
  const std::size_t k = coveringIndex(path, position);
  if (k >= path.nodes.size()) return {};
  const auto found = index_.find(contextKey(path, k));
  if (found == index_.end()) return {};

  const PickObservation& observation = found->second->observation;
  PickSuggestion answer;
  double best = 0;
  for (const auto& [value, pick] : observation.overrides) {
    // A clock that went back must not make an old pick weigh more than a
    // fresh one.
    const double elapsed = std::max(0.0, timestamp - pick.timestamp);
    const double decay = std::exp(elapsed * decayExponent_);
    if (decay < kDecayCutOff) continue;
    const double weight =
        static_cast<double>(pick.count) / static_cast<double>(observation.count) * decay;
    if (weight != 0 && weight > best) {
      best = weight;
      answer.value = value;
      answer.forceHighScore = pick.forceHighScore;
    }
  }
  return answer;
}

}  // namespace Kestova
