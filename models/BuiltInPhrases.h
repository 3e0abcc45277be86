// The built-in phrase file read the other way round, by value, for the
// phrase editor: the readings of a character, the built-in phrases inside a
// text, and a pass over every phrase for a search. The file is mapped once
// (like ParselessLM); each search is one pass over its lines. It owns that
// mapping; only the phrase page (PhraseBook) uses it, on the settings
// window's thread.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/MappedFile.h"
#include "models/SortedPhraseTable.h"

namespace Kestova {

class BuiltInPhrases {
 public:
  // One phrase of the file; the views point into the mapping.
  struct Phrase {
    std::string_view reading;
    std::string_view value;
    // The score as written ("-2.4265"), read by score() only when a phrase
    // is wanted: most of a pass looks at the reading and the value alone.
    std::string_view scoreText;
    double score() const;
  };

  BuiltInPhrases() = default;
  BuiltInPhrases(const BuiltInPhrases&) = delete;
  BuiltInPhrases& operator=(const BuiltInPhrases&) = delete;

  // Maps the sorted phrase file; false when it cannot be mapped (a file
  // without the header maps as an empty table).
  bool open(const std::string& path);
  bool isOpen() const { return table_ != nullptr; }

  // Every phrase a user can type, in file order: special readings (those
  // beginning with "_") and macros are left out. `visit` answers false to
  // stop.
  void forEachPhrase(const std::function<bool(const Phrase&)>& visit) const;

  // The single-syllable readings of one character, likeliest first; empty
  // for a character the file does not know.
  std::vector<Phrase> readingsOfCharacter(std::string_view character);

  // The phrases of two syllables or more whose values occur in `text`.
  std::vector<Phrase> phrasesInside(std::string_view text) const;

 private:
  MappedFile file_;
  std::unique_ptr<SortedPhraseTable> table_;
  // Built on first use: the single-syllable phrases by value.
  std::unordered_map<std::string_view, std::vector<Phrase>> characters_;
  bool charactersRead_ = false;
};

}  // namespace Kestova
