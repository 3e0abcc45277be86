#include "models/LanguageModelLoader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "models/ModuleLog.h"
#include "models/UserFileParser.h"

namespace Kestova {

namespace fs = std::filesystem;

namespace {

// A path as the standard stream writes it: in double quotes, with
// backslash escapes.
std::string quotedPath(const fs::path& path) {
  std::ostringstream out;
  out << path;
  return out.str();
}

std::string phraseText(std::string_view value, std::string_view reading) {
  std::string text(value);
  text += ", reading: ";
  text += reading;
  return text;
}

bool pathExists(const fs::path& path) {
  std::error_code error;
  fs::file_type type = fs::status(path, error).type();
  return type != fs::file_type::none && type != fs::file_type::not_found;
}

// Creates the directory unless something already stands at the path, and logs
// what it did; false when it had to be made and could not be. `what` names it
// in the log ("user data directory").
bool ensureDirectory(const std::string& directory, std::string_view what) {
  if (pathExists(directory)) return true;
  if (::mkdir(directory.c_str(), 0700) != 0) {
    ModuleLog::warn("Failed to create " + std::string(what) + ": " + directory);
    return false;
  }
  ModuleLog::info("Created " + std::string(what) + ": " + directory);
  return true;
}

// Whether one line of a user file holds exactly the phrase (value, reading)
// as the model reads it: comments never match, and neither blanks around the
// tokens nor how many blanks separate value and reading matter. A line read
// up to its line feed that the model splits into several lines (at a lone
// carriage return) does not match, so removing it never takes other
// phrases along.
bool lineMatches(std::string_view line, std::string_view reading, std::string_view value) {
  UserFileIndex index;
  if (!parseUserFile(line, UserFileKind::kPhrases, index) || index.size() != 1) return false;
  const auto& [key, values] = *index.begin();
  return key == reading && values.size() == 1 && values.front() == value;
}

std::string targetLine(std::string_view reading, std::string_view value) {
  std::string target(value);
  target += ' ';
  target += reading;
  return target;
}

// Whether "value reading" written as one line would be read back by the
// user file parser as exactly this value under exactly this reading.
bool storableAsLine(std::string_view reading, std::string_view value) {
  constexpr std::string_view kLineBreaks("\r\n\0", 3);
  constexpr std::string_view kBlanks(" \t\r\n\0", 5);
  if (reading.empty() || reading.find_first_of(kBlanks) != std::string_view::npos) return false;
  if (value.empty() || value.find_first_of(kLineBreaks) != std::string_view::npos) return false;
  // Blanks around the value are lost; a leading "#" makes a comment.
  if (value.front() == '#') return false;
  if (value.front() == ' ' || value.front() == '\t') return false;
  if (value.back() == ' ' || value.back() == '\t') return false;
  return true;
}

}  // namespace

std::string LanguageModelLoader::Paths::userDataDirectoryFor(std::string_view home) {
  if (home.empty()) return {};
  return std::string(home) + "/.gcin/kestova";
}

LanguageModelLoader::Paths LanguageModelLoader::Paths::fromEnvironment() {
  Paths paths;
  const char* home = std::getenv("HOME");
  paths.userDataDirectory = userDataDirectoryFor(home ? home : "");
  return paths;
}

LanguageModelLoader::LanguageModelLoader(std::unique_ptr<LocalizedStrings> strings, Paths paths)
    : localizedStrings_(std::move(strings)), paths_(std::move(paths)) {
  startUp();
}

std::string LanguageModelLoader::dataFilePath(std::string_view relative) const {
  std::string path = paths_.dataRoot + "/" + std::string(relative);
  return ::access(path.c_str(), R_OK) == 0 ? path : std::string();
}

void LanguageModelLoader::startUp() {
  languageModel_ = std::make_shared<KestovaLM>();
  macroTable_ = std::make_shared<InputMacroTable>();

  reloadBuiltInModel();
  reloadContextModel();

  ModuleLog::info("Set macro converter");
  // The expander shares the table so that it stays valid for as long as the
  // model, which the key handler may hold longer than this loader.
  languageModel_->setMacroExpander([table = std::shared_ptr<const InputMacroTable>(macroTable_)](
                                       std::string_view text) { return table->expand(text); });

  std::string directory = paths_.userDataDirectory;
  if (directory.empty()) return;
  if (!ensureDirectory(directory, "user data directory")) return;
  directory += "/";
  directory += kUserFilesDirectoryName;
  if (!ensureDirectory(directory, "kestova user data directory")) return;

  userFilesDirectory_ = directory;
  fs::path base(directory);
  userPhrasesFile_ = WatchedFile(base / kUserPhrasesFileName);
  excludedPhrasesFile_ = WatchedFile(base / kExcludedPhrasesFileName);
  replacementFile_ = WatchedFile(base / kReplacementFileName);

  if (localizedStrings_) {
    createUserFileIfMissing(userPhrasesFile_, localizedStrings_->userPhrasesTemplate());
    createUserFileIfMissing(excludedPhrasesFile_, localizedStrings_->excludedPhrasesTemplate());
  }

  reloadIfChanged();
}

void LanguageModelLoader::createUserFileIfMissing(const WatchedFile& file,
                                                  const std::string& contents) {
  if (file.path().empty() || file.exists()) return;
  std::ofstream out(file.path(), std::ios::binary | std::ios::trunc);
  if (!out) return;
  ModuleLog::info("Creating: " + quotedPath(file.path()));
  out << contents;
}

void LanguageModelLoader::reloadBuiltInModel() {
  std::string path = dataFilePath(kBuiltInDataFile);
  ModuleLog::info("Built-in LM: " + path);
  languageModel_->openBuiltInTable(path);
  if (!languageModel_->builtInTableLoaded()) ModuleLog::info("Failed to open built-in LM");
}

void LanguageModelLoader::reloadContextModel() {
  contextModel_.reset();
  const std::string path = dataFilePath(kContextDataFile);
  if (path.empty()) return;
  auto model = std::make_shared<ContextLM>();
  if (!model->open(path)) {
    ModuleLog::warn("Failed to open the context file: " + path);
    return;
  }
  ModuleLog::info("Context model: " + path);
  contextModel_ = std::move(model);
}

bool LanguageModelLoader::reloadIfChanged() {
  bool reloadUser = false;
  bool reloadReplacement = false;

  for (WatchedFile* file : {&userPhrasesFile_, &excludedPhrasesFile_}) {
    if (file->exists() && file->changed()) {
      file->remember();
      ModuleLog::info("Will load: " + quotedPath(file->path()));
      reloadUser = true;
    }
  }

  if (!replacementFile_.path().empty()) {
    bool enabled = languageModel_->replacementEnabled();
    bool present = replacementFile_.exists();
    if (enabled && !present) {
      languageModel_->setReplacementEnabled(false);
      replacementFile_.remember();
      ModuleLog::info("Phrases replacement disabled, file gone: " +
                      quotedPath(replacementFile_.path()));
    } else if (present && replacementFile_.changed()) {
      replacementFile_.remember();
      if (enabled) {
        ModuleLog::info("Will reload phrases replacement file: " +
                        quotedPath(replacementFile_.path()));
      } else {
        languageModel_->setReplacementEnabled(true);
        ModuleLog::info("Phrases replacement enabled, file: " +
                        quotedPath(replacementFile_.path()));
      }
      reloadReplacement = true;
    }
  }

  // The two phrase files are loaded as a pair even if only one changed.
  if (reloadUser) {
    languageModel_->openUserFiles(userPhrasesFile_.path().string(),
                                  excludedPhrasesFile_.path().string());
  }
  if (reloadReplacement) languageModel_->openReplacementFile(replacementFile_.path().string());
  return reloadUser || reloadReplacement;
}

void LanguageModelLoader::addPhrase(std::string_view reading, std::string_view value) {
  if (!storableAsLine(reading, value)) {
    // Such a line would read back as another phrase, as a comment or not at
    // all; the values may hold line breaks, so they are not logged.
    ModuleLog::warn("Not adding user phrase: the value or reading cannot be stored as one line");
    return;
  }
  if (!userPhrasesFile_.exists()) {
    ModuleLog::info("Not writing user phrases: data file does not exist");
    return;
  }
  removeLine(excludedPhrasesFile_.path(), reading, value);
  if (hasLine(userPhrasesFile_.path(), reading, value)) {
    ModuleLog::info("Phrase already exists: " + phraseText(value, reading));
    return;
  }
  if (appendLine(userPhrasesFile_.path(), reading, value)) {
    ModuleLog::info("Added user phrase: " + phraseText(value, reading));
    reloadIfChanged();
  } else {
    ModuleLog::warn("Failed to add user phrase: " + phraseText(value, reading));
  }
}

void LanguageModelLoader::excludePhrase(std::string_view, std::string_view) {}

bool LanguageModelLoader::removeLine(const fs::path& file, std::string_view reading,
                                     std::string_view value) {
  if (!pathExists(file)) {
    ModuleLog::warn("File does not exist: " + quotedPath(file));
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    ModuleLog::warn("Failed to open file for reading: " + quotedPath(file));
    return false;
  }
  std::string temporary = file.string() + ".tmp";
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (!out) {
    ModuleLog::warn("Failed to create temporary file: " + temporary);
    return false;
  }

  bool removed = false;
  std::string line;
  while (std::getline(in, line)) {
    if (lineMatches(line, reading, value)) {
      removed = true;
      continue;
    }
    out << line << '\n';
  }
  in.close();
  out.close();
  bool written = !out.fail();

  if (!removed || !written) {
    ::unlink(temporary.c_str());
    if (removed) ModuleLog::warn("Failed to write to file: " + quotedPath(fs::path(temporary)));
    return false;
  }
  if (std::rename(temporary.c_str(), file.c_str()) != 0) {
    ModuleLog::warn(std::string("Failed to rename temporary file: ") + std::strerror(errno));
    ::unlink(temporary.c_str());
    return false;
  }
  ModuleLog::info("Removed phrase from file: " + phraseText(value, reading));
  return true;
}

bool LanguageModelLoader::hasLine(const fs::path& file, std::string_view reading,
                                  std::string_view value) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    ModuleLog::warn("Failed to open file: " + quotedPath(file));
    return false;
  }
  std::string line;
  while (std::getline(in, line)) {
    if (lineMatches(line, reading, value)) return true;
  }
  return false;
}

