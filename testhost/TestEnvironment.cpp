#include "testhost/TestEnvironment.h"

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "models/SortedPhraseFile.h"

namespace Kestova {

namespace fs = std::filesystem;

TestEnvironment::TestEnvironment() {
  std::string pattern = (fs::temp_directory_path() / "kestova-env.XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary directory");
  directory_ = pattern;
  home_ = directory_ / "home";
  dataRoot_ = directory_ / "data-root";
  fs::create_directories(home_);
  fs::create_directories(dataRoot_ / "data");
}

TestEnvironment::~TestEnvironment() {
  std::error_code ignored;
  fs::remove_all(directory_, ignored);
}

void TestEnvironment::writePhraseFile(const std::vector<std::string>& lines) const {
  std::vector<PhraseFileLine> parsed;
  parsed.reserve(lines.size());
  for (const std::string& line : lines) parsed.push_back(parsePhraseFileLine(line));
  if (!writeSortedPhraseFile(dataFile().string(), std::move(parsed))) {
    throw std::runtime_error("cannot write " + dataFile().string());
  }
}

void TestEnvironment::writeKeyboardFile(const std::string& firstLine) const {
  fs::create_directories(configDirectory());
  std::ofstream(configDirectory() / "phonetic-keyboard2", std::ios::trunc) << firstLine << '\n';
}

void TestEnvironment::writeSettingsFile(const std::string& json) const {
  fs::create_directories(configDirectory());
  std::ofstream(configDirectory() / "kestova.json", std::ios::trunc) << json;
}

void TestEnvironment::activate() const {
  setenv("HOME", home_.c_str(), 1);
  setenv(kDataRootVariable, dataRoot_.c_str(), 1);
}

std::vector<std::string> TestEnvironment::samplePhrases() {
  std::vector<std::string> lines = {
      "ㄘㄜˋ 測 -3.0", "ㄘㄜˋ 策 -3.5", "ㄘㄜˋ 側 -3.8",
      "ㄕˋ 是 -2.0",   "ㄕˋ 試 -3.0",   "ㄘㄜˋ-ㄕˋ 測試 -2.5",
      "ㄋㄧˇ 你 -2.0", "ㄏㄠˇ 好 -2.0", "ㄋㄧˇ-ㄏㄠˇ 你好 -2.2",
      "ㄓㄨˋ 注 -3.0", "ㄧㄣ 音 -3.0",  "ㄓㄨˋ-ㄧㄣ 注音 -2.4",
      "ㄧ 一 -2.0",    "ㄧ 衣 -3.0",    "ㄧ 醫 -3.1",
      "ㄧ 依 -3.2",    "ㄧ 伊 -3.3",    "ㄧ 壹 -3.4",
      "ㄧ 揖 -3.5",    "ㄧ 漪 -3.6",    "ㄧ 噫 -3.7",
      "ㄧ 咿 -3.8",    "ㄧ 銥 -3.9",
  };
  return lines;
}

}  // namespace Kestova
