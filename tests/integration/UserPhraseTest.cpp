// Whole flows through the built module: marking a user phrase and finding it
// on disk and in the candidates, and user files edited behind the module's back.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <utime.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/ModuleFixture.h"

namespace Kestova {
namespace {

namespace fs = std::filesystem;

class UserPhraseTest : public ModuleFixture {
 protected:
  void SetUp() override {
    ModuleFixture::SetUp();
    ASSERT_EQ(host().initWin(), 1);
  }
  fs::path userPhraseFile() const { return environment().userDirectory() / "data.txt"; }
  std::string readUserPhrases() const {
    std::ifstream in(userPhraseFile());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::vector<std::string> candidateRows() const {
    std::vector<std::string> rows;
    for (const auto& [row, text] : host().candidateWindow().rows) rows.push_back(text);
    return rows;
  }
};

TEST_F(UserPhraseTest, ShiftArrowsAndEnterAddAPhraseThatIsUsedAtOnce) {
  // 你 + 衣: two syllables with no phrase of their own.
  type("su3");
  type("u ");
  host().feedKey(XK_space);
  host().feedKey('2');
  ASSERT_EQ(host().preedit().text, "你衣");
  host().feedKey(XK_Left, 1);
  host().feedKey(XK_Left, 1);
  EXPECT_EQ(host().feedKey(XK_Return), 1);
  EXPECT_NE(readUserPhrases().find("\n你衣 ㄋㄧˇ-ㄧ\n"), std::string::npos) << readUserPhrases();
  host().feedKey(XK_Return);
  EXPECT_EQ(host().takeCommitted(), "你衣");

  // The same readings now compose the user's phrase.
  type("su3u ");
  EXPECT_EQ(host().preedit().text, "你衣");
}

TEST_F(UserPhraseTest, EditedUserFileIsReloadedBeforeTheNextKey) {
  type("u ");
  host().feedKey(XK_space);
  EXPECT_EQ(candidateRows().size(), 9u);
  host().feedKey(XK_Escape);
  host().feedKey(XK_Return);
  host().takeCommitted();

  std::ofstream(userPhraseFile(), std::ios::app) << "乂 ㄧ\n";
  struct utimbuf times {
    2000000000, 2000000000
  };
  ASSERT_EQ(utime(userPhraseFile().c_str(), &times), 0);
  type("u ");
  host().feedKey(XK_space);
  std::vector<std::string> rows = candidateRows();
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows.front(), kHighlightMark + "乂");  // user phrases come first
}

}  // namespace
}  // namespace Kestova
