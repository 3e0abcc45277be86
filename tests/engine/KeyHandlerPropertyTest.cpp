// Random key sequences of every kind, under every option combination and
// layout: the handler never throws, and every state it reports is well formed.

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <random>
#include <string>

#include "base/ModuleLog.h"
#include "engine/KeyHandler.h"
#include "engine/KeyNotation.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/LogCapture.h"
#include "text/Utf8.h"

namespace Kestova {
namespace {

using namespace InputStates;
using namespace Testing;

// Keys weighted towards what composes: layout keys, Space and the editing
// keys, with every other character and named key mixed in.
Key randomKey(std::mt19937& rng) {
  static constexpr std::string_view kComposing = "su3cl3a8<Space>1u;dk6479,./-`!?AB";
  static constexpr std::array<char, 7> kControlMask{8, 9, 13, 27, 32, 127, 0};
  std::uniform_int_distribution<int> pick(0, 99);
  const int kind = pick(rng);
  Key key;
  if (kind < 45) {
    key.character = kComposing[static_cast<std::size_t>(pick(rng)) % kComposing.size()];
  } else if (kind < 65) {
    key.character = static_cast<char>(0x20 + pick(rng) % 0x5F);
  } else if (kind < 80) {
    key.character = kControlMask[static_cast<std::size_t>(pick(rng)) % kControlMask.size()];
  } else if (kind < 85) {
    // Anything a careless caller might pass, high bytes included.
    key.character = static_cast<char>(std::uniform_int_distribution<int>(1, 255)(rng));
  } else {
    key.namedKey = static_cast<NamedKey>(1 + pick(rng) % 7);
  }
  const int mods = pick(rng);
  key.shift = mods % 4 == 0;
  key.ctrl = mods % 7 == 0;
  key.numpad = key.namedKey == NamedKey::None && mods % 11 == 0;
  return key;
}

void checkState(const InputState& state, const KeyHandler& handler, const std::string& trail) {
  if (const auto* s = stateAs<NotEmpty>(&state)) {
    ASSERT_TRUE(Utf8::isValid(s->buffer)) << trail;
    ASSERT_TRUE(Utf8::isCharacterBoundary(s->buffer, s->cursor))
        << trail << " cursor " << s->cursor << " in \"" << s->buffer << "\"";
  }
  if (const auto* m = stateAs<Marking>(&state)) {
    ASSERT_EQ(m->before + m->selection + m->after, m->buffer) << trail;
    ASSERT_LE(m->anchor, handler.readingCount()) << trail;
    ASSERT_NE(m->anchor, handler.gridCursor()) << trail;
  }
  if (const auto* c = stateAs<ChoosingCandidate>(&state)) {
    ASSERT_EQ(c->hint, "") << trail;
    ASSERT_LE(c->returnCursor, handler.readingCount()) << trail;
  }
  if (const auto* c = stateAs<Committing>(&state)) {
    ASSERT_TRUE(Utf8::isValid(c->text)) << trail;
  }
  ASSERT_LE(handler.gridCursor(), handler.readingCount()) << trail;
}

const BpmfKeyboardLayout* layoutAt(unsigned i) {
  // Every layout, and now and then none at all.
  const auto& layouts = BpmfKeyboardLayout::AllLayouts();
  return i % 7 < layouts.size() ? layouts[i % 7] : nullptr;
}

TEST(KeyHandlerPropertyTest, RandomKeysKeepStatesWellFormed) {
  constexpr unsigned kRuns = 2 * (kAllOptionBits + 1);  // every option set, twice
  constexpr int kKeysPerRun = 60;
  // How often each kind of state came up, to show the keys reach them all.
  std::map<StateKind, int> seen;
  for (unsigned run = 0; run < kRuns; ++run) {
    std::mt19937 rng(0x5eed0000u + run);
    const unsigned options = run % (kAllOptionBits + 1);
    EngineSession session;
    Options chosen = optionsFromBits(options);
    chosen.ctrl_enter = static_cast<CtrlEnterMode>(run % 6);
    session.handler().setOptions(chosen);
    session.handler().setLayout(layoutAt(run / (kAllOptionBits + 1) + run));

    std::vector<Key> keys;
    session.receiver().setObserver([&](const InputState& state) {
      seen[state.kind()]++;
      checkState(state, session.handler(),
                 "run " + std::to_string(run) + " options " + std::to_string(options) + " keys " +
                     formatKeys(keys));
    });
    for (int i = 0; i < kKeysPerRun; ++i) {
      keys.push_back(randomKey(rng));
      // The receiver turns an exception into an error log line.
      ScopedLogCapture log;
      session.press(keys.back());
      for (const auto& line : log.lines()) {
        ASSERT_EQ(line.find("Error"), std::string::npos) << line << " after " << formatKeys(keys);
      }
      if (HasFatalFailure()) return;
      ASSERT_NO_FATAL_FAILURE(
          checkState(*session.state(), session.handler(), "after " + formatKeys(keys)));
    }
    // Whatever is left can always be committed.
    session.handler().commitAll(session.callback());
    ASSERT_TRUE(Utf8::isValid(session.committed));
    EXPECT_EQ(session.handler().readingCount(), 0u);
  }
  for (StateKind kind :
       {StateKind::Inputting, StateKind::Marking, StateKind::ChoosingCandidate,
        StateKind::ChoosingPunctuationList, StateKind::Committing, StateKind::EmptyIgnoringPrevious,
        StateKind::Empty, StateKind::AssociatedPhrases, StateKind::SelectingDictionary}) {
    EXPECT_GT(seen[kind], 0) << static_cast<int>(kind);
  }
}

}  // namespace
}  // namespace Kestova
