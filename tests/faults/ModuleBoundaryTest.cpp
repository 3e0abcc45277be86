// Bad input at the module's boundary, and faults in the files it reads while
// the user types: every export called before initialisation, unknown keysyms
// under every modifier mask, candidate callbacks with rows out of range or
// with no candidate window, calls in an unexpected order, settings and user
// files damaged or removed. Each case runs in a process of its own (the
// module keeps its core for the life of the process).
#include <X11/keysym.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>
#include <utime.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "models/ContextFile.h"
#include "models/SortedPhraseTable.h"
#include "tests/faults/FaultSupport.h"
#include "tests/support/ModuleFixture.h"
#include "text/Utf8.h"

namespace Kestova {
namespace {

namespace fs = std::filesystem;

// Collects what the module writes to the standard error stream (its log).
class StderrCapture {
 public:
  StderrCapture() : file_(std::tmpfile()) {
    std::fflush(stderr);
    saved_ = ::dup(STDERR_FILENO);
    ::dup2(::fileno(file_), STDERR_FILENO);
  }
  ~StderrCapture() {
    restore();
    std::fclose(file_);
  }
  std::string text() {
    restore();
    std::rewind(file_);
    std::string out;
    for (int c; (c = std::fgetc(file_)) != EOF;) out.push_back(static_cast<char>(c));
    return out;
  }

 private:
  void restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    saved_ = -1;
  }
  std::FILE* file_;
  int saved_ = -1;
};

class ModuleBoundary : public ModuleFixture {
 protected:
  void init() { ASSERT_EQ(host().initWin(), 1); }
  std::string preeditText() { return host().preedit().text; }

