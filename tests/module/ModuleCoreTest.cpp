// The module core through the test host: initialisation, key translation,
// composing and committing, the candidate window, the preedit and the
// settings reload.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/ModuleFixture.h"

namespace Kestova {
namespace {

namespace fs = std::filesystem;

class ModuleCoreTest : public ModuleFixture {
 protected:
  void init() { ASSERT_EQ(host().initWin(), 1); }
  std::string preeditText() { return host().preedit().text; }
  // Sets a file's modification time explicitly, so a rewrite within the same
  // second still counts as a change.
  static void setModificationTime(const fs::path& path, time_t when) {
    struct utimbuf times {
      when, when
    };
    ASSERT_EQ(utime(path.c_str(), &times), 0);
  }
};

TEST_F(ModuleCoreTest, InitCopiesTheTableAndBuildsTheWindowOnce) {
  testing::internal::CaptureStderr();
  init();
  // The database is mapped once.
  const std::string log = testing::internal::GetCapturedStderr();
  std::size_t maps = 0;
  for (std::size_t at = log.find("Built-in LM: "); at != std::string::npos;
       at = log.find("Built-in LM: ", at + 1)) {
    ++maps;
  }
  EXPECT_EQ(maps, 1u) << log;
  ASSERT_GE(host().callLog().size(), 2u);
  const int begin = TestHost::slotOf(&HostFunctions::begin_module);
  const int callbacks = TestHost::slotOf(&HostFunctions::register_candidate_callbacks);
  EXPECT_EQ(host().callLog()[0], begin);  // begin_module first
  EXPECT_EQ(host().callLog()[1], callbacks);
  EXPECT_TRUE(host().callbacksRegistered());
  EXPECT_EQ(host().calls(&HostFunctions::on_window_built), 1);
  EXPECT_EQ(host().calls(&HostFunctions::adopt_window), 1);
  EXPECT_EQ(host().calls(&HostFunctions::set_label_font_size), 2);  // text and hint
  EXPECT_TRUE(host().errors().empty());
  EXPECT_TRUE(fs::is_directory(home() / ".gcin/kestova"));

  host().clearCallLog();
  EXPECT_EQ(host().initWin(), 1);
  EXPECT_EQ((std::vector<int>{begin, callbacks}), host().callLog());
  EXPECT_EQ(host().calls(&HostFunctions::on_window_built), 1);

  // The module uses its own copy: the table given to init is gone by now.
  type("hk4g4");
  EXPECT_EQ(preeditText(), "測試");
  host().feedKey(XK_Return);
  EXPECT_EQ(host().committed(), "測試");
}

std::vector<std::string> secondTableCommits;

TEST_F(ModuleCoreTest, EveryInitCopiesTheTableAgain) {
  init();
  // A second init with another commit function: the module uses it from then on.
  HostFunctions table = host().table();
  table.commit_text = [](const char* text) { secondTableCommits.emplace_back(text); };
  ASSERT_EQ(host().initWin(table), 1);
  type("hk4");
  host().feedKey(XK_Return);
  EXPECT_EQ(secondTableCommits, std::vector<std::string>{"測"});
  EXPECT_TRUE(host().commits().empty());
}

TEST_F(ModuleCoreTest, ControlEnterCommitsTheChosenNotation) {
  struct Case {
    const char* mode;
    int result;
    const char* expected;  // a piece of the committed text
  };
  const Case cases[] = {
      {"bpmf_reading", 1, "ㄘㄜˋ"},
      {"html_ruby", 1, "<ruby>"},
      {"disabled", 0, ""},
  };
  init();
  time_t stamp = 1600000000;
  for (const Case& c : cases) {
    environment().writeSettingsFile(std::string(R"({"ctrl_enter": ")") + c.mode + "\"}");
    setModificationTime(environment().configDirectory() / "kestova.json", stamp++);
    type("hk4g4");
    EXPECT_EQ(host().feedKey(XK_Return, kControlMask), c.result) << c.mode;
    std::string committed = host().takeCommitted();
    EXPECT_NE(committed.find(c.expected), std::string::npos) << c.mode << ": " << committed;
    if (c.result == 0) {
      EXPECT_EQ(committed, "");
      EXPECT_EQ(preeditText(), "測試");
    }
    host().reset();
  }
}

TEST_F(ModuleCoreTest, MissingDataFileIsReportedAndNothingIsBuilt) {
  fs::remove(environment().dataFile());
  EXPECT_EQ(host().initWin(), 0);
  ASSERT_EQ(host().errors().size(), 1u);
  EXPECT_EQ(host().errors()[0], "Kestova's tables are not in " + environment().dataRoot().string());
  EXPECT_EQ(host().calls(&HostFunctions::on_window_built), 0);
  // Without a core every export is a no-op.
  EXPECT_EQ(host().feedKey('h'), 0);
  EXPECT_EQ(host().calls(&HostFunctions::accepts_keys), 0);
  EXPECT_EQ(host().preedit().result, 0);
  EXPECT_EQ(host().reset(), 0);
  EXPECT_EQ(host().winVisible(), 0);
}

TEST_F(ModuleCoreTest, ErrorTextIsNeverUsedAsAFormat) {
  // The host formats its error report printf-style; a "%" in the data root
  // must come through as it is.
  fs::path root = environment().directory() / "100%s%n";
  fs::create_directories(root);
  setenv(TestEnvironment::kDataRootVariable, root.c_str(), 1);
  EXPECT_EQ(host().initWin(), 0);
  ASSERT_EQ(host().errors().size(), 1u);
  EXPECT_EQ(host().errors()[0], "Kestova's tables are not in " + root.string());
}

TEST_F(ModuleCoreTest, TypingComposesAndEnterCommits) {
  init();
  EXPECT_EQ(host().feedKey('h'), 1);
  EXPECT_EQ(preeditText(), "ㄘ");
  type("k4g4");
  TestHost::Preedit preedit = host().preedit();
  EXPECT_EQ(preedit.result, 2);
  EXPECT_EQ(preedit.text, "測試");
  EXPECT_EQ(preedit.cursor, 2);
  EXPECT_EQ(preedit.fourth, 0);
  ASSERT_EQ(preedit.attributes.size(), 2u);
  EXPECT_EQ(preedit.attributes[0].kind, 1);
  EXPECT_EQ(preedit.attributes[0].start, 0);
  EXPECT_EQ(preedit.attributes[0].end, 2);
  // At the end, the phrase before the caret is lit: Space lists its candidates.
  EXPECT_EQ(preedit.attributes[1].kind, 2);
  EXPECT_EQ(preedit.attributes[1].start, 0);
  EXPECT_EQ(preedit.attributes[1].end, 2);
  EXPECT_EQ(host().winVisible(), 1);

  EXPECT_EQ(host().feedKey(XK_Return), 1);
  EXPECT_EQ(host().commits(), std::vector<std::string>{"測試"});
  preedit = host().preedit();
  EXPECT_EQ(preedit.result, 0);
  EXPECT_EQ(preedit.text, "");
  EXPECT_EQ(preedit.cursor, 0);
  EXPECT_EQ(preedit.fourth, 0);
  EXPECT_EQ(host().winVisible(), 0);
  EXPECT_EQ(host().feedKeyRelease(XK_Return), 0);
  EXPECT_EQ(host().feedKeyRelease('h', kShiftMask), 0);
}

TEST_F(ModuleCoreTest, HostRefusalAndAltAreNotTaken) {
  init();
  EXPECT_EQ(host().feedKey('h', kMod1Mask), 0);
  host().setAcceptsKeys(0);
  EXPECT_EQ(host().feedKey('h'), 0);
  EXPECT_EQ(preeditText(), "");
}

TEST_F(ModuleCoreTest, ControlTwoIsOnlyTakenWhileComposing) {
  init();
  EXPECT_EQ(host().feedKey('2', kControlMask), 0);
  type("hk4");
  EXPECT_EQ(host().feedKey('2', kControlMask), 1);
  EXPECT_EQ(preeditText(), "測");
}

// gcin drops a key whose handling committed text: Caps Lock commits the
// composition on the Caps Lock key itself, and a key that still arrives
// under the lock with a composition open is committed together with it.
TEST_F(ModuleCoreTest, CapsLockCommitsTheCompositionAndLosesNoKey) {
  init();
  for (unsigned keysym : {unsigned('h'), unsigned(XK_space), unsigned(XK_Return)}) {
    EXPECT_EQ(host().feedKey(keysym, kLockMask), 0) << keysym;
  }
  EXPECT_EQ(preeditText(), "");
  type("hk4g4");
  EXPECT_EQ(host().feedKey(XK_Caps_Lock), 0);
  EXPECT_EQ(host().committed(), "測試");
  EXPECT_EQ(preeditText(), "");
  EXPECT_EQ(host().feedKey('X', kLockMask), 0);  // the application types it
  EXPECT_EQ(host().winVisible(), 0);

  host().takeCommitted();
  type("hk4g4");
  EXPECT_EQ(host().feedKey('A', kLockMask), 1);
  EXPECT_EQ(host().committed(), "測試A");
  EXPECT_EQ(preeditText(), "");
}

TEST_F(ModuleCoreTest, CandidatePagesFollowTheSelectionKeys) {
  init();
  type("u ");
  EXPECT_EQ(preeditText(), "一");
  EXPECT_EQ(host().feedKey(XK_space), 1);
  const TestHost::CandidateWindow& window = host().candidateWindow();
  ASSERT_TRUE(window.shown);
  ASSERT_EQ(window.rows.size(), 9u);
  EXPECT_EQ(window.rows.at(0), kHighlightMark + "一");  // Enter would pick it
  EXPECT_EQ(window.rows.at(1), "衣");
  EXPECT_FALSE(window.previousMarked);
  EXPECT_TRUE(window.nextMarked);

  host().feedKey(XK_Next);
  ASSERT_EQ(window.rows.size(), 2u);
  EXPECT_EQ(window.rows.at(0), kHighlightMark + "咿");
  EXPECT_EQ(window.rows.at(1), "銥");
  EXPECT_TRUE(window.previousMarked);
  EXPECT_FALSE(window.nextMarked);

  host().feedKey(XK_Next);  // wraps to the first page
  EXPECT_EQ(window.rows.size(), 9u);
  host().feedKey(XK_Prior);  // and back round to the last
  EXPECT_EQ(window.rows.size(), 2u);

  // A selection key past the end of a short page is taken and does nothing.
  EXPECT_EQ(host().feedKey('5'), 1);
  EXPECT_TRUE(window.shown);
  EXPECT_EQ(host().feedKey('2'), 1);
  EXPECT_FALSE(window.shown);
  EXPECT_EQ(preeditText(), "銥");
  host().feedKey(XK_Return);
  EXPECT_EQ(host().committed(), "銥");
}

TEST_F(ModuleCoreTest, KeyboardFileSetsLayoutAndPageSize) {
  // ETen26 with four selection keys: the fifth candidate opens page 1.
  environment().writeKeyboardFile("et26 asdf");
  init();
  type("e ");
  host().feedKey(XK_space);
  const TestHost::CandidateWindow& window = host().candidateWindow();
  ASSERT_EQ(window.rows.size(), 4u);
  host().feedKey(XK_Right);
  host().feedKey(XK_Right);
  host().feedKey(XK_Right);
  EXPECT_EQ(window.rows.at(0), "一");
  EXPECT_EQ(window.rows.at(3), kHighlightMark + "依");
  host().feedKey(XK_Right);
  ASSERT_EQ(window.rows.size(), 4u);
  EXPECT_EQ(window.rows.at(0), kHighlightMark + "伊");
  EXPECT_TRUE(window.previousMarked);
  host().feedKey(XK_Return);  // picks the highlighted fifth candidate
  EXPECT_EQ(preeditText(), "伊");
  host().feedKey('f');  // ETen26 puts ㄈ on f
  EXPECT_EQ(preeditText(), "伊ㄈ");
}

TEST_F(ModuleCoreTest, KeyboardFileLinesAreReadWordByWord) {
  struct Case {
    std::string firstLine;
    std::string keysForYi;  // ㄧ and the first tone on the selected layout
    size_t rows;
  };
  const Case cases[] = {
      {"hsu", "e ", 9},                                       // Hsu has ㄧ on e
      {"zo 1234567", "u ", 7},                                // Standard
      {"\t et26   asdfg  ignored", "e ", 5},                  // ETen26, any white space
      {std::string(35, 'x'), "u ", 9},                        // the name alone, cut to 31 bytes
      {"", "u ", 9},                                          // nothing: the defaults
      {"pinyin-no-tone " + std::string(40, 'q'), "yi ", 11},  // 31 keys: one page
  };
  init();
  time_t stamp = 1500000000;
  for (const Case& c : cases) {
    environment().writeKeyboardFile(c.firstLine);
    setModificationTime(environment().configDirectory() / "phonetic-keyboard2", stamp++);
    type(c.keysForYi);
    EXPECT_EQ(preeditText(), "一") << c.firstLine;
    host().feedKey(XK_space);
    EXPECT_EQ(host().candidateWindow().rows.size(), c.rows) << c.firstLine;
    host().feedKey(XK_Escape);
    host().feedKey(XK_Return);
    host().takeCommitted();
  }
}

TEST_F(ModuleCoreTest, EscapeAndBackspaceCloseTheCandidateWindow) {
  init();
  type("u ");
  host().feedKey(XK_space);
  ASSERT_TRUE(host().candidateWindow().shown);
  host().feedKey(XK_Escape);
  EXPECT_FALSE(host().candidateWindow().shown);
  EXPECT_EQ(preeditText(), "一");
  host().feedKey(XK_space);
  ASSERT_TRUE(host().candidateWindow().shown);
  host().feedKey(XK_BackSpace);
  EXPECT_FALSE(host().candidateWindow().shown);
  EXPECT_EQ(preeditText(), "一");
}

TEST_F(ModuleCoreTest, ClickingARowPicksAndPagingCallbacksTurnPages) {
  init();
  type("u ");
  host().feedKey(XK_space);
  host().clickNextPage();
  EXPECT_EQ(host().candidateWindow().rows.size(), 2u);
  host().clickPreviousPage();
  EXPECT_EQ(host().candidateWindow().rows.size(), 9u);
  EXPECT_EQ(host().clickRow(1), 1);
  EXPECT_EQ(preeditText(), "衣");
  EXPECT_FALSE(host().candidateWindow().shown);
  EXPECT_EQ(host().clickRow(-1), 1);
}

TEST_F(ModuleCoreTest, LongCandidateRowsAreShortenedButCommittedWhole) {
  // gcin copies a row into a 128-byte buffer; a longer row would abort it.
  std::string longValue;
  for (int i = 0; i < 50; ++i) longValue += "長";
  auto phrases = TestEnvironment::samplePhrases();
  phrases.push_back("ㄔㄤˊ " + longValue + " -1.0");
  phrases.push_back("ㄔㄤˊ 常 -2.0");
  environment().writePhraseFile(phrases);
  init();
  type("t;6");
  host().feedKey(XK_space);
  const TestHost::CandidateWindow& window = host().candidateWindow();
  ASSERT_EQ(window.rows.size(), 2u);
  const std::string& row = window.rows.at(0);
  EXPECT_LT(row.size(), 128u);
  EXPECT_EQ(row.substr(row.size() - 3), "\u2026");
  const std::string value =
      row.substr(kHighlightMark.size(), row.size() - 3 - kHighlightMark.size());
  EXPECT_EQ(value, longValue.substr(0, value.size()));
  host().feedKey('1');
  host().feedKey(XK_Return);
  EXPECT_EQ(host().committed(), longValue);
}

// Whatever bytes the phrase data holds, only well-formed UTF-8 reaches the
// host: the preedit, the candidate rows and the committed text. (A client
// that reads an ill-formed reply from gcin blocks for ever.)
TEST_F(ModuleCoreTest, OnlyWellFormedUtf8ReachesTheHost) {
  auto phrases = TestEnvironment::samplePhrases();
  phrases.push_back("ㄔㄤˊ \xb4\xfa\xb8\xd5 -1.0");  // 測試 saved in Big5
  phrases.push_back("ㄔㄤˊ 常 -2.0");
  environment().writePhraseFile(phrases);
  init();
  type("t;6");
  const std::string replaced = "\uFFFD\uFFFD\uFFFD\uFFFD";
  EXPECT_EQ(preeditText(), replaced);
  host().feedKey(XK_space);
  ASSERT_EQ(host().candidateWindow().rows.size(), 2u);
  EXPECT_EQ(host().candidateWindow().rows.at(0), kHighlightMark + replaced);
  host().feedKey(XK_Escape);
  host().feedKey(XK_Return);
  EXPECT_EQ(host().committed(), replaced);
}

// gcin's candidate window has sixteen rows; more selection keys than that
// must not page past them.
TEST_F(ModuleCoreTest, APageNeverHasMoreRowsThanTheHostWindow) {
  auto phrases = TestEnvironment::samplePhrases();
  for (const char* value : {"衤", "夷", "沂", "宜", "怡", "姨", "胰", "移", "遺", "頤"}) {
    phrases.push_back(std::string("ㄧ ") + value + " -5.0");
  }
  environment().writePhraseFile(phrases);
  environment().writeKeyboardFile("zo 1234567890qwertyuiop");  // 22 keys
  init();
  type("u ");
  host().feedKey(XK_space);
  const TestHost::CandidateWindow& window = host().candidateWindow();
  ASSERT_EQ(window.rows.size(), 16u);
  EXPECT_EQ(window.rows.rbegin()->first, 15);
  EXPECT_TRUE(window.nextMarked);
  host().feedKey('u');  // the 17th key selects nothing
  EXPECT_TRUE(window.shown);
  host().feedKey('y');  // the 16th picks the 16th candidate
  EXPECT_FALSE(window.shown);
}

// The preedit holds at most 511 bytes: a longer composition is cut around
// the caret at whole characters, so that what is being typed stays in view.
TEST_F(ModuleCoreTest, LongPreeditIsCutAroundTheCaret) {
  init();
  // Two hundred one-character syllables: 600 bytes of composition.
  for (int i = 0; i < 190; ++i) type("u ");
  for (int i = 0; i < 10; ++i) type("hk4");
  TestHost::Preedit preedit = host().preedit();
  EXPECT_EQ(preedit.text.size(), 510u);  // 170 whole characters of 3 bytes
  EXPECT_EQ(preedit.text.substr(preedit.text.size() - 3), "測");
  EXPECT_EQ(preedit.cursor, 170);
  ASSERT_FALSE(preedit.attributes.empty());
  EXPECT_EQ(preedit.attributes[0].end, 170);
  host().feedKey(XK_Home);
  preedit = host().preedit();
  EXPECT_EQ(preedit.text.size(), 510u);
  EXPECT_EQ(preedit.text.find("測"), std::string::npos);
  EXPECT_EQ(preedit.cursor, 0);
}

// What the next key changes is shown in reverse video: the phrase the
// candidate list acts on, the syllable being typed, and a marked range
// while marking (the hint then says what Enter does).
TEST_F(ModuleCoreTest, PreeditShowsWhatIsActedOnInReverse) {
  init();
  type("su3cl3hk4");  // 你好測
  host().feedKey(XK_Left);
  auto preedit = host().preedit();
  ASSERT_EQ(preedit.attributes.size(), 2u);
  EXPECT_EQ(preedit.attributes[1].kind, 2);
  EXPECT_EQ(preedit.attributes[1].start, 0);  // 你好, ending at the caret
  EXPECT_EQ(preedit.attributes[1].end, 2);
  type("s");  // 你好ㄋ測
  preedit = host().preedit();
  ASSERT_EQ(preedit.attributes.size(), 2u);
  EXPECT_EQ(preedit.attributes[1].start, 2);
  EXPECT_EQ(preedit.attributes[1].end, 3);
  host().feedKey(XK_BackSpace);
  host().feedKey(XK_Left, kShiftMask);
  host().feedKey(XK_Left, kShiftMask);  // marks 你好
  preedit = host().preedit();
  EXPECT_EQ(preedit.cursor, 0);
  ASSERT_EQ(preedit.attributes.size(), 2u);
  EXPECT_EQ(preedit.attributes[0].kind, 1);
  EXPECT_EQ(preedit.attributes[0].end, 3);
  EXPECT_EQ(preedit.attributes[1].kind, 2);
  EXPECT_EQ(preedit.attributes[1].start, 0);
  EXPECT_EQ(preedit.attributes[1].end, 2);
}

TEST_F(ModuleCoreTest, SettingsAreReloadedOnlyOutsideAComposition) {
  init();
  type("u ");
  // While composing, a new settings file is not read: Space still opens the
  // candidate window.
  environment().writeSettingsFile(R"({"choose_candidate_using_space": false})");
  setModificationTime(environment().configDirectory() / "kestova.json", 1000000000);
  host().feedKey(XK_space);
  EXPECT_TRUE(host().candidateWindow().shown);
  host().feedKey('1');
  host().feedKey(XK_Return);
  EXPECT_EQ(host().takeCommitted(), "一");

  // The next key outside a composition picks the file up: Space now types a
  // space, which at the end of the composition commits it.
  type("u ");
  host().feedKey(XK_space);
  EXPECT_FALSE(host().candidateWindow().shown);
  EXPECT_EQ(host().takeCommitted(), "一 ");
}

TEST_F(ModuleCoreTest, FlushCommitsAndResetDiscards) {
  init();
  type("hk4");
  EXPECT_EQ(host().flushInput(), 0);
  EXPECT_EQ(host().committed(), "測");
  EXPECT_EQ(host().winVisible(), 0);
  type("g4");
  EXPECT_EQ(host().reset(), 1);
  EXPECT_EQ(host().reset(), 0);
  EXPECT_EQ(host().committed(), "測");
  EXPECT_EQ(preeditText(), "");
}

// gcin resets the composition when its application loses the focus and
// flushes it when the input method is switched off or to another; one still
// open when gcin hides the module's windows belongs to an application that
// has gone away, and nothing of it reaches the next one.
TEST_F(ModuleCoreTest, HidingDropsTheCompositionOfAnApplicationThatWentAway) {
  init();
  type("su3u ");
  host().feedKey(XK_space);
  ASSERT_TRUE(host().candidateWindow().shown);
  host().hideWin();
  EXPECT_EQ(preeditText(), "");
  EXPECT_EQ(host().winVisible(), 0);
  EXPECT_FALSE(host().candidateWindow().shown);
  // The next application connects: gcin begins the module, shows its
  // window and flushes.
  EXPECT_EQ(host().initWin(), 1);
  host().showWin();
  EXPECT_EQ(host().winVisible(), 0);
  EXPECT_EQ(host().flushInput(), 0);
  type("hk4");
  host().feedKey(XK_Return);
  EXPECT_EQ(host().commits(), std::vector<std::string>{"測"});
}

}  // namespace
}  // namespace Kestova
