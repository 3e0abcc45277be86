#include "engine/KeyHandler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "engine/KeyNotation.h"
#include "tests/engine/EngineTestSupport.h"

namespace Kestova {
namespace {

using namespace InputStates;
using namespace Testing;

// What the receiver holds after the keys: its state's kind, by name.
const char* kindName(StateKind k) {
  switch (k) {
    case StateKind::Empty:
      return "Empty";
    case StateKind::EmptyIgnoringPrevious:
      return "EmptyIgnoringPrevious";
    case StateKind::Committing:
      return "Committing";
    case StateKind::Inputting:
      return "Inputting";
    case StateKind::Marking:
      return "Marking";
    case StateKind::ChoosingCandidate:
      return "ChoosingCandidate";
    case StateKind::ChoosingPunctuationList:
      return "ChoosingPunctuationList";
    case StateKind::AssociatedPhrases:
      return "AssociatedPhrases";
    case StateKind::SelectingDictionary:
      return "SelectingDictionary";
    case StateKind::SelectingFeature:
      return "SelectingFeature";
    case StateKind::StateSequence:
      return "StateSequence";
  }
  return "?";
}

constexpr int kAny = -1;

struct Scenario {
  const char* layout;
  unsigned options;
  const char* keys;
  StateKind kind;
  const char* buffer;
  int cursor;  // in characters
  const char* committed;
  int errors = kAny;
  int lastResult = kAny;  // 0 or 1: what the last key returned
  const char* hint = "";  // nullptr: not checked
};

std::ostream& operator<<(std::ostream& os, const Scenario& s) {
  return os << s.layout << " options=" << s.options << " keys=" << s.keys;
}

class KeyHandlerScenarioTest : public ::testing::TestWithParam<Scenario> {};

TEST_P(KeyHandlerScenarioTest, StatesAfterKeys) {
  const Scenario& s = GetParam();
  EngineSession session;
  session.handler().setLayout(BpmfKeyboardLayout::LayoutForName(s.layout));
  applyOptions(session.handler(), s.options);
  session.type(s.keys);

  EXPECT_STREQ(kindName(session.state()->kind()), kindName(s.kind));
  EXPECT_EQ(session.buffer(), s.buffer);
  EXPECT_EQ(session.cursorChars(), static_cast<std::size_t>(s.cursor));
  EXPECT_EQ(session.committed, s.committed);
  if (s.errors != kAny) {
    EXPECT_EQ(session.errors, s.errors);
  }
  if (s.lastResult != kAny) {
    EXPECT_EQ(session.lastResult, s.lastResult == 1);
  }
  if (s.hint) {
    EXPECT_EQ(session.hint(), s.hint);
  }
}

constexpr const char* S = "Standard";
using K = StateKind;

// Typing syllables on every layout, tones, the first tone with Space, and
// what happens to syllables the model does not know.
const Scenario kComposing[] = {
    {S, 0, "su3", K::Inputting, "你", 1, "", 0},
    {S, 0, "su3cl3", K::Inputting, "你好", 2, "", 0},
    {S, 0, "su", K::Inputting, "ㄋㄧ", 2, "", 0},
    {S, 0, "3", K::Inputting, "ˇ", 1, "", 0},
    {S, 0, "a8<Space>", K::Inputting, "媽", 1, "", 0},
    {S, 0, "a87", K::Inputting, "嗎", 1, "", 0},
    {S, 0, "su3a8", K::Inputting, "你ㄇㄚ", 3, "", 0},
    {"ETen", 0, "ne3hz3", K::Inputting, "你好", 2, "", 0},
    {"Hsu", 0, "nefhwf", K::Inputting, "你好", 2, "", 0},
    {"IBM", 0, "7a,-;,", K::Inputting, "你好", 2, "", 0},
    {"HanyuPinyin", 0, "ni3hao3", K::Inputting, "你好", 2, "", 0},
    {"HanyuPinyin", 0, "ni3ha", K::Inputting, "你ha", 3, "", 0},
    {"HanyuPinyin", 0, "ma<Space>", K::Inputting, "媽", 1, "", 0},
    // Unknown syllable ㄅㄧㄤˇ: dropped, but the hint says what was typed,
    // even with nothing else composed. Then nothing is composed: the next key
    // takes the notice away and is handled as with nothing composed, so an
    // editing key reaches the application.
    {S, 0, "1u;3", K::Empty, "", 0, "", 1, 1, "「ㄅㄧㄤˇ」不是注音音節"},
    {S, 0, "su31u;3", K::Inputting, "你", 1, "", 1, 1, "「ㄅㄧㄤˇ」不是注音音節"},
    {S, 0, "1u;3<BS>", K::Empty, "", 0, "", 1, 0, ""},
    {S, 0, "1u;3<Del>", K::Empty, "", 0, "", 1, 0, ""},
    {S, 0, "1u;3<Esc>", K::Empty, "", 0, "", 1, 0, ""},
    {S, 0, "1u;3<Enter>", K::Empty, "", 0, "", 1, 0, ""},
    {S, 0, "1u;3su3", K::Inputting, "你", 1, "", 1, 1, ""},
    // keep_invalid_syllable keeps it; a vowel key then replaces the tone.
    {S, kKeepInvalid, "1u;3", K::Inputting, "ㄅㄧㄤˇ", 4, "", 1},
    {S, kKeepInvalid, "1u;3l3", K::Inputting, "表", 1, "", 1},
    // A stray tone typed first is replaced by the next component.
    {S, kKeepInvalid, "3su3", K::Inputting, "你", 1, "", 0},
    {S, 0, "3su3", K::Empty, "", 0, "", 2, 1, "「ㄧˇ」不是注音音節"},
    // The composition has no length limit.
    {S, 0, "su3cl3su3cl3su3cl3su3cl3su3cl3", K::Inputting, "你好你好你好你好你好", 10, "", 0},
};
INSTANTIATE_TEST_SUITE_P(Composing, KeyHandlerScenarioTest, ::testing::ValuesIn(kComposing));

// Escape, Backspace, Delete and Enter in each of their branches.
const Scenario kEditing[] = {
    {S, 0, "su33<BS>", K::Inputting, "你", 1, "", 0},
    {S, 0, "3<BS>", K::Empty, "", 0, "", 0},
    {S, 0, "su3cl<BS>", K::Inputting, "你ㄏ", 2, "", 0},
    {S, 0, "su3c<Del>", K::Inputting, "你ㄏ", 2, "", 1},
    {S, 0, "su3<Del>", K::Inputting, "你", 1, "", 1, 1},
    {S, 0, "su3<Home><BS>", K::Inputting, "你", 0, "", 1, 1},
    {S, 0, "su3cl3<Home><Del>", K::Inputting, "好", 0, "", 0},
    {S, 0, "su3cl3<Left><BS>", K::Inputting, "好", 0, "", 0},
    {S, 0, "su3<BS>", K::Empty, "", 0, "", 0},
    {S, 0, "<BS>", K::Empty, "", 0, "", 0, 0},
    {S, 0, "<Del>", K::Empty, "", 0, "", 0, 0},
    {S, 0, "su3cl<Esc>", K::Inputting, "你", 1, "", 0},
    {S, 0, "su3cl<Esc><Esc>", K::Inputting, "你", 1, "", 0},
    {S, 0, "cl<Esc>", K::Empty, "", 0, "", 0},
    {S, kEscClears, "su3cl3<Esc>", K::Empty, "", 0, "", 0},
    {S, kEscClears, "su3cl<Esc>", K::Empty, "", 0, "", 0},
    {S, 0, "<Esc>", K::Empty, "", 0, "", 0, 0},
    {S, 0, "su3cl3<Enter>", K::Empty, "", 0, "你好", 0},
    {S, 0, "su3c<Enter>", K::Inputting, "你ㄏ", 2, "", 1, 1},
    {S, 0, "<Enter>", K::Empty, "", 0, "", 0, 0},
    {S, 0, "su3cl3<S-Enter>", K::Inputting, "你好", 2, "", 0, 1},
    {S, 0, "su3cl3<C-Enter>", K::Inputting, "你好", 2, "", 0, 0},
    {S, kCtrlEnterReadings, "su3cl3<C-Enter>", K::Empty, "", 0, "ㄋㄧˇ-ㄏㄠˇ", 0, 1},
    {S, kCtrlEnterReadings, "su3c<C-Enter>", K::Inputting, "你ㄏ", 2, "", 1, 1},
    // Space as a character.
    {S, kSpaceInserts, "su3cl3<Space>", K::Empty, "", 0, "你好 ", 0},
    {S, kSpaceInserts, "su3cl3<Left><Space>", K::Inputting, "你 好", 2, "", 0},
    {S, 0, "su3cl3<S-Space>", K::Empty, "", 0, "你好 ", 0},
    {S, 0, "su3c<S-Space>", K::Inputting, "你ㄏ", 2, "", 1},
    // Control+"\" commits and leaves the feature menu to the module.
    {S, 0, "su3<C-\\>", K::Empty, "", 0, "你", 0, 1},
};
INSTANTIATE_TEST_SUITE_P(Editing, KeyHandlerScenarioTest, ::testing::ValuesIn(kEditing));

// Cursor keys, the hint inside a word, and keys nothing takes.
const Scenario kCursor[] = {
    {S, 0, "su3cl3<Left>", K::Inputting, "你好", 1, "", 0},
    {S, 0, "su3cl3<Home>", K::Inputting, "你好", 0, "", 0},
    {S, 0, "su3cl3<Home><End>", K::Inputting, "你好", 2, "", 0},
    {S, 0, "su3cl3<Right>", K::Inputting, "你好", 2, "", 1},
    {S, 0, "su3cl3<Home><Left>", K::Inputting, "你好", 0, "", 1},
    {S, 0, "su3c<Left>", K::Inputting, "你ㄏ", 2, "", 1},
    {S, 0, "<Left>", K::Empty, "", 0, "", 0, 0},
    {S, 0, "a8<Space>a8<Space>", K::Inputting, "媽媽咪", 3, "", 0, kAny, ""},
    {S, 0, "a8<Space>a8<Space><Left>", K::Inputting, "媽媽咪", 1, "", 0, kAny,
     "游標在「ㄇㄚ」與「ㄇㄚ」之間"},
    {S, 0, "su3<Up>", K::Inputting, "你", 1, "", 1, 1},
    {S, 0, "<Up>", K::Empty, "", 0, "", 0, 0},
    {S, 0, "su3cl3<S-Left><Up>", K::Marking, "你好", 1, "", 0, 1, nullptr},
};
INSTANTIATE_TEST_SUITE_P(Cursor, KeyHandlerScenarioTest, ::testing::ValuesIn(kCursor));

// Candidates with every combination of select_phrase_after_cursor and
// move_cursor_after_selection, Tab and Shift+Tab.
const Scenario kCandidates[] = {
    {S, 0, "su3<Space>", K::ChoosingCandidate, "你", 1, "", 0},
    {S, 0, "su3<Down>", K::ChoosingCandidate, "你", 1, "", 0},
    {S, 0, "su3<Space>2", K::Inputting, "妳", 1, "", 0},
    {S, 0, "su3cl3<Space>3", K::Inputting, "你郝", 2, "", 0},
    {S, 0, "su3cl3<Space><Esc>", K::Inputting, "你好", 2, "", 0},
    {S, 0, "su3cl3<Home><Space>3", K::Inputting, "妳好", 0, "", 0},
    {S, kSelectAfter, "su3cl3<Home><Space>3", K::Inputting, "妳好", 0, "", 0},
    // Cursor between the two readings: candidates end at the cursor, or with
    // select_phrase_after_cursor start at it.
    {S, 0, "su3cl3<Left><Space>1", K::Inputting, "你好", 1, "", 0},
    {S, kMoveAfter, "su3cl3<Left><Space>1", K::Inputting, "你好", 2, "", 0},
    {S, kSelectAfter, "su3cl3<Left><Space>1", K::Inputting, "你好", 1, "", 0},
    {S, kSelectAfter | kMoveAfter, "su3cl3<Left><Space>1", K::Inputting, "你好", 2, "", 0},
    {S, 0, "su3cl3<Left><Space>3", K::Inputting, "妳好", 1, "", 0},
    {S, kMoveAfter, "su3cl3<Left><Space>3", K::Inputting, "妳好", 1, "", 0},
    {S, kSelectAfter, "su3cl3<Left><Space>3", K::Inputting, "你郝", 1, "", 0},
    {S, kSelectAfter | kMoveAfter, "su3cl3<Left><Space>3", K::Inputting, "你郝", 2, "", 0},
    // At the end with both options on, the window moves the cursor onto the
    // last reading; a cancel puts it back.
    {S, kSelectAfter | kMoveAfter, "su3cl3<Space>", K::ChoosingCandidate, "你好", 1, "", 0},
    {S, kSelectAfter | kMoveAfter, "su3cl3<Space><Esc>", K::Inputting, "你好", 2, "", 0},
    {S, kSelectAfter | kMoveAfter, "su3cl3<Space>3", K::Inputting, "你郝", 2, "", 0},
    // Shift+Left in the window moves the cursor and lists anew.
    {S, 0, "su3cl3<Space><S-Left>3", K::Inputting, "妳好", 1, "", 0},
    // Tab rotates in place; Shift+Tab backwards.
    {S, 0, "su3cl3<Tab>", K::Inputting, "你好", 2, "", 0},
    {S, 0, "su3cl3<Tab><Tab>", K::Inputting, "你郝", 2, "", 0},
    {S, 0, "su3cl3<Tab><Tab><Tab>", K::Inputting, "你好", 2, "", 0},
    {S, 0, "su3cl3<S-Tab>", K::Inputting, "你郝", 2, "", 0},
    {S, 0, "su3cl3<S-Tab><S-Tab>", K::Inputting, "你好", 2, "", 0},
    {S, 0, "su3c<Tab>", K::Inputting, "你ㄏ", 2, "", 1, 1},
    {S, 0, "<Tab>", K::Empty, "", 0, "", 0, 0},
};
INSTANTIATE_TEST_SUITE_P(Candidates, KeyHandlerScenarioTest, ::testing::ValuesIn(kCandidates));

const std::string kTooFew = "至少需要選取2個字";

// Marking with Shift and the cursor keys.
const Scenario kMarking[] = {
    {S, 0, "su3cl3<S-Left>", K::Marking, "你好", 1, "", 0, 1,
     "選取了「好」，注音「ㄏㄠˇ」：至少需要選取2個字"},
    {S, 0, "su3cl3<S-Left><S-Left>", K::Marking, "你好", 0, "", 0, 1,
     "選取了「你好」，注音「ㄋㄧˇ ㄏㄠˇ」：詞庫已經有這個詞"},
    {S, 0, "su3cl3<Home><S-Right><S-Right>", K::Marking, "你好", 2, "", 0, 1,
     "選取了「你好」，注音「ㄋㄧˇ ㄏㄠˇ」：詞庫已經有這個詞"},
    {S, 0, "su3cl3<S-Left><S-Right>", K::Inputting, "你好", 2, "", 0},
    {S, 0, "su3cl3<S-Left><Left>", K::Inputting, "你好", 0, "", 0},
    {S, 0, "su3cl3<S-Left><Enter>", K::Marking, "你好", 1, "", 1, 1, nullptr},
    {S, 0, "su3cl3<S-Left><S-Left><Enter>", K::Marking, "你好", 0, "", 1, 1, nullptr},
    {S, 0, "su3cl3<S-Left>?", K::Inputting, "你好", 1, "", 0, 1},
    {S, 0, "su3a8<Space><S-Left><S-Left>", K::Marking, "你媽", 0, "", 0, 1,
     "選取了「你媽」，注音「ㄋㄧˇ ㄇㄚ」：請按 Enter 加入自訂詞庫"},
    {S, 0, "su3su3su3su3su3su3su3su3su3<S-Home>", K::Marking, "你你你你你你你你你", 0, "", 0, 1,
     "選取了「你你你你你你你你你」，注音「ㄋㄧˇ ㄋㄧˇ ㄋㄧˇ ㄋㄧˇ ㄋㄧˇ ㄋㄧˇ ㄋㄧˇ ㄋㄧˇ "
     "ㄋㄧˇ」：最多只能選取8個字"},
};
INSTANTIATE_TEST_SUITE_P(Marking, KeyHandlerScenarioTest, ::testing::ValuesIn(kMarking));

// Punctuation, the keypad and capital letters.
const Scenario kPunctuation[] = {
    {S, 0, "<lt>", K::Inputting, "，", 1, "", 0},
    {S, 0, "su3<lt>", K::Inputting, "你，", 2, "", 0},
    {S, 0, "!", K::Inputting, "！", 1, "", 0},
    {S, kHalfWidth, "!", K::Inputting, "!", 1, "", 0},
    {S, kHalfWidth, "<lt>", K::Inputting, "，", 1, "", 0},
    {"Hsu", 0, ",", K::Inputting, "，", 1, "", 0},
    {"HanyuPinyin", 0, ",", K::Inputting, "、", 1, "", 0},
    {"Hsu", kHalfWidth, ",", K::Inputting, ",", 1, "", 0},
    {"HanyuPinyin", kHalfWidth, ",", K::Inputting, "、", 1, "", 0},
    {S, 0, "<C-,>", K::Inputting, "，", 1, "", 0},
    {S, 0, "su3<C-.>", K::Inputting, "你。", 2, "", 0},
    {S, 0, "<C-/>", K::Empty, "", 0, "", 0, 0},
    {S, 0, "su<lt>", K::Inputting, "ㄋㄧ", 2, "", 1, 1},
    {S, 0, "su3@", K::Inputting, "你", 1, "", 1, 1},
    {S, 0, "@", K::Empty, "", 0, "", 0, 0},
    // Repeated punctuation rotates its candidates instead of inserting.
    {S, 0, "<lt><lt>", K::Inputting, "，，", 2, "", 0},
    {S, kRepeatSelects, "<lt><lt>", K::Inputting, "〈", 1, "", 0},
    {S, kRepeatSelects, "<lt><lt><lt>", K::Inputting, "《", 1, "", 0},
    {S, kRepeatSelects, "<lt><lt><lt><lt>", K::Inputting, "，", 1, "", 0},
    {S, kRepeatSelects | kSelectAfter, "su3<lt><lt>", K::Inputting, "你〈", 2, "", 0},
    {S, kRepeatSelects, "!!", K::Inputting, "！！", 2, "", 0},
    // While marking the repeat refuses, as Tab does, and the marking stays.
    {S, kRepeatSelects, "<lt>su3<Home><S-Right><lt>", K::Marking, "，你", 1, "", 1, 1, nullptr},
    // Letters are not punctuation: they never rotate.
    {S, kRepeatSelects | kLowercase, "AAA", K::Inputting, "aaa", 3, "", 0},
    // The keypad.
    {S, 0, "<KP5>", K::Empty, "", 0, "", 0, 0},
    {S, 0, "su3<KP5>", K::Inputting, "你5", 2, "", 0},
    // Capital letters.
    {S, 0, "A", K::Empty, "", 0, "", 0, 0},
    {S, 0, "su3A", K::Empty, "", 0, "你A", 0, 1},
    {S, 0, "su3cl3<Left>A", K::Empty, "", 0, "你A好", 0, 1},
    {S, 0, "su3C", K::Empty, "", 0, "你C", 0, 1},
    // A half-typed syllable is committed too, after the letter.
    {S, 0, "su3cA", K::Empty, "", 0, "你Aㄏ", 0, 1},
    {S, 0, "su3suA", K::Empty, "", 0, "你Aㄋㄧ", 0, 1},
    {S, kLowercase, "A", K::Inputting, "a", 1, "", 0},
    {S, kLowercase, "su3B", K::Inputting, "你b", 2, "", 0},
    {S, kLowercase, "C", K::Empty, "", 0, "", 0, 1},
    // The punctuation list.
    {S, 0, "`", K::ChoosingPunctuationList, "，", 1, "", 0},
    {S, 0, "`2", K::Inputting, "。", 1, "", 0},
    {S, 0, "`<Esc>", K::Empty, "", 0, "", 0},
    {S, 0, "su3`<BS>", K::Inputting, "你", 1, "", 0},
    {S, 0, "su3`q", K::Inputting, "你「", 2, "", 0},
    {S, 0, "su3`x", K::ChoosingPunctuationList, "你，", 2, "", 0},
    {S, kSelectAfter, "su3`", K::ChoosingPunctuationList, "你，", 1, "", 0},
    {S, kSelectAfter, "su3<Home>`2", K::Inputting, "。你", 1, "", 0},
    {S, kSelectAfter, "su3<Home>`w", K::Inputting, "」你", 1, "", 0},
    {S, kSelectAfter, "su3<Home>`<Esc>", K::Inputting, "你", 0, "", 0},
    {S, 0, "su`", K::Inputting, "ㄋㄧ", 2, "", 1, 1},
};
INSTANTIATE_TEST_SUITE_P(Punctuation, KeyHandlerScenarioTest, ::testing::ValuesIn(kPunctuation));

// ---------------------------------------------------------------------------

TEST(KeyHandlerTest, CandidateListsFollowTheCursorRules) {
  EngineSession session;
  session.type("su3cl3<Space>");
  const auto* choosing = session.stateAs<ChoosingCandidate>();
  ASSERT_NE(choosing, nullptr);
  std::vector<std::string> values;
  for (const auto& c : choosing->candidates) values.push_back(c.value);
  EXPECT_EQ(values, (std::vector<std::string>{"你好", "好", "郝"}));
  EXPECT_EQ(choosing->candidates[0].reading, "ㄋㄧˇ-ㄏㄠˇ");
  EXPECT_EQ(choosing->candidates[0].rawValue, "你好");
  EXPECT_EQ(choosing->returnCursor, 2u);
  EXPECT_EQ(choosing->hint, "");

  // Cursor 0: the phrases at position 0 whatever the option.
  for (bool after : {false, true}) {
    EngineSession s;
    applyOptions(s.handler(), after ? kSelectAfter : kNoOptions);
    s.type("su3cl3<Home><Space>");
    const auto* c = s.stateAs<ChoosingCandidate>();
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->candidates.size(), 4u);
    EXPECT_EQ(c->candidates[0].value, "你好");
    EXPECT_EQ(c->candidates[1].value, "你");
    EXPECT_EQ(c->returnCursor, 0u);
  }
}

// The phrase the candidate list acts on is the walk's phrase over the
// reading before the cursor (after it with select_phrase_after_cursor), and
// the list offers it among the others.
TEST(KeyHandlerTest, CandidatePhraseIsThePhraseTheListReplaces) {
  struct Case {
    unsigned options;
    const char* keys;
    const char* lit;
  } cases[] = {
      {kNoOptions, "su3cl3w96j0 ", "臺灣"},                // at the end: the last phrase
      {kSelectAfter, "su3cl3w96j0 ", "臺灣"},              // the same with the option
      {kNoOptions, "su3cl3w96j0 <Left><Left>", "你好"},    // between: the one before
      {kSelectAfter, "su3cl3w96j0 <Left><Left>", "臺灣"},  // between: the one after
      {kNoOptions, "su3cl3w96j0 <Home>", "你好"},          // at the start: the first
      {kNoOptions, "su3cl3w96j0 <Left>", "臺灣"},          // inside a phrase: that phrase
      {kNoOptions, "a8 a8 w96<Home><Right>", "媽媽咪"},    // more characters than readings
      {kSelectAfter, "a8 a8 w96<Left>", "臺"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    EngineSession session;
    applyOptions(session.handler(), c.options);
    session.type(c.keys);
    const auto [start, end] = session.handler().candidatePhraseBytes();
    const std::string buffer = session.buffer();
    ASSERT_LE(start, end);
    ASSERT_LE(end, buffer.size());
    EXPECT_EQ(buffer.substr(start, end - start), c.lit);
    session.type("<Down>");
    const auto* choosing = session.stateAs<ChoosingCandidate>();
    ASSERT_NE(choosing, nullptr);
    EXPECT_EQ(session.handler().candidatePhraseBytes(), std::make_pair(start, end));
    std::vector<std::string> values;
    for (const auto& candidate : choosing->candidates) values.push_back(candidate.value);
    EXPECT_NE(std::find(values.begin(), values.end(), c.lit), values.end());
  }
  EngineSession idle;
  EXPECT_EQ(idle.handler().candidatePhraseBytes(), std::make_pair(std::size_t{0}, std::size_t{0}));
}

TEST(KeyHandlerTest, ThreeReadingsCandidatesEndAtTheCursor) {
  EngineSession session;
  session.type("su3cl3a8<Space><Left><Space>");
  const auto* choosing = session.stateAs<ChoosingCandidate>();
  ASSERT_NE(choosing, nullptr);
  ASSERT_FALSE(choosing->candidates.empty());
  // Cursor after the second reading: the phrases ending at ㄏㄠˇ.
  EXPECT_EQ(choosing->candidates[0].reading, "ㄋㄧˇ-ㄏㄠˇ");
  EXPECT_EQ(choosing->candidates[1].reading, "ㄏㄠˇ");
}

TEST(KeyHandlerTest, PickIsSuggestedAgainInTheSameContext) {
  EngineSession session;
  session.type("su3<Space>2");
  EXPECT_EQ(session.buffer(), "妳");
  session.type("<Enter>");
  EXPECT_EQ(session.committed, "妳");

  // The same syllable at the start of a new composition gets the pick. It
  // was picked with nothing before it, no context to go by, so a word a
  // later syllable makes across it wins (a pick made after other syllables
  // stays: PickKeptWhenALaterSyllableFormsAWord in the playground tests).
  session.type("su3");
  EXPECT_EQ(session.buffer(), "妳");
  session.type("cl3");
  EXPECT_EQ(session.buffer(), "你好");
  session.type("<Enter>");

  // A fresh handler has no history.
  EngineSession fresh;
  fresh.type("su3");
  EXPECT_EQ(fresh.buffer(), "你");
}

TEST(KeyHandlerTest, UnlikelyPickChangesTextButIsNotLearnt) {
  // Scores of -8.0 (the threshold itself) and below are not learnt.
  for (const char* pick : {"2", "3"}) {
    EngineSession session;
    session.type(std::string("dk3<Space>") + pick);
    EXPECT_EQ(session.buffer(), pick[0] == '2' ? "殼" : "渴");
    session.type("<Enter>dk3");
    EXPECT_EQ(session.buffer(), "可");
  }

  // A likely pick at the same place is learnt.
  EngineSession learning;
  learning.type("cl3<Space>2<Enter>");
  EXPECT_EQ(learning.committed, "郝");
  learning.type("cl3");
  EXPECT_EQ(learning.buffer(), "郝");
}

TEST(KeyHandlerTest, AddedPhraseIsWrittenAndThenTheFirstCandidate) {
  EngineSession session;
  session.type("su3a8<Space>");
  EXPECT_EQ(session.buffer(), "你媽");
  session.type("<S-Left><S-Left>");
  const auto* marking = session.stateAs<Marking>();
  ASSERT_NE(marking, nullptr);
  EXPECT_TRUE(marking->canAdd);
  EXPECT_EQ(marking->selectionReadings, "ㄋㄧˇ-ㄇㄚ");
  EXPECT_EQ(marking->before, "");
  EXPECT_EQ(marking->selection, "你媽");
  EXPECT_EQ(marking->after, "");
  EXPECT_EQ(marking->anchor, 2u);

  session.type("<Enter>");
  EXPECT_EQ(session.errors, 0);
  ASSERT_NE(session.stateAs<Inputting>(), nullptr);
  EXPECT_EQ(session.buffer(), "你媽");
  EXPECT_EQ(session.committed, "");
  // Anchor at the end with the cursor before it: the cursor goes to the end.
  EXPECT_EQ(session.cursorChars(), 2u);

  std::ifstream in(session.userPhrasesPath());
  std::stringstream contents;
  contents << in.rdbuf();
  EXPECT_NE(contents.str().find("你媽 ㄋㄧˇ-ㄇㄚ\n"), std::string::npos) << contents.str();

  session.type("<Enter>");
  session.type("su3a8<Space><Space>");
  const auto* choosing = session.stateAs<ChoosingCandidate>();
  ASSERT_NE(choosing, nullptr);
  ASSERT_FALSE(choosing->candidates.empty());
  EXPECT_EQ(choosing->candidates[0].value, "你媽");
  EXPECT_EQ(choosing->candidates[0].reading, "ㄋㄧˇ-ㄇㄚ");

  // Now the same marking says the phrase is present.
  session.type("<Esc><S-Left><S-Left>");
  marking = session.stateAs<Marking>();
  ASSERT_NE(marking, nullptr);
  EXPECT_FALSE(marking->canAdd);
}

TEST(KeyHandlerTest, MarkingSplitsTheBufferTheSameWayInBothDirections) {
  EngineSession leftToRight;
  leftToRight.type("su3cl3a8<Space><Home><Right><S-Right><S-Right>");
  EngineSession rightToLeft;
  rightToLeft.type("su3cl3a8<Space><S-Left><S-Left>");
  const auto* a = leftToRight.stateAs<Marking>();
  const auto* b = rightToLeft.stateAs<Marking>();
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(a->before, "你");
  EXPECT_EQ(a->selection, "好媽");
  EXPECT_EQ(a->after, "");
  EXPECT_EQ(a->selectionReadings, "ㄏㄠˇ-ㄇㄚ");
  EXPECT_EQ(a->anchor, 1u);
  EXPECT_EQ(b->anchor, 3u);
  EXPECT_EQ(a->selection, b->selection);
  EXPECT_EQ(a->before, b->before);
  EXPECT_EQ(a->hint, b->hint);
  EXPECT_EQ(a->buffer, b->buffer);
  EXPECT_NE(a->cursor, b->cursor);
  EXPECT_EQ(a->before + a->selection + a->after, a->buffer);
}

TEST(KeyHandlerTest, ControlEnterCommitsEachNotation) {
  using Mode = CtrlEnterMode;
  const struct {
    Mode mode;
    const char* text;
  } cases[] = {
      {Mode::BpmfReading, "ㄋㄧˇ-ㄏㄠˇ-_punctuation_Standard_<"},
      {Mode::HtmlRuby, "<ruby>你好<rp>(</rp><rt>ㄋㄧˇ ㄏㄠˇ</rt><rp>)</rp></ruby>，"},
      {Mode::HanyuPinyin, "nihao，"},
      {Mode::BrailleUnicode, "⠝⠡⠈⠗⠩⠈⠆"},
      {Mode::BrailleAscii, "n*`r%`2"},
  };
  for (const auto& c : cases) {
    EngineSession session;
    Options options;
    options.ctrl_enter = c.mode;
    session.handler().setOptions(options);
    session.type("su3cl3<lt><C-Enter>");
    EXPECT_EQ(session.committed, c.text) << static_cast<int>(c.mode);
    EXPECT_TRUE(session.lastResult);
    EXPECT_EQ(session.handler().readingCount(), 0u);
  }
}

TEST(KeyHandlerTest, CommitAllDropsTheHalfTypedSyllable) {
  EngineSession session;
  session.type("su3cl");
  session.handler().commitAll(session.callback());
  EXPECT_EQ(session.committed, "你");
  EXPECT_EQ(session.handler().readingCount(), 0u);
  EXPECT_TRUE(session.handler().readingBuffer().isEmpty());
}

TEST(KeyHandlerTest, GridCursorWriteIsClamped) {
  EngineSession session;
  session.type("su3cl3");
  session.handler().setGridCursor(99);
  EXPECT_EQ(session.handler().gridCursor(), 2u);
  session.handler().setGridCursor(1);
  EXPECT_EQ(session.handler().gridCursor(), 1u);
}

TEST(KeyHandlerTest, FeatureMenuResetsThroughAStateSequence) {
  EngineSession session;
  KeyHandler& h = session.handler();
  session.type("su3");
  std::vector<std::unique_ptr<InputState>> got;
  EXPECT_TRUE(h.handle(
      Key::fromCharacter('\\', false, true), session.state(),
      [&](std::unique_ptr<InputState> s) { got.push_back(std::move(s)); }, [] {}));
  ASSERT_EQ(got.size(), 1u);
  const auto* seq = stateAs<StateSequence>(got[0].get());
  ASSERT_NE(seq, nullptr);
  ASSERT_EQ(seq->states.size(), 2u);
  EXPECT_EQ(seq->states[0]->kind(), StateKind::Empty);
  EXPECT_EQ(seq->states[1]->kind(), StateKind::SelectingFeature);
  EXPECT_EQ(h.readingCount(), 0u);
}

TEST(KeyHandlerTest, EmptyCallablesRaiseBadFunctionCall) {
  EngineSession session;
  // A refused key calls onError; with an empty callable that is the
  // standard exception the module catches.
  session.type("su3");
  EXPECT_THROW(session.handler().handle(Key::fromCharacter(Key::kDelete), session.state(),
                                        session.callback(), ErrorCallback()),
               std::bad_function_call);
}

// The marking offers an addition exactly when the user phrase file could
// hold the line: a typed space (reading " ") or a value starting with "#"
// (a comment line) cannot be added, and Enter says so and writes nothing.
TEST(KeyHandlerTest, MarkingThatTheUserFileCannotHoldCannotBeAdded) {
  const struct {
    unsigned options;
    const char* keys;
    const char* selection;
  } cases[] = {
      {kSpaceInserts, "su3su3<Left><Space><End><S-Left><S-Left><S-Left>", "你 你"},
      {kHalfWidth, "#su3<Home><S-Right><S-Right>", "#你"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    EngineSession session;
    applyOptions(session.handler(), c.options);
    session.type(c.keys);
    const auto* marking = session.stateAs<Marking>();
    ASSERT_NE(marking, nullptr);
    EXPECT_EQ(marking->selection, c.selection);
    EXPECT_FALSE(marking->canAdd);
    EXPECT_NE(session.hint().find("無法加入自訂詞庫"), std::string::npos) << session.hint();

    const int errorsBefore = session.errors;
    session.type("<Enter>");
    EXPECT_EQ(session.errors, errorsBefore + 1);
    ASSERT_NE(session.stateAs<Marking>(), nullptr);
    std::ifstream in(session.userPhrasesPath());
    std::stringstream contents;
    contents << in.rdbuf();
    EXPECT_EQ(contents.str().find(c.selection), std::string::npos) << contents.str();
  }
}

// With context the walk may show a phrase other than a node's first; Tab
// rotates on from the phrase shown, an override stays where the user put it
// while the rest is walked again around it, and the walk without the file
// is the plain one.
TEST(KeyHandlerTest, ContextPairsChooseAndTabRotatesFromThePhraseShown) {
  ContextFileContents context;
  context.pairs = {{"媽", "妳", 3.0}};
  EngineSession withContext(fixturePhrases(), &context);
  withContext.type("a8<Space>su3");
  EXPECT_EQ(withContext.buffer(), "媽妳");  // the pair beats 你's better score
  withContext.type("<Tab>");
  EXPECT_EQ(withContext.buffer(), "媽擬");  // the candidate after 妳
  withContext.type("<Tab>");
  EXPECT_EQ(withContext.buffer(), "媽你");  // wraps round

  EngineSession plain;
  plain.type("a8<Space>su3");
  EXPECT_EQ(plain.buffer(), "媽你");
  plain.type("<Tab>");
  EXPECT_EQ(plain.buffer(), "媽妳");

  // A pick of 嗎 for the first reading stays; the second reading is walked
  // again in the new context, where no pair favours 妳.
  EngineSession picked(fixturePhrases(), &context);
  picked.type("a8<Space>su3<Home><Space>2");
  EXPECT_EQ(picked.buffer(), "嗎你");
}

}  // namespace
}  // namespace Kestova
