#include "notations/BrailleConverter.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "phonetics/BpmfSyllable.h"

namespace Kestova {
namespace {

constexpr auto kUnicode = BrailleEncoding::Unicode;
constexpr auto kAscii = BrailleEncoding::Ascii;

std::string syllableError(std::string_view text) {
  try {
    convertSyllableToBraille(text, kUnicode);
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(BrailleConverterTest, Syllables) {
  const struct {
    const char* bopomofo;
    const char* unicode;
    const char* ascii;
  } cases[] = {
      {"ㄋㄧˇ", "⠝⠡⠈", "n*`"},        {"ㄅㄚ", "⠕⠜⠄", "o>'"},    {"ㄓ", "⠁⠱⠄", "a:'"},
      {"ㄕˋ", "⠊⠱⠐", "i:\""},         {"ㄅ", "⠕⠄", "o'"},        {"ㄐㄧㄚ", "⠅⠾⠄", "k)'"},
      {"ㄑㄩㄢˊ", "⠚⠘⠂", "j~1"},      {"ㄍㄨㄛˊ", "⠅⠒⠂", "k31"}, {"ㄧㄠˋ", "⠪⠐", "{\""},
      {"ㄩㄝˋ", "⠦⠐", "8\""},         {"ㄦˊ", "⠱⠂", ":1"},       {"ㄅˇㄚ", "⠕⠜⠈", "o>`"},
      {" \tㄇㄚ˙\r\n", "⠍⠜⠁", "m>a"}, {"ㄌㄩ", "⠉⠳⠄", "c|'"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(convertSyllableToBraille(c.bopomofo, kUnicode), c.unicode) << c.bopomofo;
    EXPECT_EQ(convertSyllableToBraille(c.bopomofo, kAscii), c.ascii) << c.bopomofo;
  }
}

TEST(BrailleConverterTest, SyllableErrorsInRuleOrder) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"", "Invalid Bopomofo length"},
      {" \t ", "Invalid Bopomofo length"},
      {"ㄅㄆ", "Invalid Bopomofo: multiple consonants"},
      {"ㄧㄅ", "Invalid Bopomofo: consonant after vowel"},
      {"ㄚㄅ", "Invalid Bopomofo: consonant after vowel"},
      {"ㄧㄧ", "Invalid Bopomofo: multiple middle vowels"},
      {"ㄚㄧ", "Invalid Bopomofo: middle vowel after vowel"},
      {"ㄚㄛ", "Invalid Bopomofo: multiple vowels"},
      {"ㄩㄛ", "Invalid Bopomofo: invalid combination"},
      {"ㄅㄚˇˇ", "Invalid Bopomofo: multiple tones"},
      {"ˇㄅ", "Invalid Bopomofo: tone without consonant, middle vowel, or vowel"},
      {"ㄅx", "Invalid Bopomofo: invalid character"},
      {"ㄅ ㄚ", "Invalid Bopomofo: invalid character"},
      {"ㄅ\xE3", "Invalid Bopomofo: invalid character"},
  };
  for (const auto& c : cases) EXPECT_EQ(syllableError(c.text), c.message) << c.text;
}

TEST(BrailleConverterTest, EveryValidMedialAndFinalPairConverts) {
  // 22 pairs have a cell of their own; every other pair is refused.
  using S = BpmfSyllable;
  int valid = 0;
  for (S::Component medial : {S::I, S::U, S::UE}) {
    for (S::Component vowel = S::A; vowel <= S::ERR; vowel += 0x80) {
      std::string text = S(static_cast<S::Component>(medial | vowel)).toComposedText();
      std::string error = syllableError(text);
      if (error == "(no error)") {
        ++valid;
        // One cell for the pair, one for the tone.
        EXPECT_EQ(convertSyllableToBraille(text, kAscii).size(), 2u) << text;
      } else {
        EXPECT_EQ(error, "Invalid Bopomofo: invalid combination") << text;
      }
    }
  }
  EXPECT_EQ(valid, 22);
}

TEST(BrailleConverterTest, Text) {
  const struct {
    const char* text;
    const char* unicode;
  } cases[] = {
      // Bopomofo runs.
      {"ㄋㄧˇㄏㄠˇ", "⠝⠡⠈⠗⠩⠈"},
      {"ㄅㄚ ㄆㄚ", "⠕⠜⠄⠏⠜⠄"},
      // Numbers.
      {"123", "⠼⠂⠆⠒"},
      {"12.5", "⠼⠂⠆⠨⠢"},
      {"50%", "⠼⠢⠴⠈⠴"},
      {"25°C", "⠼⠆⠢⠘⠨⠡ ⠰⠠⠉"},
      {"1.2.3", "⠼⠂⠨⠆⠨⠒"},
      // Letters.
      {"Hello", "⠠⠓⠑⠇⠇⠕"},
      {"ABC", "⠠⠁⠠⠃⠠⠉"},
      {"a...", "⠁⠲⠲⠲"},
      // Mixtures.
      {"ㄅㄚ123", "⠕⠜⠄ ⠼⠂⠆⠒"},
      {"123ㄅㄚ", "⠼⠂⠆⠒ ⠕⠜⠄"},
      {"a1", "⠁ ⠼⠂"},
      {"1a", "⠼⠂ ⠁"},
      {"abc.", "⠁⠃⠉⠲"},
      {"a，b", "⠁ ⠆ ⠃"},
      {"ㄋㄧˇ，ㄏㄠˇ", "⠝⠡⠈⠆⠗⠩⠈"},
      // Spaces.
      {"a  b", "⠁ ⠃"},
      {" a", "⠁"},
      // ASCII punctuation.
      {"!", " ⠖"},
      {"(a)", " ⠶⠁⠶"},
      {"ㄅㄚ(a)", "⠕⠜⠄⠶⠁⠶"},
      {"a!", "⠁⠖"},
      {"1!", "⠼⠂  ⠖"},
      {"1 !", "⠼⠂  ⠖"},
      // What cannot be converted is copied.
      {"中", "中"},
      {"ㄅㄚ中ㄆ", "⠕⠜⠄ 中⠏⠄"},
      {"ˊ", "ˊ"},
      {"", ""},
      {"「ㄅㄚ」", "⠰⠤⠕⠜⠄⠤⠆"},
      {"\xFF"
       "a",
       "\xFF⠁"},  // a stray byte is copied, not read past
      {"ㄅ\xE3\x84", "⠕⠄ \xE3\x84"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(convertTextToBraille(c.text, kUnicode), c.unicode) << c.text;
}

TEST(BrailleConverterTest, TextInAscii) {
  const struct {
    const char* text;
    const char* ascii;
  } cases[] = {
      {"ㄋㄧˇ，ㄏㄠˇ", "n*`2r%`"},
      {"123", "#123"},
      {"Hello", ",hello"},
      {"50%", "#50`%"},
      {"25°C", "#25~.* ;,c"},
      {"a‘b’", "a8b0"},
      {"「ㄅ」『』〔〕", ";-o'-28800``(``)"},
      {"ㄅ：…※", "o'33'''`#"},
      {"·╴—﹏", ".|---~"},
  };
  for (const auto& c : cases) EXPECT_EQ(convertTextToBraille(c.text, kAscii), c.ascii) << c.text;
}

}  // namespace
}  // namespace Kestova
