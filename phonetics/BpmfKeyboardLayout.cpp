#include "phonetics/BpmfKeyboardLayout.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace Kestova {

namespace {

using S = BpmfSyllable;
using Component = BpmfSyllable::Component;

struct KeyRow {
  char key;
  std::string_view symbols;  // the key's components in order, as Bopomofo text
};

// Builds a key table from rows of symbols; every symbol is one component.
BpmfKeyboardLayout::KeyTable makeKeyTable(std::initializer_list<KeyRow> rows) {
  BpmfKeyboardLayout::KeyTable table;
  for (const auto& row : rows) {
    std::vector<Component>& components = table[row.key];
    std::string_view rest = row.symbols;
    while (!rest.empty()) {
      auto lead = static_cast<unsigned char>(rest.front());
      size_t length = (lead & 0x20) ? 3 : 2;
      components.push_back(S::fromComposedText(rest.substr(0, length)).value());
      rest.remove_prefix(std::min(length, rest.size()));
    }
  }
  return table;
}

}  // namespace

BpmfKeyboardLayout::BpmfKeyboardLayout(std::string name, Family family, KeyTable keyTable)
    : name_(std::move(name)), family_(family), keyToComponents_(std::move(keyTable)) {
  // Keys in ascending order; a later key takes over a component from an
  // earlier one.
  for (const auto& [key, components] : keyToComponents_) {
    for (Component component : components) componentToKey_[component] = key;
  }
}

const BpmfKeyboardLayout* BpmfKeyboardLayout::StandardLayout() {
  static const auto* layout = new BpmfKeyboardLayout(
      "Standard", Family::OneComponentPerKey,
      makeKeyTable({{'1', "ㄅ"}, {'q', "ㄆ"}, {'a', "ㄇ"}, {'z', "ㄈ"}, {'2', "ㄉ"}, {'w', "ㄊ"},
                    {'s', "ㄋ"}, {'x', "ㄌ"}, {'e', "ㄍ"}, {'d', "ㄎ"}, {'c', "ㄏ"}, {'r', "ㄐ"},
                    {'f', "ㄑ"}, {'v', "ㄒ"}, {'5', "ㄓ"}, {'t', "ㄔ"}, {'g', "ㄕ"}, {'b', "ㄖ"},
                    {'y', "ㄗ"}, {'h', "ㄘ"}, {'n', "ㄙ"}, {'u', "ㄧ"}, {'j', "ㄨ"}, {'m', "ㄩ"},
                    {'8', "ㄚ"}, {'i', "ㄛ"}, {'k', "ㄜ"}, {',', "ㄝ"}, {'9', "ㄞ"}, {'o', "ㄟ"},
                    {'l', "ㄠ"}, {'.', "ㄡ"}, {'0', "ㄢ"}, {'p', "ㄣ"}, {';', "ㄤ"}, {'/', "ㄥ"},
                    {'-', "ㄦ"}, {'3', "ˇ"},  {'4', "ˋ"},  {'6', "ˊ"},  {'7', "˙"}}));
  return layout;
}

const BpmfKeyboardLayout* BpmfKeyboardLayout::ETenLayout() {
  static const auto* layout = new BpmfKeyboardLayout(
      "ETen", Family::OneComponentPerKey,
      makeKeyTable({{'b', "ㄅ"}, {'p', "ㄆ"},  {'m', "ㄇ"}, {'f', "ㄈ"}, {'d', "ㄉ"}, {'t', "ㄊ"},
                    {'n', "ㄋ"}, {'l', "ㄌ"},  {'v', "ㄍ"}, {'k', "ㄎ"}, {'h', "ㄏ"}, {'g', "ㄐ"},
                    {'7', "ㄑ"}, {'c', "ㄒ"},  {',', "ㄓ"}, {'.', "ㄔ"}, {'/', "ㄕ"}, {'j', "ㄖ"},
                    {';', "ㄗ"}, {'\'', "ㄘ"}, {'s', "ㄙ"}, {'e', "ㄧ"}, {'x', "ㄨ"}, {'u', "ㄩ"},
                    {'a', "ㄚ"}, {'o', "ㄛ"},  {'r', "ㄜ"}, {'w', "ㄝ"}, {'i', "ㄞ"}, {'q', "ㄟ"},
                    {'z', "ㄠ"}, {'y', "ㄡ"},  {'8', "ㄢ"}, {'9', "ㄣ"}, {'0', "ㄤ"}, {'-', "ㄥ"},
                    {'=', "ㄦ"}, {'2', "ˊ"},   {'3', "ˇ"},  {'4', "ˋ"},  {'1', "˙"}}));
  return layout;
}

