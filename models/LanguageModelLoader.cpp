#include "models/LanguageModelLoader.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <set>

#include "base/FileAccess.h"
#include "base/ModuleLog.h"
#include "models/UserFileParser.h"
#include "models/UserFilesEditor.h"
#include "text/Utf8.h"

namespace Kestova {

namespace fs = std::filesystem;

namespace {

using ModuleLog::quoted;

// How long an addition waits for another instance that is rewriting the
// same files (which takes milliseconds) before it gives up.
constexpr std::chrono::milliseconds kLockTimeout{2000};

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

// The one entry a line of a user file holds, as the model reads it: none
// for comments and blank lines, and none for a line read up to its line feed
// that the model splits into several lines (at a lone carriage return), so
// that removing an entry never takes other entries along. Neither blanks
// around the tokens nor how many blanks separate them matter.
//
// The caller takes the file's byte-order mark off its first line; a mark at
// the start of any other line is part of that line's value, so such a line
// never matches.
std::optional<UserFileEntry> entryOfLine(std::string_view line, UserFileKind kind) {
  if (line.starts_with(kByteOrderMark)) return std::nullopt;
  std::optional<UserFileEntry> entry;
  int count = 0;
  forEachUserFileEntry(line, kind, [&](const UserFileEntry& found) {
    ++count;
    entry = found;
  });
  if (count != 1) return std::nullopt;
  return entry;
}

using EntryKey = LanguageModelLoader::EntryKey;

std::optional<EntryKey> keyOfLine(std::string_view line, UserFileKind kind) {
  std::optional<UserFileEntry> entry = entryOfLine(line, kind);
  if (!entry) return std::nullopt;
  return EntryKey{std::string(entry->key), std::string(entry->value)};
}

void setFailure(std::string* failure, std::string text) {
  if (failure) *failure = std::move(text);
}

std::string targetLine(std::string_view reading, std::string_view value) {
  std::string target(value);
  target += ' ';
  target += reading;
  return target;
}

// Calls `visit` with every line of a user file's bytes (up to each line
// feed, without it), the first one without a byte-order mark; answers the
// mark, or "" when the file has none.
template <typename Visit>
std::string_view forEachLine(std::string_view bytes, Visit visit) {
  std::string_view mark;
  if (bytes.starts_with(kByteOrderMark)) {
    mark = bytes.substr(0, kByteOrderMark.size());
    bytes.remove_prefix(kByteOrderMark.size());
  }
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    visit(bytes.substr(0, end));
    if (end == std::string_view::npos) break;
    bytes.remove_prefix(end + 1);
  }
  return mark;
}

// Reads a user file for a rewrite or a test; logs `failureText` + the path
// and the reason when it cannot.
bool readUserFile(const fs::path& file, std::string_view failureText, std::string& bytes,
                  std::string* failure) {
  FileAccess::ReadResult read = FileAccess::readFile(file.string(), FileAccess::kUserFileLimit);
  if (!read.ok()) {
    ModuleLog::warn(std::string(failureText) + quoted(file) + ": " + read.reason());
    setFailure(failure, read.reason());
    return false;
  }
  bytes = std::move(read.bytes);
  return true;
}

bool rewriteUserFile(const fs::path& file, std::string_view contents, std::string* failure) {
  std::string why;
  if (contents.size() > FileAccess::kUserFileLimit) {
    why = "it would grow past " + std::to_string(FileAccess::kUserFileLimit) + " bytes";
  } else if (FileAccess::replaceFile(file.string(), contents, &why)) {
    return true;
  }
  ModuleLog::warn("Failed to write to file: " + quoted(file) + ": " + why);
  setFailure(failure, why);
  return false;
}

bool existsOrWarn(const fs::path& file, std::string* failure) {
  if (pathExists(file)) return true;
  ModuleLog::warn("File does not exist: " + quoted(file));
  setFailure(failure, "no such file");
  return false;
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
  languageModel_->setLearntWords(learntWords_.words());
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
  learntWords_.setFolder(base, base / kLockFileName);

  if (localizedStrings_) {
    createUserFileIfMissing(userPhrasesFile_, localizedStrings_->userPhrasesTemplate());
    createUserFileIfMissing(excludedPhrasesFile_, localizedStrings_->excludedPhrasesTemplate());
  }

  reloadIfChanged();
}

void LanguageModelLoader::createUserFileIfMissing(const WatchedFile& file,
                                                  const std::string& contents) {
  if (file.path().empty() || file.exists()) return;
  // Written whole under a temporary name and moved into place only if
  // nothing (a file another instance just made, a link) took the name.
  std::string failure;
  bool existed = false;
  if (FileAccess::createFile(file.path().string(), contents, &failure, &existed)) {
    ModuleLog::info("Creating: " + quoted(file.path()));
  } else if (!existed) {
    ModuleLog::warn("Failed to create: " + quoted(file.path()) + ": " + failure);
  }
}

void LanguageModelLoader::reloadBuiltInModel() {
  std::string path = dataFilePath(kBuiltInDataFile);
  ModuleLog::info("Built-in LM: " + path);
  // Seen before it is opened, so that a change in between is noticed.
  builtInFile_ = WatchedFile(path);
  builtInFile_.remember();
  languageModel_->openBuiltInTable(path);
  if (!languageModel_->builtInTableLoaded()) ModuleLog::info("Failed to open built-in LM");
}

bool LanguageModelLoader::reopenBuiltInModelIfReplaced() {
  // A file removed from under the mapping stays readable through it; one
  // replaced, or worse rewritten in place (a shorter file would fault on the
  // next look-up past its new end), is mapped again.
  if (!builtInFile_.exists() || !builtInFile_.changed()) return false;
  ModuleLog::info("Built-in LM changed on disk: " + builtInFile_.path().string());
  reloadBuiltInModel();
  return true;
}

void LanguageModelLoader::reloadContextModel() {
  contextModel_.reset();
  const std::string path = dataFilePath(kContextDataFile);
  contextFile_ = WatchedFile(path);
  contextFile_.remember();
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
  const bool reloadBuiltIn = reopenBuiltInModelIfReplaced();
  // The context file, like the built-in one, is mapped again when it was
  // replaced or changed in place; the key handler is given the new model.
  const bool reloadContext = contextFile_.exists() && contextFile_.changed();
  if (reloadContext) {
    ModuleLog::info("Context file changed on disk: " + contextFile_.path().string());
    reloadContextModel();
  }
  bool reloadUser = false;
  bool reloadReplacement = false;

  for (WatchedFile* file : {&userPhrasesFile_, &excludedPhrasesFile_}) {
    if (file->exists() && file->changed()) {
      file->remember();
      ModuleLog::info("Will load: " + quoted(file->path()));
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
                      quoted(replacementFile_.path()));
    } else if (present && replacementFile_.changed()) {
      replacementFile_.remember();
      if (enabled) {
        ModuleLog::info("Will reload phrases replacement file: " + quoted(replacementFile_.path()));
      } else {
        languageModel_->setReplacementEnabled(true);
        ModuleLog::info("Phrases replacement enabled, file: " + quoted(replacementFile_.path()));
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
  const bool reloadLearnt = learntWords_.reloadIfChanged();
  return reloadBuiltIn || reloadContext || reloadUser || reloadReplacement || reloadLearnt;
}

void LanguageModelLoader::setLearning(bool learn, bool remember) {
  learntWords_.configure(learn, remember);
  languageModel_->setLearntWords(learntWords_.words());
}

void LanguageModelLoader::addPhrase(std::string_view reading, std::string_view value) {
  if (!canStoreUserPhrase(reading, value)) {
    // Such a line would read back as another phrase, as a comment or not at
    // all; the values may hold line breaks, so they are not logged.
    ModuleLog::warn("Not adding user phrase: the value or reading cannot be stored as one line");
    return;
  }
  if (!userPhrasesFile_.exists()) {
    ModuleLog::info("Not writing user phrases: data file does not exist");
    return;
  }
  // Another instance (a second X session, a restart racing the old one)
  // may be editing the same files: the editor reads and rewrites them under
  // the lock so that no edit undoes another.
  UserFilesEditor editor(userFilesDirectory_);
  const UserFilesEditor::Outcome outcome =
      editor.addPhrase({std::string(reading), std::string(value)});
  if (!outcome.ok) {
    ModuleLog::warn("Failed to add user phrase: " + phraseText(value, reading) +
                    (outcome.failure.empty() ? "" : ": " + outcome.failure));
    return;
  }
  if (outcome.added > 0) ModuleLog::info("Added user phrase: " + phraseText(value, reading));
  if (outcome.changed) reloadIfChanged();
}

void LanguageModelLoader::excludePhrase(std::string_view, std::string_view) {}

std::optional<FileAccess::FileLock> LanguageModelLoader::lockUserFiles(
    const std::string& userFilesDirectory, std::string* failure) {
  return FileAccess::FileLock::acquire((fs::path(userFilesDirectory) / kLockFileName).string(),
                                       kLockTimeout, failure);
}

bool LanguageModelLoader::removeLine(const fs::path& file, std::string_view reading,
                                     std::string_view value) {
  return removeEntries(file, UserFileKind::kPhrases, {{std::string(reading), std::string(value)}});
}

bool LanguageModelLoader::hasLine(const fs::path& file, std::string_view reading,
                                  std::string_view value) {
  std::string bytes;
  if (!readUserFile(file, "Failed to open file: ", bytes, nullptr)) return false;
  bool found = false;
  forEachLine(bytes, [&](std::string_view line) {
    if (found) return;
    std::optional<UserFileEntry> entry = entryOfLine(line, UserFileKind::kPhrases);
    found = entry && entry->key == reading && entry->value == value;
  });
  return found;
}

bool LanguageModelLoader::appendLine(const fs::path& file, std::string_view reading,
                                     std::string_view value) {
  if (!appendLines(file, {targetLine(reading, value)})) return false;
  ModuleLog::info("Added phrase to file: " + phraseText(value, reading));
  return true;
}

bool LanguageModelLoader::removeEntries(const fs::path& file, UserFileKind kind,
                                        const std::vector<EntryKey>& entries,
                                        std::vector<std::string>* removedLines,
                                        std::string* failure) {
  if (!existsOrWarn(file, failure)) return false;
  std::string bytes;
  if (!readUserFile(file, "Failed to open file for reading: ", bytes, failure)) return false;

  const std::set<EntryKey> wanted(entries.begin(), entries.end());
  std::set<EntryKey> removed;
  std::vector<std::string> lines;
  std::string kept;
  kept.reserve(bytes.size());
  const std::string_view mark = forEachLine(bytes, [&](std::string_view line) {
    std::optional<EntryKey> key = keyOfLine(line, kind);
    if (key && wanted.contains(*key)) {
      const std::size_t end = line.find_last_not_of(" \t\r");
      lines.emplace_back(line.substr(0, end == std::string_view::npos ? 0 : end + 1));
      removed.insert(std::move(*key));
      return;
    }
    kept += line;
    kept += '\n';
  });
  if (removed.empty()) return false;
  kept.insert(0, mark);
  if (!rewriteUserFile(file, kept, failure)) return false;
  for (const EntryKey& key : removed) {
    ModuleLog::info("Removed phrase from file: " + phraseText(key.value, key.key));
  }
  if (removedLines) {
    removedLines->insert(removedLines->end(), std::make_move_iterator(lines.begin()),
                         std::make_move_iterator(lines.end()));
  }
  return true;
}

std::vector<EntryKey> LanguageModelLoader::entriesPresent(const fs::path& file, UserFileKind kind,
                                                          const std::vector<EntryKey>& entries,
                                                          std::string* failure) {
  std::string bytes;
  if (!readUserFile(file, "Failed to open file: ", bytes, failure)) return {};
  const std::set<EntryKey> wanted(entries.begin(), entries.end());
  std::set<EntryKey> present;
  forEachLine(bytes, [&](std::string_view line) {
    std::optional<EntryKey> key = keyOfLine(line, kind);
    if (key && wanted.contains(*key)) present.insert(std::move(*key));
  });
  return {present.begin(), present.end()};
}

bool LanguageModelLoader::appendLines(const fs::path& file, const std::vector<std::string>& lines,
                                      std::string* failure) {
  if (!existsOrWarn(file, failure)) return false;
  std::string text;
  if (!readUserFile(file, "Failed to open file for reading: ", text, failure)) return false;
  // The whole file is written anew and renamed into place: a disk that
  // fills up, or another instance, never leaves a piece of a line behind.
  if (!text.empty() && text.back() != '\n') text += '\n';
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  return rewriteUserFile(file, text, failure);
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
