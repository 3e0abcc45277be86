#include "phonetics/BpmfKeyboardLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "phonetics/HanyuPinyin.h"

namespace Kestova {
namespace {

using S = BpmfSyllable;
using Layout = BpmfKeyboardLayout;

// All 41 components in field order: consonants, medials, vowels, tones.
constexpr S::Component kAllComponents[] = {
    S::B,  S::P,   S::M,   S::F,   S::D,     S::T,     S::N,     S::L,    S::G,  S::K,  S::H,
    S::J,  S::Q,   S::X,   S::ZH,  S::CH,    S::SH,    S::R,     S::Z,    S::C,  S::S,  S::I,
    S::U,  S::UE,  S::A,   S::O,   S::ER,    S::E,     S::AI,    S::EI,   S::AO, S::OU, S::AN,
    S::EN, S::ANG, S::ENG, S::ERR, S::Tone2, S::Tone3, S::Tone4, S::Tone5};

struct LayoutKeys {
  const Layout* layout;
  // The key of each component of kAllComponents, in the same order.
  std::string keys;
  size_t mappedKeyCount;
};

std::vector<LayoutKeys> layoutKeys() {
  return {
      {Layout::StandardLayout(), "1qaz2wsxedcrfv5tgbyhnujm8ik,9ol.0p;/-6347", 41},
      {Layout::ETenLayout(), "bpmfdtnlvkhg7c,./j;'sexuaorwiqzy890-=2341", 41},
      {Layout::IBMLayout(), "1234567890-qwertyuiopasdfghjkl;zxcvbnm,./", 41},
      {Layout::HsuLayout(), "bpmfdtnlgkhjvcjvcrzasexuyhgeiawomnklldfjs", 25},
      {Layout::ETen26Layout(), "bpmfdtnlvkhgvcgycjqwsexuaorwiqzpmntlhfjkd", 26},
  };
}

TEST(BpmfKeyboardLayoutTest, EveryComponentSitsOnItsKey) {
  for (const auto& [layout, keys, mappedKeyCount] : layoutKeys()) {
    ASSERT_EQ(keys.size(), std::size(kAllComponents)) << layout->name();
    for (size_t i = 0; i < keys.size(); ++i) {
      S::Component component = kAllComponents[i];
      EXPECT_EQ(layout->keyForComponent(component), keys[i])
          << layout->name() << " " << S::symbolOfComponent(component);
      auto onKey = layout->componentsForKey(keys[i]);
      EXPECT_NE(std::find(onKey.begin(), onKey.end(), component), onKey.end());
    }
    size_t mapped = 0;
    for (int c = 0; c < 256; ++c) {
      auto components = layout->componentsForKey(static_cast<char>(c));
      if (components.empty()) continue;
      ++mapped;
      EXPECT_NE(keys.find(static_cast<char>(c)), std::string::npos) << layout->name() << " " << c;
      // Multi-component keys list each component once, in different fields
      // or at least different values.
      for (auto component : components) {
        EXPECT_EQ(layout->keyForComponent(component), static_cast<char>(c));
      }
    }
    EXPECT_EQ(mapped, mappedKeyCount) << layout->name();
  }
}

TEST(BpmfKeyboardLayoutTest, MultiComponentKeysKeepTheirOrder) {
  EXPECT_EQ(Layout::HsuLayout()->componentsForKey('l'),
            (std::vector<S::Component>{S::L, S::ENG, S::ERR}));
  EXPECT_EQ(Layout::HsuLayout()->componentsForKey('j'),
            (std::vector<S::Component>{S::J, S::ZH, S::Tone4}));
  EXPECT_EQ(Layout::ETen26Layout()->componentsForKey('g'),
            (std::vector<S::Component>{S::ZH, S::J}));
  EXPECT_TRUE(Layout::HsuLayout()->componentsForKey('q').empty());
  EXPECT_TRUE(Layout::StandardLayout()->componentsForKey('U').empty());
  EXPECT_EQ(Layout::StandardLayout()->keyForComponent(S::Tone1), 0);
}

// Every syllable of Mandarin in every tone (and lone ㄝ), as Hanyu Pinyin
// reads it.
std::vector<S> everySyllable() {
  std::vector<S> syllables;
  std::ifstream in(KESTOVA_TEST_DATA_DIR "/phonetics/mandarin-syllables.txt");
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line.front() == '#') continue;
    for (char tone = '1'; tone <= '5'; ++tone) syllables.push_back(fromPinyin(line + tone));
  }
  for (S::Component tone : {S::Tone1, S::Tone2, S::Tone3, S::Tone4, S::Tone5}) {
    syllables.emplace_back(static_cast<S::Component>(S::E | tone));
  }
  return syllables;
}

