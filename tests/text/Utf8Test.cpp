#include "text/Utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace Kestova::Utf8 {
namespace {

using namespace std::string_literals;

// One row per kind of text: how many characters it has under the
// one-character-per-ill-formed-subsequence rule, and what sanitizing gives.
struct Row {
  const char* name;
  std::string text;
  bool valid;
  std::size_t characters;
  std::string sanitized;
};

const Row kRows[] = {
    {"empty", "", true, 0, ""},
    {"ascii", "abc", true, 3, "abc"},
    {"bopomofo and han", "ㄋㄧˇ你", true, 4, "ㄋㄧˇ你"},
    {"outside the basic plane", "\xF0\xA0\x80\x80x", true, 2, "\xF0\xA0\x80\x80x"},
    {"stray continuation byte",
     "a\x80"
     "b",
     false, 3,
     "a\uFFFD"
     "b"},
    {"big5 bytes", "\xB4\xFA\xB8\xD5", false, 4, "\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"truncated at the end", "你\xE5\xA5", false, 2, "你\uFFFD"},
    {"truncated before ascii", "\xE5\xA5z", false, 2, "\uFFFDz"},
    {"overlong slash", "\xC0\xAF", false, 2, "\uFFFD\uFFFD"},
    {"surrogate", "\xED\xA0\x80", false, 3, "\uFFFD\uFFFD\uFFFD"},
    {"beyond U+10FFFF", "\xF4\x90\x80\x80", false, 4, "\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"nul is a character", "a\0b"s, true, 3, "a\0b"s},
};

TEST(Utf8Test, ReadsEveryKindOfTextWithOnePolicy) {
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(isValid(row.text), row.valid);
    EXPECT_EQ(characterCount(row.text), row.characters);
    EXPECT_EQ(sanitized(row.text), row.sanitized);
    EXPECT_TRUE(isValid(sanitized(row.text)));
    // Walking character by character covers the text exactly.
    std::size_t offset = 0;
    std::size_t steps = 0;
    while (std::size_t length = characterLength(row.text, offset)) {
      EXPECT_TRUE(isCharacterBoundary(row.text, offset));
      offset += length;
      ++steps;
    }
    EXPECT_EQ(offset, row.text.size());
    EXPECT_EQ(steps, row.characters);
    EXPECT_EQ(offsetAfter(row.text, row.characters), row.text.size());
    std::string joined;
    for (std::string_view character : splitCharacters(row.text)) joined += character;
    EXPECT_EQ(joined, row.text);
    EXPECT_EQ(splitCharacters(row.text).size(), row.characters);
    EXPECT_EQ(charactersBefore(row.text, row.text.size()), row.characters);
  }
}

TEST(Utf8Test, OffsetsAndCountsAgreeInsideText) {
  const std::string text = "你a\x80好";  // 你 (3 bytes), a, a stray byte, 好
  EXPECT_EQ(offsetAfter(text, 0), 0u);
  EXPECT_EQ(offsetAfter(text, 1), 3u);
  EXPECT_EQ(offsetAfter(text, 3), 5u);
  EXPECT_EQ(offsetAfter(text, 99), text.size());
  EXPECT_EQ(charactersBefore(text, 3), 1u);
  EXPECT_EQ(charactersBefore(text, 5), 3u);
  // Inside 你: the character that starts before the offset counts.
  EXPECT_EQ(charactersBefore(text, 1), 1u);
  EXPECT_FALSE(isCharacterBoundary(text, 1));
  EXPECT_FALSE(isCharacterBoundary(text, 6));
  EXPECT_FALSE(isCharacterBoundary(text, text.size() + 1));
}

TEST(Utf8Test, PrefixFittingNeverCutsACharacter) {
  const std::string text = "ㄅㄆㄇ";  // three characters of three bytes
  EXPECT_EQ(prefixFitting(text, 0), "");
  EXPECT_EQ(prefixFitting(text, 2), "");
  EXPECT_EQ(prefixFitting(text, 3), "ㄅ");
  EXPECT_EQ(prefixFitting(text, 8), "ㄅㄆ");
  EXPECT_EQ(prefixFitting(text, 9), text);
  EXPECT_EQ(prefixFitting(text, 100), text);
}

TEST(Utf8Test, AppendsCodePointsAndReplacesNonScalars) {
  std::string text;
  for (char32_t c :
       {U'A', U'\u00E9', U'\u3105', U'\U00020000', char32_t{0xD800}, char32_t{0x110000}}) {
    appendCodePoint(text, c);
  }
  EXPECT_EQ(text, "A\u00E9\u3105\U00020000\uFFFD\uFFFD");
}

}  // namespace
}  // namespace Kestova::Utf8
