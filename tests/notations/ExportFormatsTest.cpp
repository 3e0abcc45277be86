#include "notations/ExportFormats.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Kestova {
namespace {

using Palisar::Lattivor2::LanguageModel;
using Palisar::Lattivor2::ReadingGrid;
using Palisar::Lattivor2::ScoredPhrase;

// A few phrases, enough for the compositions below.
class TinyModel : public LanguageModel {
 public:
  std::vector<ScoredPhrase> getScoredPhrases(std::string_view reading) override {
    auto it = phrases_.find(std::string(reading));
    return it == phrases_.end() ? std::vector<ScoredPhrase>() : it->second;
  }
  bool hasScoredPhrases(std::string_view reading) override {
    return phrases_.contains(std::string(reading));
  }

 private:
  std::map<std::string, std::vector<ScoredPhrase>> phrases_ = {
      {"ㄋㄧˇ-ㄏㄠˇ", {{"你好", -1.0}}},
      {"ㄋㄧˇ", {{"你", -3.0}}},
      {"ㄏㄠˇ", {{"好", -3.0}}},
      {"ㄇㄚ˙", {{"嗎", -2.0}}},
      {"ㄌㄩˇ", {{"旅", -2.0}}},
      {"ㄒㄧ", {{"西", -3.0}}},
      {"ㄢ", {{"安", -3.0}}},
      {"ㄒㄧ-ㄢ", {{"西安", -1.0}}},
      {"ㄊㄜˋ", {{"特", -2.0}}},
      {"_punctuation_Standard_<", {{"，", 0.0}}},
      {"_punctuation_Standard_.", {{".", 0.0}}},
      {"_punctuation_Standard_&", {{"&", 0.0}}},
      {"_punctuation_Standard_>", {{">", 0.0}}},
  };
};

class ExportFormatsTest : public testing::Test {
 protected:
  void type(std::initializer_list<const char*> readings) {
    for (const char* reading : readings) ASSERT_TRUE(grid_.addReading(reading)) << reading;
  }
  Palisar::Lattivor2::BestPath walk() { return grid_.bestPath(); }

  ReadingGrid grid_{std::make_shared<TinyModel>()};
};

TEST_F(ExportFormatsTest, WordAndFullWidthCommaInEveryNotation) {
  type({"ㄋㄧˇ", "ㄏㄠˇ", "_punctuation_Standard_<"});
  ASSERT_EQ(walk().nodes.size(), 2u);

  EXPECT_EQ(exportReadings(grid_), "ㄋㄧˇ-ㄏㄠˇ-_punctuation_Standard_<");
  EXPECT_EQ(exportHtmlRuby(walk()), "<ruby>你好<rp>(</rp><rt>ㄋㄧˇ ㄏㄠˇ</rt><rp>)</rp></ruby>，");
  EXPECT_EQ(exportHanyuPinyin(walk()), "nihao，");
  EXPECT_EQ(exportBraille(walk(), BrailleEncoding::Unicode), "⠝⠡⠈⠗⠩⠈⠆");
  EXPECT_EQ(exportBraille(walk(), BrailleEncoding::Ascii), "n*`r%`2");
}

TEST_F(ExportFormatsTest, EachNodeIsExportedOnItsOwn) {
  type({"ㄋㄧˇ", "ㄏㄠˇ"});
  ASSERT_TRUE(grid_.overrideAt(0, "你", ReadingGrid::OverrideKind::HighScore));
  ASSERT_EQ(walk().nodes.size(), 2u);
  EXPECT_EQ(exportHtmlRuby(walk()),
            "<ruby>你<rp>(</rp><rt>ㄋㄧˇ</rt><rp>)</rp></ruby>"
            "<ruby>好<rp>(</rp><rt>ㄏㄠˇ</rt><rp>)</rp></ruby>");
  EXPECT_EQ(exportHanyuPinyin(walk()), "nihao");
  EXPECT_EQ(exportBraille(walk(), BrailleEncoding::Unicode), "⠝⠡⠈⠗⠩⠈");
}

TEST_F(ExportFormatsTest, NeutralToneAndUmlaut) {
  type({"ㄇㄚ˙", "ㄌㄩˇ"});
  EXPECT_EQ(exportHanyuPinyin(walk()), "malü");
  EXPECT_EQ(exportReadings(grid_), "ㄇㄚ˙-ㄌㄩˇ");
  EXPECT_EQ(exportBraille(walk(), BrailleEncoding::Unicode), "⠍⠜⠁⠉⠳⠈");
}

TEST_F(ExportFormatsTest, AsciiPeriodIsSetOffInBraille) {
  type({"ㄋㄧˇ", "ㄏㄠˇ", "_punctuation_Standard_."});
  EXPECT_EQ(exportBraille(walk(), BrailleEncoding::Unicode), "⠝⠡⠈⠗⠩⠈ ⠲");
  EXPECT_EQ(exportBraille(walk(), BrailleEncoding::Ascii), "n*`r%` .");
  EXPECT_EQ(exportHanyuPinyin(walk()), "nihao.");
}

TEST_F(ExportFormatsTest, ToneLessSyllablesOfOneWordStaySeparateInBraille) {
  // Run together, ㄒㄧ and ㄢ would read as the single syllable ㄒㄧㄢ.
  type({"ㄒㄧ", "ㄢ"});
  ASSERT_EQ(walk().nodes.size(), 1u);
  EXPECT_EQ(exportBraille(walk(), BrailleEncoding::Unicode), "⠑⠡⠄⠧⠄");
  EXPECT_EQ(convertTextToBraille("ㄒㄧㄢ", BrailleEncoding::Unicode), "⠑⠞⠄");
}

TEST_F(ExportFormatsTest, MarkupCharactersInValuesAreEscapedInRuby) {
  type({"_punctuation_Standard_&", "ㄊㄜˋ", "_punctuation_Standard_>"});
  EXPECT_EQ(exportHtmlRuby(walk()), "&amp;<ruby>特<rp>(</rp><rt>ㄊㄜˋ</rt><rp>)</rp></ruby>&gt;");
  // The other notations are plain text and keep the characters.
  EXPECT_EQ(exportHanyuPinyin(walk()), "&te>");
}

TEST_F(ExportFormatsTest, EmptyCompositionGivesEmptyTexts) {
  EXPECT_EQ(exportReadings(grid_), "");
  EXPECT_EQ(exportHtmlRuby(walk()), "");
  EXPECT_EQ(exportHanyuPinyin(walk()), "");
  EXPECT_EQ(exportBraille(walk(), BrailleEncoding::Ascii), "");
}

TEST(ExportFormatsPathTest, HandMadeNodesWithEmptyPieces) {
  // Consecutive and trailing separators give empty syllables, which add
  // nothing.
  Palisar::Lattivor2::BestPath path;
  path.nodes.push_back(std::make_shared<ReadingGrid::Node>("ㄋㄧˇ--ㄏㄠˇ-", 2,
                                                           std::vector<ScoredPhrase>{{"你好", 0}}));
  EXPECT_EQ(exportHanyuPinyin(path), "nihao");
  EXPECT_EQ(exportBraille(path, BrailleEncoding::Unicode), "⠝⠡⠈⠗⠩⠈");
  EXPECT_EQ(exportHtmlRuby(path), "<ruby>你好<rp>(</rp><rt>ㄋㄧˇ  ㄏㄠˇ </rt><rp>)</rp></ruby>");
}

}  // namespace
}  // namespace Kestova
