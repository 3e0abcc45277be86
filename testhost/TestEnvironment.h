// A throw-away HOME and data root for driving the module outside gcin: a
// temporary directory with a home directory, a data root holding a phrase
// file, and the environment variables that point the module at them. The
// directory is removed again on destruction.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace Kestova {

class TestEnvironment {
 public:
  // Variable that moves the module's data root away from the installed one;
  // only tests and tools set it.
  static constexpr const char* kDataRootVariable = "KESTOVA_DATA_ROOT";

  TestEnvironment();
  ~TestEnvironment();
  TestEnvironment(const TestEnvironment&) = delete;
  TestEnvironment& operator=(const TestEnvironment&) = delete;

  const std::filesystem::path& directory() const { return directory_; }
  const std::filesystem::path& home() const { return home_; }
  const std::filesystem::path& dataRoot() const { return dataRoot_; }
  std::filesystem::path dataFile() const { return dataRoot_ / "data" / "kestova-data.txt"; }
  std::filesystem::path userDirectory() const { return home_ / ".gcin" / "kestova" / "kestova"; }
  std::filesystem::path configDirectory() const { return home_ / ".gcin" / "config"; }

  // Writes the built-in phrase file from "READING VALUE SCORE" lines, sorted
  // and with the format header, as the data builder would.
  void writePhraseFile(const std::vector<std::string>& lines) const;
  // Writes gcin's keyboard file (its first line) and the module settings file.
  void writeKeyboardFile(const std::string& firstLine) const;
  void writeSettingsFile(const std::string& json) const;
  // Sets HOME and the data-root variable for this process.
  void activate() const;

  // A small phrase table that the module tests share: a few syllables, a few
  // phrases, and eleven candidates for one reading so paging has work.
  static std::vector<std::string> samplePhrases();

 private:
  std::filesystem::path directory_;
  std::filesystem::path home_;
  std::filesystem::path dataRoot_;
};

}  // namespace Kestova
