#include "models/UserFilesEditor.h"

#include <algorithm>
#include <iterator>
#include <set>
#include <utility>

#include "base/FileAccess.h"
#include "base/ModuleLog.h"

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

}  // namespace

UserFilesEditor::UserFilesEditor(std::string userFilesDirectory)
    : directory_(std::move(userFilesDirectory)) {}

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
      return directory / kLearntWordsFileName;
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
  return false;
}

UserFilesEditor::Outcome UserFilesEditor::finish(Change change, Outcome outcome) {
  outcome.changed = !change.empty();
  if (outcome.changed) history_.push_back(std::move(change));
  return outcome;
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
    return outcome;
  }
  std::optional<FileAccess::FileLock> lock =
      LanguageModelLoader::lockUserFiles(directory_, &outcome.failure);
  if (!lock) return outcome;

  Change change;
  // An excluded phrase the user adds is wanted after all. A file that
  // cannot be edited here does not stop the addition.
  Step unexcluded{File::ExcludedPhrases, {}, {}, {}};
  if (LanguageModelLoader::removeEntries(pathOf(File::ExcludedPhrases), UserFileKind::kPhrases,
                                         entries, &unexcluded.removedLines)) {
    change.push_back(std::move(unexcluded));
  }

  std::string failure;
  const std::vector<EntryKey> present =
      LanguageModelLoader::entriesPresent(phrasesPath, UserFileKind::kPhrases, entries, &failure);
  if (!failure.empty()) {
    outcome.failure = std::move(failure);
    return finish(std::move(change), std::move(outcome));
  }
  const std::set<EntryKey> known(present.begin(), present.end());
  Step added{File::Phrases, {}, {}, {}};
  std::vector<std::string> lines;
  for (EntryKey& entry : entries) {
    if (known.contains(entry)) {
      if (entries.size() == 1) ModuleLog::info("Phrase already exists: " + phraseText(entry));
      continue;
    }
    lines.push_back(lineOf(entry));
    added.appended.push_back(std::move(entry));
  }
  if (!lines.empty()) {
    if (!LanguageModelLoader::appendLines(phrasesPath, lines, &outcome.failure)) {
      return finish(std::move(change), std::move(outcome));
    }
    if (added.appended.size() == 1) {
      ModuleLog::info("Added phrase to file: " + phraseText(added.appended.front()));
    } else {
      ModuleLog::info("Added " + std::to_string(added.appended.size()) +
                      " phrases to file: " + ModuleLog::quoted(phrasesPath));
    }
    outcome.added = added.appended.size();
    change.push_back(std::move(added));
  }
  outcome.ok = true;
  return finish(std::move(change), std::move(outcome));
}

UserFilesEditor::Outcome UserFilesEditor::remove(File file, EntryKey entry) {
  Outcome outcome;
  if (directory_.empty()) {
    outcome.failure = "there is no user files directory";
    return outcome;
  }
  std::optional<FileAccess::FileLock> lock =
      LanguageModelLoader::lockUserFiles(directory_, &outcome.failure);
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
  std::optional<FileAccess::FileLock> lock =
      LanguageModelLoader::lockUserFiles(directory_, &outcome.failure);
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
  std::optional<FileAccess::FileLock> lock =
      LanguageModelLoader::lockUserFiles(directory_, &outcome.failure);
  if (!lock) return outcome;

  const EntryKey entry{phrase.reading, phrase.value};
  Change change;
  if (pathExists(pathOf(File::Phrases)) && !removeFrom(File::Phrases, entry, change, outcome)) {
    return finish(std::move(change), std::move(outcome));
  }
  std::string failure;
  const bool present =
      !LanguageModelLoader::entriesPresent(excludedPath, UserFileKind::kPhrases, {entry}, &failure)
           .empty();
  if (!failure.empty()) {
    outcome.failure = std::move(failure);
    return finish(std::move(change), std::move(outcome));
  }
  if (!present) {
    if (!LanguageModelLoader::appendLines(excludedPath, {lineOf(entry)}, &outcome.failure)) {
      return finish(std::move(change), std::move(outcome));
    }
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
  std::optional<FileAccess::FileLock> lock =
      LanguageModelLoader::lockUserFiles(directory_, &outcome.failure);
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
