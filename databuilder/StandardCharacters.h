#pragma once

#include <string_view>
#include <utility>
#include <vector>

namespace Kestova::DataBuilder {

// The characters a Taiwanese user can read and type everywhere: those of
// Taiwan's standard character sets. Candidate lists offer them before any
// other character of the same reading.
class StandardCharacterSet {
 public:
  // Big5 as Taiwan's systems write it and CNS 11643 planes 1 and 2, taken
  // from the round-trip mappings of ICU's "windows-950-2000" (ICU's "Big5",
  // with the ETEN extension characters such as 碁 and 裏) and
  // "cns-11643-1992" (the planes of ISO-2022-CN). Empty when ICU has neither
  // converter.
  static StandardCharacterSet fromConverters();
  // Exactly the characters of `characters` (UTF-8), for small fixtures.
  static StandardCharacterSet of(std::string_view characters);

  // Whether every character of `text` belongs to the set; false for text
  // that is empty or not valid UTF-8.
  bool containsAll(std::string_view text) const;
  bool empty() const { return ranges_.empty(); }

 private:
  // Sorts the ranges and merges those that overlap or touch.
  void normalize();

  // Sorted, disjoint, inclusive code point ranges.
  std::vector<std::pair<char32_t, char32_t>> ranges_;
};

}  // namespace Kestova::DataBuilder
