// PickHistory remembers which phrase the user picked in which context and
// suggests it again when the context comes back. A context key names the node
// a pick concerns and the two nodes before it on the walk, for example
// "()-(ㄋㄧˇ,你)-(ㄏㄠˇ,好)". Each key counts the values picked under it with
// the time of their latest pick; a suggestion weighs each value by its share
// of the key's picks and by an exponential decay of the time since its latest
// pick. Values stop counting once the decay falls below 2^-20 (twenty
// half-lives). At most `capacity` keys are kept; the least recently recorded
// key goes first. Memory only: nothing is saved.
//
// Timestamps are seconds since the epoch, passed in by the caller.
//
// The key handler owns one, records every pick into it and asks it after
// each walk; the evaluation tool uses it the same way.
#pragma once

#include <cstddef>
#include <list>
#include <map>
#include <string>

#include "grid/ReadingGrid.h"

namespace Kestova {

struct PickSuggestion {
  std::string value;  // empty when there is no suggestion
  bool forceHighScore = false;

  bool empty() const { return value.empty(); }
};

class PickHistory {
 public:
  // A half-life that is not positive is replaced by the default of 5400 s.
  PickHistory(std::size_t capacity, double halfLife);

  // Learns from a pick at reading `position`: `before` and `after` are the
  // walks before and after the pick. Ignored when either walk is empty, the
  // walks cover different numbers of readings, or the picked node is longer
  // than three readings.
  void recordPick(const Palisar::Lattivor2::BestPath& before,
                  const Palisar::Lattivor2::BestPath& after, std::size_t position,
                  double timestamp);

  // The value to suggest for the node of `path` covering `position`, if any.
  // Does not change which keys are most recently used.
  PickSuggestion suggestPick(const Palisar::Lattivor2::BestPath& path, std::size_t position,
                             double timestamp) const;

  // The context key of node `nodeIndex` of `path`. REQUIRES: nodeIndex <
  // path.nodes.size().
  static std::string contextKey(const Palisar::Lattivor2::BestPath& path, std::size_t nodeIndex);

  std::size_t capacity() const { return capacity_; }
  std::size_t size() const { return entries_.size(); }
  bool contains(const std::string& key) const { return index_.contains(key); }

 private:
  struct PickOverride {
    std::size_t count = 0;
    double timestamp = 0;
    bool forceHighScore = false;
  };
  struct PickObservation {
    std::size_t count = 0;
    std::map<std::string, PickOverride> overrides;
  };
  struct PickEntry {
    std::string key;
    PickObservation observation;
  };
  using EntryList = std::list<PickEntry>;

  void remember(const std::string& key, const std::string& value, bool forceHighScore,
                double timestamp);

  std::size_t capacity_;
  double decayExponent_;
  EntryList entries_;  // most recently recorded first
  std::map<std::string, EntryList::iterator> index_;
};

}  // namespace Kestova
