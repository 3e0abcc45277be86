#include "engine/CommittedWords.h"

#include <bit>
#include <functional>
#include <utility>

namespace Kestova {

namespace {

constexpr std::uint32_t kSeveralValues = 0;

std::uint32_t readingOf(std::uint64_t slot) {
  return static_cast<std::uint32_t>(slot >> 32);
}
std::uint32_t valueOf(std::uint64_t slot) {
  return static_cast<std::uint32_t>(slot);
}
std::uint64_t slotOf(std::uint32_t reading, std::uint32_t value) {
  return (std::uint64_t{reading} << 32) | value;
}

std::uint32_t folded(std::string_view text) {
  const std::uint64_t hash = std::hash<std::string_view>()(text);
  return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

}  // namespace

CommittedWords::CommittedWords(std::size_t capacity) : perGeneration_(capacity / 2) {}

// Hashes are never 0, so that 0 marks an empty slot and "several values".
std::uint32_t CommittedWords::readingHash(std::string_view reading) {
  return folded(reading) | 1;
}
std::uint32_t CommittedWords::valueHash(std::string_view value) {
  return folded(value) | 1;
}

const std::uint64_t* CommittedWords::Generation::find(std::uint32_t reading) const {
  if (slots.empty()) return nullptr;
  const std::size_t mask = slots.size() - 1;
  for (std::size_t i = reading & mask;; i = (i + 1) & mask) {
    if (slots[i] == 0 || readingOf(slots[i]) == reading) return &slots[i];
  }
}

std::uint64_t* CommittedWords::Generation::find(std::uint32_t reading) {
  return const_cast<std::uint64_t*>(std::as_const(*this).find(reading));
}

void CommittedWords::add(std::string_view reading, std::string_view value) {
  if (perGeneration_ == 0) return;
  // The tables are made at the first commit (none with learning off), each
  // kept at most half full.
  if (newer_.slots.empty()) {
    const std::size_t slots = std::bit_ceil(perGeneration_ * 2);
    newer_.slots.assign(slots, 0);
    older_.slots.assign(slots, 0);
  }
  const std::uint32_t r = readingHash(reading);
  const std::uint32_t v = valueHash(value);
  std::uint64_t* slot = newer_.find(r);
  if (*slot != 0) {
    if (valueOf(*slot) != v) *slot = slotOf(r, kSeveralValues);
    return;
  }
  *slot = slotOf(r, v);
  if (++newer_.count < perGeneration_) return;
  std::swap(older_, newer_);
  newer_.slots.assign(newer_.slots.size(), 0);
  newer_.count = 0;
}

bool CommittedWords::hasOtherThan(std::string_view reading, std::string_view value) const {
  const std::uint32_t r = readingHash(reading);
  const std::uint32_t v = valueHash(value);
  for (const Generation* generation : {&newer_, &older_}) {
    const std::uint64_t* slot = generation->find(r);
    if (slot && *slot != 0 && valueOf(*slot) != v) return true;
  }
  return false;
}

}  // namespace Kestova
