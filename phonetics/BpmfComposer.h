// The reading buffer: the key strokes of one syllable, read through a
// keyboard layout (or as Hanyu Pinyin) into a BpmfSyllable. A composer owns
// its syllable and, in pinyin mode, the letters typed; it borrows its
// layout. The engine's key handler holds one; tools, tests and benchmarks
// use it too.
#pragma once

#include <string>

#include "phonetics/BpmfKeyboardLayout.h"
#include "phonetics/BpmfSyllable.h"

namespace Kestova {

// The reading buffer: turns the key strokes of one syllable into a
// BpmfSyllable through a keyboard layout, or, with the "HanyuPinyin" layout,
// through Hanyu Pinyin letters and a tone digit.
//
// Outside pinyin mode the typed keys are not remembered: a new key is
// appended to the keys the layout derives from the current syllable and the
// whole sequence is read again, and backspace drops the last derived key.
// The syllable is the only state. A plain value type; copy it for trials.
class BpmfComposer {
 public:
  // Starts with the "Standard" layout and an empty syllable.
  BpmfComposer();

  // The layout is shared and not owned; nullptr makes the composer refuse
  // every key. Pinyin mode follows the layout's identity. The syllable is kept.
  void setLayout(const BpmfKeyboardLayout* layout);
  const BpmfKeyboardLayout* layout() const { return layout_; }
  bool isPinyinMode() const { return pinyinMode_; }

  // Whether addKey would take the key.
  bool acceptsKey(char key) const;
  // Adds the key if acceptsKey; returns whether it did.
  bool addKey(char key);
  // Backspace within the syllable.
  void removeLastKey();
  // Empties the syllable and the pinyin letters; layout and mode stay.
  void reset();

  BpmfSyllable syllable() const { return syllable_; }
  bool isEmpty() const { return syllable_.isEmpty(); }
  // In pinyin mode the letters and tone digit as typed (lower-cased),
  // otherwise the Bopomofo of the syllable. The reading to look up is always
  // syllable().toComposedText().
  std::string displayText() const;
  const std::string& pinyinLetters() const { return pinyinLetters_; }

 private:
  const BpmfKeyboardLayout* layout_;
  BpmfSyllable syllable_;
  bool pinyinMode_ = false;
  std::string pinyinLetters_;
};

}  // namespace Kestova
