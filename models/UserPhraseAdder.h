// The interface through which marked text becomes a user phrase, and the
// rule of what a user phrase file can hold.
#pragma once

#include <string_view>

namespace Kestova {

// Where the key handler sends a phrase the user marked. The language-model
// loader implements it by rewriting the user files.
class UserPhraseAdder {
 public:
  virtual ~UserPhraseAdder() = default;
  // Adds value under reading (syllables joined by "-") to the user phrases.
  virtual void addPhrase(std::string_view reading, std::string_view value) = 0;
  // Reserved for excluding a phrase; nothing calls it yet.
  virtual void excludePhrase(std::string_view reading, std::string_view value) = 0;
};

// Whether "value reading", written as one line of a user phrase file,
// reads back as exactly this value under exactly this reading: both
// well-formed UTF-8 and not empty, a reading without blanks, a value
// without line breaks or blanks at its ends that does not begin with "#"
// (which would make the line a comment) or a byte-order mark. The loader refuses anything else,
// and the key handler does not offer to add it.
bool canStoreUserPhrase(std::string_view reading, std::string_view value);

}  // namespace Kestova
