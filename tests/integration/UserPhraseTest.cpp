// Whole flows through the built module: marking a user phrase and finding it
// on disk and in the candidates, and user files edited behind the module's back.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "testhost/TestEnvironment.h"
#include "testhost/TestHost.h"

namespace Kestova {
namespace {

namespace fs = std::filesystem;

class UserPhraseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    environment_.activate();
    environment_.writePhraseFile(TestEnvironment::samplePhrases());
    std::string error;
    host_ = TestHost::load(KESTOVA_MODULE_PATH, &error);
    ASSERT_TRUE(host_) << error;
    ASSERT_EQ(host_->initWin(), 1);
  }
  void type(std::string_view keys) {
    for (char c : keys) host_->feedKey(c == ' ' ? XK_space : static_cast<unsigned char>(c));
  }
  fs::path userPhraseFile() const { return environment_.userDirectory() / "data.txt"; }
  std::string readUserPhrases() const {
    std::ifstream in(userPhraseFile());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::vector<std::string> candidateRows() const {
    std::vector<std::string> rows;
    for (const auto& [row, text] : host_->candidateWindow().rows) rows.push_back(text);
    return rows;
  }

  TestEnvironment environment_;
  std::unique_ptr<TestHost> host_;
};

TEST_F(UserPhraseTest, ShiftArrowsAndEnterAddAPhraseThatIsUsedAtOnce) {
  // 你 + 衣: two syllables with no phrase of their own.
  type("su3");
  type("u ");
  host_->feedKey(XK_space);
  host_->feedKey('2');
  ASSERT_EQ(host_->preedit().text, "你衣");
  host_->feedKey(XK_Left, 1);
  host_->feedKey(XK_Left, 1);
  EXPECT_EQ(host_->feedKey(XK_Return), 1);
  EXPECT_NE(readUserPhrases().find("\n你衣 ㄋㄧˇ-ㄧ\n"), std::string::npos) << readUserPhrases();
  host_->feedKey(XK_Return);
  EXPECT_EQ(host_->takeCommitted(), "你衣");

  // The same readings now compose the user's phrase.
  type("su3u ");
  EXPECT_EQ(host_->preedit().text, "你衣");
}

TEST_F(UserPhraseTest, EditedUserFileIsReloadedBeforeTheNextKey) {
  type("u ");
  host_->feedKey(XK_space);
  EXPECT_EQ(candidateRows().size(), 9u);
  host_->feedKey(XK_Escape);
  host_->feedKey(XK_Return);
  host_->takeCommitted();

  std::ofstream(userPhraseFile(), std::ios::app) << "乂 ㄧ\n";
  struct utimbuf times {
    2000000000, 2000000000
  };
  ASSERT_EQ(utime(userPhraseFile().c_str(), &times), 0);
  type("u ");
  host_->feedKey(XK_space);
  std::vector<std::string> rows = candidateRows();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.front(), "乂");  // user phrases come first
}

}  // namespace
}  // namespace Kestova
