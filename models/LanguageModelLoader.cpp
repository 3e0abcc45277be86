#include "models/LanguageModelLoader.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <set>

#include "base/FileAccess.h"
#include "base/ModuleLog.h"
#include "models/SortedPhraseTable.h"
#include "models/UserFileParser.h"
#include "models/UserFilesEditor.h"
#include "text/Utf8.h"

namespace Kestova {

namespace fs = std::filesystem;

namespace {

using ModuleLog::quoted;

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

// Logs what became of an addition and keeps the model and the loader's
// record of what it wrote in step with it.
UserPhraseAdder::AddResult tell(std::string_view reading, std::string_view value,
                                const UserFilesEditor::Outcome& outcome, KestovaLM& model,
                                std::set<std::pair<std::string, std::string>>& written) {
  using AddResult = UserPhraseAdder::AddResult;
  const std::string text = phraseText(value, reading);
  if (outcome.pending) {
    ModuleLog::info(
        "The user files are locked by another program; the phrase is kept in memory "
        "until they are free: " +
        text);
    return AddResult::Pending;
  }
  if (!outcome.ok) {
    std::string why = outcome.failure;
    if (!outcome.file.empty()) why = quoted(outcome.file) + ": " + why;
    ModuleLog::warn("Failed to add user phrase: " + text + (why.empty() ? "" : ": " + why));
    // Not in the file, so not in use either.
    model.withdrawUserPhrase(reading, value);
    return AddResult::Failed;
  }
  written.emplace(reading, value);
  if (outcome.added == 0) return AddResult::AlreadyListed;
  ModuleLog::info("Added user phrase: " + text);
  return AddResult::Added;
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

// What the model holds of the two phrase files, for the editor: with it an
// addition reads neither file, whatever its size, unless another program
// changed it since it was loaded.
class LanguageModelLoader::LoadedUserFiles : public UserFilesEditor::LoadedFiles {
 public:
  explicit LoadedUserFiles(LanguageModelLoader& loader) : loader_(loader) {}

  std::optional<std::uint64_t> loadedSize(UserFilesEditor::File file) const override {
    const WatchedFile* watched = watchedFile(file);
    if (!watched) return std::nullopt;
    const std::optional<std::int64_t> size = watched->grownFrom();
    if (!size || *size < 0) return std::nullopt;
    return static_cast<std::uint64_t>(*size);
  }

  bool lists(UserFilesEditor::File file, const UserFilesEditor::Phrase& phrase) const override {
    if (file == UserFilesEditor::File::ExcludedPhrases) {
      return loader_.languageModel_->excludedPhraseFileLists(phrase.reading, phrase.value);
    }
    return loader_.languageModel_->userPhraseFileLists(phrase.reading, phrase.value) ||
           loader_.writtenSinceLoad_.contains({phrase.reading, phrase.value});
  }

  void edited(UserFilesEditor::File file, bool wasAsLoaded) override {
    // What the model holds (with the phrases added since) is still true of
    // a file that was as loaded: it need not be read again. Any other is
    // loaded again when nothing is composed.
    WatchedFile* watched = watchedFile(file);
    if (watched && wasAsLoaded) watched->remember();
  }

 private:
  WatchedFile* watchedFile(UserFilesEditor::File file) const {
    switch (file) {
      case UserFilesEditor::File::Phrases:
        return &loader_.userPhrasesFile_;
      case UserFilesEditor::File::ExcludedPhrases:
        return &loader_.excludedPhrasesFile_;
      default:
        return nullptr;
    }
  }

  LanguageModelLoader& loader_;
};

LanguageModelLoader::LanguageModelLoader(std::unique_ptr<LocalizedStrings> strings, Paths paths)
    : localizedStrings_(std::move(strings)), paths_(std::move(paths)) {
  startUp();
}

LanguageModelLoader::~LanguageModelLoader() = default;

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
  loadedUserFiles_ = std::make_unique<LoadedUserFiles>(*this);
  editor_ = std::make_unique<UserFilesEditor>(directory, UserFilesEditor::Role::KeyThread,
                                              loadedUserFiles_.get());
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
  builtInSetAside_ = false;
  languageModel_->openBuiltInTable(path);
  if (!languageModel_->builtInTableLoaded()) {
    ModuleLog::info("Failed to open built-in LM");
  } else if (!languageModel_->builtInTableUsable()) {
    // It loads, but answers nothing: every syllable would look mistyped.
    std::string header(SortedPhraseTable::kHeader);
    header.pop_back();
    ModuleLog::error("Built-in LM is not a sorted phrase file: " + quoted(fs::path(path)) +
                     ": it does not begin with the line \"" + header + "\"");
  }
}

bool LanguageModelLoader::reopenBuiltInModelIfReplaced() {
  // A file removed from under the mapping stays readable through it; one
  // replaced, or rewritten in place, is mapped again, and so is one set
  // aside because it was cut shorter.
  if (builtInSetAside_) {
    ModuleLog::info("Opening the built-in LM again: " + builtInFile_.path().string());
  } else if (!builtInFile_.exists() || !builtInFile_.changed()) {
    return false;
  } else {
    ModuleLog::info("Built-in LM changed on disk: " + builtInFile_.path().string());
  }
  reloadBuiltInModel();
  return true;
}

void LanguageModelLoader::reloadContextModel() {
  contextModel_.reset();
  contextSetAside_ = false;
  // Watched where it should be even when it is not there, so that it is
  // read once it appears.
  const std::string path = paths_.dataRoot + "/" + std::string(kContextDataFile);
  contextFile_ = WatchedFile(path);
  contextFile_.remember();
  auto model = std::make_shared<ContextLM>();
  std::string failure;
  if (!model->open(path, &failure)) {
    if (!contextFile_.exists()) {
      if (!contextMissingLogged_) {
        ModuleLog::info("No context file (the walk goes without context until it appears): " +
                        quoted(fs::path(path)));
      }
      contextMissingLogged_ = true;
      return;
    }
    ModuleLog::warn("Failed to open the context file: " + quoted(fs::path(path)) + ": " + failure);
    return;
  }
  contextMissingLogged_ = false;
  ModuleLog::info("Context model: " + path);
  contextModel_ = std::move(model);
}

void LanguageModelLoader::checkBetweenKeys() {
  if (languageModel_->closeBuiltInTableIfCutShort()) {
    builtInSetAside_ = true;
    ModuleLog::warn(
        "Built-in LM changed in place while in use; set aside until nothing is composed: " +
        builtInFile_.path().string());
  }
  if (contextModel_ && !contextModel_->mappingIntact()) {
    // The grid that shares it walks on as without context.
    contextModel_->close();
    contextSetAside_ = true;
    ModuleLog::warn(
        "Context file changed in place while in use; set aside until nothing is composed: " +
        contextFile_.path().string());
  }
  if (hasPendingPhrases()) storePendingPhrases();
}

bool LanguageModelLoader::hasPendingPhrases() const {
  return editor_ && !editor_->pendingPhrases().empty();
}

void LanguageModelLoader::storePendingPhrases() {
  for (const UserFilesEditor::Written& written : editor_->writePending()) {
    tell(written.phrase.reading, written.phrase.value, written.outcome, *languageModel_,
         writtenSinceLoad_);
  }
}

bool LanguageModelLoader::reloadIfChanged() {
  const bool reloadBuiltIn = reopenBuiltInModelIfReplaced();
  // The context file is mapped again when it appeared, was replaced or
  // changed in place, or was set aside; the key handler is given the new
  // model.
  const bool reloadContext = contextSetAside_ || contextFile_.changed();
  if (reloadContext) {
    if (contextFile_.exists()) {
      ModuleLog::info("Context file changed on disk: " + contextFile_.path().string());
    }
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
  if (reloadUser) openUserFiles();
  if (reloadReplacement) languageModel_->openReplacementFile(replacementFile_.path().string());
  const bool reloadLearnt = learntWords_.reloadIfChanged();
  return reloadBuiltIn || reloadContext || reloadUser || reloadReplacement || reloadLearnt;
}

void LanguageModelLoader::setLearning(bool learn, bool remember) {
  learntWords_.configure(learn, remember);
  languageModel_->setLearntWords(learntWords_.words());
}

void LanguageModelLoader::openUserFiles() {
  languageModel_->openUserFiles(userPhrasesFile_.path().string(),
                                excludedPhrasesFile_.path().string());
  // The files now hold whatever was written; what waits stays in use.
  writtenSinceLoad_.clear();
  if (!editor_) return;
  for (const UserFilesEditor::Phrase& phrase : editor_->pendingPhrases()) {
    languageModel_->addUserPhrase(phrase.reading, phrase.value);
  }
}

UserPhraseAdder::AddResult LanguageModelLoader::addPhrase(std::string_view reading,
                                                          std::string_view value) {
  if (!canStoreUserPhrase(reading, value)) {
    // Such a line would read back as another phrase, as a comment or not at
    // all; the values may hold line breaks, so they are not logged.
    ModuleLog::warn("Not adding user phrase: the value or reading cannot be stored as one line");
    return AddResult::Failed;
  }
  if (!userPhrasesFile_.exists()) {
    ModuleLog::info("Not writing user phrases: data file does not exist");
    return AddResult::Failed;
  }
  if (!editor_) return AddResult::Failed;
  // Those waiting for the lock go first, if it is free now.
  if (hasPendingPhrases()) storePendingPhrases();
  // In use at once, whether it can be written now or only later.
  languageModel_->addUserPhrase(reading, value);
  // Another instance (a second X session, a restart racing the old one)
  // may be editing the same files: edits are made under the lock so that
  // none undoes another. The editor only tries the lock: while another
  // program holds it, the phrase waits in the editor and a later key
  // writes it.
  return tell(reading, value, editor_->addPhrase({std::string(reading), std::string(value)}),
              *languageModel_, writtenSinceLoad_);
}

void LanguageModelLoader::excludePhrase(std::string_view, std::string_view) {}

std::optional<FileAccess::FileLock> LanguageModelLoader::lockUserFiles(
    const std::string& userFilesDirectory, std::string* failure, std::chrono::milliseconds timeout,
    bool* held) {
  return FileAccess::FileLock::acquire((fs::path(userFilesDirectory) / kLockFileName).string(),
                                       timeout, failure, held);
}

namespace {

using Removal = LanguageModelLoader::Removal;

// removeEntries() on bytes read: the rewrite, the log of what went, the
// lines removed.
Removal removeFromBytes(const fs::path& file, UserFileKind kind, const std::string& bytes,
                        const std::vector<EntryKey>& entries,
                        std::vector<std::string>* removedLines, std::string* failure) {
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
  if (removed.empty()) return Removal::NotListed;
  kept.insert(0, mark);
  if (!rewriteUserFile(file, kept, failure)) return Removal::Failed;
  for (const EntryKey& key : removed) {
    ModuleLog::info("Removed phrase from file: " + phraseText(key.value, key.key));
  }
  if (removedLines) {
    removedLines->insert(removedLines->end(), std::make_move_iterator(lines.begin()),
                         std::make_move_iterator(lines.end()));
  }
  return Removal::Removed;
}

}  // namespace

bool LanguageModelLoader::removeEntries(const fs::path& file, UserFileKind kind,
                                        const std::vector<EntryKey>& entries,
                                        std::vector<std::string>* removedLines,
                                        std::string* failure) {
  if (!existsOrWarn(file, failure)) return false;
  std::string bytes;
  if (!readUserFile(file, "Failed to open file for reading: ", bytes, failure)) return false;
  return removeFromBytes(file, kind, bytes, entries, removedLines, failure) == Removal::Removed;
}

LanguageModelLoader::Removal LanguageModelLoader::removeListedEntries(
    const fs::path& file, UserFileKind kind, const std::vector<EntryKey>& entries,
    std::vector<std::string>* removedLines, std::string* failure) {
  FileAccess::ReadResult read = FileAccess::readFile(file.string(), FileAccess::kUserFileLimit);
  // What the model cannot load (nothing there, a FIFO or a folder in its
  // place, a file over the size cap) lists nothing.
  if (read.status == FileAccess::ReadStatus::Missing ||
      read.status == FileAccess::ReadStatus::NotRegularFile ||
      read.status == FileAccess::ReadStatus::TooLarge) {
    return Removal::NotListed;
  }
  if (!read.ok()) {
    setFailure(failure, read.reason());
    return Removal::Failed;
  }
  std::string why;
  const Removal removal = removeFromBytes(file, kind, read.bytes, entries, removedLines, &why);
  setFailure(failure, why);
  return removal;
}

std::vector<EntryKey> LanguageModelLoader::entriesPresent(const fs::path& file, UserFileKind kind,
                                                          const std::vector<EntryKey>& entries,
                                                          std::string* failure) {
  std::string bytes;
  if (!readUserFile(file, "Failed to open file: ", bytes, failure)) return {};
  return entriesListed(bytes, kind, entries, true);
}

std::vector<EntryKey> LanguageModelLoader::entriesListed(std::string_view bytes, UserFileKind kind,
                                                         const std::vector<EntryKey>& entries,
                                                         bool fromStart) {
  const std::set<EntryKey> wanted(entries.begin(), entries.end());
  std::set<EntryKey> present;
  const auto visit = [&](std::string_view line) {
    std::optional<EntryKey> key = keyOfLine(line, kind);
    if (key && wanted.contains(*key)) present.insert(std::move(*key));
  };
  if (fromStart) {
    forEachLine(bytes, visit);
  } else {
    // A byte-order mark is one only at the start of the file.
    while (!bytes.empty()) {
      const size_t end = bytes.find('\n');
      visit(bytes.substr(0, end));
      if (end == std::string_view::npos) break;
      bytes.remove_prefix(end + 1);
    }
  }
  return {present.begin(), present.end()};
}

bool LanguageModelLoader::appendLines(const fs::path& file, const std::vector<std::string>& lines,
                                      std::string* failure) {
  if (!existsOrWarn(file, failure)) return false;
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += '\n';
  }
  // Appended in place, whatever the file's size; a disk that fills up
  // never leaves a piece of a line behind.
  std::string why;
  std::optional<FileAccess::AppendFile> opened = FileAccess::AppendFile::open(file.string(), &why);
  if (!opened || !opened->appendLine(text, FileAccess::kUserFileLimit, &why)) {
    ModuleLog::warn("Failed to write to file: " + quoted(file) + ": " + why);
    setFailure(failure, why);
    return false;
  }
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
