#include "models/UserFilesEditor.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <iterator>
#include <set>
#include <utility>

#include "base/FileAccess.h"
#include "base/ModuleLog.h"
#include "models/LearntWordStore.h"

namespace Kestova {

namespace fs = std::filesystem;
using EntryKey = LanguageModelLoader::EntryKey;

namespace {

bool pathExists(const fs::path& path) {
  std::error_code error;
  const fs::file_type type = fs::status(path, error).type();
  return type != fs::file_type::none && type != fs::file_type::not_found;
}

std::string phraseText(const EntryKey& entry) {
  return entry.value + ", reading: " + entry.key;
}

std::string lineOf(const EntryKey& entry) {
  return entry.value + " " + entry.key;
}

// The size of the file at `path` (following links), or empty.
std::optional<std::uint64_t> sizeOf(const fs::path& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || info.st_size < 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

// Cuts off again what was appended to `file` for a change that could not be
// made whole.
void takeBack(FileAccess::AppendFile& file, const fs::path& path) {
  std::string failure;
  if (!file.undoAppend(&failure)) {
    ModuleLog::warn("Failed to take the new lines out of " + ModuleLog::quoted(path) +
                    " again: " + failure);
  }
}

}  // namespace

UserFilesEditor::UserFilesEditor(std::string userFilesDirectory, Role role, LoadedFiles* loaded)
    : directory_(std::move(userFilesDirectory)), role_(role), loaded_(loaded) {}

fs::path UserFilesEditor::pathOf(File file) const {
  const fs::path directory(directory_);
  switch (file) {
    case File::Phrases:
      return directory / LanguageModelLoader::kUserPhrasesFileName;
    case File::ExcludedPhrases:
      return directory / LanguageModelLoader::kExcludedPhrasesFileName;
    case File::Replacements:
      return directory / LanguageModelLoader::kReplacementFileName;
    case File::LearntWords:
      return directory / LearntWordStore::kFileName;
  }
  return {};
}

UserFileKind UserFilesEditor::kindOf(File file) {
  return file == File::Replacements ? UserFileKind::kReplacements : UserFileKind::kPhrases;
}

bool UserFilesEditor::rewriteLearntWords(
    const std::function<void(std::vector<LearntWords::Word>&)>& change, std::string& failure) {
  const fs::path path = pathOf(File::LearntWords);
  const FileAccess::ReadResult read =
      FileAccess::readFile(path.string(), LearntWordStore::kFileLimit);
  if (!read.ok()) {
    failure = read.reason();
    ModuleLog::warn("Failed to open file for reading: " + ModuleLog::quoted(path) + ": " + failure);
    return false;
  }
  std::vector<LearntWords::Word> words = parseLearntFile(read.bytes).words;
  change(words);
  if (!FileAccess::replaceFile(path.string(), formatLearntFile(words), &failure, 0600)) {
    ModuleLog::warn("Failed to write to file: " + ModuleLog::quoted(path) + ": " + failure);
    return false;
  }
  return true;
}

bool UserFilesEditor::removeFrom(File file, const EntryKey& entry, Change& change,
                                 Outcome& outcome) {
  Step step{file, {}, {}, {}};
  std::string failure;
  if (LanguageModelLoader::removeEntries(pathOf(file), kindOf(file), {entry}, &step.removedLines,
                                         &failure)) {
    change.push_back(std::move(step));
    return true;
  }
  if (failure.empty()) return true;  // nothing to remove
  outcome.failure = std::move(failure);
  outcome.file = pathOf(file);
  return false;
}

UserFilesEditor::Outcome UserFilesEditor::finish(Change change, Outcome outcome) {
  outcome.changed = !change.empty();
  if (outcome.changed && role_ == Role::PhraseEditor) history_.push_back(std::move(change));
  return outcome;
}

std::optional<FileAccess::FileLock> UserFilesEditor::lock(Outcome& outcome, bool* held) const {
  const std::chrono::milliseconds timeout =
      role_ == Role::KeyThread ? std::chrono::milliseconds(0) : LanguageModelLoader::kLockTimeout;
  return LanguageModelLoader::lockUserFiles(directory_, &outcome.failure, timeout, held);
}

bool UserFilesEditor::asLoaded(File file, std::uint64_t size) const {
  if (!loaded_) return false;
  const std::optional<std::uint64_t> loadedSize = loaded_->loadedSize(file);
  return loadedSize && *loadedSize == size;
}

UserFilesEditor::Outcome UserFilesEditor::addPhrases(const std::vector<Phrase>& phrases) {
  Outcome outcome;
  if (directory_.empty()) {
    outcome.failure = "there is no user files directory";
    return outcome;
  }
  std::vector<EntryKey> entries;
  std::set<EntryKey> seen;
  for (const Phrase& phrase : phrases) {
    if (!canStoreUserPhrase(phrase.reading, phrase.value)) {
      outcome.failure = "a value or reading cannot be stored as one line";
      return outcome;
    }
    EntryKey entry{phrase.reading, phrase.value};
    if (seen.insert(entry).second) entries.push_back(std::move(entry));
  }
  const fs::path phrasesPath = pathOf(File::Phrases);
  if (!pathExists(phrasesPath)) {
    outcome.failure = "the user phrase file does not exist";
    outcome.file = phrasesPath;
    return outcome;
  }
  // Behind the additions that wait already, in the order they were made.
  const auto wait = [&] {
    for (EntryKey& entry : entries) {
      Phrase phrase{std::move(entry.key), std::move(entry.value)};
      if (std::find(pending_.begin(), pending_.end(), phrase) == pending_.end()) {
        pending_.push_back(std::move(phrase));
      }
    }
    outcome.pending = true;
    outcome.failure.clear();
    return outcome;
  };
  if (role_ == Role::KeyThread && !pending_.empty()) return wait();
  bool held = false;
  std::optional<FileAccess::FileLock> lock = this->lock(outcome, &held);
  if (!lock) {
    if (held && role_ == Role::KeyThread) return wait();
    return outcome;
  }
  Change change;
  outcome = addLocked(std::move(entries), change);
  return finish(std::move(change), std::move(outcome));
}

std::vector<UserFilesEditor::Written> UserFilesEditor::writePending() {
  std::vector<Written> written;
  if (pending_.empty()) return written;
  Outcome locking;
  bool held = false;
  std::optional<FileAccess::FileLock> lock = this->lock(locking, &held);
  if (!lock && held) return written;
  for (Phrase& phrase : std::exchange(pending_, {})) {
    Outcome outcome;
    Change change;
    if (!lock) {
      outcome = locking;
    } else if (!pathExists(pathOf(File::Phrases))) {
      outcome.failure = "the user phrase file does not exist";
      outcome.file = pathOf(File::Phrases);
    } else {
      outcome = addLocked({{phrase.reading, phrase.value}}, change);
      outcome = finish(std::move(change), std::move(outcome));
    }
    written.push_back({std::move(phrase), std::move(outcome)});
  }
  return written;
}

bool UserFilesEditor::listedInPhrases(const FileAccess::AppendFile& file,
                                      const std::vector<EntryKey>& entries,
                                      std::vector<EntryKey>& listed, std::string& failure) const {
  // What the caller loaded, and what it wrote since, it knows; only lines
  // appended after that (by another instance) are read.
  std::uint64_t from = 0;
  const std::uint64_t size = file.size();
  if (const std::optional<std::uint64_t> loadedSize =
          loaded_ ? loaded_->loadedSize(File::Phrases) : std::nullopt;
      loadedSize && *loadedSize <= size) {
    from = *loadedSize;
    for (const EntryKey& entry : entries) {
      if (loaded_->lists(File::Phrases, {entry.key, entry.value})) listed.push_back(entry);
    }
  }
  if (size - from > FileAccess::kUserFileLimit) {
    failure = "larger than " + std::to_string(FileAccess::kUserFileLimit) + " bytes";
    return false;
  }
  std::string bytes;
  if (!file.readFrom(from, FileAccess::kUserFileLimit, bytes, &failure)) return false;
  for (EntryKey& entry :
       LanguageModelLoader::entriesListed(bytes, UserFileKind::kPhrases, entries, from == 0)) {
    if (std::find(listed.begin(), listed.end(), entry) == listed.end()) {
      listed.push_back(std::move(entry));
    }
  }
  return true;
}

LanguageModelLoader::Removal UserFilesEditor::takeOutOfExcludedPhrases(
    const std::vector<EntryKey>& entries, Step& step, std::string& failure) {
  const fs::path path = pathOf(File::ExcludedPhrases);
  // As loaded and listing none of them: nothing to read or rewrite.
  if (const std::optional<std::uint64_t> size = sizeOf(path);
      size && asLoaded(File::ExcludedPhrases, *size)) {
    const bool anyListed = std::any_of(entries.begin(), entries.end(), [&](const EntryKey& entry) {
      return loaded_->lists(File::ExcludedPhrases, {entry.key, entry.value});
    });
    if (!anyListed) return LanguageModelLoader::Removal::NotListed;
  }
  return LanguageModelLoader::removeListedEntries(path, UserFileKind::kPhrases, entries,
                                                  &step.removedLines, &failure);
}

UserFilesEditor::Outcome UserFilesEditor::addLocked(std::vector<EntryKey> entries, Change& change) {
  Outcome outcome;
  const auto fail = [&](const fs::path& file, std::string failure) {
    outcome.failure = std::move(failure);
    outcome.file = file;
    return outcome;
  };
  const fs::path phrasesPath = pathOf(File::Phrases);
  std::string failure;
  std::optional<FileAccess::AppendFile> phrases =
      FileAccess::AppendFile::open(phrasesPath.string(), &failure);
  if (!phrases) return fail(phrasesPath, failure);
  const bool phrasesAsLoaded = asLoaded(File::Phrases, phrases->size());
  std::vector<EntryKey> listed;
  if (!listedInPhrases(*phrases, entries, listed, failure)) return fail(phrasesPath, failure);
  const std::set<EntryKey> known(listed.begin(), listed.end());
  Step added{File::Phrases, {}, {}, {}};
  std::string lines;
  for (EntryKey& entry : entries) {
    if (known.contains(entry)) {
      if (entries.size() == 1) ModuleLog::info("Phrase already exists: " + phraseText(entry));
      continue;
    }
    lines += lineOf(entry);
    lines += '\n';
    added.appended.push_back(entry);
  }
  // Appended first: cutting the lines off again needs no room on the disk,
  // so the addition can be taken back whole if the excluded phrases cannot
  // be rewritten.
  if (!lines.empty() && !phrases->appendLine(lines, FileAccess::kUserFileLimit, &failure)) {
    return fail(phrasesPath, failure);
  }
  // An excluded phrase the user adds is wanted after all.
  const fs::path excludedPath = pathOf(File::ExcludedPhrases);
  const std::optional<std::uint64_t> excludedSize = sizeOf(excludedPath);
  const bool excludedAsLoaded = excludedSize && asLoaded(File::ExcludedPhrases, *excludedSize);
  Step unexcluded{File::ExcludedPhrases, {}, {}, {}};
  const LanguageModelLoader::Removal removal =
      takeOutOfExcludedPhrases(entries, unexcluded, failure);
  if (removal == LanguageModelLoader::Removal::Failed) {
    if (!lines.empty()) takeBack(*phrases, phrasesPath);
    return fail(excludedPath, failure);
  }
  if (!added.appended.empty()) {
    if (added.appended.size() == 1) {
      ModuleLog::info("Added phrase to file: " + phraseText(added.appended.front()));
    } else {
      ModuleLog::info("Added " + std::to_string(added.appended.size()) +
                      " phrases to file: " + ModuleLog::quoted(phrasesPath));
    }
    outcome.added = added.appended.size();
    change.push_back(std::move(added));
    if (loaded_) loaded_->edited(File::Phrases, phrasesAsLoaded);
  }
  if (removal == LanguageModelLoader::Removal::Removed) {
    change.push_back(std::move(unexcluded));
    if (loaded_) loaded_->edited(File::ExcludedPhrases, excludedAsLoaded);
  }
  outcome.ok = true;
  return outcome;
}

UserFilesEditor::Outcome UserFilesEditor::remove(File file, EntryKey entry) {
  Outcome outcome;
  if (directory_.empty()) {
    outcome.failure = "there is no user files directory";
    return outcome;
  }
  std::optional<FileAccess::FileLock> lock = this->lock(outcome);
  if (!lock) return outcome;
  Change change;
  outcome.ok = removeFrom(file, entry, change, outcome);
  return finish(std::move(change), std::move(outcome));
}

UserFilesEditor::Outcome UserFilesEditor::removePhrase(const Phrase& phrase) {
  return remove(File::Phrases, {phrase.reading, phrase.value});
}

UserFilesEditor::Outcome UserFilesEditor::includePhrase(const Phrase& phrase) {
  return remove(File::ExcludedPhrases, {phrase.reading, phrase.value});
}

UserFilesEditor::Outcome UserFilesEditor::removeReplacement(std::string_view value,
                                                            std::string_view replacement) {
  return remove(File::Replacements, {std::string(value), std::string(replacement)});
}

UserFilesEditor::Outcome UserFilesEditor::removeLearntWord(const Phrase& phrase) {
  Outcome outcome;
  if (directory_.empty()) {
    outcome.failure = "there is no user files directory";
    return outcome;
  }
  std::optional<FileAccess::FileLock> lock = this->lock(outcome);
  if (!lock) return outcome;
  Step step{File::LearntWords, {}, {}, {}};
  const auto isThePhrase = [&](const LearntWords::Word& word) {
    return word.reading == phrase.reading && word.value == phrase.value;
  };
  // Damaged lines, which the store skips too, are not written back.
  outcome.ok = rewriteLearntWords(
      [&](std::vector<LearntWords::Word>& words) {
        std::copy_if(words.begin(), words.end(), std::back_inserter(step.removedWords),
                     isThePhrase);
        std::erase_if(words, isThePhrase);
      },
      outcome.failure);
  Change change;
  if (outcome.ok && !step.removedWords.empty()) {
    ModuleLog::info("Removed learnt word: " + phrase.value + ", reading: " + phrase.reading);
    change.push_back(std::move(step));
  }
  return finish(std::move(change), std::move(outcome));
}

UserFilesEditor::Outcome UserFilesEditor::excludePhrase(const Phrase& phrase) {
  Outcome outcome;
  if (directory_.empty()) {
    outcome.failure = "there is no user files directory";
    return outcome;
  }
  if (!canStoreUserPhrase(phrase.reading, phrase.value)) {
    outcome.failure = "the value or reading cannot be stored as one line";
    return outcome;
  }
  const fs::path excludedPath = pathOf(File::ExcludedPhrases);
  if (!pathExists(excludedPath)) {
    outcome.failure = "the excluded-phrase file does not exist";
    return outcome;
  }
  std::optional<FileAccess::FileLock> lock = this->lock(outcome);
  if (!lock) return outcome;

  const EntryKey entry{phrase.reading, phrase.value};
  std::string failure;
  const bool present =
      !LanguageModelLoader::entriesPresent(excludedPath, UserFileKind::kPhrases, {entry}, &failure)
           .empty();
  if (!failure.empty()) {
    outcome.failure = std::move(failure);
    outcome.file = excludedPath;
    return outcome;
  }
  // Appended first: cutting the line off again needs no room on the disk,
  // so the exclusion can be taken back whole if the user phrases cannot be
  // rewritten.
  std::optional<FileAccess::AppendFile> excluded;
  if (!present) {
    excluded = FileAccess::AppendFile::open(excludedPath.string(), &failure);
    if (!excluded ||
        !excluded->appendLine(lineOf(entry) + "\n", FileAccess::kUserFileLimit, &failure)) {
      ModuleLog::warn("Failed to write to file: " + ModuleLog::quoted(excludedPath) + ": " +
                      failure);
      outcome.failure = std::move(failure);
      outcome.file = excludedPath;
      return outcome;
    }
  }
  Change change;
  if (pathExists(pathOf(File::Phrases)) && !removeFrom(File::Phrases, entry, change, outcome)) {
    if (excluded) takeBack(*excluded, excludedPath);
    return outcome;
  }
  if (!present) {
    ModuleLog::info("Excluded phrase: " + phraseText(entry));
    change.push_back(Step{File::ExcludedPhrases, {entry}, {}, {}});
  }
  outcome.ok = true;
  return finish(std::move(change), std::move(outcome));
}

UserFilesEditor::Outcome UserFilesEditor::forgetLearntWords() {
  Outcome outcome;
  if (directory_.empty()) {
    outcome.failure = "there is no user files directory";
    return outcome;
  }
  // No input method ever ran with this directory: nothing was learnt.
  if (!pathExists(directory_)) {
    outcome.ok = true;
    return outcome;
  }
  std::optional<FileAccess::FileLock> lock =
      LanguageModelLoader::lockUserFiles(directory_, &outcome.failure);
  if (!lock) return outcome;
  const fs::path path = pathOf(File::LearntWords);
  if (!LearntWordStore::emptyFile(path, &outcome.failure)) {
    ModuleLog::warn("Failed to empty " + ModuleLog::quoted(path) + ": " + outcome.failure);
    return outcome;
  }
  ModuleLog::info("Forgot the learnt words: emptied " + ModuleLog::quoted(path));
  outcome.ok = true;
  return outcome;
}

UserFilesEditor::Outcome UserFilesEditor::undo() {
  Outcome outcome;
  if (history_.empty()) {
    outcome.ok = true;
    return outcome;
  }
  std::optional<FileAccess::FileLock> lock = this->lock(outcome);
  if (!lock) return outcome;
  const Change change = std::move(history_.back());
  history_.pop_back();
  for (auto step = change.rbegin(); step != change.rend(); ++step) {
    const fs::path path = pathOf(step->file);
    std::string failure;
    if (!step->appended.empty() &&
        !LanguageModelLoader::removeEntries(path, kindOf(step->file), step->appended, nullptr,
                                            &failure) &&
        !failure.empty()) {
      outcome.failure = std::move(failure);
      return outcome;
    }
    if (!step->removedLines.empty() &&
        !LanguageModelLoader::appendLines(path, step->removedLines, &outcome.failure)) {
      return outcome;
    }
    // Learnt again as the most recently learnt words, with their weights.
    if (!step->removedWords.empty() && !rewriteLearntWords(
                                           [&](std::vector<LearntWords::Word>& words) {
                                             words.insert(words.end(), step->removedWords.begin(),
                                                          step->removedWords.end());
                                           },
                                           outcome.failure)) {
      return outcome;
    }
  }
  ModuleLog::info("Undid a change of the user files");
  outcome.ok = true;
  outcome.changed = true;
  return outcome;
}

}  // namespace Kestova
