// kestova-play in scripted mode, run as a program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "models/ContextFile.h"
#include "models/SortedPhraseTable.h"
#include "testhost/TestEnvironment.h"

namespace Kestova {
namespace {

namespace fs = std::filesystem;

struct Result {
  int status = -1;
  std::string output;
};

// Runs kestova-play with the arguments; standard error is captured too.
Result play(const std::string& arguments) {
  std::string command = std::string("'") + KESTOVA_PLAY_PATH + "' " + arguments + " 2>&1";
  Result result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer;
  size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
    result.output.append(buffer.data(), n);
  }
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string lastLine(const std::string& text) {
  std::string trimmed = text;
  while (!trimmed.empty() && trimmed.back() == '\n') trimmed.pop_back();
  size_t at = trimmed.rfind('\n');
  return at == std::string::npos ? trimmed : trimmed.substr(at + 1);
}

class PlaygroundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    environment_.activate();
    environment_.writePhraseFile(TestEnvironment::samplePhrases());
  }
  std::string dataRoot() const { return "--data-root '" + environment_.dataRoot().string() + "'"; }
  TestEnvironment environment_;
};

TEST_F(PlaygroundTest, ScriptedKeysPrintTheCommittedText) {
  Result result = play(dataRoot() + " --keys 'su3cl3<Enter>hk4g4<Enter>'");
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(lastLine(result.output), "你好測試");
}

TEST_F(PlaygroundTest, TraceShowsEveryStateAndTheCandidatePage) {
  Result result = play(dataRoot() + " --trace --keys 'u <Space><PgDn>2<Enter>'");
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_NE(result.output.find("u used=1 preedit=\"ㄧ|\""), std::string::npos) << result.output;
  // The highlighted row carries the module's mark, as gcin shows it.
  EXPECT_NE(result.output.find("candidates=[1.\u25B8一 2.衣 3.醫"), std::string::npos);
  EXPECT_NE(result.output.find("<PgDn> used=1 preedit=\"一|\" candidates=[< 1.\u25B8咿 2.銥]"),
            std::string::npos)
      << result.output;
  EXPECT_EQ(lastLine(result.output), "銥");
}

TEST_F(PlaygroundTest, LayoutOptionSelectsTheKeyboard) {
  // On ETen, ㄧ is on e.
  Result result = play(dataRoot() + " --layout ETen --keys 'e <Enter>'");
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(lastLine(result.output), "一");
  result = play(dataRoot() + " --layout Dvorak --keys 'e'");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.output.find("unknown layout Dvorak"), std::string::npos);
}

TEST_F(PlaygroundTest, ClearErrorsForUnknownKeysAndMissingData) {
  Result result = play(dataRoot() + " --keys 'su3<Bogus>'");
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.output.find("Bogus"), std::string::npos) << result.output;

  result = play("--data-root /nonexistent/kestova --keys 'su3'");
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find("Kestova's tables are not in /nonexistent/kestova"),
            std::string::npos)
      << result.output;
}

// A score that is not a finite number reads as 0: the composition keeps its
// text and Enter commits it.
TEST_F(PlaygroundTest, AScoreThatIsNotANumberStillComposes) {
  for (const char* score : {"nan", "inf", "-inf"}) {
    std::ofstream(environment_.dataFile(), std::ios::trunc)
        << SortedPhraseTable::kHeader << "ㄋㄧˇ 你 " << score << "\nㄨㄛˇ 我 -2.0\n";
    Result result = play(dataRoot() + " --keys 'ji3su3<Enter>'");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(lastLine(result.output), "我你") << score;
  }
}

// --help names both files --data-root reads: the phrases and the context.
TEST_F(PlaygroundTest, HelpSaysWhatTheDataRootHolds) {
  Result result = play("--help");
  EXPECT_EQ(result.status, 0) << result.output;
  const size_t option = result.output.find("--data-root DIR");
  ASSERT_NE(option, std::string::npos) << result.output;
  const std::string text = result.output.substr(option);
  EXPECT_NE(text.find("DIR/data/kestova-data.txt"), std::string::npos) << text;
  EXPECT_NE(text.find("DIR/data/kestova-context.bin"), std::string::npos) << text;
}

