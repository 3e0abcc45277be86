#include "phonetics/BpmfComposer.h"

#include <gtest/gtest.h>

#include <string>

namespace Kestova {
namespace {

using Layout = BpmfKeyboardLayout;

std::string typed(BpmfComposer& composer, std::string_view keys) {
  for (char key : keys) composer.addKey(key);
  return composer.syllable().toComposedText();
}

TEST(BpmfComposerTest, StartsEmptyOnTheStandardLayout) {
  BpmfComposer composer;
  EXPECT_EQ(composer.layout(), Layout::StandardLayout());
  EXPECT_TRUE(composer.isEmpty());
  EXPECT_FALSE(composer.isPinyinMode());
  EXPECT_EQ(composer.displayText(), "");
}

TEST(BpmfComposerTest, StandardLayoutKeysAndBackspace) {
  BpmfComposer composer;
  EXPECT_EQ(typed(composer, "1u3"), "ㄅㄧˇ");
  EXPECT_EQ(composer.displayText(), "ㄅㄧˇ");
  composer.removeLastKey();
  EXPECT_EQ(composer.syllable().toComposedText(), "ㄅㄧ");
  composer.removeLastKey();
  composer.removeLastKey();
  EXPECT_TRUE(composer.isEmpty());
  composer.removeLastKey();  // nothing left to remove
  EXPECT_TRUE(composer.isEmpty());

  EXPECT_EQ(typed(composer, "u1"), "ㄅㄧ");  // fields, not typing order
  EXPECT_FALSE(composer.acceptsKey('U'));
  EXPECT_FALSE(composer.addKey(' '));
  EXPECT_EQ(composer.syllable().toComposedText(), "ㄅㄧ");
  composer.reset();
  EXPECT_TRUE(composer.isEmpty());
  EXPECT_EQ(composer.layout(), Layout::StandardLayout());
}

TEST(BpmfComposerTest, SharedKeyLayoutsReadTheDerivedKeysAgain) {
  BpmfComposer composer;
  composer.setLayout(Layout::ETen26Layout());
  EXPECT_EQ(typed(composer, "x"), "ㄨ");
  EXPECT_EQ(typed(composer, "w"), "ㄘㄨ");
  composer.removeLastKey();  // derived keys are "wx": x goes
  EXPECT_EQ(composer.syllable().toComposedText(), "ㄘ");

  composer.reset();
  composer.setLayout(Layout::HsuLayout());
  EXPECT_EQ(typed(composer, "g"), "ㄜ");
  EXPECT_EQ(typed(composer, "e"), "ㄐㄧ");
  composer.removeLastKey();  // "je" -> "j", read alone as ㄓ
  EXPECT_EQ(composer.syllable().toComposedText(), "ㄓ");
  for (char key : {'q', 'Q', 'B'}) EXPECT_FALSE(composer.acceptsKey(key)) << key;
}

TEST(BpmfComposerTest, PinyinModeKeepsLettersAndOneToneDigit) {
  BpmfComposer composer;
  composer.setLayout(Layout::HanyuPinyinLayout());
  EXPECT_TRUE(composer.isPinyinMode());
  EXPECT_FALSE(composer.acceptsKey('3'));  // a tone digit needs letters first
  EXPECT_TRUE(composer.addKey('M'));
  EXPECT_EQ(composer.pinyinLetters(), "m");
  EXPECT_EQ(typed(composer, "a3"), "ㄇㄚˇ");
  EXPECT_EQ(composer.displayText(), "ma3");
  EXPECT_FALSE(composer.acceptsKey('n'));  // no letters after the tone
  EXPECT_TRUE(composer.addKey('4'));
  EXPECT_EQ(composer.pinyinLetters(), "ma34");
  EXPECT_EQ(composer.syllable().toComposedText(), "ㄇㄚˇ");
  for (char key : {'1', ' ', '6', '0', '\'', '-'}) EXPECT_FALSE(composer.acceptsKey(key)) << key;

  composer.reset();
  EXPECT_EQ(typed(composer, "ma"), "ㄇㄚ");
  composer.removeLastKey();
  EXPECT_EQ(composer.pinyinLetters(), "m");
  EXPECT_EQ(composer.syllable().toComposedText(), "ㄇ");
  composer.removeLastKey();
  EXPECT_EQ(composer.pinyinLetters(), "");
  EXPECT_TRUE(composer.isEmpty());
}

TEST(BpmfComposerTest, LayoutChangesSwitchPinyinModeByIdentity) {
  BpmfComposer composer;
  composer.setLayout(Layout::HanyuPinyinLayout());
  typed(composer, "zh");
  composer.setLayout(Layout::StandardLayout());
  EXPECT_FALSE(composer.isPinyinMode());
  EXPECT_EQ(composer.syllable().toComposedText(), "ㄓ");  // the syllable stays
  composer.reset();
  composer.setLayout(Layout::HanyuPinyinLayout());
  EXPECT_EQ(composer.pinyinLetters(), "");

  // A layout merely named like the pinyin layout is not it.
  Layout lookalike("HanyuPinyin", Layout::Family::OneComponentPerKey, {});
  composer.setLayout(&lookalike);
  EXPECT_FALSE(composer.isPinyinMode());
  EXPECT_FALSE(composer.acceptsKey('a'));
}

TEST(BpmfComposerTest, CopiesAreIndependentTrials) {
  BpmfComposer composer;
  composer.setLayout(Layout::HanyuPinyinLayout());
  typed(composer, "lv");
  BpmfComposer trial = composer;
  trial.removeLastKey();
  trial.addKey('u');
  EXPECT_EQ(trial.syllable().toComposedText(), "ㄌㄨ");
  EXPECT_EQ(composer.pinyinLetters(), "lv");
  EXPECT_EQ(composer.syllable().toComposedText(), "ㄌㄩ");
}

TEST(BpmfComposerTest, WithoutALayoutNothingIsAccepted) {
  BpmfComposer composer;
  typed(composer, "1");
  composer.setLayout(nullptr);
  for (int c = 0; c < 128; ++c) EXPECT_FALSE(composer.acceptsKey(static_cast<char>(c)));
  EXPECT_FALSE(composer.addKey('1'));
  composer.removeLastKey();
  EXPECT_EQ(composer.syllable().toComposedText(), "ㄅ");
}

}  // namespace
}  // namespace Kestova
