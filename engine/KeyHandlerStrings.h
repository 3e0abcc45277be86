// The key handler's messages in Traditional Chinese: the texts the status
// window's hint line shows (marking, refusals, mistyped syllables). The
// module gives them to the key handler; tests and tools use them too.
#pragma once

#include <cstddef>
#include <string>

#include "engine/KeyHandler.h"

namespace Kestova {

// The key handler's messages in Traditional Chinese, as the module shows
// them in the status window's hint line.
class KeyHandlerStrings : public KeyHandler::LocalizedStrings {
 public:
  std::string cursorBetweenReadings(const std::string& previous, const std::string& next) override;
  std::string tooFewCharacters(std::size_t n) override;
  std::string tooManyCharacters(std::size_t n) override;
  std::string phraseAlreadyPresent() override;
  std::string pressEnterToAdd() override;
  std::string markingSummary(const std::string& markedText, const std::string& readings,
                             const std::string& status) override;
  std::string phraseCannotBeStored() override;
  std::string notASyllable(const std::string& typed) override;
  std::string builtInPhrasesUnusable(const std::string& typed) override;
  std::string phraseSavedLater() override;
  std::string phraseNotSaved() override;
};

}  // namespace Kestova
