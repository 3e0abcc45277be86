// Checks the generated built-in phrase database itself: its format, its
// score rules and the readings a Taiwanese typist relies on.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "databuilder/StandardCharacters.h"
#include "models/ContextLM.h"
#include "models/ParselessLM.h"
#include "models/SortedPhraseTable.h"

namespace {

constexpr std::string_view kHeader = Kestova::SortedPhraseTable::kHeader;

class BuiltInDatabase : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::ifstream in(KESTOVA_BUILTIN_DATA_FILE, std::ios::binary);
    contents_ =
        new std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  static void TearDownTestSuite() {
    delete contents_;
    contents_ = nullptr;
  }
  static const std::string& contents() { return *contents_; }

  static bool Has(Kestova::ParselessLM& model, const std::string& reading,
                  const std::string& value) {
    for (const auto& phrase : model.getScoredPhrases(reading)) {
      if (phrase.value == value) return true;
    }
    return false;
  }

 private:
  static std::string* contents_;
};

std::string* BuiltInDatabase::contents_ = nullptr;

TEST_F(BuiltInDatabase, IsSortedWithThreeFieldsAndScoreRules) {
  const std::string& text = contents();
  ASSERT_GT(text.size(), kHeader.size());
  ASSERT_EQ(std::string_view(text).substr(0, kHeader.size()), kHeader);
  std::string previousKey;
  size_t lines = 0, macros = 0;
  std::set<std::string> syllables;
  size_t pos = kHeader.size();
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + pos, end - pos);
    pos = end + 1;
    ++lines;
    size_t first = line.find(' ');
    size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    ASSERT_NE(second, std::string_view::npos) << line;
    ASSERT_EQ(line.find(' ', second + 1), std::string_view::npos) << line;
    std::string key(line.substr(0, first + 1));
    // std::string compares its bytes as unsigned char, as the file is sorted.
    ASSERT_LE(previousKey, key) << "out of order";
    previousKey = key;
    std::string_view value = line.substr(first + 1, second - first - 1);
    double score = std::stod(std::string(line.substr(second + 1)));
    bool macro = value.substr(0, 6) == "MACRO@";
    if (macro) {
      ++macros;
      EXPECT_EQ(score, -8.0) << line;
    } else {
      EXPECT_GT(score, -8.0) << line;
      EXPECT_LT(score, 0.0) << line;
    }
    if (key[0] != '_' && key.find('-') == std::string::npos) syllables.insert(key);
  }
  EXPECT_GT(lines, 200000u);
  EXPECT_GT(macros, 40u);
  // Every typeable syllable with characters, tones included.
  EXPECT_GT(syllables.size(), 1200u);
}

TEST_F(BuiltInDatabase, HasTaiwanReadingsAndSpecialReadings) {
  Kestova::ParselessLM model;
  ASSERT_TRUE(model.open(KESTOVA_BUILTIN_DATA_FILE));
  struct Case {
    const char* reading;
    const char* value;
  };
  const Case present[] = {
      {"ㄒㄧㄥ-ㄑㄧˊ", "星期"},
      {"ㄨㄟˊ-ㄒㄧㄢˇ", "危險"},
      {"ㄌㄜˋ-ㄙㄜˋ", "垃圾"},
      {"ㄔㄨˊ-ㄘㄨㄣˊ", "儲存"},
      {"ㄅㄨˋ-ㄧㄠˋ", "不要"},
      {"ㄧ-ㄍㄜ˙", "一個"},
      {"ㄧㄣˊ-ㄏㄤˊ", "銀行"},
      {"ㄨㄟˋ", "為"},
      {"ㄓㄨㄛˊ", "著"},
      {"_punctuation_<", "，"},
      {"_letter_A", "a"},
      {"_numpad_1", "1"},
      {"_ctrl_punctuation_,", "，"},
      {"_half_punctuation_?", "?"},
      {"_punctuation_list", "、"},
      {"ㄐㄧㄣ-ㄊㄧㄢ", "MACRO@DATE_TODAY_SHORT"},
      // Neutral tones as the standard writes them, beside the full tones.
      {"ㄆㄥˊ-ㄧㄡ˙", "朋友"},
      {"ㄆㄥˊ-ㄧㄡˇ", "朋友"},
      {"ㄇㄚ-ㄇㄚ˙", "媽媽"},
      {"ㄐㄧˋ-ㄉㄜ˙", "記得"},
      {"ㄍㄜ-ㄍㄜ˙", "哥哥"},
      {"ㄨㄛˇ-ㄇㄣ˙", "我們"},
      {"ㄏㄠˇ-ㄆㄥˊ-ㄧㄡ˙", "好朋友"},
      {"ㄧㄡ˙", "友"},
      // The standard reading of a character the sources read otherwise.
      {"ㄒㄧㄡ-ㄒㄧ", "休息"},
      {"ㄒㄧ", "息"},
  };
  for (const auto& c : present)
    EXPECT_TRUE(Has(model, c.reading, c.value)) << c.reading << " " << c.value;
  const Case absent[] = {
      {"ㄅㄨˊ-ㄧㄠˋ", "不要"},
      {"ㄨㄟ-ㄒㄧㄢˇ", "危險"},
      {"ㄧˊ-ㄍㄜˋ", "一個"},
  };
  for (const auto& c : absent)
    EXPECT_FALSE(Has(model, c.reading, c.value)) << c.reading << " " << c.value;
  // Corpus forms that Taiwan does not write are gone from the phrases.
  EXPECT_FALSE(Has(model, "ㄧㄣ-ㄨㄟˋ", "因爲"));
  EXPECT_TRUE(Has(model, "ㄧㄣ-ㄨㄟˋ", "因為"));
}

