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

}  // namespace Kestova