  // The preedit is well formed whatever happened before.
  void expectSanePreedit() {
    TestHost::Preedit preedit = host().preedit();
    EXPECT_LT(preedit.text.size(), 512u);
    const size_t characters = Utf8::characterCount(preedit.text);
    EXPECT_GE(preedit.cursor, 0);
    EXPECT_LE(static_cast<size_t>(preedit.cursor), characters);
    EXPECT_EQ(preedit.fourth, 0);
    EXPECT_EQ(preedit.result, static_cast<int>(preedit.attributes.size()));
    EXPECT_EQ(preedit.text.empty(), preedit.attributes.empty());
    for (const PreeditAttribute& attribute : preedit.attributes) {
      EXPECT_TRUE(attribute.kind == 1 || attribute.kind == 2);
      EXPECT_GE(attribute.start, 0);
      EXPECT_LT(attribute.start, attribute.end);
      EXPECT_LE(static_cast<size_t>(attribute.end), characters);
    }
  }
};

TEST_F(ModuleBoundary, EveryExportBeforeInitIsANoOp) {
  for (unsigned mask : {0u, kShiftMask, kControlMask, kLockMask, kMod1Mask}) {
    EXPECT_EQ(host().feedKey('h', mask), 0);
    EXPECT_EQ(host().feedKey(XK_Return, mask), 0);
    EXPECT_EQ(host().feedKeyRelease('h', mask), 0);
  }
  TestHost::Preedit preedit = host().preedit();
  EXPECT_EQ(preedit.result, 0);
  EXPECT_EQ(preedit.text, "");
  EXPECT_EQ(preedit.cursor, 0);
  EXPECT_EQ(preedit.fourth, 0);
  EXPECT_EQ(host().reset(), 0);
  EXPECT_EQ(host().flushInput(), 0);
  host().moveWin(100, 100);
  host().changeFontSize();
  host().showWin();
  host().hideWin();
  host().getWinGeom();
  EXPECT_EQ(host().winVisible(), 0);
  EXPECT_FALSE(host().callbacksRegistered());
  EXPECT_TRUE(host().callLog().empty()) << "the host was called before init";
  EXPECT_TRUE(host().commits().empty());

  // Init still works afterwards.
  init();
  type("hk4");
  EXPECT_EQ(preeditText(), "測");
}

// Keysyms the module has no use for, under every modifier mask, idle and
// while composing: never a crash, never a commit out of nothing, Mod1 and
// the host's refusal always pass the key on.
TEST_F(ModuleBoundary, UnknownKeysymsUnderEveryModifierMask) {
  init();
  const unsigned unknown[] = {0,      1,          0x7f,      0xa0,       0xe9,      0x20ac,
                              0xffe1, 0xffe3,     0xffe9,    0xffbe,     0xff63,    0xfe03,
                              0xffff, 0x1008ff13, 0x1000041, 0x7fffffff, 0xffffffff};
  for (unsigned mask = 0; mask < 256; ++mask) {
    for (unsigned keysym : unknown) {
      SCOPED_TRACE(testing::Message() << "mask " << mask << " keysym " << keysym);
      int result = host().feedKey(keysym, mask);
      EXPECT_TRUE(result == 0 || result == 1);
      if (mask & kMod1Mask) {
        EXPECT_EQ(result, 0);
      }
      EXPECT_EQ(host().feedKeyRelease(keysym, mask), 0);
    }
    expectSanePreedit();
  }
  EXPECT_TRUE(host().commits().empty());

  // While composing: the composition survives keys that mean nothing, and
  // Mod1 never touches it.
  type("hk4");
  ASSERT_EQ(preeditText(), "測");
  for (unsigned keysym : unknown) {
    EXPECT_EQ(host().feedKey(keysym, kMod1Mask), 0);
    EXPECT_EQ(preeditText(), "測");
  }
  for (unsigned keysym : unknown) {
    host().feedKey(keysym, 0);
    expectSanePreedit();
  }
  host().setAcceptsKeys(0);
  EXPECT_EQ(host().feedKey('g'), 0);
  host().setAcceptsKeys(1);
  // Caps Lock while composing commits what was there with the key.
  const std::string before = preeditText();
  EXPECT_EQ(host().feedKey('g', kLockMask), 1);
  EXPECT_EQ(host().committed(), before + "g");
  EXPECT_EQ(preeditText(), "");
}

// Every printable key and every named key under every mask that reaches the
// key handler: the states stay presentable.
TEST_F(ModuleBoundary, EveryKeyUnderEveryMaskKeepsThePreeditSane) {
  init();
  const unsigned named[] = {XK_Home,      XK_Left,   XK_Up,     XK_Right,        XK_Down,
                            XK_Prior,     XK_Next,   XK_End,    XK_space,        XK_Tab,
                            XK_BackSpace, XK_Return, XK_Escape, XK_Delete,       XK_KP_Enter,
                            XK_KP_Delete, XK_KP_5,   XK_KP_Add, XK_ISO_Left_Tab, XK_KP_Space};
  for (unsigned mask : {0u, kShiftMask, kControlMask, kShiftMask | kControlMask}) {
    for (unsigned keysym = 0x20; keysym <= 0x7e; ++keysym) {
      type("hk4");
      host().feedKey(keysym, mask);
      expectSanePreedit();
    }
    for (unsigned keysym : named) {
      type("u ");
      host().feedKey(keysym, mask);
      expectSanePreedit();
      host().feedKey(keysym, mask);
      expectSanePreedit();
    }
    host().reset();
  }
  for (const std::string& text : host().commits()) EXPECT_FALSE(text.empty());
}

TEST_F(ModuleBoundary, CandidateCallbacksWithRowsOutOfRange) {
  init();
  // No candidate window: clicks and paging change nothing.
  for (int row : {INT_MIN, -1, 0, 1, 8, 9, INT_MAX}) host().clickRow(row);
  host().clickNextPage();
  host().clickPreviousPage();
  EXPECT_TRUE(host().commits().empty());
  EXPECT_EQ(preeditText(), "");

  type("u ");
  host().clickRow(0);  // composing, but no candidate window
  EXPECT_EQ(preeditText(), "一");
  ASSERT_EQ(host().feedKey(XK_space), 1);
  ASSERT_TRUE(host().candidateWindow().shown);
  for (int row : {INT_MIN, -1000, -1, 9, 10, 11, 1000, INT_MAX}) {
    SCOPED_TRACE(row);
    EXPECT_EQ(host().clickRow(row), 1);
    EXPECT_TRUE(host().candidateWindow().shown);
    EXPECT_EQ(preeditText(), "一");
  }
  // Last page has two rows; row 2 and beyond pick nothing.
  host().clickPreviousPage();
  ASSERT_EQ(host().candidateWindow().rows.size(), 2u);
  host().clickRow(2);
  host().clickRow(8);
  EXPECT_TRUE(host().candidateWindow().shown);
  EXPECT_EQ(host().clickRow(1), 1);
  EXPECT_EQ(preeditText(), "銥");
  EXPECT_TRUE(host().commits().empty());
}

// Calls in an order a host should not use, but might.
TEST_F(ModuleBoundary, CallsInUnexpectedOrder) {
  init();
  EXPECT_EQ(host().flushInput(), 0);
  EXPECT_EQ(host().reset(), 0);
  EXPECT_EQ(host().flushInput(), 0);
  EXPECT_TRUE(host().commits().empty());

  type("hk4g4");
  EXPECT_EQ(preeditText(), "測試");
  // A second init in the middle of a composition keeps it.
  EXPECT_EQ(host().initWin(), 1);
  EXPECT_EQ(preeditText(), "測試");
  // Window calls while composing and with the candidate window open.
  host().moveWin(INT_MIN, INT_MAX);
  host().changeFontSize();
  host().showWin();
  host().getWinGeom();
  host().feedKey(XK_space);
  host().showWin();
  host().moveWin(-5, -5);
  // Flush with the candidate window open commits the composition once.
  EXPECT_EQ(host().flushInput(), 0);
  EXPECT_EQ(host().committed(), "測試");
  EXPECT_FALSE(host().candidateWindow().shown);
  EXPECT_EQ(host().flushInput(), 0);
  EXPECT_EQ(host().reset(), 0);
  EXPECT_EQ(host().commits().size(), 1u);
  // gcin hides the windows alone when the application has gone: the
  // composition goes too, also with the candidate window open, and nothing
  // shows it again or commits it.
  for (const bool candidates : {false, true}) {
    type(candidates ? "hk4g4 " : "hk4g4");
    ASSERT_EQ(host().candidateWindow().shown, candidates);
    host().hideWin();
    EXPECT_EQ(preeditText(), "");
    EXPECT_FALSE(host().candidateWindow().shown);
    host().showWin();
    EXPECT_EQ(host().winVisible(), 0);
    EXPECT_EQ(host().flushInput(), 0);
    EXPECT_EQ(host().commits().size(), 1u);
  }
  // A release with no press, a release of a key never seen.
  EXPECT_EQ(host().feedKeyRelease(XK_Return), 0);
  EXPECT_EQ(host().feedKeyRelease(0xffffffff, 0xff), 0);
  expectSanePreedit();
}

// The settings and keyboard files damaged while the module runs: the next
// key outside a composition takes the defaults, silently, and typing goes on.
TEST_F(ModuleBoundary, DamagedSettingsFilesFallBackToDefaults) {
  environment().writeKeyboardFile("hsu");
  environment().writeSettingsFile("{\"choose_candidate_using_space\": false}");
  init();
  const fs::path keyboard = environment().configDirectory() / "phonetic-keyboard2";
  const fs::path settings = environment().configDirectory() / "kestova.json";

  struct Damage {
    const char* name;
    std::function<void(const fs::path&)> apply;
  };
  const Damage damages[] = {
      {"garbage",
       [](const fs::path& p) { Testing::writeBytes(p, std::string("\xff\x00{\"\n\x80", 7)); }},
      {"empty", [](const fs::path& p) { Testing::writeBytes(p, ""); }},
      {"directory",
       [](const fs::path& p) {
         fs::remove_all(p);
         fs::create_directory(p);
       }},
      {"deleted", [](const fs::path& p) { fs::remove_all(p); }},
  };
  // Changes are noticed by their whole-second modification times; give
  // every version of the files a time of its own.
  time_t when = 1000000000;
  auto stamp = [&when](const fs::path& path) {
    if (!fs::exists(path)) return;
    when += 10;
    struct utimbuf times {
      when, when
    };
    ASSERT_EQ(::utime(path.c_str(), &times), 0);
  };
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.name);
    // Back to a known non-default state first.
    fs::remove_all(keyboard);
    fs::remove_all(settings);
    environment().writeKeyboardFile("hsu");
    environment().writeSettingsFile("{\"choose_candidate_using_space\": false}");
    stamp(keyboard);
    stamp(settings);
    host().feedKey(XK_Escape);
    type("hk4");  // not 測 on the Hsu layout
    ASSERT_NE(preeditText(), "測");
    host().reset();
    damage.apply(keyboard);
    damage.apply(settings);
    stamp(keyboard);
    stamp(settings);
    StderrCapture log;
    // Standard layout again: "hk4" is 測.
    type("hk4");
    EXPECT_EQ(preeditText(), "測");
    host().feedKey(XK_Return);
    EXPECT_EQ(host().takeCommitted(), "測");
    // choose_candidate_using_space is back to true: space opens the list.
    type("u ");
    host().feedKey(XK_space);
    EXPECT_TRUE(host().candidateWindow().shown);
    host().reset();
    EXPECT_EQ(log.text().find("Error"), std::string::npos);
  }
}