// Typing a syllable's keys gives the syllable back on every layout. The
// shared-key layouts cannot tell three finals typed alone from the other
// component of their key (the Hsu e key alone is ㄧ, and so on): those are
// listed as what they are.
TEST(BpmfKeyboardLayoutTest, EverySyllableRoundTripsThroughItsKeys) {
  const std::vector<S> syllables = everySyllable();
  ASSERT_GT(syllables.size(), 2000u);
  const std::map<const Layout*, std::vector<S::Component>> aloneFinalsNotTyped = {
      {Layout::HsuLayout(), {S::E, S::EI, S::ENG}},
      {Layout::ETen26Layout(), {S::E, S::EI}},
  };
  for (const Layout* layout : Layout::AllLayouts()) {
    if (layout == Layout::HanyuPinyinLayout()) continue;
    const auto exceptions = aloneFinalsNotTyped.find(layout);
    for (S syllable : syllables) {
      const std::string keys = layout->keysForSyllable(syllable);
      const bool untypable = exceptions != aloneFinalsNotTyped.end() &&
                             std::count(exceptions->second.begin(), exceptions->second.end(),
                                        syllable.withoutTone().value()) > 0;
      EXPECT_EQ(layout->syllableForKeys(keys) == syllable, !untypable)
          << layout->name() << " " << syllable.toComposedText() << " " << keys;
      if (exceptions == aloneFinalsNotTyped.end()) {
        // One key per component: the order of the keys does not matter.
        std::string reversed(keys.rbegin(), keys.rend());
        EXPECT_EQ(layout->syllableForKeys(reversed), syllable) << layout->name() << " " << keys;
      }
    }
  }
}

