// kestova-play in scripted mode, run as a program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "models/ContextFile.h"
#include "models/SortedPhraseTable.h"
#include "testhost/TestEnvironment.h"

namespace Kestova {
namespace {

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

}  // namespace
}  // namespace Kestova