// The user directory removed in the middle of typing: the phrases already
// loaded still work, adding one says why it is not written, nothing crashes.
TEST_F(ModuleBoundary, UserDirectoryRemovedWhileTyping) {
  init();
  type("g4");
  fs::remove_all(environment().home() / ".gcin" / "kestova");
  type("hk4");
  EXPECT_EQ(preeditText(), "是測");
  StderrCapture log;
  // Mark both syllables and add them as a phrase.
  host().feedKey(XK_Left, kShiftMask);
  host().feedKey(XK_Left, kShiftMask);
  host().feedKey(XK_Return);
  const std::string text = log.text();
  EXPECT_NE(text.find("gcin kestova Info: Not writing user phrases: data file does not exist"),
            std::string::npos)
      << text;
  EXPECT_FALSE(fs::exists(environment().userDirectory()));
  expectSanePreedit();
  host().flushInput();
  EXPECT_EQ(host().takeCommitted(), "是測");
  type("su3cl3");
  EXPECT_EQ(preeditText(), "你好");
}

// A user phrase file replaced by a directory before start-up: the module
// still starts and types with the built-in phrases.
TEST_F(ModuleBoundary, UnreadableUserFilesAtStartUp) {
  fs::create_directories(environment().userDirectory() / "data.txt");
  fs::create_directories(environment().userDirectory() / "exclude-phrases.txt");
  fs::create_directories(environment().userDirectory() / "phrases-replacement.txt");
  init();
  EXPECT_TRUE(host().errors().empty());
  type("hk4g4");
  EXPECT_EQ(preeditText(), "測試");
}

