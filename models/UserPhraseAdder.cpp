#include "models/UserPhraseAdder.h"

#include "text/Utf8.h"

namespace Kestova {

bool canStoreUserPhrase(std::string_view reading, std::string_view value) {
  constexpr std::string_view kLineBreaks("\r\n\0", 3);
  constexpr std::string_view kBlanks(" \t\r\n\0", 5);
  if (reading.empty() || reading.find_first_of(kBlanks) != std::string_view::npos) return false;
  if (value.empty() || value.find_first_of(kLineBreaks) != std::string_view::npos) return false;
  // A leading "#" makes a comment, and a leading U+FEFF would read back as
  // the byte-order mark of the file.
  if (value.front() == '#' || value.starts_with("\uFEFF")) return false;
  if (value.front() == ' ' || value.front() == '\t') return false;
  if (value.back() == ' ' || value.back() == '\t') return false;
  return Utf8::isValid(reading) && Utf8::isValid(value);
}

UserPhraseCheck checkUserPhrase(std::size_t readingCount, std::string_view reading,
                                std::string_view value, Palisar::Lattivor2::LanguageModel* model) {
  if (readingCount < kMinUserPhraseReadings) return UserPhraseCheck::TooFewReadings;
  if (readingCount > kMaxUserPhraseReadings) return UserPhraseCheck::TooManyReadings;
  if (!canStoreUserPhrase(reading, value)) return UserPhraseCheck::CannotBeStored;
  if (model && model->hasScoredPhrases(reading)) {
    for (const auto& phrase : model->getScoredPhrases(reading)) {
      if (phrase.value == value) return UserPhraseCheck::AlreadyPresent;
    }
  }
  return UserPhraseCheck::CanAdd;
}

}  // namespace Kestova