// The context file beside the phrases decides between homophones.
TEST_F(PlaygroundTest, TheContextFileBesideThePhrasesDecidesHomophones) {
  environment_.writePhraseFile({"ㄊㄚ 他 -1.9", "ㄊㄚ 它 -2.45", "ㄉㄜ˙ 的 -1.0"});
  Result result = play(dataRoot() + " --keys 'w8 2k7<Enter>'");
  EXPECT_EQ(lastLine(result.output), "他的") << result.output;
  ContextFileContents contents;
  contents.weight = 1.0;
  contents.pairs = {{"它", "的", 1.0}};
  ASSERT_TRUE(writeContextFile(
      (environment_.dataFile().parent_path() / "kestova-context.bin").string(), contents));
  result = play(dataRoot() + " --keys 'w8 2k7<Enter>'");
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(lastLine(result.output), "它的") << result.output;
}

// What a user who corrects a word meets when they type it again. Each case
// types with its own phrases, context pairs, user files and settings, and
// every key sequence commits twice; learn_words is off where the case is
// about the pick history alone.
struct RetypeCase {
  const char* name;
  std::vector<std::string> phrases;
  std::vector<ContextFilePair> pairs;
  std::string learnWords;    // the settings file's learn_words
  std::string userFile;      // data.txt
  std::string replacements;  // phrases-replacement.txt ("" for none)
  std::string keys;
  std::string committed;
};

class RetypeTest : public PlaygroundTest, public ::testing::WithParamInterface<RetypeCase> {};

TEST_P(RetypeTest, ACorrectionComesBack) {
  const RetypeCase& c = GetParam();
  environment_.writePhraseFile(c.phrases);
  if (!c.pairs.empty()) {
    ContextFileContents contents;
    contents.weight = 1.0;
    contents.pairs = c.pairs;
    ASSERT_TRUE(writeContextFile(
        (environment_.dataFile().parent_path() / "kestova-context.bin").string(), contents));
  }
  environment_.writeSettingsFile("{\"learn_words\": " + c.learnWords + "}");
  fs::create_directories(environment_.userDirectory());
  std::ofstream(environment_.userDirectory() / "data.txt") << c.userFile;
  if (!c.replacements.empty()) {
    std::ofstream(environment_.userDirectory() / "phrases-replacement.txt") << c.replacements;
  }
  Result result = play(dataRoot() + " --keys '" + c.keys + "'");
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(lastLine(result.output), c.committed) << result.output;
}

const std::vector<std::string> kAlsoIsAt = {
    "ㄧㄝˇ 也 -2",   "ㄨㄟˋ 未 -2.2", "ㄨㄟˋ 為 -2.3", "ㄨㄟˋ 位 -2.5",
    "ㄨㄟˋ 胃 -3.5", "ㄗㄞˋ 在 -1.8", "ㄗㄞˋ 再 -2.4", "ㄨㄟˋ-ㄗㄞˋ 位在 -5.5"};
const std::vector<std::string> kNotLikeYou = {
    "ㄅㄧㄥˋ 並 -2.5", "ㄅㄨˋ 不 -1.5",   "ㄅㄧㄥˋ-ㄅㄨˋ 並不 -3",  "ㄒㄧㄤˋ 向 -2.4",
    "ㄒㄧㄤˋ 像 -2.6", "ㄋㄧㄣˊ 您 -2.5", "ㄒㄧㄤˋ-ㄋㄧㄣˊ 向您 -4"};