// A user phrase file saved in Big5, and one saved with a byte-order mark:
// what the application gets (preedit and commit) is valid UTF-8 and never
// starts with U+FEFF, and the log names the line that was skipped.
TEST_F(ModuleBoundary, UserPhrasesReachTheApplicationAsValidUtf8) {
  const fs::path data = environment().userDirectory() / "data.txt";
  struct Case {
    const char* name;
    std::string file;
    std::string expected;
    std::string logged;
  };
  const Case cases[] = {
      {"Big5", "\xb4\xfa\xb8\xd5 ㄘㄜˋ-ㄕˋ\n", "測試",
       "Skipped a line that is not UTF-8: \"" + data.string() + "\", line 1"},
      {"ByteOrderMark", "\xEF\xBB\xBF策試 ㄘㄜˋ-ㄕˋ\n", "策試", "Will load: "},
  };
  // The module keeps one core per process: the file changes under it, as
  // a user editing it would change it.
  Testing::writeBytes(data, "");
  init();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Testing::writeBytes(data, c.file);
    StderrCapture log;
    type("hk4g4");
    const std::string preedit = preeditText();
    EXPECT_TRUE(Utf8::isValid(preedit));
    EXPECT_EQ(preedit, c.expected);
    host().feedKey(XK_Return);
    const std::string committed = host().takeCommitted();
    EXPECT_TRUE(Utf8::isValid(committed));
    EXPECT_EQ(committed, c.expected);
    EXPECT_NE(log.text().find(c.logged), std::string::npos) << log.text();
  }
}

// The built-in phrase file overwritten in place with a shorter one while
// the module has it mapped (cp over it): the next key finds the new file
// instead of faulting on the old mapping's vanished pages.
TEST_F(ModuleBoundary, BuiltInFileRewrittenInPlaceBetweenKeys) {
  std::vector<std::string> lines = TestEnvironment::samplePhrases();
  for (int i = 0; i < 20000; ++i) lines.push_back("ㄇ-" + std::to_string(100000 + i) + " 填 -9");
  environment().writePhraseFile(lines);
  init();
  type("hk4g4");
  host().feedKey(XK_Return);
  ASSERT_EQ(host().takeCommitted(), "測試");
  {
    std::ofstream out(environment().dataFile(), std::ios::binary | std::ios::trunc);
    out << SortedPhraseTable::kHeader << "ㄘㄜˋ 冊 -1\n";
  }
  type("hk4");
  EXPECT_EQ(preeditText(), "冊");
  host().feedKey(XK_Return);
  EXPECT_EQ(host().takeCommitted(), "冊");
}