TEST(BpmfKeyboardLayoutTest, ContextRulesOfSharedKeys) {
  const struct {
    const Layout* layout;
    const char* keys;
    const char* bopomofo;
    const char* derivedKeys;  // keysForSyllable of the result
  } cases[] = {
      {Layout::HsuLayout(), "e", "ㄧ", "e"},
      {Layout::HsuLayout(), "ee", "ㄧㄝ", "ee"},
      {Layout::HsuLayout(), "l", "ㄦ", "l"},
      {Layout::HsuLayout(), "lf", "ㄦˇ", "lf"},
      {Layout::HsuLayout(), "bl", "ㄅㄥ", "bl"},
      {Layout::HsuLayout(), "el", "ㄧㄥ", "el"},
      {Layout::HsuLayout(), "lel", "ㄌㄧㄥ", "lel"},
      {Layout::HsuLayout(), "g", "ㄜ", "g"},
      {Layout::HsuLayout(), "gl", "ㄍㄥ", "gl"},
      {Layout::HsuLayout(), "ge", "ㄐㄧ", "je"},
      {Layout::HsuLayout(), "gej", "ㄐㄧˋ", "jej"},
      {Layout::HsuLayout(), "gek", "ㄐㄧㄤ", "jek"},
      {Layout::HsuLayout(), "keg", "ㄎㄧㄜ", "keg"},
      {Layout::HsuLayout(), "j", "ㄓ", "j"},
      {Layout::HsuLayout(), "jf", "ㄓˇ", "jf"},
      {Layout::HsuLayout(), "jx", "ㄓㄨ", "jx"},
      {Layout::HsuLayout(), "jxd", "ㄓㄨˊ", "jxd"},
      {Layout::HsuLayout(), "m", "ㄢ", "m"},
      {Layout::HsuLayout(), "bm", "ㄅㄢ", "bm"},
      {Layout::HsuLayout(), "bmd", "ㄅㄢˊ", "bmd"},
      {Layout::HsuLayout(), "n", "ㄣ", "n"},
      {Layout::HsuLayout(), "h", "ㄛ", "h"},
      {Layout::HsuLayout(), "hh", "ㄏㄛ", "hh"},
      {Layout::HsuLayout(), "d", "ㄉ", "d"},
      {Layout::HsuLayout(), "s", "ㄙ", "s"},
      {Layout::HsuLayout(), "a", "ㄘ", "a"},
      {Layout::HsuLayout(), "ad", "ㄘˊ", "ad"},
      {Layout::HsuLayout(), "yl", "ㄌㄚ", "ly"},
      {Layout::HsuLayout(), "sc", "ㄙ", "s"},
      {Layout::HsuLayout(), "cvs", "ㄕ˙", "cs"},
      {Layout::HsuLayout(), "vxg", "ㄔㄨㄜ", "vxg"},
      {Layout::HsuLayout(), "qbQ", "ㄅ", "b"},
      {Layout::ETen26Layout(), "g", "ㄓ", "g"},
      {Layout::ETen26Layout(), "ge", "ㄐㄧ", "ge"},
      {Layout::ETen26Layout(), "gej", "ㄐㄧˇ", "gej"},
      {Layout::ETen26Layout(), "geg", "ㄐㄧ", "ge"},
      {Layout::ETen26Layout(), "gj", "ㄓˇ", "gj"},
      {Layout::ETen26Layout(), "v", "ㄍ", "v"},
      {Layout::ETen26Layout(), "ve", "ㄑㄧ", "ve"},
      {Layout::ETen26Layout(), "vu", "ㄑㄩ", "vu"},
      {Layout::ETen26Layout(), "w", "ㄘ", "w"},
      {Layout::ETen26Layout(), "ew", "ㄧㄝ", "ew"},
      {Layout::ETen26Layout(), "xw", "ㄘㄨ", "wx"},
      {Layout::ETen26Layout(), "p", "ㄡ", "p"},
      {Layout::ETen26Layout(), "bp", "ㄅㄡ", "bp"},
      {Layout::ETen26Layout(), "d", "ㄉ", "d"},
      {Layout::ETen26Layout(), "dd", "˙", "d"},
      {Layout::ETen26Layout(), "j", "ㄖ", "j"},
      {Layout::ETen26Layout(), "bj", "ㄅˇ", "bj"},
      {Layout::ETen26Layout(), "baj", "ㄅㄚˇ", "baj"},
      {Layout::ETen26Layout(), "h", "ㄦ", "h"},
      {Layout::ETen26Layout(), "eh", "ㄧㄦ", "eh"},
      {Layout::ETen26Layout(), "rh", "ㄏㄜ", "hr"},
      {Layout::ETen26Layout(), "k", "ㄎ", "k"},
      {Layout::ETen26Layout(), "ak", "ㄚˋ", "ak"},
      {Layout::ETen26Layout(), "l", "ㄥ", "l"},
      {Layout::ETen26Layout(), "al", "ㄌㄚ", "la"},
      {Layout::ETen26Layout(), "t", "ㄤ", "t"},
      {Layout::ETen26Layout(), "at", "ㄊㄚ", "ta"},
      {Layout::ETen26Layout(), "ut", "ㄩㄤ", "ut"},
      {Layout::ETen26Layout(), "q", "ㄗ", "q"},
      {Layout::ETen26Layout(), "qj", "ㄗˇ", "qj"},
      {Layout::ETen26Layout(), "eq", "ㄧㄟ", "eq"},
      {Layout::ETen26Layout(), "gq", "ㄓㄟ", "gq"},
      {Layout::ETen26Layout(), "A", "", ""},
      {Layout::StandardLayout(), "1u3", "ㄅㄧˇ", "1u3"},
      {Layout::StandardLayout(), "u1B", "ㄅㄧ", "1u"},
      {Layout::HanyuPinyinLayout(), "ma3", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.layout->name() + " " + c.keys);
    S syllable = c.layout->syllableForKeys(c.keys);
    EXPECT_EQ(syllable.toComposedText(), c.bopomofo);
    EXPECT_EQ(c.layout->keysForSyllable(syllable), c.derivedKeys);
  }
  EXPECT_TRUE(Layout::HsuLayout()->syllableForKeys("").isEmpty());
  EXPECT_EQ(Layout::HanyuPinyinLayout()->keysForSyllable(S::fromComposedText("ㄇㄚˇ")), "");
}

TEST(BpmfKeyboardLayoutTest, ALaterKeyTakesOverASharedComponent) {
  Layout layout("Test", Layout::Family::SharedKeys,
                {{'b', {S::B}}, {'a', {S::B, S::A}}, {'c', {S::A}}});
  EXPECT_EQ(layout.keyForComponent(S::B), 'b');
  EXPECT_EQ(layout.keyForComponent(S::A), 'c');
  EXPECT_EQ(layout.keysForSyllable(S(S::B | S::A | S::Tone2)), "bc");  // ˊ has no key
}

TEST(BpmfKeyboardLayoutTest, LayoutsAreSharedAndFoundByName) {
  EXPECT_EQ(Layout::HsuLayout(), Layout::HsuLayout());
  for (const Layout* layout :
       {Layout::StandardLayout(), Layout::ETenLayout(), Layout::HsuLayout(), Layout::ETen26Layout(),
        Layout::IBMLayout(), Layout::HanyuPinyinLayout()}) {
    EXPECT_EQ(Layout::LayoutForName(layout->name()), layout);
  }
  EXPECT_EQ(Layout::LayoutForName("Dvorak"), nullptr);
  EXPECT_EQ(Layout::LayoutForName("hsu"), nullptr);
}

}  // namespace
}  // namespace Kestova
