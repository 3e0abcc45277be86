// Words learnt from the user's corrections. When the user commits a
// composition in which they picked candidates, the key handler teaches the
// picked phrases through a WordLearner (the loader), which keeps them here;
// the composite model (KestovaLM) then ranks a learnt value first among the
// phrases of its reading, whatever the context, until other picks under the
// same reading wear it away.
//
// Each word has a weight: 1 when it is learnt, halved whenever another value
// is learnt under the same reading, forgotten below kForgetBelow. At most
// kCapacity words are kept; the least recently learnt goes first. The
// words live in memory; with remember_learnt_words the loader keeps them in
// learnt.txt too ("VALUE READING WEIGHT" per line, the format of
// formatLearntFile and parseLearntFile).
//
// Used on gcin's thread only: the loader owns the words and changes them,
// the composite model reads them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "text/TextHash.h"

namespace Kestova {

class LearntWords {
 public:
  static constexpr std::size_t kCapacity = 4096;
  static constexpr double kForgetBelow = 0.2;

  struct Word {
    std::string reading;
    std::string value;
    double weight = 1;

    bool operator==(const Word&) const = default;
  };

  // The value becomes the strongest word of its reading (weight 1); every
  // other word of the reading loses half its weight.
  void learn(std::string_view reading, std::string_view value);
  // Forgets the value learnt under the reading, if it was learnt.
  void forget(std::string_view reading, std::string_view value);
  // Halves the weight of the value learnt under the reading, if it was
  // learnt; forgotten below kForgetBelow.
  void weaken(std::string_view reading, std::string_view value);
  // The words of a reading, strongest first (the latest learnt among equals).
  std::vector<Word> wordsOf(std::string_view reading) const;
  // Whether any word is learnt under the reading.
  bool has(std::string_view reading) const { return byReading_.contains(reading); }
  // The syllables of a reading ("-" joins them).
  static std::size_t syllableCount(std::string_view reading) {
    return static_cast<std::size_t>(std::count(reading.begin(), reading.end(), '-')) + 1;
  }
  // Every word, least recently learnt first: the order of the file.
  std::vector<Word> words() const;
  // Replaces every word by these, in this order (least recently learnt
  // first); words over the capacity, repeats and weights outside
  // (kForgetBelow, 1] are left out.
  void assign(const std::vector<Word>& words);
  void clear();

  std::size_t size() const { return order_.size(); }
  bool empty() const { return order_.empty(); }
  // Changes with every change of the words, so that a reader can tell
  // whether what it derived from them is still current.
  std::uint64_t version() const { return version_; }

 private:
  using Order = std::list<Word>;  // most recently learnt first

  void forget(Order::iterator word);

  Order order_;
  std::unordered_map<std::string, std::vector<Order::iterator>, TextHash, std::equal_to<>>
      byReading_;
  std::uint64_t version_ = 0;
};

// Where the key handler sends the phrases the user picked in a composition
// they committed, and the learnt words their picks replaced: (reading,
// value) pairs.
class WordLearner {
 public:
  virtual ~WordLearner() = default;
  virtual void learnWords(const std::vector<std::pair<std::string, std::string>>& words) = 0;
  virtual void forgetWords(const std::vector<std::pair<std::string, std::string>>& words) = 0;
  virtual void weakenWords(const std::vector<std::pair<std::string, std::string>>& words) = 0;
};

// learnt.txt: one word per line, "VALUE READING WEIGHT", the weight a
// decimal number in (0, 1]. Lines that are empty or start with "#" are
// skipped; any other line that does not read as a word is damaged.
struct LearntFileContents {
  std::vector<LearntWords::Word> words;
  std::vector<std::size_t> damagedLines;  // 1-based
};
LearntFileContents parseLearntFile(std::string_view text);
std::string formatLearntFile(const std::vector<LearntWords::Word>& words);

}  // namespace Kestova
