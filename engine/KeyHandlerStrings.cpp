#include "engine/KeyHandlerStrings.h"

namespace Kestova {

std::string KeyHandlerStrings::cursorBetweenReadings(const std::string& previous,
                                                     const std::string& next) {
  return "游標在「" + previous + "」與「" + next + "」之間";
}

std::string KeyHandlerStrings::tooFewCharacters(std::size_t n) {
  return "至少需要選取" + std::to_string(n) + "個字";
}

std::string KeyHandlerStrings::tooManyCharacters(std::size_t n) {
  return "最多只能選取" + std::to_string(n) + "個字";
}

std::string KeyHandlerStrings::phraseAlreadyPresent() {
  return "詞庫已經有這個詞";
}

std::string KeyHandlerStrings::pressEnterToAdd() {
  return "請按 Enter 加入自訂詞庫";
}

std::string KeyHandlerStrings::markingSummary(const std::string& markedText,
                                              const std::string& readings,
                                              const std::string& status) {
  return "選取了「" + markedText + "」，注音「" + readings + "」：" + status;
}

}  // namespace Kestova
