// Every language model of this library answers look-ups the same way as a
// plain map from reading to phrases built from the same small fixture.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "models/KestovaLM.h"
#include "models/ParselessLM.h"
#include "models/SortedPhraseFile.h"
#include "models/UserPhrasesLM.h"
#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

using Palisar::Lattivor2::LanguageModel;
using Palisar::Lattivor2::ScoredPhrase;
using Testing::TempDir;

struct Entry {
  std::string reading;
  std::string value;
  std::string score;  // as written in the sorted file
};

// Values are distinct within a reading so that de-duplication changes
// nothing; ㄅㄚ is a leading part of several other readings.
const std::vector<Entry> kFixture = {
    {"ㄅㄚ", "八", "-3.25"},       {"ㄅㄚ", "吧", "-4.5"},         {"ㄅㄚ", "巴", "-5"},
    {"ㄅㄚ-ㄅㄚ", "爸爸", "-2.5"}, {"ㄅㄚ-ㄅㄚ", "八八", "-6.75"}, {"ㄅㄚˇ", "把", "-3"},
    {"ㄅㄚˋ", "爸", "-3.5"},       {"ㄇㄚ", "媽", "-3.5"},         {"ㄇㄚ-ㄇㄚ", "媽媽", "-2.25"},
    {"ㄋㄧˇ-ㄏㄠˇ", "你好", "-2"}, {"ㄓ", "之", "-1.5"},
};

const std::vector<std::string> kAbsentReadings = {
    "", "ㄅ", "ㄅㄚ-", "ㄅㄚ-ㄅㄚ-ㄅㄚ", "ㄆㄚ", "ㄋㄧˇ", "ㄓㄓ", "ㄚ", "~", "ㄅㄚ ",
};

using Reference = std::map<std::string, std::vector<ScoredPhrase>>;

struct ModelKind {
  const char* name;
  // Builds the model from the fixture inside dir.
  std::function<std::shared_ptr<LanguageModel>(const TempDir& dir)> make;
  bool keepsScores;     // user files carry no scores: every phrase scores 0
  bool fillsRawValues;  // the composite model reports the source value
  bool marksUser;       // the composite model marks the user's phrases
};

void PrintTo(const ModelKind& kind, std::ostream* os) {
  *os << kind.name;
}

std::string sortedFile() {
  std::vector<PhraseFileLine> lines;
  for (const Entry& e : kFixture) lines.push_back({e.reading, e.value, std::stod(e.score)});
  sortPhraseFileLines(lines);
  return sortedPhraseFileText(lines);
}

std::string userFile() {
  std::string text = "# user phrases\n";
  for (const Entry& e : kFixture) text += e.value + " " + e.reading + "\n";
  return text;
}

const ModelKind kKinds[] = {
    {"BuiltIn",
     [](const TempDir& dir) {
       auto lm = std::make_shared<ParselessLM>();
       EXPECT_TRUE(lm->open(dir.write("data.txt", sortedFile())));
       return std::shared_ptr<LanguageModel>(lm);
     },
     true, false, false},
    {"User",
     [](const TempDir& dir) {
       auto lm = std::make_shared<UserPhrasesLM>();
       EXPECT_TRUE(lm->open(dir.write("user.txt", userFile())));
       return std::shared_ptr<LanguageModel>(lm);
     },
     false, false, false},
    {"CompositeOverBuiltIn",
     [](const TempDir& dir) {
       auto lm = std::make_shared<KestovaLM>();
       lm->openBuiltInTable(dir.write("data.txt", sortedFile()));
       EXPECT_TRUE(lm->builtInTableLoaded());
       return std::shared_ptr<LanguageModel>(lm);
     },
     true, true, false},
    {"CompositeOverUser",
     [](const TempDir& dir) {
       auto lm = std::make_shared<KestovaLM>();
       lm->openUserFiles(dir.write("user.txt", userFile()), dir.file("missing-exclude.txt"));
       return std::shared_ptr<LanguageModel>(lm);
     },
     false, true, true},
};

class LanguageModelContractTest : public ::testing::TestWithParam<ModelKind> {
 protected:
  void SetUp() override {
    model_ = GetParam().make(dir_);
    for (const Entry& e : kFixture) {
      double score = GetParam().keepsScores ? std::stod(e.score) : 0.0;
      std::string raw = GetParam().fillsRawValues ? e.value : std::string();
      reference_[e.reading].emplace_back(e.value, score, raw, GetParam().marksUser);
    }
  }

  TempDir dir_;
  std::shared_ptr<LanguageModel> model_;
  Reference reference_;
};

TEST_P(LanguageModelContractTest, EveryReadingMatchesReference) {
  for (const auto& [reading, expected] : reference_) {
    EXPECT_EQ(model_->getScoredPhrases(reading), expected) << reading;
    EXPECT_TRUE(model_->hasScoredPhrases(reading)) << reading;
  }
}

TEST_P(LanguageModelContractTest, AbsentReadingsAnswerNothing) {
  for (const std::string& reading : kAbsentReadings) {
    ASSERT_FALSE(reference_.contains(reading));
    EXPECT_TRUE(model_->getScoredPhrases(reading).empty()) << "[" << reading << "]";
    EXPECT_FALSE(model_->hasScoredPhrases(reading)) << "[" << reading << "]";
  }
}

TEST_P(LanguageModelContractTest, RepeatedLookupsAreStable) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(model_->getScoredPhrases("ㄅㄚ"), reference_["ㄅㄚ"]);
  }
}

INSTANTIATE_TEST_SUITE_P(AllModels, LanguageModelContractTest, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace Kestova
