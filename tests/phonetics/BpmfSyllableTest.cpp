#include "phonetics/BpmfSyllable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace Kestova {
namespace {

using S = BpmfSyllable;

// Every valid value of each field, "none" first.
constexpr S::Component kConsonants[] = {0,     S::B,  S::P, S::M, S::F, S::D, S::T, S::N,
                                        S::L,  S::G,  S::K, S::H, S::J, S::Q, S::X, S::ZH,
                                        S::CH, S::SH, S::R, S::Z, S::C, S::S};
constexpr S::Component kMedials[] = {0, S::I, S::U, S::UE};
constexpr S::Component kVowels[] = {0,     S::A,  S::O,  S::ER, S::E,   S::AI,  S::EI,
                                    S::AO, S::OU, S::AN, S::EN, S::ANG, S::ENG, S::ERR};
constexpr S::Component kTones[] = {S::Tone1, S::Tone2, S::Tone3, S::Tone4, S::Tone5};

TEST(BpmfSyllableTest, EverySyllableOfValidComponentsRoundTrips) {
  std::set<std::string> texts;
  for (auto c : kConsonants) {
    for (auto m : kMedials) {
      for (auto v : kVowels) {
        for (auto t : kTones) {
          S syllable(static_cast<S::Component>(c | m | v | t));
          std::string text = syllable.toComposedText();
          EXPECT_EQ(S::fromComposedText(text), syllable) << text;
          texts.insert(text);
          // Fields read back what went in.
          EXPECT_EQ(syllable.consonantComponent(), c);
          EXPECT_EQ(syllable.middleVowelComponent(), m);
          EXPECT_EQ(syllable.vowelComponent(), v);
          EXPECT_EQ(syllable.toneMarkComponent(), t);
        }
      }
    }
  }
  // Distinct syllables never share a text.
  EXPECT_EQ(texts.size(),
            std::size(kConsonants) * std::size(kMedials) * std::size(kVowels) * std::size(kTones));
}

TEST(BpmfSyllableTest, ComposedTextPutsComponentsInFieldOrder) {
  EXPECT_EQ(S::fromComposedText("ㄌㄩㄥˋ").value(), 0x1E68);
  EXPECT_EQ(S(0x1E68).toComposedText(), "ㄌㄩㄥˋ");
  EXPECT_EQ(S(S::M | S::A | S::Tone5).toComposedText(), "ㄇㄚ˙");
  EXPECT_EQ(S().toComposedText(), "");
  EXPECT_EQ(S(S::B | S::A).toComposedText(), "ㄅㄚ");  // first tone: no mark
  // Codes outside the component table have no symbol and are left out.
  EXPECT_EQ(S(0x001F | S::A).toComposedText(), "ㄚ");
}

TEST(BpmfSyllableTest, ParsingAcceptsAnyOrderAndLaterSymbolsWin) {
  const struct {
    const char* text;
    S::Component expected;
  } cases[] = {
      {"˙ㄜ", 0x2180},
      {"ㄜ˙", 0x2180},
      {"ㄅㄆ", 0x0002},
      {"ㄧㄅ", 0x0021},
      {"ㄅㄧㄚㄛ", S::B | S::I | S::O},
      {"ˊˇ", 0x1000},
      {"ㄅxㄧ", S::B},
      {"ㄅ一", S::B},  // a CJK ideograph that looks like ㄧ
      {"ㄅ-ㄆ", S::B},
      {"aㄅ", 0},
      {"", 0},
      {"ㄅ\xF0\x9F\x98\x80ㄧ", S::B},  // four-byte character
      {"ㄅ\xE3\x84", S::B},            // truncated three-byte character
      {"ㄅ\xC3\xA9ㄧ", S::B},          // two-byte character outside the table
      {"\x80\x80ㄅ", 0},               // stray continuation bytes
  };
  for (const auto& c : cases) {
    EXPECT_EQ(S::fromComposedText(c.text).value(), c.expected) << c.text;
  }
  EXPECT_EQ(S::fromComposedText("˙ㄜ").toComposedText(), "ㄜ˙");
}

TEST(BpmfSyllableTest, OverlayReplacesOnlyNonEmptyFields) {
  S syllable(0x0821);  // ㄅㄧˊ
  syllable.overlay(S(S::P));
  EXPECT_EQ(syllable.value(), 0x0822);
  syllable.overlay(S());
  EXPECT_EQ(syllable.value(), 0x0822);
  syllable.overlay(S(S::UE | S::Tone4));
  EXPECT_EQ(syllable.toComposedText(), "ㄆㄩˋ");
}

TEST(BpmfSyllableTest, PredicatesAndMasks) {
  EXPECT_TRUE(S().isEmpty());
  EXPECT_EQ(S().componentMask(), 0);
  EXPECT_TRUE(S(S::Tone3).isToneMarkerOnly());
  EXPECT_FALSE(S(S::A | S::Tone3).isToneMarkerOnly());
  EXPECT_FALSE(S(S::A).isToneMarkerOnly());
  EXPECT_EQ(S(S::B | S::I).componentMask(), 0x007F);
  EXPECT_EQ(S(S::A).componentMask(), 0x0780);
  EXPECT_GT(S(S::A).componentMask(), S(S::B | S::I).componentMask());
  EXPECT_EQ(S(S::B | S::I | S::A | S::Tone5).componentMask(), 0x3FFF);
  for (auto c : kConsonants) {
    S syllable(c);
    EXPECT_EQ(syllable.hasPalatalConsonant(), c == S::J || c == S::Q || c == S::X);
    EXPECT_EQ(syllable.hasRetroflexOrDentalConsonant(), c >= S::ZH);
  }
  EXPECT_EQ(S::symbolOfComponent(S::ERR), "ㄦ");
  EXPECT_EQ(S::symbolOfComponent(S::Tone1), "");
}

}  // namespace
}  // namespace Kestova
