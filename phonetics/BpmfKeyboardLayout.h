// The six Bopomofo keyboard layouts: which components each key of a US
// keyboard types, and how a key sequence is read back into a syllable. It
// owns the six shared layout objects, made once and never freed. The
// reading buffer (BpmfComposer) reads keys through it; the engine and the
// module name and choose layouts with it; tools, tests and benchmarks use
// it too. The grid, beside phonetics, may not.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "phonetics/BpmfSyllable.h"

namespace Kestova {

// Which Bopomofo components each key of a US keyboard types. "Standard",
// "ETen" and "IBM" give every component a key of its own; "Hsu" and "ETen26"
// use the letter keys only, so a key may carry two or three components and
// context rules pick one inside a key sequence. "HanyuPinyin" maps no keys:
// it tells the reading buffer to read Hanyu Pinyin letters instead.
//
// The six layouts exist once each for the life of the process and are
// identified by address: compare a layout pointer with the accessors.
class BpmfKeyboardLayout {
 public:
  using Component = BpmfSyllable::Component;
  using KeyTable = std::map<char, std::vector<Component>>;

  // How a key sequence is read. Standard, ETen and IBM give each component
  // a key of its own; ETen26's letter keys carry two components each, and
  // context rules pick one; Hsu's do too, with two readings of its own on
  // top. HanyuPinyin maps no key.
  enum class Family { OneComponentPerKey, SharedKeys, SharedKeysHsu };

  // The shared instances, created on first use and never freed.
  static const BpmfKeyboardLayout* StandardLayout();
  static const BpmfKeyboardLayout* ETenLayout();
  static const BpmfKeyboardLayout* HsuLayout();
  static const BpmfKeyboardLayout* ETen26Layout();
  static const BpmfKeyboardLayout* IBMLayout();
  static const BpmfKeyboardLayout* HanyuPinyinLayout();
  // The six shared layouts: Standard, ETen, Hsu, ETen26, IBM, HanyuPinyin.
  static const std::array<const BpmfKeyboardLayout*, 6>& AllLayouts();
  // The shared layout of this name ("Standard", "ETen", "Hsu", "ETen26",
  // "IBM", "HanyuPinyin"), or nullptr for any other name.
  static const BpmfKeyboardLayout* LayoutForName(std::string_view name);

  BpmfKeyboardLayout(std::string name, Family family, KeyTable keyTable);

  const std::string& name() const { return name_; }

  // The components of a key, first, second and third; empty if unmapped.
  // Keys are matched exactly: an upper-case letter carries nothing.
  std::vector<Component> componentsForKey(char key) const;
  // The key that carries a component, or 0 if none does.
  char keyForComponent(Component component) const;

  // The keys of the syllable's consonant, medial, vowel and tone, in this
  // order; components without a key are skipped.
  std::string keysForSyllable(BpmfSyllable syllable) const;
  // The syllable a key sequence types; unmapped keys are ignored. Keys that
  // carry several components are resolved by their context.
  BpmfSyllable syllableForKeys(std::string_view keys) const;

  // Whether the key carries ㄧ or ㄩ; whether it carries a tone mark.
  bool isIOrUeKey(char key) const;
  bool isToneKey(char key) const;

 private:
  BpmfSyllable readOneComponentKeys(std::string_view keys) const;
  BpmfSyllable readSharedKeys(std::string_view keys) const;
  static BpmfSyllable withHsuReadings(BpmfSyllable syllable);

  std::string name_;
  Family family_;
  KeyTable keyToComponents_;
  std::map<Component, char> componentToKey_;
};

}  // namespace Kestova
