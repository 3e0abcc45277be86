#include "engine/KeyNotation.h"

#include <gtest/gtest.h>

namespace Kestova {
namespace {

TEST(KeyNotationTest, ParsesCharactersNamedKeysAndModifiers) {
  auto keys = parseKeyNotation("s3<Space><S-Left><C-Enter><KP5><lt><C-\\><S-Tab><Down>");
  ASSERT_TRUE(keys.has_value());
  std::vector<Key> expected{
      Key::fromCharacter('s'),
      Key::fromCharacter('3'),
      Key::fromCharacter(Key::kSpace),
      Key::fromNamedKey(NamedKey::Left, true),
      Key::fromCharacter(Key::kEnter, false, true),
      Key::fromCharacter('5', false, false, true),
      Key::fromCharacter('<'),
      Key::fromCharacter('\\', false, true),
      Key::fromCharacter(Key::kTab, true),
      Key::fromNamedKey(NamedKey::Down),
  };
  EXPECT_EQ(*keys, expected);
}

TEST(KeyNotationTest, BracketsAroundSingleCharacters) {
  auto keys = parseKeyNotation("<>><C-,><C-->");
  ASSERT_TRUE(keys.has_value());
  ASSERT_EQ(keys->size(), 3u);
  EXPECT_EQ((*keys)[0], Key::fromCharacter('>'));
  EXPECT_EQ((*keys)[1], Key::fromCharacter(',', false, true));
  EXPECT_EQ((*keys)[2], Key::fromCharacter('-', false, true));
}

TEST(KeyNotationTest, RejectsMalformedInput) {
  for (const char* bad : {"<Space", "<Nope>", "<S->", "a\tb", "<>"}) {
    std::string error;
    EXPECT_FALSE(parseKeyNotation(bad, &error).has_value()) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

TEST(KeyNotationTest, FormatRoundTrips) {
  const std::string text = "ab<Space><S-Left><C-Enter><KP*><lt><C-\\><S-Tab><End><Other><Esc>";
  auto keys = parseKeyNotation(text);
  ASSERT_TRUE(keys.has_value());
  EXPECT_EQ(formatKeys(*keys), text);
  for (int c = 0x21; c <= 0x7e; ++c) {
    for (int mods = 0; mods < 8; ++mods) {
      Key k = Key::fromCharacter(static_cast<char>(c), mods & 1, mods & 2, mods & 4);
      auto back = parseKeyNotation(formatKey(k));
      ASSERT_TRUE(back.has_value()) << formatKey(k);
      ASSERT_EQ(back->size(), 1u);
      EXPECT_EQ((*back)[0], k) << formatKey(k);
    }
  }
}

}  // namespace
}  // namespace Kestova
