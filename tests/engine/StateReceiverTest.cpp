// The receiver every presenter shares: how it applies states and runs the
// candidate window, over the engine fixture.
#include "engine/StateReceiver.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "tests/engine/EngineTestSupport.h"

namespace Kestova {
namespace {

using namespace InputStates;
using namespace Testing;

// A sequence is applied state by state, as if each had come alone: the
// Empty commits what was composed, the next state then stands.
TEST(StateReceiverTest, StateSequenceAppliesEachStateInOrder) {
  EngineSession session;
  session.type("su3");
  std::vector<std::unique_ptr<InputState>> states;
  states.push_back(std::make_unique<Empty>());
  states.push_back(std::make_unique<Inputting>("好", 3));
  session.callback()(std::make_unique<StateSequence>(std::move(states)));
  EXPECT_EQ(session.committed, "你");
  EXPECT_EQ(session.buffer(), "好");
}

// Enter picks the highlighted candidate, which the arrows move across
// pages; the selection keys pick on the page shown.
TEST(StateReceiverTest, EnterPicksTheHighlightAndKeysPickOnThePageShown) {
  EngineSession session;
  session.receiver().setSelectionKeys("12");
  session.type("su3<Space>");  // 你 妳 擬
  StateReceiver& receiver = session.receiver();
  ASSERT_EQ(receiver.candidateCount(), 3u);
  EXPECT_EQ(receiver.rowsOnPage(), 2u);
  session.type("<Right><Right>");
  EXPECT_EQ(receiver.highlight(), 2u);
  EXPECT_EQ(receiver.page(), 1u);
  EXPECT_EQ(receiver.rowText(0), "擬");
  session.type("<Enter>");
  EXPECT_EQ(session.buffer(), "擬");

  // The window opens on the page of the value shown, highlighted.
  session.type("<Space>");
  EXPECT_EQ(receiver.highlight(), 2u);
  EXPECT_EQ(receiver.page(), 1u);
  session.type("1");
  EXPECT_EQ(session.buffer(), "擬");  // page 1, row 0
  session.type("<Space><PgUp>2");
  EXPECT_EQ(session.buffer(), "妳");  // page 0, row 1
}

// Opening the window and closing it with Enter changes nothing: the
// highlight starts on the value shown, and Enter there is no pick.
TEST(StateReceiverTest, EnterOnTheValueShownChangesNothing) {
  EngineSession session;
  session.type("su3<Space>2");  // 妳, fixed by a pick
  session.type("cl3<Space>");
  StateReceiver& receiver = session.receiver();
  const auto* choosing = session.stateAs<ChoosingCandidate>();
  ASSERT_NE(choosing, nullptr);
  ASSERT_LT(receiver.highlight(), choosing->candidates.size());
  EXPECT_EQ(choosing->candidates[receiver.highlight()].value, "好");
  session.type("<Enter>");
  EXPECT_EQ(session.stateAs<ChoosingCandidate>(), nullptr);
  EXPECT_EQ(session.buffer(), "妳好");
  // A pick moved away and back is no pick either.
  session.type("<Space><Right><Left><Enter><Enter>");
  EXPECT_EQ(session.committed, "妳好");
}

// The notice of a mistyped syllable stays while nothing else happens; the
// next key the handler sees, a key the presenter leaves to the application
// (dismissNotice), a flush or a reset each take it away.
TEST(StateReceiverTest, TheNoticeLastsUntilSomethingTakesItAway) {
  EngineSession session;
  StateReceiver& receiver = session.receiver();
  const std::string notice = "「ㄅㄧㄤˇ」不是注音音節";
  const std::function<void()> takers[] = {
      [&] { session.type("<BS>"); },
      [&] { EXPECT_TRUE(receiver.dismissNotice()); },
      [&] { receiver.flush(); },
      [&] { receiver.reset(); },
  };
  for (const auto& take : takers) {
    session.type("1u;3");
    ASSERT_TRUE(receiver.isIdle());
    EXPECT_EQ(receiver.hintText(), notice);
    take();
    EXPECT_EQ(receiver.hintText(), "");
    EXPECT_FALSE(receiver.dismissNotice());
  }
  // A composition's hint is the composition's: no notice to dismiss.
  session.type("su31u;3");
  EXPECT_EQ(receiver.hintText(), notice);
  EXPECT_FALSE(receiver.dismissNotice());
  EXPECT_EQ(receiver.hintText(), notice);
}

}  // namespace
}  // namespace Kestova
