#include "engine/InputState.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace Kestova {
namespace {

using namespace InputStates;

template <typename T>
bool is(const InputState& s) {
  return dynamic_cast<const T*>(&s) != nullptr;
}

TEST(InputStateTest, ClassTreeMatchesDerivedClasses) {
  ChoosingCandidate choosing("ab", 1, "", {{"r", "v", "raw"}}, 2);
  ChoosingPunctuationList list(std::move(choosing));
  EXPECT_TRUE(is<ChoosingPunctuationList>(list));
  EXPECT_TRUE(is<ChoosingCandidate>(list));
  EXPECT_TRUE(is<NotEmpty>(list));
  EXPECT_FALSE(is<Inputting>(list));

  Marking marking("abc", 1, "h", 0, "", "a", "bc", "r", false);
  EXPECT_TRUE(is<NotEmpty>(marking));
  EXPECT_FALSE(is<Inputting>(marking));
  EXPECT_FALSE(is<ChoosingCandidate>(marking));

  Inputting inputting("", 0);
  EXPECT_TRUE(is<NotEmpty>(inputting));
  EXPECT_FALSE(is<Marking>(inputting));

  EXPECT_TRUE(is<NotEmpty>(AssociatedPhrases("x", 1, "", "x")));
  EXPECT_TRUE(is<NotEmpty>(SelectingDictionary("x", 1, "", "x")));
  EXPECT_FALSE(is<NotEmpty>(SelectingFeature()));

  // The three non-composing states are siblings, not subclasses of each other.
  Empty empty;
  EmptyIgnoringPrevious ignoring;
  Committing committing("t");
  EXPECT_FALSE(is<Empty>(ignoring));
  EXPECT_FALSE(is<EmptyIgnoringPrevious>(empty));
  EXPECT_FALSE(is<Empty>(committing));
  EXPECT_FALSE(is<NotEmpty>(empty));
}

TEST(InputStateTest, PunctuationListTakesOverTheChoiceWithoutHint) {
  ChoosingCandidate choosing("，。", 3, "ignored", {{"_punctuation_list", "，", "，"}}, 1);
  ChoosingPunctuationList list(std::move(choosing));
  EXPECT_EQ(list.buffer, "，。");
  EXPECT_EQ(list.cursor, 3u);
  EXPECT_EQ(list.hint, "");
  ASSERT_EQ(list.candidates.size(), 1u);
  EXPECT_EQ(list.candidates[0].value, "，");
  EXPECT_EQ(list.returnCursor, 1u);
}

}  // namespace
}  // namespace Kestova
