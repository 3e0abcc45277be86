#include "phonetics/ReadingPattern.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace Kestova {
namespace {

using Layout = BpmfKeyboardLayout;

// What a pattern reads as: its reading string, and "+" when its last
// syllable was ended, "~" when it was left open; "none" when it is none.
std::string shown(const std::optional<ReadingPattern>& pattern) {
  if (!pattern) return "none";
  return pattern->reading() + (pattern->lastSyllableEnded() ? "+" : "~");
}

TEST(ReadingPatternTest, ReadsBopomofoWithAndWithoutSeparators) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"ㄋㄧˇㄏㄠˇ", "ㄋㄧˇ-ㄏㄠˇ+"},
      {"ㄋㄧˇ-ㄏㄠˇ", "ㄋㄧˇ-ㄏㄠˇ+"},
      {" ㄋㄧˇ \tㄏㄠˇ ", "ㄋㄧˇ-ㄏㄠˇ+"},
      // A first-tone syllable has no mark: the next consonant starts anew.
      {"ㄐㄧㄚㄘˊ", "ㄐㄧㄚ-ㄘˊ+"},
      // Initials only, as a quick search types them.
      {"ㄐㄘ", "ㄐ-ㄘ~"},
      {"ㄐ-ㄘ-", "ㄐ-ㄘ+"},
      // A medial after a tone or a vowel begins the next syllable.
      {"ㄓㄨˋㄧㄣ", "ㄓㄨˋ-ㄧㄣ~"},
      {"ㄚㄧ", "ㄚ-ㄧ~"},
      {"ㄋㄧ", "ㄋㄧ~"},
      {"", "none"},
      {" - ", "none"},
      {"ni3", "none"},
      {"ㄋa", "none"},
      {"你好", "none"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shown(ReadingPattern::fromBopomofo(c.text)), c.expected) << c.text;
  }
}

TEST(ReadingPatternTest, ReadsKeysAsTheReadingBufferDoes) {
  const struct {
    const Layout* layout;
    const char* keys;
    const char* expected;
  } cases[] = {
      {Layout::StandardLayout(), "su3cl3", "ㄋㄧˇ-ㄏㄠˇ+"},
      // Space ends a first-tone syllable; a key of a part the syllable has
      // already begins the next one.
      {Layout::StandardLayout(), "ru8 h6", "ㄐㄧㄚ-ㄘˊ+"},
      {Layout::StandardLayout(), "ru8h6", "ㄐㄧㄚ-ㄘˊ+"},
      {Layout::StandardLayout(), "su3c", "ㄋㄧˇ-ㄏ~"},
      {Layout::StandardLayout(), "rh", "ㄐ-ㄘ~"},
      {Layout::ETenLayout(), "ne3hz3", "ㄋㄧˇ-ㄏㄠˇ+"},
      // Hsu's keys carry two components each; d, f, j and s end syllables.
      {Layout::HsuLayout(), "nefhwf", "ㄋㄧˇ-ㄏㄠˇ+"},
      {Layout::HanyuPinyinLayout(), "ni3hao3", "ㄋㄧˇ-ㄏㄠˇ+"},
      {Layout::HanyuPinyinLayout(), "ni3 hao", "ㄋㄧˇ-ㄏㄠ~"},
      // Not keys of the layout.
      {Layout::StandardLayout(), "SU3", "none"},
      {Layout::StandardLayout(), "su3!", "none"},
      {Layout::StandardLayout(), "", "none"},
      {Layout::StandardLayout(), "   ", "none"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(shown(ReadingPattern::fromKeys(c.keys, *c.layout)), c.expected)
        << c.layout->name() << " " << c.keys;
  }
}

TEST(ReadingPatternTest, FindsSyllablesThatHaveWhatThePatternNames) {
  const struct {
    const char* pattern;
    const char* reading;
    bool found;
  } cases[] = {
      {"ㄐㄘ", "ㄐㄧㄚ-ㄘˊ", true},
      {"ㄘˊ", "ㄐㄧㄚ-ㄘˊ", true},
      {"ㄘˋ", "ㄐㄧㄚ-ㄘˊ", false},
      // No tone mark: any tone.
      {"ㄐㄧㄚ", "ㄐㄧㄚˇ-ㄓㄤˇ", true},
      {"ㄐㄧㄚ", "ㄐㄧㄢ-ㄓㄤˇ", false},
      // The syllables one after another, anywhere in the reading.
      {"ㄏㄠ", "ㄋㄧˇ-ㄏㄠˇ", true},
      {"ㄏㄠ ㄋㄧ", "ㄋㄧˇ-ㄏㄠˇ", false},
      {"ㄋㄧ ㄏㄠ ㄇ", "ㄋㄧˇ-ㄏㄠˇ", false},
      {"ㄧ ㄏ", "ㄋㄧˇ-ㄏㄠˇ-ㄇㄚ˙", true},
      {"ㄨ", "ㄋㄧˇ-ㄏㄠˇ", false},
  };
  for (const auto& c : cases) {
    const std::optional<ReadingPattern> pattern = ReadingPattern::fromBopomofo(c.pattern);
    ASSERT_TRUE(pattern) << c.pattern;
    EXPECT_EQ(pattern->foundIn(c.reading), c.found) << c.pattern << " in " << c.reading;
  }
}

}  // namespace
}  // namespace Kestova
