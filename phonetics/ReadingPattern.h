// A reading as a user writes it outside the reading buffer, in a search box
// or a reading field: Bopomofo symbols ("ㄋㄧˇㄏㄠˇ", "ㄋㄧˇ-ㄏㄠˇ", "ㄐㄘ"), or
// the keys of a keyboard layout typed as the reading buffer reads them
// ("su3cl3" on the Standard layout). Syllables may be partial: a pattern
// syllable matches every syllable that has the components it names.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "phonetics/BpmfKeyboardLayout.h"
#include "phonetics/BpmfSyllable.h"

namespace Kestova {

class ReadingPattern {
 public:
  // Bopomofo symbols and tone marks; "-", spaces and tabs separate
  // syllables, and so does a symbol whose part of the syllable (consonant,
  // medial, vowel, tone) is already written or comes before one that is.
  // None when the text holds anything else, or no symbol at all.
  static std::optional<ReadingPattern> fromBopomofo(std::string_view text);

  // Keys of `layout`, read one syllable at a time as the key handler's
  // reading buffer reads them: a tone key, or Space, ends a syllable; with
  // a layout that gives every component a key of its own, a key of a part
  // the syllable already has starts the next one ("ru8h6" is ㄐㄧㄚ ㄘˊ).
  // With the HanyuPinyin layout, the letters of a syllable end with a tone
  // digit or Space. None when a key is none of the layout's, or there is
  // no key at all.
  static std::optional<ReadingPattern> fromKeys(std::string_view keys,
                                                const BpmfKeyboardLayout& layout);

  const std::vector<BpmfSyllable>& syllables() const { return syllables_; }
  // Whether the last syllable was ended (by a tone, Space or a separator)
  // rather than left open at the end of the text.
  bool lastSyllableEnded() const { return lastEnded_; }
  // The syllables as a reading string, joined by "-" ("ㄋㄧˇ-ㄏㄠˇ").
  std::string reading() const;

  // Whether `reading` (syllables joined by "-") holds syllables that match
  // the pattern's, one after another, anywhere in it.
  bool foundIn(std::string_view reading) const;

  // Syllable texts read so far, for a search that looks through many
  // readings: there are few distinct syllables. The views must outlive it.
  using SyllableCache = std::unordered_map<std::string_view, BpmfSyllable>;
  bool foundIn(std::string_view reading, SyllableCache& cache) const;

 private:
  // Whether a syllable has every component the pattern syllable names; a
  // pattern syllable without a tone mark matches every tone.
  static bool syllableMatches(BpmfSyllable pattern, BpmfSyllable syllable);
  std::vector<BpmfSyllable> syllables_;
  bool lastEnded_ = false;
};

}  // namespace Kestova
