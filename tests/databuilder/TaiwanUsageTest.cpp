// Taiwan's readings and forms applied to a handful of phrase lines, and the
// lists read from disk.
#include "databuilder/TaiwanUsage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>

namespace {

using Kestova::PhraseFileLine;
using Kestova::DataBuilder::TaiwanUsage;

std::optional<double> scoreOf(const std::vector<PhraseFileLine>& lines, std::string_view reading,
                              std::string_view value) {
  for (const auto& line : lines) {
    if (line.reading == reading && line.value == value) return line.score;
  }
  return std::nullopt;
}

TEST(TaiwanUsage, AddsNeutralTonesWhereTheWordStands) {
  TaiwanUsage usage;
  usage.neutralToneWords = {{"朋友", "ㄆㄥˊ-ㄧㄡ˙"}, {"們", "ㄇㄣ˙"}};
  std::vector<PhraseFileLine> lines = {
      {"ㄆㄥˊ-ㄧㄡˇ", "朋友", -3.0}, {"ㄏㄠˇ-ㄆㄥˊ-ㄧㄡˇ", "好朋友", -4.0}, {"ㄧㄡˇ", "友", -4.5},
      {"ㄧㄡˇ", "有", -2.0},         {"ㄨㄛˇ-ㄇㄣˊ", "我們", -2.5},         {"ㄇㄣˊ", "們", -3.5},
      {"ㄆㄥˊ-ㄧㄡˇ", "蓬友", -6.0}, {"ㄆㄥˊ-ㄧㄡˋ", "朋右", -7.0},
  };
  Kestova::DataBuilder::TaiwanUsageStatistics statistics;
  applyTaiwanUsage(usage, lines, &statistics);
  EXPECT_EQ(scoreOf(lines, "ㄆㄥˊ-ㄧㄡ˙", "朋友"), -3.01);
  EXPECT_EQ(scoreOf(lines, "ㄏㄠˇ-ㄆㄥˊ-ㄧㄡ˙", "好朋友"), -4.01);
  EXPECT_EQ(scoreOf(lines, "ㄨㄛˇ-ㄇㄣ˙", "我們"), -2.51);
  EXPECT_EQ(scoreOf(lines, "ㄇㄣ˙", "們"), -3.51);
  // The new syllable ㄧㄡ˙ gets the word's character, at its own score.
  EXPECT_EQ(scoreOf(lines, "ㄧㄡ˙", "友"), -4.51);
  EXPECT_FALSE(scoreOf(lines, "ㄧㄡ˙", "有"));
  // Other values, and other tones than the word's, are left alone.
  EXPECT_FALSE(scoreOf(lines, "ㄆㄥˊ-ㄧㄡ˙", "蓬友"));
  EXPECT_FALSE(scoreOf(lines, "ㄆㄥˊ-ㄧㄡ˙", "朋右"));
  EXPECT_EQ(scoreOf(lines, "ㄆㄥˊ-ㄧㄡˇ", "朋友"), -3.0);
  EXPECT_EQ(statistics.neutralToneLines, 5u);
}

TEST(TaiwanUsage, AddsTheNeutralToneOfAParticleEndingAPhrase) {
  TaiwanUsage usage;
  usage.neutralToneEndings = {{"得", "ㄉㄜ˙", {"取得", "不得"}}};
  std::vector<PhraseFileLine> lines = {
      {"ㄆㄠˇ-ㄉㄜˊ", "跑得", -4.0},         {"ㄑㄩˇ-ㄉㄜˊ", "取得", -2.0},
      {"ㄨㄟˋ-ㄑㄩˇ-ㄉㄜˊ", "未取得", -4.0}, {"ㄎㄨ-ㄒㄧㄠˋ-ㄅㄨˋ-ㄉㄜˊ", "哭笑不得", -4.0},
      {"ㄉㄜˊ-ㄉㄠˋ", "得到", -2.0},         {"ㄉㄜˊ", "得", -3.0},
      {"ㄆㄠˇ-ㄉㄜ˙", "跑的", -4.2},
  };
  applyTaiwanUsage(usage, lines);
  EXPECT_EQ(scoreOf(lines, "ㄆㄠˇ-ㄉㄜ˙", "跑得"), -4.01);
  // A phrase ending in an exception keeps its tone only; the particle
  // leads or stands alone elsewhere, and is left alone there.
  for (const auto& [reading, value] :
       std::vector<std::pair<std::string, std::string>>{{"ㄑㄩˇ-ㄉㄜ˙", "取得"},
                                                        {"ㄨㄟˋ-ㄑㄩˇ-ㄉㄜ˙", "未取得"},
                                                        {"ㄎㄨ-ㄒㄧㄠˋ-ㄅㄨˋ-ㄉㄜ˙", "哭笑不得"},
                                                        {"ㄉㄜ˙-ㄉㄠˋ", "得到"},
                                                        {"ㄉㄜ˙", "得"}}) {
    EXPECT_FALSE(scoreOf(lines, reading, value)) << value;
  }
}

TEST(TaiwanUsage, AddsStandardReadingsAndPutsStandardFormsFirst) {
  TaiwanUsage usage;
  usage.standardReadings = {{"息", "ㄒㄧˊ", "ㄒㄧ"}};
  usage.forms = {{"身份", "身分"}, {"佈", "布"}, {"聯繫", "聯絡"}};
  usage.firstValues = {{"ㄊㄚ", "他"}, {"ㄊㄚ", "牠"}};
  std::vector<PhraseFileLine> lines = {
      {"ㄒㄧㄡ-ㄒㄧˊ", "休息", -3.0},
      {"ㄒㄧˊ", "息", -4.0},
      {"ㄕㄣ-ㄈㄣˋ", "身份", -3.0},
      {"ㄕㄣ-ㄈㄣˋ", "身分", -3.5},
      {"ㄕㄣ-ㄈㄣˋ-ㄓㄥˋ", "身份證", -3.2},
      {"ㄓㄥˋ", "證", -3.0},
      {"ㄈㄣˋ", "分", -2.0},
      {"ㄒㄩㄢ-ㄅㄨˋ", "宣佈", -3.0},
      {"ㄅㄨˋ", "布", -3.0},
      {"ㄌㄧㄢˊ-ㄒㄧˋ", "聯繫", -3.0},
      {"ㄊㄚ", "它", -1.9},
      {"ㄊㄚ", "他", -2.2},
  };
  applyTaiwanUsage(usage, lines);
  EXPECT_EQ(scoreOf(lines, "ㄒㄧㄡ-ㄒㄧ", "休息"), -3.01);
  EXPECT_EQ(scoreOf(lines, "ㄒㄧ", "息"), -4.01);
  // Both forms listed: the scores change places.
  EXPECT_EQ(scoreOf(lines, "ㄕㄣ-ㄈㄣˋ", "身分"), -3.0);
  EXPECT_EQ(scoreOf(lines, "ㄕㄣ-ㄈㄣˋ", "身份"), -3.5);
  // Only the variant listed: the standard form takes its place, the variant
  // stays just below; where its characters read otherwise, nothing is made.
  EXPECT_EQ(scoreOf(lines, "ㄕㄣ-ㄈㄣˋ-ㄓㄥˋ", "身分證"), -3.2);
  EXPECT_EQ(scoreOf(lines, "ㄕㄣ-ㄈㄣˋ-ㄓㄥˋ", "身份證"), -3.21);
  EXPECT_EQ(scoreOf(lines, "ㄒㄩㄢ-ㄅㄨˋ", "宣布"), -3.0);
  EXPECT_FALSE(scoreOf(lines, "ㄌㄧㄢˊ-ㄒㄧˋ", "聯絡"));
  // 他 first for ㄊㄚ; a value the reading lacks is not made up.
  EXPECT_EQ(scoreOf(lines, "ㄊㄚ", "他"), -1.89);
  EXPECT_FALSE(scoreOf(lines, "ㄊㄚ", "牠"));
}

TEST(TaiwanUsage, ReadsTheListsAndNamesABadLine) {
  const auto folder = std::filesystem::path(::testing::TempDir()) / "taiwan-usage";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  auto write = [&](const char* name, const char* text) { std::ofstream(folder / name) << text; };
  write("neutral-tone-words.txt", "# comment\n\n朋友 ㄆㄥˊ-ㄧㄡ˙\n");
  write("neutral-tone-endings.txt", "得 ㄉㄜ˙ 取得 不得\n");
  write("standard-readings.txt", "息 ㄒㄧˊ ㄒㄧ\n");
  write("taiwan-forms.txt", "身份 身分\n");
  write("first-values.txt", "ㄊㄚ 他\n");
  TaiwanUsage usage;
  std::string error;
  ASSERT_TRUE(readTaiwanUsage(folder.string(), usage, &error)) << error;
  ASSERT_EQ(usage.neutralToneWords.size(), 1u);
  EXPECT_EQ(usage.neutralToneWords[0].second, "ㄆㄥˊ-ㄧㄡ˙");
  ASSERT_EQ(usage.neutralToneEndings.size(), 1u);
  EXPECT_EQ(usage.neutralToneEndings[0].exceptions, (std::vector<std::string>{"取得", "不得"}));
  ASSERT_EQ(usage.standardReadings.size(), 1u);
  EXPECT_EQ(usage.standardReadings[0].standardReading, "ㄒㄧ");
  EXPECT_EQ(usage.forms.size(), 1u);
  EXPECT_EQ(usage.firstValues.size(), 1u);

  write("taiwan-forms.txt", "身份 身分\n計劃\n");
  TaiwanUsage broken;
  EXPECT_FALSE(readTaiwanUsage(folder.string(), broken, &error));
  EXPECT_NE(error.find("taiwan-forms.txt:2"), std::string::npos) << error;
  write("taiwan-forms.txt", "身份 身分\n");
  std::filesystem::remove(folder / "first-values.txt");
  EXPECT_FALSE(readTaiwanUsage(folder.string(), broken, &error));
  EXPECT_NE(error.find("first-values.txt"), std::string::npos) << error;
}

}  // namespace
