// The interface through which marked text becomes a user phrase, and the
// rule of what a user phrase file can hold. The key handler calls it (and
// checkUserPhrase); the loader implements it; the phrase page checks its
// phrases with the same checkUserPhrase. It owns nothing.
#pragma once

#include <cstddef>
#include <string_view>

#include "grid/LanguageModel.h"

namespace Kestova {

// Where the key handler sends a phrase the user marked, and what it asks of
// the data behind the phrases. The language-model loader implements it by
// appending to the user phrase file.
class UserPhraseAdder {
 public:
  enum class AddResult {
    // Written to the user phrase file, and in use.
    Added,
    // The file already had it (and it is no longer excluded).
    AlreadyListed,
    // In use at once, and written when the user files are free (another
    // program holds their lock).
    Pending,
    // Not added; the user files are as they were, and the log says why.
    Failed,
  };

  virtual ~UserPhraseAdder() = default;
  // Adds value under reading (syllables joined by "-") to the user phrases.
  virtual AddResult addPhrase(std::string_view reading, std::string_view value) = 0;
  // Reserved for excluding a phrase; nothing calls it yet.
  virtual void excludePhrase(std::string_view reading, std::string_view value) = 0;
  // Whether the built-in phrases can be used at all. When they cannot (the
  // database is missing, has the wrong header, or was set aside while it is
  // being rewritten), a syllable nothing answers is not the user's mistake.
  virtual bool builtInPhrasesUsable() const { return true; }
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
