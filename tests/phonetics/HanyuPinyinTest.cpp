#include "phonetics/HanyuPinyin.h"

#include <gtest/gtest.h>

#include <string>

namespace Kestova {
namespace {

std::string parsed(std::string_view pinyin) {
  return fromPinyin(pinyin).toComposedText();
}

BpmfSyllable bpmf(std::string_view text) {
  return BpmfSyllable::fromComposedText(text);
}

TEST(HanyuPinyinTest, FromPinyin) {
  const struct {
    const char* pinyin;
    const char* bopomofo;
  } cases[] = {
      // Initials, tones, and tolerance of what follows.
      {"zhuang1", "ㄓㄨㄤ"},
      {"ma3", "ㄇㄚˇ"},
      {"MA3", "ㄇㄚˇ"},
      {"ma6", "ㄇㄚ"},
      {"m2", "ㄇˊ"},
      {"hm", "ㄏ"},
      {"abc", "ㄚ"},
      {"ma5", "ㄇㄚ˙"},
      {"ma1", "ㄇㄚ"},
      // ü in its spellings.
      {"lv4", "ㄌㄩˋ"},
      {"lü", "ㄌㄩ"},
      {"lue4", "ㄌㄩㄝˋ"},
      {"lüe4", "ㄌㄩㄝˋ"},
      {"nve4", "ㄋㄩㄝˋ"},
      {"ju4", "ㄐㄩˋ"},
      {"jun1", "ㄐㄩㄣ"},
      {"nun", "ㄋㄨㄣ"},
      {"xuan2", "ㄒㄩㄢˊ"},
      // y and w forms.
      {"yi1", "ㄧ"},
      {"wu3", "ㄨˇ"},
      {"yuan2", "ㄩㄢˊ"},
      {"you3", "ㄧㄡˇ"},
      {"yong3", "ㄩㄥˇ"},
      {"ying", "ㄧㄥ"},
      {"ye3", "ㄧㄝˇ"},
      {"yue4", "ㄩㄝˋ"},
      {"wei4", "ㄨㄟˋ"},
      // Retroflex and dental initials take no i-medial.
      {"zhi", "ㄓ"},
      {"ri4", "ㄖˋ"},
      {"si4", "ㄙˋ"},
      {"shui3", "ㄕㄨㄟˇ"},
      {"jiong3", "ㄐㄩㄥˇ"},
      {"liu2", "ㄌㄧㄡˊ"},
      {"bian4", "ㄅㄧㄢˋ"},
      // Finals with a built-in medial.
      {"ong", "ㄨㄥ"},
      {"weng1", "ㄨㄥ"},
      {"fong", "ㄈㄥ"},
      {"ueng", "ㄨㄣ"},
      {"dong4", "ㄉㄨㄥˋ"},
      {"er2", "ㄦˊ"},
      {"e2", "ㄜˊ"},
      {"ve", "ㄩㄝ"},
      // Nothing recognisable.
      {"\xC3\xAA", ""},  // ê
      {"\xC3\x9C", ""},  // Ü
      {"L\xC3\x9C", "ㄌ"},
      {"", ""},
      {"1", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(parsed(c.pinyin), c.bopomofo) << c.pinyin;
}

TEST(HanyuPinyinTest, ToPinyin) {
  const struct {
    const char* bopomofo;
    bool includeTone;
    bool useV;
    const char* pinyin;
  } cases[] = {
      {"ㄇㄚˇ", false, false, "ma"},
      {"ㄇㄚˇ", true, false, "ma3"},
      {"ㄇㄚ˙", true, false, "ma5"},
      {"ㄇㄚ", true, false, "ma"},
      {"ㄇㄚˊ", true, false, "ma2"},
      {"ㄇㄚˋ", true, false, "ma4"},
      {"ㄓ", false, false, "zhi"},
      {"ㄐ", false, false, "ji"},
      {"ㄙ", false, false, "si"},
      {"ㄅ", false, false, "b"},
      {"ㄩ", false, false, "yu"},
      {"ㄩㄥ", false, false, "yong"},
      {"ㄨㄥ", false, false, "weng"},
      {"ㄐㄩㄥ", false, false, "jiong"},
      {"ㄐㄨㄥ", false, false, "jiong"},
      {"ㄌㄩ", false, false, "lü"},
      {"ㄌㄩ", false, true, "lv"},
      {"ㄋㄩˇ", true, true, "nv3"},
      {"ㄌㄩㄝ", false, false, "lue"},
      {"ㄌㄩㄥ", false, false, "long"},
      {"ㄌㄩㄣ", false, false, "lün"},
      {"ㄋㄧㄡˊ", true, false, "niu2"},
      {"ㄧㄡ", false, false, "you"},
      {"ㄉㄨㄟ", false, false, "dui"},
      {"ㄨㄟ", false, false, "wei"},
      {"ㄧㄣ", false, false, "yin"},
      {"ㄨㄣ", false, false, "wen"},
      {"ㄩㄣ", false, false, "yun"},
      {"ㄅㄧㄣ", false, false, "bin"},
      {"ㄉㄨㄣ", false, false, "dun"},
      {"ㄐㄩㄣ", false, false, "jun"},
      {"ㄧ", false, false, "yi"},
      {"ㄧㄚ", false, false, "ya"},
      {"ㄨ", false, false, "wu"},
      {"ㄨㄚ", false, false, "wa"},
      {"ㄍㄨㄚ", false, false, "gua"},
      {"ㄅㄧㄢ", false, false, "bian"},
      {"ㄧㄥ", false, false, "ying"},
      {"ㄅㄧㄥ", false, false, "bing"},
      {"ㄒㄩㄝ", false, false, "xue"},
      {"ㄓㄨㄤ", false, false, "zhuang"},
      {"ㄦ", false, false, "er"},
      // Invalid combinations are spelled mechanically.
      {"ㄅㄩ", false, false, "bu"},
      {"ㄐㄚ", false, false, "ja"},
      {"", true, false, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(toPinyin(bpmf(c.bopomofo), c.includeTone, c.useV), c.pinyin) << c.bopomofo;
  }
}

TEST(HanyuPinyinTest, SpellingWithToneParsesBackForCommonSyllables) {
  // The two rule sets are independent, but the ordinary spellings agree.
  for (const char* text : {"ㄓㄨㄤ", "ㄇㄚˇ", "ㄌㄩˋ", "ㄐㄩㄣ", "ㄒㄩㄝˊ", "ㄌㄧㄡˊ", "ㄕㄨㄟˇ",
                           "ㄐㄩㄥˇ", "ㄧㄥ", "ㄩㄢˊ", "ㄨㄥ", "ㄉㄨㄥˋ", "ㄅㄧㄣ", "ㄙˋ"}) {
    EXPECT_EQ(parsed(toPinyin(bpmf(text), true, true)), text) << text;
  }
}

}  // namespace
}  // namespace Kestova
