// The settings-file exports of the built module, loaded the way gcin loads it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/ModuleFixture.h"
#include "tests/support/SettingsFileKeys.h"

namespace Kestova {
namespace {

namespace fs = std::filesystem;

class ModuleConfigTest : public ModuleFixture {
 protected:
  fs::path settingsFile() const { return home() / ".gcin" / "config" / "kestova.json"; }
  void writeSettings(const std::string& text) {
    fs::create_directories(settingsFile().parent_path());
    std::ofstream(settingsFile()) << text;
  }
  static std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

ModuleConfig defaults() {
  ModuleConfig config{};
  config.choose_candidate_using_space = 1;
  return config;
}

bool same(const ModuleConfig& a, const ModuleConfig& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

TEST_F(ModuleConfigTest, PathIsInTheGcinConfigDirectory) {
  EXPECT_EQ(host().confPath(), (home() / ".gcin/config/kestova.json").string());
  unsetenv("HOME");
  EXPECT_EQ(host().confPath(), ".gcin/config/kestova.json");
}

TEST_F(ModuleConfigTest, MissingOrUnusableFilesGiveTheDefaults) {
  EXPECT_TRUE(same(host().confLoad(), defaults()));
  for (const char* text : {"", "not json", "[true]", "\"choose_candidate_using_space\"", "{",
                           R"({"esc_clears_buffer": true} trailing)",
                           R"({"esc_clears_buffer": true}{"esc_clears_buffer": true})"}) {
    writeSettings(text);
    EXPECT_TRUE(same(host().confLoad(), defaults())) << text;
  }
}

TEST_F(ModuleConfigTest, ReadsValidValuesAndIgnoresTheRest) {
  struct Case {
    const char* json;
    ModuleConfig expected;
  };
  auto with = [](auto change) {
    ModuleConfig config = defaults();
    change(config);
    return config;
  };
  const Case cases[] = {
      {R"({"esc_clears_buffer": 1})", defaults()},
      {R"({"esc_clears_buffer": "true"})", defaults()},
      {R"({"esc_clears_buffer": true})", with([](ModuleConfig& c) { c.esc_clears_buffer = 1; })},
      {R"({"choose_candidate_using_space": false})",
       with([](ModuleConfig& c) { c.choose_candidate_using_space = 0; })},
      {R"({"ctrl_enter": "html_ruby"})", with([](ModuleConfig& c) { c.ctrl_enter = 2; })},
      {R"({"ctrl_enter": "HTML_RUBY"})", defaults()},
      {R"({"ctrl_enter": 3})", defaults()},
      {R"({"ctrl_enter": "html_ruby\u0000junk"})", defaults()},
      {"{\"ctrl_enter\": \"html_ruby\"}\n\t ", with([](ModuleConfig& c) { c.ctrl_enter = 2; })},
      {R"({"ctrl_enter": "braille_ascii", "unknown": true})",
       with([](ModuleConfig& c) { c.ctrl_enter = 5; })},
      {R"({"select_phrase_after_cursor": true, "move_cursor_after_selection": true,
           "keep_invalid_syllable": true, "put_lowercase_to_buffer": true,
           "half_width_punctuation": true, "repeated_punctuation_selects": true})",
       with([](ModuleConfig& c) {
         c.select_phrase_after_cursor = c.move_cursor_after_selection = 1;
         c.keep_invalid_syllable = c.put_lowercase_to_buffer = 1;
         c.half_width_punctuation = c.repeated_punctuation_selects = 1;
       })},
  };
  for (const Case& c : cases) {
    writeSettings(c.json);
    ModuleConfig loaded = host().confLoad();
    EXPECT_TRUE(same(loaded, c.expected)) << c.json;
  }
}

// Reading never waits on a special file: a FIFO or a device where the
// settings or keyboard file should be gives the defaults at once. (A read
// that blocks would hold gcin's only thread; the alarm turns that into a
// failure instead of a hung test.)
TEST_F(ModuleConfigTest, SpecialFilesGiveTheDefaultsWithoutWaiting) {
  const fs::path keyboardFile = settingsFile().parent_path() / "phonetic-keyboard2";
  fs::create_directories(settingsFile().parent_path());
  alarm(10);
  ASSERT_EQ(mkfifo(settingsFile().c_str(), 0600), 0);
  EXPECT_TRUE(same(host().confLoad(), defaults()));
  fs::remove(settingsFile());
  fs::create_symlink("/dev/zero", settingsFile());
  EXPECT_TRUE(same(host().confLoad(), defaults()));

  ASSERT_EQ(mkfifo(keyboardFile.c_str(), 0600), 0);
  ASSERT_EQ(host().initWin(), 1);
  type("su3");
  EXPECT_EQ(host().preedit().text, "你");
  alarm(0);
}

TEST_F(ModuleConfigTest, SaveCreatesAPrivateDirectoryAndRoundTrips) {
  ASSERT_FALSE(fs::exists(settingsFile().parent_path()));
  ModuleConfig config{1, 0, 1, 0, 1, 0, 1, 0, 4};
  ASSERT_EQ(host().confSave(config), 1);

  struct stat st;
  ASSERT_EQ(stat(settingsFile().parent_path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(stat((home() / ".gcin").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  // Nothing but the settings file is left in its folder.
  EXPECT_EQ(
      std::distance(fs::directory_iterator(settingsFile().parent_path()), fs::directory_iterator()),
      1);
  EXPECT_TRUE(same(host().confLoad(), config));

  // The keys come in a fixed order, booleans as booleans, ctrl_enter as its name.
  std::string text = readFile(settingsFile());
  std::vector<std::string> keys(Testing::kOptionKeys.begin(),
                                Testing::kOptionKeys.begin() + Testing::kOriginalOptionCount);
  keys.push_back("ctrl_enter");
  size_t previous = 0;
  for (const std::string& key : keys) {
    size_t at = text.find("\"" + key + "\"");
    ASSERT_NE(at, std::string::npos) << key;
    EXPECT_GT(at, previous) << key;
    previous = at;
  }
  EXPECT_NE(text.find("\"braille_unicode\""), std::string::npos) << text;
  EXPECT_NE(text.find("true"), std::string::npos);
}

TEST_F(ModuleConfigTest, SaveWritesDisabledForAnIndexOutOfRange) {
  for (int index : {-1, 6, 1000}) {
    ModuleConfig config = defaults();
    config.ctrl_enter = index;
    ASSERT_EQ(host().confSave(config), 1);
    EXPECT_NE(readFile(settingsFile()).find("\"disabled\""), std::string::npos) << index;
    EXPECT_EQ(host().confLoad().ctrl_enter, 0);
  }
}

TEST_F(ModuleConfigTest, FailedSaveAnswersZeroAndKeepsTheOldFile) {
  // A settings file that is a link is read through, never written through:
  // the file it points to may be anyone's.
  const fs::path elsewhere = home() / "elsewhere.json";
  std::ofstream(elsewhere) << R"({"esc_clears_buffer": true})";
  fs::create_directories(settingsFile().parent_path());
  fs::create_symlink(elsewhere, settingsFile());
  EXPECT_EQ(host().confLoad().esc_clears_buffer, 1);
  EXPECT_EQ(host().confSave(defaults()), 0);
  EXPECT_EQ(host().confLoad().esc_clears_buffer, 1);
  EXPECT_TRUE(fs::is_symlink(settingsFile()));

  // A file where the configuration directory should be.
  fs::remove_all(home() / ".gcin");
  std::ofstream(home() / ".gcin") << "not a directory";
  EXPECT_EQ(host().confSave(defaults()), 0);
}

}  // namespace
}  // namespace Kestova
