#include "phonetics/BpmfComposer.h"

#include "phonetics/HanyuPinyin.h"

namespace Kestova {

namespace {

char toLowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool isPinyinToneDigit(char c) {
  return c >= '2' && c <= '5';
}

}  // namespace

BpmfComposer::BpmfComposer() : layout_(BpmfKeyboardLayout::StandardLayout()) {}

void BpmfComposer::setLayout(const BpmfKeyboardLayout* layout) {
  layout_ = layout;
  bool pinyin = layout != nullptr && layout == BpmfKeyboardLayout::HanyuPinyinLayout();
  if (pinyin && !pinyinMode_) pinyinLetters_.clear();
  pinyinMode_ = pinyin;
}

bool BpmfComposer::acceptsKey(char key) const {
  if (pinyinMode_) {
    char c = toLowerAscii(key);
    if (c >= 'a' && c <= 'z') {
      // Letters end with the tone digit.
      return pinyinLetters_.empty() || !isPinyinToneDigit(pinyinLetters_.back());
    }
    return isPinyinToneDigit(c) && !pinyinLetters_.empty();
  }
  if (layout_ == nullptr) return false;
  return !layout_->componentsForKey(key).empty();
}

bool BpmfComposer::addKey(char key) {
  if (!acceptsKey(key)) return false;
  if (pinyinMode_) {
    pinyinLetters_ += toLowerAscii(key);
    syllable_ = fromPinyin(pinyinLetters_);
  } else {
    std::string keys = layout_->keysForSyllable(syllable_);
    keys += key;
    syllable_ = layout_->syllableForKeys(keys);
  }
  return true;
}

void BpmfComposer::removeLastKey() {
  if (layout_ == nullptr) return;
  if (pinyinMode_) {
    if (!pinyinLetters_.empty()) pinyinLetters_.pop_back();
    syllable_ = fromPinyin(pinyinLetters_);
    return;
  }
  std::string keys = layout_->keysForSyllable(syllable_);
  if (keys.empty()) return;
  keys.pop_back();
  syllable_ = layout_->syllableForKeys(keys);
}

void BpmfComposer::reset() {
  syllable_ = BpmfSyllable();
  pinyinLetters_.clear();
}

std::string BpmfComposer::displayText() const {
  return pinyinMode_ ? pinyinLetters_ : syllable_.toComposedText();
}

}  // namespace Kestova