const BpmfKeyboardLayout* BpmfKeyboardLayout::HsuLayout() {
  static const auto* layout = new BpmfKeyboardLayout(
      "Hsu", Family::SharedKeysHsu,
      makeKeyTable({{'b', "ㄅ"},   {'p', "ㄆ"},    {'m', "ㄇㄢ"},   {'f', "ㄈˇ"},  {'d', "ㄉˊ"},
                    {'t', "ㄊ"},   {'n', "ㄋㄣ"},  {'l', "ㄌㄥㄦ"}, {'g', "ㄍㄜ"}, {'k', "ㄎㄤ"},
                    {'h', "ㄏㄛ"}, {'j', "ㄐㄓˋ"}, {'v', "ㄑㄔ"},   {'c', "ㄒㄕ"}, {'r', "ㄖ"},
                    {'z', "ㄗ"},   {'a', "ㄘㄟ"},  {'s', "ㄙ˙"},    {'e', "ㄧㄝ"}, {'x', "ㄨ"},
                    {'u', "ㄩ"},   {'y', "ㄚ"},    {'i', "ㄞ"},     {'w', "ㄠ"},   {'o', "ㄡ"}}));
  return layout;
}

const BpmfKeyboardLayout* BpmfKeyboardLayout::ETen26Layout() {
  static const auto* layout = new BpmfKeyboardLayout(
      "ETen26", Family::SharedKeys,
      makeKeyTable({{'b', "ㄅ"},   {'p', "ㄆㄡ"}, {'m', "ㄇㄢ"}, {'f', "ㄈˊ"},  {'d', "ㄉ˙"},
                    {'t', "ㄊㄤ"}, {'n', "ㄋㄣ"}, {'l', "ㄌㄥ"}, {'v', "ㄍㄑ"}, {'k', "ㄎˋ"},
                    {'h', "ㄏㄦ"}, {'g', "ㄓㄐ"}, {'c', "ㄕㄒ"}, {'y', "ㄔ"},   {'j', "ㄖˇ"},
                    {'q', "ㄗㄟ"}, {'w', "ㄘㄝ"}, {'s', "ㄙ"},   {'e', "ㄧ"},   {'x', "ㄨ"},
                    {'u', "ㄩ"},   {'a', "ㄚ"},   {'o', "ㄛ"},   {'r', "ㄜ"},   {'i', "ㄞ"},
                    {'z', "ㄠ"}}));
  return layout;
}

const BpmfKeyboardLayout* BpmfKeyboardLayout::IBMLayout() {
  static const auto* layout = new BpmfKeyboardLayout(
      "IBM", Family::OneComponentPerKey,
      makeKeyTable({{'1', "ㄅ"}, {'2', "ㄆ"}, {'3', "ㄇ"}, {'4', "ㄈ"}, {'5', "ㄉ"}, {'6', "ㄊ"},
                    {'7', "ㄋ"}, {'8', "ㄌ"}, {'9', "ㄍ"}, {'0', "ㄎ"}, {'-', "ㄏ"}, {'q', "ㄐ"},
                    {'w', "ㄑ"}, {'e', "ㄒ"}, {'r', "ㄓ"}, {'t', "ㄔ"}, {'y', "ㄕ"}, {'u', "ㄖ"},
                    {'i', "ㄗ"}, {'o', "ㄘ"}, {'p', "ㄙ"}, {'a', "ㄧ"}, {'s', "ㄨ"}, {'d', "ㄩ"},
                    {'f', "ㄚ"}, {'g', "ㄛ"}, {'h', "ㄜ"}, {'j', "ㄝ"}, {'k', "ㄞ"}, {'l', "ㄟ"},
                    {';', "ㄠ"}, {'z', "ㄡ"}, {'x', "ㄢ"}, {'c', "ㄣ"}, {'v', "ㄤ"}, {'b', "ㄥ"},
                    {'n', "ㄦ"}, {'m', "ˊ"},  {',', "ˇ"},  {'.', "ˋ"},  {'/', "˙"}}));
  return layout;
}