// Under every syllable, a character outside Taiwan's standard sets (a
// Simplified one such as 妈 or 嬷 for ˙ㄇㄚ) never comes before a standard
// one, so it reaches the first page only when the standard ones are few.
TEST_F(BuiltInDatabase, PutsNoCharacterOutsideTheStandardSetsBeforeAStandardOne) {
  const auto standard = Kestova::DataBuilder::StandardCharacterSet::fromConverters();
  ASSERT_FALSE(standard.empty());
  Kestova::ParselessLM model;
  ASSERT_TRUE(model.open(KESTOVA_BUILTIN_DATA_FILE));
  // Readings that hold both kinds, where the order is put to the test.
  size_t mixed = 0;
  for (const char* reading :
       {"ㄇㄚ˙", "ㄇㄚ", "ㄊㄚ", "ㄉㄜ˙", "ㄧ", "ㄕˋ", "ㄐㄧ", "ㄒㄧ", "ㄌㄧˇ"}) {
    bool otherSeen = false;
    for (const auto& phrase : model.getScoredPhrases(reading)) {
      if (!standard.containsAll(phrase.value)) {
        otherSeen = true;
      } else {
        EXPECT_FALSE(otherSeen) << reading << ": " << phrase.value
                                << " after a character outside the sets";
      }
    }
    if (otherSeen) ++mixed;
  }
  EXPECT_GE(mixed, 5u);
  const auto first = model.getScoredPhrases("ㄇㄚ˙");
  for (std::size_t i = 0; i < first.size() && i < 9; ++i) {
    EXPECT_NE(first[i].value, "妈");
    EXPECT_NE(first[i].value, "嬷");
  }
}

// What a reading offers first: Taiwan's standard form before its variant,
// and 他 for ㄊㄚ.
TEST_F(BuiltInDatabase, PutsTaiwanFormsFirst) {
  Kestova::ParselessLM model;
  ASSERT_TRUE(model.open(KESTOVA_BUILTIN_DATA_FILE));
  auto rank = [&](const std::string& reading, const std::string& value) {
    const auto phrases = model.getScoredPhrases(reading);
    for (std::size_t i = 0; i < phrases.size(); ++i) {
      if (phrases[i].value == value) return static_cast<int>(i);
    }
    return -1;
  };
  EXPECT_EQ(rank("ㄊㄚ", "他"), 0);
  const struct {
    const char* reading;
    const char* standard;
    const char* variant;
  } forms[] = {
      {"ㄒㄩㄢ-ㄅㄨˋ", "宣布", "宣佈"},
      {"ㄍㄨㄥ-ㄅㄨˋ", "公布", "公佈"},
      {"ㄕㄣ-ㄈㄣˋ", "身分", "身份"},
      {"ㄐㄧˋ-ㄏㄨㄚˋ", "計畫", "計劃"},
  };
  for (const auto& form : forms) {
    const int standard = rank(form.reading, form.standard),
              variant = rank(form.reading, form.variant);
    ASSERT_GE(standard, 0) << form.standard;
    EXPECT_TRUE(variant < 0 || standard < variant) << form.standard << " " << form.variant;
  }
}

// The context file generated beside the database: a whole file, mapped, with
// the sentence start and thousands of pairs, weighed as the builder says.
TEST(BuiltInContextFile, OpensWithWordsAndPairs) {
  Kestova::ContextLM model;
  ASSERT_TRUE(model.open(KESTOVA_BUILTIN_CONTEXT_FILE));
  EXPECT_GT(model.wordCount(), 1000u);
  EXPECT_GT(model.pairCount(), 5000u);
  EXPECT_NE(model.sentenceStart().word, Palisar::Lattivor2::ContextModel::kUnknownWord);
  EXPECT_GT(model.weight(), 0.0);
  EXPECT_LE(model.weight(), 1.0);
}

}  // namespace
