// The text the user committed lately, as words: every stretch of two or
// more readings of a committed composition, with the characters committed
// over it. A word about to be learnt under readings the user committed
// otherwise would change that text where it comes back; the key handler
// then learns the word in closer company instead, so that what the user
// wrote before comes back as they wrote it.
//
// Memory only, one per key handler, 16 bytes per reading it can hold,
// taken at the first commit. A
// reading is kept as a 32-bit hash with the hash of the one value
// committed under it, or a mark that several were. Readings are kept in
// two generations: when the newer one holds half the capacity it becomes
// the older one, and the older one is dropped, so the readings not
// committed lately go first. A hash collision can only make a word look
// contested, which costs it nothing but its reach.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace Kestova {

class CommittedWords {
 public:
  // Holds at least capacity / 2 readings, and at most capacity.
  explicit CommittedWords(std::size_t capacity);

  // Remembers the value as committed under the reading.
  void add(std::string_view reading, std::string_view value);
  // Whether a value other than `value` was committed under the reading.
  bool hasOtherThan(std::string_view reading, std::string_view value) const;

 private:
  // An open-addressing table of (reading hash, value hash) pairs packed in
  // 64 bits; 0 is an empty slot, a value hash of 0 means several values.
  struct Generation {
    std::vector<std::uint64_t> slots;
    std::size_t count = 0;

    std::uint64_t* find(std::uint32_t reading);
    const std::uint64_t* find(std::uint32_t reading) const;
  };
  static std::uint32_t readingHash(std::string_view reading);
  static std::uint32_t valueHash(std::string_view value);

  std::size_t perGeneration_;
  Generation newer_;
  Generation older_;
};

}  // namespace Kestova