bool LanguageModelLoader::appendLine(const fs::path& file, std::string_view reading,
                                     std::string_view value) {
  if (!pathExists(file)) {
    ModuleLog::warn("File does not exist: " + quotedPath(file));
    return false;
  }
  bool needsLineFeed = false;
  {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) {
      ModuleLog::warn("Failed to open file for reading: " + quotedPath(file));
      return false;
    }
    if (in.tellg() > 0) {
      in.seekg(-1, std::ios::end);
      char last = '\n';
      in.get(last);
      needsLineFeed = last != '\n';
    }
  }
  int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd == -1) {
    ModuleLog::warn("Failed to open file for writing: " + quotedPath(file));
    return false;
  }
  std::string text = needsLineFeed ? "\n" : "";
  text += targetLine(reading, value);
  text += '\n';
  // A disk that fills up in the middle of the line would leave a piece of
  // it, which reads back as another phrase: on any failure the file is cut
  // back to its old length.
  struct stat info;
  bool written = ::fstat(fd, &info) == 0;
  off_t originalSize = written ? info.st_size : 0;
  for (size_t done = 0; written && done < text.size();) {
    ssize_t count = ::write(fd, text.data() + done, text.size() - done);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      written = false;
      break;
    }
    done += static_cast<size_t>(count);
  }
  if (!written) {
    if (::ftruncate(fd, originalSize) != 0) {
      ModuleLog::warn("Failed to restore file: " + quotedPath(file));
    }
    ::close(fd);
    ModuleLog::warn("Failed to write to file: " + quotedPath(file));
    return false;
  }
  if (::close(fd) != 0) {
    ModuleLog::warn("Failed to write to file: " + quotedPath(file));
    return false;
  }
  ModuleLog::info("Added phrase to file: " + phraseText(value, reading));
  return true;
}

std::string LoaderStrings::userPhrasesTemplate() const {
  return "# 手動加詞資料檔\n"
         "#\n"
         "# 每行一個詞，後面接注音，音節之間用「-」連接，例如：\n"
         "#\n"
         "#   注音符號 ㄓㄨˋ-ㄧㄣ-ㄈㄨˊ-ㄏㄠˋ\n"
         "#\n"
         "# 以「#」開頭的行是註解。\n"
         "\n";
}

std::string LoaderStrings::excludedPhrasesTemplate() const {
  return "# 手動刪詞資料檔\n"
         "#\n"
         "# 每行一個不要出現的詞，後面接注音，音節之間用「-」連接，例如：\n"
         "#\n"
         "#   家祠 ㄐㄧㄚ-ㄘˊ\n"
         "#\n"
         "# 以「#」開頭的行是註解。\n"
         "\n";
}

}  // namespace Kestova
