// The Bopomofo syllable as a 16-bit value, and its composed text ("ㄋㄧˇ"),
// which is the reading every other part of the system stores and looks up.
// It owns nothing beyond its value. The layers above phonetics (notations,
// the engine, the module), the data builder, tools and tests may use it; the
// grid, beside phonetics, knows readings only as text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace Kestova {

// One Bopomofo syllable packed into 16 bits, one field per component:
//
//   bits 0-4   consonant (initial)   0 = none, 1-21
//   bits 5-6   medial (ㄧ ㄨ ㄩ)      0 = none, 0x0020, 0x0040, 0x0060
//   bits 7-10  vowel (final)         0 = none, 0x0080-0x0680 in steps of 0x0080
//   bits 11-13 tone                  0 = first tone (no mark), 0x0800-0x2000
//
// A "component value" is a syllable with exactly one non-zero field; the
// keyboard layouts store component values. The value 0 is the empty syllable.
class BpmfSyllable {
 public:
  using Component = std::uint16_t;

  static constexpr Component kConsonantMask = 0x001F;
  static constexpr Component kMiddleVowelMask = 0x0060;
  static constexpr Component kVowelMask = 0x0780;
  static constexpr Component kToneMarkMask = 0x3800;

  // Consonants ㄅ ㄆ ㄇ ㄈ ㄉ ㄊ ㄋ ㄌ ㄍ ㄎ ㄏ ㄐ ㄑ ㄒ ㄓ ㄔ ㄕ ㄖ ㄗ ㄘ ㄙ.
  static constexpr Component B = 0x0001, P = 0x0002, M = 0x0003, F = 0x0004, D = 0x0005, T = 0x0006,
                             N = 0x0007, L = 0x0008, G = 0x0009, K = 0x000A, H = 0x000B, J = 0x000C,
                             Q = 0x000D, X = 0x000E, ZH = 0x000F, CH = 0x0010, SH = 0x0011,
                             R = 0x0012, Z = 0x0013, C = 0x0014, S = 0x0015;
  // Medials ㄧ ㄨ ㄩ.
  static constexpr Component I = 0x0020, U = 0x0040, UE = 0x0060;
  // Vowels ㄚ ㄛ ㄜ ㄝ ㄞ ㄟ ㄠ ㄡ ㄢ ㄣ ㄤ ㄥ ㄦ (ER is ㄜ, E is ㄝ, ERR is ㄦ).
  static constexpr Component A = 0x0080, O = 0x0100, ER = 0x0180, E = 0x0200, AI = 0x0280,
                             EI = 0x0300, AO = 0x0380, OU = 0x0400, AN = 0x0480, EN = 0x0500,
                             ANG = 0x0580, ENG = 0x0600, ERR = 0x0680;
  // Tones: first (no mark, no bits), ˊ, ˇ, ˋ and the neutral ˙.
  static constexpr Component Tone1 = 0x0000, Tone2 = 0x0800, Tone3 = 0x1000, Tone4 = 0x1800,
                             Tone5 = 0x2000;

  constexpr BpmfSyllable() = default;
  // Stores the value unchanged; also used to make a syllable of one component.
  constexpr explicit BpmfSyllable(Component value) : value_(value) {}

  constexpr Component value() const { return value_; }

  constexpr Component consonantComponent() const { return value_ & kConsonantMask; }
  constexpr Component middleVowelComponent() const { return value_ & kMiddleVowelMask; }
  constexpr Component vowelComponent() const { return value_ & kVowelMask; }
  constexpr Component toneMarkComponent() const { return value_ & kToneMarkMask; }

  constexpr bool isEmpty() const { return value_ == 0; }
  constexpr bool hasConsonant() const { return consonantComponent() != 0; }
  constexpr bool hasMiddleVowel() const { return middleVowelComponent() != 0; }
  constexpr bool hasVowel() const { return vowelComponent() != 0; }
  constexpr bool hasTone() const { return toneMarkComponent() != 0; }
  // A tone mark and nothing else.
  constexpr bool isToneMarkerOnly() const { return hasTone() && withoutTone().isEmpty(); }
  // The same syllable in the first tone.
  constexpr BpmfSyllable withoutTone() const {
    return BpmfSyllable(static_cast<Component>(value_ & ~kToneMarkMask));
  }

  // ㄐ ㄑ ㄒ.
  constexpr bool hasPalatalConsonant() const {
    return consonantComponent() >= J && consonantComponent() <= X;
  }
  // ㄓ ㄔ ㄕ ㄖ ㄗ ㄘ ㄙ.
  constexpr bool hasRetroflexOrDentalConsonant() const {
    return consonantComponent() >= ZH && consonantComponent() <= S;
  }

  // For every field that is non-zero in `other`, takes other's field; the
  // remaining fields are kept. Never clears a field.
  constexpr BpmfSyllable& overlay(BpmfSyllable other) {
    if (other.hasConsonant()) value_ = (value_ & ~kConsonantMask) | other.consonantComponent();
    if (other.hasMiddleVowel())
      value_ = (value_ & ~kMiddleVowelMask) | other.middleVowelComponent();
    if (other.hasVowel()) value_ = (value_ & ~kVowelMask) | other.vowelComponent();
    if (other.hasTone()) value_ = (value_ & ~kToneMarkMask) | other.toneMarkComponent();
    return *this;
  }

  // The OR of the field masks of the non-zero fields; compared as an unsigned
  // number, a mask with a later field outranks every mask without it.
  constexpr Component componentMask() const {
    Component mask = 0;
    if (hasConsonant()) mask |= kConsonantMask;
    if (hasMiddleVowel()) mask |= kMiddleVowelMask;
    if (hasVowel()) mask |= kVowelMask;
    if (hasTone()) mask |= kToneMarkMask;
    return mask;
  }

  constexpr bool operator==(const BpmfSyllable&) const = default;

  // The Bopomofo symbols of the syllable in the order consonant, medial,
  // vowel, tone ("ㄌㄩㄥˋ"); the empty syllable gives "".
  std::string toComposedText() const;

  // Reads Bopomofo symbols from the start of `text` until the text ends or a
  // character is not a Bopomofo symbol or tone mark. Symbols may come in any
  // order; a later symbol of the same field replaces an earlier one. Never
  // fails: the result is what was read so far.
  static BpmfSyllable fromComposedText(std::string_view text);

  // The symbol of one component value ("ㄅ", "ˇ"); empty if there is none.
  static std::string_view symbolOfComponent(Component component);

 private:
  Component value_ = 0;
};

}  // namespace Kestova