const BpmfKeyboardLayout* BpmfKeyboardLayout::HanyuPinyinLayout() {
  static const auto* layout =
      new BpmfKeyboardLayout("HanyuPinyin", Family::OneComponentPerKey, KeyTable());
  return layout;
}

const std::array<const BpmfKeyboardLayout*, 6>& BpmfKeyboardLayout::AllLayouts() {
  static const std::array<const BpmfKeyboardLayout*, 6> layouts = {
      StandardLayout(), ETenLayout(), HsuLayout(),
      ETen26Layout(),   IBMLayout(),  HanyuPinyinLayout()};
  return layouts;
}

const BpmfKeyboardLayout* BpmfKeyboardLayout::LayoutForName(std::string_view name) {
  for (const BpmfKeyboardLayout* layout : AllLayouts()) {
    if (layout->name() == name) return layout;
  }
  return nullptr;
}

std::vector<Component> BpmfKeyboardLayout::componentsForKey(char key) const {
  auto it = keyToComponents_.find(key);
  return it == keyToComponents_.end() ? std::vector<Component>() : it->second;
}

char BpmfKeyboardLayout::keyForComponent(Component component) const {
  auto it = componentToKey_.find(component);
  return it == componentToKey_.end() ? 0 : it->second;
}

std::string BpmfKeyboardLayout::keysForSyllable(BpmfSyllable syllable) const {
  std::string keys;
  for (Component component : {syllable.consonantComponent(), syllable.middleVowelComponent(),
                              syllable.vowelComponent(), syllable.toneMarkComponent()}) {
    if (component == 0) continue;
    if (char key = keyForComponent(component)) keys += key;
  }
  return keys;
}

bool BpmfKeyboardLayout::isIOrUeKey(char key) const {
  return key != 0 && (key == keyForComponent(S::I) || key == keyForComponent(S::UE));
}

bool BpmfKeyboardLayout::isToneKey(char key) const {
  if (key == 0) return false;
  for (Component tone : {S::Tone2, S::Tone3, S::Tone4, S::Tone5}) {
    if (key == keyForComponent(tone)) return true;
  }
  return false;
}

BpmfSyllable BpmfKeyboardLayout::syllableForKeys(std::string_view keys) const {
  switch (family_) {
    case Family::OneComponentPerKey:
      return readOneComponentKeys(keys);
    case Family::SharedKeys:
      return readSharedKeys(keys);
    case Family::SharedKeysHsu:
      return withHsuReadings(readSharedKeys(keys));
  }
  return {};
}

BpmfSyllable BpmfKeyboardLayout::readOneComponentKeys(std::string_view keys) const {
  BpmfSyllable syllable;
  for (char key : keys) {
    for (Component component : componentsForKey(key)) syllable.overlay(BpmfSyllable(component));
  }
  return syllable;
}

namespace {

// Reads a key sequence on a layout whose letter keys carry two or three
// components, choosing each key's component from the keys around it.
class SharedKeyReader {
 public:
  SharedKeyReader(const BpmfKeyboardLayout& layout, std::string_view keys)
      : layout_(layout), keys_(keys) {}

  BpmfSyllable read() {
    for (size_t i = 0; i < keys_.size(); ++i) readKey(i);
    return syllable_;
  }

 private:
  void readKey(size_t i) {
    const std::vector<Component> components = layout_.componentsForKey(keys_[i]);
    if (components.empty()) return;
    if (components.size() == 1) {
      syllable_.overlay(BpmfSyllable(components[0]));
      return;
    }
    const BpmfSyllable head(components[0]);
    const BpmfSyllable follow(components[1]);
    const BpmfSyllable ending(components.size() > 2 ? components[2] : components[1]);
    if (readEKey(i, head, follow)) return;
    if (readPalatalKey(i, head, follow, ending)) return;
    if (keys_.size() == 1) {
      syllable_ = aloneReading(head, follow, ending);
      return;
    }
    syllable_.overlay(fittingComponent(i, head, follow, ending));
  }

