#include "engine/InputState.h"

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <vector>

namespace Kestova {
namespace {

using namespace InputStates;

// stateAs views a state by its kind: a family (NotEmpty, ChoosingCandidate)
// takes every kind it stands for, a concrete class only its own.
TEST(InputStateTest, StateAsMatchesTheFamiliesOfEachKind) {
  ChoosingCandidate choosing("ab", 1, "", {{"r", "v", "raw"}}, 2);
  const std::unique_ptr<InputState> states[] = {
      std::make_unique<Empty>(),
      std::make_unique<EmptyIgnoringPrevious>(),
      std::make_unique<Committing>("t"),
      std::make_unique<Inputting>("", 0),
      std::make_unique<Marking>("abc", 1, "h", 0, "", "a", "bc", "r", false),
      std::make_unique<ChoosingCandidate>(choosing),
      std::make_unique<ChoosingPunctuationList>(ChoosingCandidate(choosing)),
      std::make_unique<AssociatedPhrases>("x", 1, "", "x"),
      std::make_unique<SelectingDictionary>("x", 1, "", "x"),
      std::make_unique<SelectingFeature>(),
      std::make_unique<StateSequence>(),
  };
  struct Expected {
    StateKind kind;
    bool notEmpty, choosing, punctuationList, inputting, marking;
  };
  const Expected expected[] = {
      {StateKind::Empty, false, false, false, false, false},
      {StateKind::EmptyIgnoringPrevious, false, false, false, false, false},
      {StateKind::Committing, false, false, false, false, false},
      {StateKind::Inputting, true, false, false, true, false},
      {StateKind::Marking, true, false, false, false, true},
      {StateKind::ChoosingCandidate, true, true, false, false, false},
      {StateKind::ChoosingPunctuationList, true, true, true, false, false},
      {StateKind::AssociatedPhrases, true, false, false, false, false},
      {StateKind::SelectingDictionary, true, false, false, false, false},
      {StateKind::SelectingFeature, false, false, false, false, false},
      {StateKind::StateSequence, false, false, false, false, false},
  };
  static_assert(std::size(states) == std::size(expected));
  for (std::size_t i = 0; i < std::size(states); ++i) {
    const InputState* state = states[i].get();
    const Expected& e = expected[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(state->kind(), e.kind);
    EXPECT_EQ(isComposing(state->kind()), e.notEmpty);
    EXPECT_EQ(stateAs<NotEmpty>(state) != nullptr, e.notEmpty);
    EXPECT_EQ(stateAs<ChoosingCandidate>(state) != nullptr, e.choosing);
    EXPECT_EQ(stateAs<ChoosingPunctuationList>(state) != nullptr, e.punctuationList);
    EXPECT_EQ(stateAs<Inputting>(state) != nullptr, e.inputting);
    EXPECT_EQ(stateAs<Marking>(state) != nullptr, e.marking);
    // The view is the object itself, whatever the family.
    if (const auto* composing = stateAs<NotEmpty>(state)) {
      EXPECT_EQ(static_cast<const InputState*>(composing), state);
    }
  }
  EXPECT_EQ(stateAs<Empty>(nullptr), nullptr);
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