// Another process that holds the user files' lock (flock) until released.
class LockHolder {
 public:
  explicit LockHolder(const fs::path& lockFile) {
    int ready[2];
    if (::pipe(ready) != 0 || ::pipe(release_) != 0) return;
    child_ = Testing::startChild([&] {
      ::close(ready[0]);
      ::close(release_[1]);
      const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
      if (fd < 0 || ::flock(fd, LOCK_EX) != 0) return 1;
      if (::write(ready[1], "l", 1) != 1) return 2;
      char go;
      // Until released (or the test ends).
      return ::read(release_[0], &go, 1) < 0 ? 3 : 0;
    });
    ::close(ready[1]);
    ::close(release_[0]);
    char locked = 0;
    held_ = ::read(ready[0], &locked, 1) == 1;
    ::close(ready[0]);
  }
  ~LockHolder() { release(); }
  bool held() const { return held_; }
  void release() {
    if (child_ <= 0) return;
    ::close(release_[1]);
    Testing::waitForChild(child_);
    child_ = -1;
  }

 private:
  int release_[2] = {-1, -1};
  pid_t child_ = -1;
  bool held_ = false;
};

constexpr std::string_view kSavedLater = "已加入，但詞庫檔正由其他程式使用，稍後存檔";
constexpr std::string_view kNotSaved = "無法寫入自訂詞庫，這個詞沒有加入";

// Marks the last two characters of the composition and presses Enter.
void addLastTwo(TestHost& host) {
  host.feedKey(XK_Left, kShiftMask);
  host.feedKey(XK_Left, kShiftMask);
  host.feedKey(XK_Return);
}

// A phrase added while another program holds the user files' lock: the key
// does not wait for it, the phrase is used at once and the hint says it is
// not saved yet; the first key after the lock is free writes it.
TEST_F(ModuleBoundary, PhraseAddedWhileAnotherProgramHoldsTheLock) {
  init();
  const fs::path data = environment().userDirectory() / "data.txt";
  LockHolder holder(environment().userDirectory() / ".user-files.lock");
  ASSERT_TRUE(holder.held());
  StderrCapture log;
  type("su3u ");
  host().feedKey(XK_space);
  host().feedKey('2');
  ASSERT_EQ(preeditText(), "你衣");
  addLastTwo(host());
  EXPECT_EQ(hintText(), kSavedLater);
  EXPECT_EQ(Testing::readBytes(data).find("你衣"), std::string::npos);
  host().feedKey(XK_Return);
  EXPECT_EQ(host().takeCommitted(), "你衣");
  // In use at once: after 測 (where the pick of 衣 is not suggested) the
  // readings make the new phrase, not 你一.
  type("hk4su3u ");
  EXPECT_EQ(preeditText(), "測你衣");
  EXPECT_EQ(Testing::readBytes(data).find("你衣"), std::string::npos);

  holder.release();
  host().feedKey(XK_Return);
  EXPECT_EQ(host().takeCommitted(), "測你衣");
  EXPECT_NE(Testing::readBytes(data).find("\n你衣 ㄋㄧˇ-ㄧ\n"), std::string::npos)
      << Testing::readBytes(data);
  const std::string lines = log.text();
  EXPECT_NE(lines.find("Added user phrase: 你衣, reading: ㄋㄧˇ-ㄧ"), std::string::npos) << lines;
  EXPECT_EQ(lines.find("Failed"), std::string::npos) << lines;
}

