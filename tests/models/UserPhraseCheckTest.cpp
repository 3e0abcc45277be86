#include <gtest/gtest.h>

#include "models/UserPhraseAdder.h"
#include "models/UserPhrasesLM.h"
#include "tests/support/TempDir.h"

namespace Kestova {
namespace {

using Testing::TempDir;

// The test every new user phrase passes, wherever it comes from.
TEST(UserPhraseCheckTest, LengthStorageAndPresenceInThatOrder) {
  TempDir dir;
  UserPhrasesLM model;
  ASSERT_TRUE(model.open(dir.write("user.txt", "銀行 ㄧㄣˊ-ㄏㄤˊ\n")));
  const struct {
    size_t count;
    const char* reading;
    const char* value;
    UserPhraseCheck expected;
  } cases[] = {
      {1, "ㄧㄣˊ", "銀", UserPhraseCheck::TooFewReadings},
      {0, "", "", UserPhraseCheck::TooFewReadings},
      {9, "ㄅ-ㄅ-ㄅ-ㄅ-ㄅ-ㄅ-ㄅ-ㄅ-ㄅ", "八八八八八八八八八", UserPhraseCheck::TooManyReadings},
      {8, "ㄅ-ㄅ-ㄅ-ㄅ-ㄅ-ㄅ-ㄅ-ㄅ", "八八八八八八八八", UserPhraseCheck::CanAdd},
      {2, "ㄧㄣˊ-ㄏㄤˊ", "#銀行", UserPhraseCheck::CannotBeStored},
      {2, "ㄧㄣˊ ㄏㄤˊ", "銀行", UserPhraseCheck::CannotBeStored},
      {2, "ㄧㄣˊ-ㄏㄤˊ", "銀行", UserPhraseCheck::AlreadyPresent},
      {2, "ㄧㄣˊ-ㄒㄧㄥˊ", "銀行", UserPhraseCheck::CanAdd},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(checkUserPhrase(c.count, c.reading, c.value, &model), c.expected) << c.value;
  }
  // Without a model nothing is present yet.
  EXPECT_EQ(checkUserPhrase(2, "ㄧㄣˊ-ㄏㄤˊ", "銀行", nullptr), UserPhraseCheck::CanAdd);
}

}  // namespace
}  // namespace Kestova