INSTANTIATE_TEST_SUITE_P(
    Faults, RetypeTest,
    ::testing::Values(
        // The pick of 位在 is remembered with the neighbours the user saw,
        // though the context walk chose another phrase for them meanwhile.
        RetypeCase{"PickWithTheNeighboursSeen",
                   kAlsoIsAt,
                   {{"未", "在", 1.0}},
                   "false",
                   "",
                   "",
                   "u,3jo4y94<Space>1<Enter>u,3jo4y94<Enter>",
                   "也位在也位在"},
        // A suggestion is asked for across the composition, and a later
        // syllable does not undo it.
        RetypeCase{"PickKeptWhenALaterSyllableFormsAWord",
                   kNotLikeYou,
                   {},
                   "false",
                   "",
                   "",
                   "1u/41j4vu;4sup6<Left><Space>3<Enter>1u/41j4vu;4sup6<Enter>",
                   "並不像您並不像您"},
        // A word picked in a composition that was committed is
        // learnt: it comes back in another context, where the pick
        // history has nothing.
        RetypeCase{"PickLearntAsAWord",
                   kAlsoIsAt,
                   {{"未", "在", 1.0}},
                   "true",
                   "",
                   "",
                   "u,3jo4y94<Space>1<Enter>jo4y94<Enter>",
                   "也位在位在"},
        RetypeCase{"NothingLearntWithLearningOff",
                   kAlsoIsAt,
                   {{"未", "在", 1.0}},
                   "false",
                   "",
                   "",
                   "u,3jo4y94<Space>1<Enter>jo4y94<Enter>",
                   "也位在未在"},
        // A character picked out of a word breaks the word: what
        // the user made of it comes back as a word of its own.
        RetypeCase{"ABrokenWordComesBack",
                   {"ㄓㄨˇ 主 -2", "ㄧㄠˋ 要 -1.5", "ㄧㄠˋ 鑰 -4", "ㄓㄨˇ-ㄧㄠˋ 主要 -2.5"},
                   {},
                   "true",
                   "",
                   "",
                   "5j3ul4<Space>3<Enter>5j3ul4<Enter>",
                   "主鑰主鑰"},
        // A single character picked in one word comes back there, and does
        // not take over its syllable elsewhere.
        RetypeCase{"APickedCharacterStaysWhereItWasPicked",
                   {"ㄇㄚˇ 馬 -2", "ㄩˇ 與 -2", "ㄩˇ 語 -2.5", "ㄊㄚ 他 -2"},
                   {},
                   "true",
                   "",
                   "",
                   "a83m3<Space>2<Enter>m3w8 <Enter>a83m3<Enter>",
                   "馬語與他馬語"},
        // A user who writes a word two ways (部分 here, 部份 there) gets
        // each back where they picked it.
        RetypeCase{"AWordWrittenTwoWaysComesBackEachWay",
                   {"ㄉㄚˋ 大 -2", "ㄧ 一 -1.5", "ㄅㄨˋ 不 -1.5", "ㄈㄣˋ 份 -3", "ㄈㄣˋ 分 -3.2",
                    "ㄅㄨˋ-ㄈㄣˋ 部份 -3", "ㄅㄨˋ-ㄈㄣˋ 部分 -3.5"},
                   {},
                   "true",
                   "",
                   "",
                   "2841j4zp4<Space>2<Enter>u 1j4zp4<Space>2<Enter>2841j4zp4<Enter>u 1j4zp4<Enter>",
                   "大部分一部份大部分一部份"},
        // A word learnt from a pick does not break another word of the
        // composition that was committed with it.
        RetypeCase{"ALearntWordKeepsTheRestOfTheComposition",
                   {"ㄐㄧㄡˋ 就 -2", "ㄐㄧㄡˋ 舊 -2.6", "ㄧ 一 -1.5", "ㄧ 衣 -2.5", "ㄈㄨˊ 服 -3.5",
                    "ㄈㄨˊ 氟 -3.4", "ㄐㄧㄡˋ-ㄧ 就醫 -3", "ㄐㄧㄡˋ-ㄧ 舊衣 -4",
                    "ㄐㄧㄡˋ-ㄧ-ㄈㄨˊ 舊衣服 -3.5"},
                   {},
                   "true",
                   "",
                   "",
                   "ru.4u zj6ru.4u <Space>2<Enter>ru.4u zj6ru.4u <Enter>",
                   "舊衣服舊衣舊衣服舊衣"},
        // A word picked over one the user committed before under the same
        // readings is learnt in the company it was picked in: the text
        // committed before comes back as it was written.
        RetypeCase{"TextCommittedBeforeComesBackAsWritten",
                   {"ㄗㄞˋ 在 -1.8", "ㄗㄞˋ 再 -2.4", "ㄐㄧㄚ 家 -2", "ㄐㄧㄚ 加 -2.2",
                    "ㄧ 一 -1.5", "ㄗㄞˋ-ㄐㄧㄚ 在家 -3", "ㄗㄞˋ-ㄐㄧㄚ 再加 -3.5"},
                   {},
                   "true",
                   "",
                   "",
                   "y94ru8 <Enter>u y94ru8 <Space>2<Enter>y94ru8 <Enter>u y94ru8 <Enter>",
                   "在家一再加在家一再加"},
        // A suggestion at the start of a composition has no context to go
        // by: once the next syllable makes a word there, the word wins.
        RetypeCase{"AStartingSuggestionGivesWayToAWord",
                   {"ㄧ 一 -1.5", "ㄧ 伊 -3", "ㄋㄨˇ 努 -3", "ㄘˋ 次 -2", "ㄧ-ㄘˋ 一次 -2.5"},
                   {},
                   "true",
                   "",
                   "",
                   "u sj3<Left><Space>2<Enter>u h4<Enter>",
                   "伊努一次"},
        // A pick undone before the commit teaches nothing.
        RetypeCase{"APickThenEscapeTeachesNothing",
                   kAlsoIsAt,
                   {{"未", "在", 1.0}},
                   "true",
                   "",
                   "",
                   "u,3jo4y94<Space>1<BS><BS><BS><Esc>jo4y94<Enter>",
                   "未在"},
        // A user's single character wins over a pair, as it does
        // without the context file.
        RetypeCase{"UserCharacterWinsOverAPair",
                   kAlsoIsAt,
                   {{"未", "在", 1.0}},
                   "true",
                   "胃 ㄨㄟˋ\n",
                   "",
                   "u,3jo4y94<Enter>",
                   "也胃在"},
        // Replacement relabels a value and changes nothing else: its pairs
        // are the pairs of the value it replaces.
        RetypeCase{"ReplacementOnlyRelabels",
                   {"ㄒㄧㄤˋ 向 -2.0", "ㄒㄧㄤˋ 項 -2.3", "ㄖㄣˋ 任 -3", "ㄏㄜˊ 何 -3",
                    "ㄖㄣˋ-ㄏㄜˊ 任何 -3"},
                   {{"向", "任何", -0.5}, {"項", "任何", -1.5}},
                   "true",
                   "",
                   "項 项\n",
                   "vu;4bp4ck6<Enter>",
                   "向任何"},
        // The candidate window opens on the value shown, and Enter there
        // changes nothing.
        RetypeCase{"EnterOnTheValueShownChangesNothing",
                   {"ㄒㄧㄤˋ 項 -2.0", "ㄒㄧㄤˋ 向 -2.3", "ㄖㄣˋ 任 -3", "ㄏㄜˊ 何 -3",
                    "ㄖㄣˋ-ㄏㄜˊ 任何 -3"},
                   {{"項", "任何", -1.5}},
                   "true",
                   "",
                   "",
                   "vu;4bp4ck6<Left><Left><Space><Enter><Enter>",
                   "向任何"}),
    [](const auto& info) { return std::string(info.param.name); });

// A mistyped syllable with nothing composed leaves nothing composed: the
// next Backspace, Delete or Escape goes to the application.
TEST_F(PlaygroundTest, AfterAMistypedSyllableEditingKeysReachTheApplication) {
  for (const char* key : {"<BS>", "<Del>", "<Esc>"}) {
    Result result = play(dataRoot() + " --trace --keys '1u;3" + std::string(key) + "'");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_NE(result.output.find(std::string(key) + " used=0"), std::string::npos) << result.output;
  }
}

}  // namespace
}  // namespace Kestova