  bool iOrUeBefore(size_t i) const {
    for (size_t j = 0; j < i; ++j) {
      if (layout_.isIOrUeKey(keys_[j])) return true;
    }
    return false;
  }
  bool iOrUeAfter(size_t i) const {
    for (size_t j = i + 1; j < keys_.size(); ++j) {
      if (layout_.isIOrUeKey(keys_[j])) return true;
    }
    return false;
  }

  // ㄝ only follows ㄧ or ㄩ; elsewhere its key means its other component.
  bool readEKey(size_t i, BpmfSyllable head, BpmfSyllable follow) {
    const bool headIsE = head.vowelComponent() == S::E;
    const bool followIsE = follow.vowelComponent() == S::E;
    if (headIsE == followIsE) return false;
    const BpmfSyllable e = headIsE ? head : follow;
    const BpmfSyllable other = headIsE ? follow : head;
    syllable_.overlay(iOrUeBefore(i) ? e : other);
    return true;
  }

  // ㄐ ㄑ ㄒ only come before ㄧ or ㄩ. A palatal key typed after another
  // component can only mean its last component.
  bool readPalatalKey(size_t i, BpmfSyllable head, BpmfSyllable follow, BpmfSyllable ending) {
    if (head.hasPalatalConsonant() == follow.hasPalatalConsonant()) return false;
    const BpmfSyllable palatal = head.hasPalatalConsonant() ? head : follow;
    const BpmfSyllable other = head.hasPalatalConsonant() ? follow : head;
    if (!syllable_.isEmpty()) {
      if (ending != follow) syllable_.overlay(ending);
    } else {
      syllable_ = iOrUeAfter(i) ? palatal : other;
    }
    return true;
  }

  // A key typed alone: a vowel or a consonant that stands alone (ㄓ to ㄙ)
  // first, then whatever makes a syllable.
  static BpmfSyllable aloneReading(BpmfSyllable head, BpmfSyllable follow, BpmfSyllable ending) {
    if (head.hasVowel() || follow.hasTone() || head.hasRetroflexOrDentalConsonant()) return head;
    if (follow.hasVowel() || ending.hasTone()) return follow;
    return ending;
  }

  // Otherwise the first component that still fits.
  BpmfSyllable fittingComponent(size_t i, BpmfSyllable head, BpmfSyllable follow,
                                BpmfSyllable ending) const {
    const Component mask = syllable_.componentMask();
    const bool toneOrEndNext = i + 1 == keys_.size() || layout_.isToneKey(keys_[i + 1]);
    if ((mask & head.componentMask()) == 0 && !toneOrEndNext) return head;
    if (toneOrEndNext && head.hasRetroflexOrDentalConsonant() && syllable_.isEmpty()) return head;
    const Component followMask = follow.componentMask();
    if (mask < followMask) return follow;
    if (mask == S::kVowelMask && followMask == S::kVowelMask) return head;
    return ending;
  }

  const BpmfKeyboardLayout& layout_;
  std::string_view keys_;
  BpmfSyllable syllable_;
};

}  // namespace

BpmfSyllable BpmfKeyboardLayout::readSharedKeys(std::string_view keys) const {
  return SharedKeyReader(*this, keys).read();
}

// Two readings of Hsu's keys that the context rules cannot tell: a lone ㄥ
// on the l key is ㄦ, and ㄍ before ㄧ or ㄩ is ㄐ typed on the g key.
BpmfSyllable BpmfKeyboardLayout::withHsuReadings(BpmfSyllable syllable) {
  if (syllable.withoutTone() == BpmfSyllable(S::ENG)) {
    return BpmfSyllable(static_cast<Component>(S::ERR | syllable.toneMarkComponent()));
  }
  if (syllable.consonantComponent() == S::G &&
      (syllable.middleVowelComponent() == S::I || syllable.middleVowelComponent() == S::UE)) {
    return BpmfSyllable(static_cast<Component>((syllable.value() & ~S::kConsonantMask) | S::J));
  }
  return syllable;
}

}  // namespace Kestova
