// What the key handler remembers of the text the user committed: whether
// another value was committed under a reading, and how old readings go.
#include "engine/CommittedWords.h"

#include <gtest/gtest.h>

#include <string>

namespace Kestova {
namespace {

TEST(CommittedWords, TellsAnotherValueCommittedUnderTheReading) {
  CommittedWords words(64);
  EXPECT_FALSE(words.hasOtherThan("ㄗㄞˋ-ㄐㄧㄚ", "在家"));
  words.add("ㄗㄞˋ-ㄐㄧㄚ", "在家");
  EXPECT_FALSE(words.hasOtherThan("ㄗㄞˋ-ㄐㄧㄚ", "在家"));
  EXPECT_TRUE(words.hasOtherThan("ㄗㄞˋ-ㄐㄧㄚ", "再加"));
  EXPECT_FALSE(words.hasOtherThan("ㄗㄞˋ-ㄐㄧㄚ-ㄧ", "再加一"));
  // Once both were committed, each has the other.
  words.add("ㄗㄞˋ-ㄐㄧㄚ", "再加");
  words.add("ㄗㄞˋ-ㄐㄧㄚ", "在家");
  EXPECT_TRUE(words.hasOtherThan("ㄗㄞˋ-ㄐㄧㄚ", "在家"));
  EXPECT_TRUE(words.hasOtherThan("ㄗㄞˋ-ㄐㄧㄚ", "再加"));
}

TEST(CommittedWords, ReadingsNotCommittedLatelyGoFirst) {
  // Two generations of 4 readings: a reading survives at least 4 newer
  // ones, and is gone after 8.
  CommittedWords words(8);
  words.add("ㄅㄚ-0", "八0");
  for (int i = 1; i <= 4; ++i) words.add("ㄅㄚ-" + std::to_string(i), "八");
  EXPECT_TRUE(words.hasOtherThan("ㄅㄚ-0", "巴"));
  // Committed again, a reading is kept with the newer ones.
  words.add("ㄅㄚ-1", "八");
  for (int i = 5; i <= 8; ++i) words.add("ㄅㄚ-" + std::to_string(i), "八");
  EXPECT_FALSE(words.hasOtherThan("ㄅㄚ-0", "巴"));
  EXPECT_TRUE(words.hasOtherThan("ㄅㄚ-1", "巴"));
  // Values committed in either generation count: 八 before, 巴 now.
  words.add("ㄅㄚ-1", "巴");
  EXPECT_TRUE(words.hasOtherThan("ㄅㄚ-1", "巴"));
  EXPECT_TRUE(words.hasOtherThan("ㄅㄚ-1", "八"));
}

TEST(CommittedWords, NoCapacityRemembersNothing) {
  CommittedWords words(0);
  words.add("ㄗㄞˋ-ㄐㄧㄚ", "在家");
  EXPECT_FALSE(words.hasOtherThan("ㄗㄞˋ-ㄐㄧㄚ", "再加"));
}

}  // namespace
}  // namespace Kestova
