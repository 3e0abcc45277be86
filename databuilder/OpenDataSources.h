#pragma once

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Kestova::DataBuilder {

// A word and the composed Bopomofo of each of its characters.
struct ReadingEntry {
  std::string word;
  std::vector<std::string> syllables;
  // Share of this reading among the readings of a single character, in
  // percent; negative when the source gives none.
  double percent = -1;
};

// Word frequencies of a large corpus: lines "word TAB count". A count of 0
// (a word listed without a count) is kept; lines that do not parse or have a
// negative count are skipped. Returns false if the file cannot be read.
bool readWordFrequencies(const std::string& path, std::unordered_map<std::string, double>& counts);

// A pinyin dictionary in the YAML-headed tabular form: after the "..." line
// that ends the header, lines "text TAB pinyin syllables [TAB percent%]".
// Tone digits 1-5 (5 the neutral tone). Syllables are converted to Bopomofo;
// an entry with a syllable that does not convert to a syllable of the
// language is dropped.
bool readPinyinDictionary(const std::string& path, std::vector<ReadingEntry>& entries);

// gcin's binary phrase table: records of a one-byte character count n, a
// 32-bit use count, n 16-bit phonetic keys (little-endian) and the n
// characters in UTF-8. Keys hold the consonant in bits 9-13, the medial in
// bits 7-8, the vowel in bits 3-6 and the tone in bits 0-2 (0 first tone,
// 1 neutral, 2-4 the rising, dipping and falling tones). Records with a key
// that does not form a syllable are returned with an empty syllable in its
// place, so that callers can judge abbreviations themselves.
bool readGcinPhraseTable(const std::string& path, std::vector<ReadingEntry>& entries);

// Converts one gcin phonetic key to composed Bopomofo ("" if it holds no
// vowel-bearing or valid syllable).
std::string gcinKeyToComposed(unsigned key);

// Taiwan-standard characters of every syllable, most common first:
// syllable -> characters.
using SyllableCharacters = std::map<std::string, std::vector<std::string>>;

// A plain table of lines "syllable TAB char char ...", for small fixtures
// and for saving a table once enumerated.
bool readSyllableCharacters(const std::string& path, SyllableCharacters& table);

// Lists the candidates of every syllable through the public API of the
// system's libchewing with its installed data. Returns false when the
// library cannot be initialised.
bool enumerateChewingCharacters(SyllableCharacters& table);

// Whether a composed syllable is one that the language has: a vowel or a
// medial, or one of the consonants that stand alone (ㄓ ㄔ ㄕ ㄖ ㄗ ㄘ ㄙ).
bool isWellFormedSyllable(std::string_view composed);

// Splits UTF-8 text into characters; empty if the text is not valid UTF-8.
std::vector<std::string> splitCharacters(std::string_view text);

// Whether a character is a CJK unified ideograph (basic block, extension A,
// or the compatibility block).
bool isHanCharacter(std::string_view character);

}  // namespace Kestova::DataBuilder
