#include "engine/InputState.h"

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <vector>

namespace Kestova {
namespace {

using namespace InputStates;

// stateAs answers what the class tree answers: a state is viewed as T
// exactly when it is a T (a family such as NotEmpty or ChoosingCandidate
// takes every kind below it), and the view is the object itself. Checked
// against dynamic_cast for one state of every kind, so that a family's
// `holds` that forgets a kind (or claims one) fails here.
template <typename T>
void expectViewMatchesClassTree(const InputState* state) {
  const T* viewed = stateAs<T>(state);
  const T* cast = dynamic_cast<const T*>(state);
  EXPECT_EQ(viewed, cast) << "kind " << static_cast<int>(state->kind());
}

template <typename... Classes>
void expectViewsMatchClassTree(const InputState* state) {
  (expectViewMatchesClassTree<Classes>(state), ...);
}

TEST(InputStateTest, StateAsFollowsTheClassTree) {
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
  // One state of every kind, in the order of StateKind.
  static_assert(std::size(states) == static_cast<std::size_t>(StateKind::StateSequence) + 1);
  for (std::size_t i = 0; i < std::size(states); ++i) {
    const InputState* state = states[i].get();
    SCOPED_TRACE(i);
    EXPECT_EQ(static_cast<std::size_t>(state->kind()), i);
    EXPECT_EQ(isComposing(state->kind()), dynamic_cast<const NotEmpty*>(state) != nullptr);
    expectViewsMatchClassTree<Empty, EmptyIgnoringPrevious, Committing, NotEmpty, Inputting,
                              Marking, ChoosingCandidate, ChoosingPunctuationList,
                              AssociatedPhrases, SelectingDictionary, SelectingFeature,
                              StateSequence>(state);
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
