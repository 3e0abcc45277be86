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

std::string KeyHandlerStrings::phraseCannotBeStored() {
  return "選取的文字無法加入自訂詞庫";
}

std::string KeyHandlerStrings::notASyllable(const std::string& typed) {
  return "「" + typed + "」不是注音音節";
}

std::string KeyHandlerStrings::builtInPhrasesUnusable(const std::string& typed) {
  return "內建詞庫無法使用，打不出「" + typed + "」";
}

std::string KeyHandlerStrings::phraseSavedLater() {
  return "已加入，但詞庫檔正由其他程式使用，稍後存檔";
}

std::string KeyHandlerStrings::phraseNotSaved() {
  return "無法寫入自訂詞庫，這個詞沒有加入";
}

}  // namespace Kestova
