#include "models/BuiltInPhrases.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "models/SortedPhraseTable.h"
#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

using Testing::TempDir;

std::string builtInFile(const TempDir& dir) {
  return dir.write("data.txt", std::string(SortedPhraseTable::kHeader) +
                                   "_punctuation_, ， -1\n"
                                   "ㄏㄤˊ 行 -4.2\n"
                                   "ㄐㄧㄣ-ㄊㄧㄢ MACRO@DATE_TODAY_SHORT -8\n"
                                   "ㄐㄧㄣ-ㄊㄧㄢ 今天 -3\n"
                                   "ㄒㄧㄥˊ 行 -3.1\n"
                                   "ㄒㄧㄥˊ 型 -3.9\n"
                                   "ㄧㄣˊ 銀 -3.5\n"
                                   "ㄧㄣˊ-ㄏㄤˊ 銀行 -2.9\n"
                                   "ㄧㄣˊ-ㄏㄤˊ-ㄐㄧㄝ 銀行街 -6\n");
}

std::vector<std::string> shown(const std::vector<BuiltInPhrases::Phrase>& phrases) {
  std::vector<std::string> out;
  for (const auto& phrase : phrases) {
    out.push_back(std::string(phrase.value) + " " + std::string(phrase.reading));
  }
  return out;
}

TEST(BuiltInPhrasesTest, ListsWhatAUserCanTypeAndReadsCharactersBackwards) {
  TempDir dir;
  BuiltInPhrases phrases;
  EXPECT_FALSE(phrases.isOpen());
  ASSERT_TRUE(phrases.open(builtInFile(dir)));
  EXPECT_FALSE(phrases.open(builtInFile(dir)));

  // Special readings and macros are no phrases a user types.
  std::vector<BuiltInPhrases::Phrase> all;
  phrases.forEachPhrase([&](const BuiltInPhrases::Phrase& phrase) {
    all.push_back(phrase);
    return true;
  });
  EXPECT_EQ(shown(all), (std::vector<std::string>{"行 ㄏㄤˊ", "今天 ㄐㄧㄣ-ㄊㄧㄢ", "行 ㄒㄧㄥˊ",
                                                  "型 ㄒㄧㄥˊ", "銀 ㄧㄣˊ", "銀行 ㄧㄣˊ-ㄏㄤˊ",
                                                  "銀行街 ㄧㄣˊ-ㄏㄤˊ-ㄐㄧㄝ"}));
  EXPECT_DOUBLE_EQ(all[1].score(), -3);
  EXPECT_DOUBLE_EQ(all[0].score(), -4.2);
  // A visit that answers false ends the pass.
  int visits = 0;
  phrases.forEachPhrase([&](const BuiltInPhrases::Phrase&) { return ++visits < 2; });
  EXPECT_EQ(visits, 2);

  // Likeliest first.
  EXPECT_EQ(shown(phrases.readingsOfCharacter("行")),
            (std::vector<std::string>{"行 ㄒㄧㄥˊ", "行 ㄏㄤˊ"}));
  EXPECT_TRUE(phrases.readingsOfCharacter("街").empty());
  EXPECT_EQ(shown(phrases.phrasesInside("去銀行街買")),
            (std::vector<std::string>{"銀行 ㄧㄣˊ-ㄏㄤˊ", "銀行街 ㄧㄣˊ-ㄏㄤˊ-ㄐㄧㄝ"}));
}

TEST(BuiltInPhrasesTest, AnUnopenedOrMissingFileHasNothing) {
  TempDir dir;
  BuiltInPhrases phrases;
  EXPECT_FALSE(phrases.open(dir.file("missing.txt")));
  EXPECT_TRUE(phrases.readingsOfCharacter("行").empty());
  EXPECT_TRUE(phrases.phrasesInside("銀行").empty());
}

}  // namespace
}  // namespace Kestova