// The disk is full (a small tmpfs with one free page): taking the phrase out
// of a long excluded-phrase file fails, so the addition fails whole: both
// files stay as they were, the log and the hint say so, and a second try
// fails the same way rather than finding the phrase "already there".
TEST_F(ModuleBoundary, FullDiskLeavesBothFilesAsTheyWere) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "mounting a small tmpfs needs root (CI runs as root); not run";
  }
  const fs::path userDirectory = environment().userDirectory().parent_path();
  fs::create_directories(userDirectory);
  if (!Testing::mountPrivateTmpfs(userDirectory, 64 * 1024)) {
    GTEST_SKIP() << "cannot mount a tmpfs in a private mount namespace here; not run";
  }
  const fs::path files = environment().userDirectory();
  const fs::path data = files / "data.txt";
  const fs::path excluded = files / "exclude-phrases.txt";
  std::string excludedText = "測試 ㄘㄜˋ-ㄕˋ\n";
  while (excludedText.size() < 9000) excludedText += "# " + std::string(70, 'x') + "\n";
  Testing::writeBytes(data, "# mine\n");
  Testing::writeBytes(excluded, excludedText);
  // Nothing is learnt from the picks below, so that the last check sees the
  // exclusion alone.
  environment().writeSettingsFile("{\"learn_words\": false}");
  init();
  type("hk4g4");
  ASSERT_EQ(preeditText(), "測是");  // 測試 is excluded
  // Everything full but one page: enough for a copy of the small phrase
  // file, not for one of the excluded phrases.
  Testing::writeBytes(userDirectory / "room", std::string(4096, 'r'));
  {
    std::ofstream filler(userDirectory / "filler", std::ios::binary);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) {
    }
  }
  fs::remove(userDirectory / "room");

  StderrCapture log;
  for (int attempt = 0; attempt < 2; ++attempt) {
    SCOPED_TRACE(attempt);
    host().feedKey(XK_space);
    host().feedKey('2');
    ASSERT_EQ(preeditText(), "測試");
    addLastTwo(host());
    EXPECT_EQ(hintText(), kNotSaved);
    EXPECT_EQ(Testing::readBytes(data), "# mine\n");
    EXPECT_EQ(Testing::readBytes(excluded), excludedText);
  }
  const std::string lines = log.text();
  EXPECT_NE(lines.find("No space left on device"), std::string::npos) << lines;
  EXPECT_NE(lines.find("Warn: Failed to add user phrase: 測試, reading: ㄘㄜˋ-ㄕˋ"),
            std::string::npos)
      << lines;
  EXPECT_EQ(lines.find("Added user phrase"), std::string::npos) << lines;
  EXPECT_EQ(lines.find("already exists"), std::string::npos) << lines;
  // Still excluded (after 你, where the pick of 試 is not suggested).
  host().feedKey(XK_Escape);
  host().feedKey(XK_Return);
  host().takeCommitted();
  type("su3hk4g4");
  EXPECT_EQ(preeditText(), "你測是");
}

// A context file that is not there when the module starts is said once, and
// read when it appears: from the next composition on, the walk uses it.
TEST_F(ModuleBoundary, ContextFileThatAppearsLaterIsRead) {
  environment().writePhraseFile({"ㄊㄚ 他 -1.9", "ㄊㄚ 它 -2.45", "ㄉㄜ˙ 的 -1.0"});
  StderrCapture log;
  init();
  type("w8 2k7");
  EXPECT_EQ(preeditText(), "他的");
  host().feedKey(XK_Return);
  EXPECT_EQ(host().takeCommitted(), "他的");

  ContextFileContents contents;
  contents.pairs = {{"它", "的", 1.0}};
  const fs::path context = environment().dataFile().parent_path() / "kestova-context.bin";
  ASSERT_TRUE(writeContextFile(context.string(), contents));
  type("w8 2k7");
  EXPECT_EQ(preeditText(), "它的");
  const std::string lines = log.text();
  const std::string missing =
      "Info: No context file (the walk goes without context until it "
      "appears): \"" +
      context.string() + "\"";
  const size_t first = lines.find(missing);
  EXPECT_NE(first, std::string::npos) << lines;
  EXPECT_EQ(lines.find(missing, first + 1), std::string::npos) << "said more than once";
  EXPECT_NE(lines.find("Info: Context model: " + context.string()), std::string::npos) << lines;
}

// A database that does not begin with its header loads as nothing: the log
// says which file and what header it lacks, and a syllable typed then is
// not called a mistake. (The user's own 你 keeps something composed, so
// that the hint shows in the status window.)
TEST_F(ModuleBoundary, DatabaseWithoutItsHeaderIsReportedAndNotBlamedOnTheSyllable) {
  Testing::writeBytes(environment().dataFile(), "ㄘㄜˋ 測 -3.0\nㄕˋ 是 -2.0\n");
  Testing::writeBytes(environment().userDirectory() / "data.txt", "你 ㄋㄧˇ\n");
  StderrCapture log;
  init();
  type("su3hk4");
  EXPECT_EQ(preeditText(), "你");
  EXPECT_EQ(hintText(), "內建詞庫無法使用，打不出「ㄘㄜˋ」");
  const std::string lines = log.text();
  EXPECT_NE(lines.find("gcin kestova Error: Built-in LM is not a sorted phrase file: \"" +
                       environment().dataFile().string() +
                       "\": it does not begin with the line \"# format "
                       "org.tarnwick.kestova.sorted\""),
            std::string::npos)
      << lines;
  // A database with its header, and a syllable it lacks, is the syllable's.
  environment().writePhraseFile({"ㄕˋ 是 -2.0"});
  host().feedKey(XK_Return);
  EXPECT_EQ(host().takeCommitted(), "你");
  type("su3hk4");
  EXPECT_EQ(preeditText(), "你");
  EXPECT_EQ(hintText(), "「ㄘㄜˋ」不是注音音節");
}

}  // namespace
}  // namespace Kestova
