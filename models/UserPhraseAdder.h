// The interface through which marked text becomes a user phrase, and the
// rule of what a user phrase file can hold.
#pragma once

#include <cstddef>
#include <string_view>

#include "grid/LanguageModel.h"

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

// A user phrase has at least this many readings and at most
// kMaxUserPhraseReadings.
inline constexpr std::size_t kMinUserPhraseReadings = 2;
inline constexpr std::size_t kMaxUserPhraseReadings = 8;

// Whether text may become a user phrase, in the order the reasons are
// tested.
enum class UserPhraseCheck {
  TooFewReadings,
  TooManyReadings,
  // canStoreUserPhrase says no.
  CannotBeStored,
  // The model already gives this value for this reading.
  AlreadyPresent,
  CanAdd,
};

// The one test of a new user phrase, for the key handler's marked text and
// for the phrase editor alike: `readingCount` readings joined by "-" in
// `reading`, checked against what `model` already answers for them (a null
// model knows no phrase).
UserPhraseCheck checkUserPhrase(std::size_t readingCount, std::string_view reading,
                                std::string_view value, Palisar::Lattivor2::LanguageModel* model);

}  // namespace Kestova
