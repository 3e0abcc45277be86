#include "models/LearntWordStore.h"

#include <chrono>

#include "base/FileAccess.h"
#include "base/ModuleLog.h"

namespace Kestova {

namespace fs = std::filesystem;
using ModuleLog::quoted;

LearntWordStore::LearntWordStore() : words_(std::make_shared<LearntWords>()) {}

void LearntWordStore::setFolder(const fs::path& folder, const fs::path& lockFile) {
  file_ = folder.empty() ? WatchedFile() : WatchedFile(folder / kFileName);
  lockFile_ = lockFile;
  if (remember_) readFile();
  file_.remember();
}

void LearntWordStore::configure(bool learn, bool remember) {
  const bool startsRemembering = remember && !remember_;
  // A change of the file while nothing was kept on disk asked to forget;
  // it must not be lost to what is learnt so far joining the file.
  if (startsRemembering && !file_.path().empty() && file_.changed()) forgetChanged();
  learn_ = learn;
  remember_ = remember;
  if (!learn_) unwritten_.clear();
  if (startsRemembering && !file_.path().empty()) {
    // What was learnt so far joins what the file kept.
    for (const LearntWords::Word& word : words_->words()) {
      unwritten_.push_back({word.reading, word.value, ChangeKind::Learn});
    }
    writeOrRead();
  }
}

std::shared_ptr<const LearntWords> LearntWordStore::words() const {
  return learn_ ? words_ : nullptr;
}

void LearntWordStore::learnWords(const std::vector<std::pair<std::string, std::string>>& words) {
  record(words, ChangeKind::Learn);
}

void LearntWordStore::forgetWords(const std::vector<std::pair<std::string, std::string>>& words) {
  record(words, ChangeKind::Forget);
}

void LearntWordStore::weakenWords(const std::vector<std::pair<std::string, std::string>>& words) {
  record(words, ChangeKind::Weaken);
}

void LearntWordStore::record(const std::vector<std::pair<std::string, std::string>>& words,
                             ChangeKind kind) {
  if (!learn_ || words.empty()) return;
  std::vector<Change> changes;
  for (const auto& [reading, value] : words) changes.push_back({reading, value, kind});
  if (remember_ && !file_.path().empty()) {
    unwritten_.insert(unwritten_.end(), changes.begin(), changes.end());
    if (writeFile()) return;
  }
  apply(*words_, changes);
}

void LearntWordStore::apply(LearntWords& words, const std::vector<Change>& changes) const {
  for (const Change& change : changes) {
    switch (change.kind) {
      case ChangeKind::Learn:
        words.learn(change.reading, change.value);
        break;
      case ChangeKind::Forget:
        words.forget(change.reading, change.value);
        break;
      case ChangeKind::Weaken:
        words.weaken(change.reading, change.value);
        break;
    }
  }
}

bool LearntWordStore::reloadIfChanged() {
  if (file_.path().empty() || !file_.changed()) {
    if (remember_ && !unwritten_.empty()) writeFile();
    return false;
  }
  // The file changed or went away while nothing is kept on disk: the user
  // asked to forget.
  if (!remember_) return forgetChanged();
  return writeOrRead();
}

bool LearntWordStore::forgetChanged() {
  file_.remember();
  unwritten_.clear();
  if (words_->empty()) return false;
  ModuleLog::info("Learnt words forgotten: " + quoted(file_.path()) + " changed");
  words_->clear();
  return true;
}

bool LearntWordStore::writeOrRead() {
  if (!unwritten_.empty() && writeFile()) return true;
  const bool changed = readFile();
  // What could not be written yet stays learnt (or forgotten) in memory.
  apply(*words_, unwritten_);
  return changed || !unwritten_.empty();
}

bool LearntWordStore::emptyFile(const fs::path& file, std::string* failure) {
  // Replaced even when it is empty already: the new file is what tells an
  // instance that does not remember to forget.
  return FileAccess::replaceFile(file.string(), "", failure, 0600);
}

bool LearntWordStore::readFile() {
  file_.remember();
  const FileAccess::ReadResult read = FileAccess::readFile(file_.path().string(), kFileLimit);
  if (read.status == FileAccess::ReadStatus::Missing) {
    const bool had = !words_->empty();
    words_->clear();
    return had;
  }
  if (!read.ok()) {
    ModuleLog::warn("Failed to load: " + quoted(file_.path()) + ": " + read.reason());
    return false;
  }
  LearntFileContents contents = parseLearntFile(read.bytes);
  if (!contents.damagedLines.empty()) {
    std::string lines;
    for (std::size_t i = 0; i < contents.damagedLines.size() && i < 10; ++i) {
      if (i > 0) lines += ", ";
      lines += std::to_string(contents.damagedLines[i]);
    }
    if (contents.damagedLines.size() > 10) lines += " and more";
    ModuleLog::warn("Skipped damaged lines of " + quoted(file_.path()) + ": " + lines);
  }
  words_->assign(contents.words);
  return true;
}

bool LearntWordStore::writeFile() {
  // Tried, never waited for: the key thread must not stall behind another
  // instance; the words stay unwritten until the next try.
  auto lock = FileAccess::FileLock::acquire(lockFile_.string(), std::chrono::milliseconds(0));
  if (!lock) return false;
  LearntWords merged;
  const FileAccess::ReadResult read = FileAccess::readFile(file_.path().string(), kFileLimit);
  if (read.ok()) merged.assign(parseLearntFile(read.bytes).words);
  apply(merged, unwritten_);
  std::string failure;
  if (!FileAccess::replaceFile(file_.path().string(), formatLearntFile(merged.words()), &failure,
                               0600)) {
    ModuleLog::warn("Failed to write learnt words: " + quoted(file_.path()) + ": " + failure);
    return false;
  }
  unwritten_.clear();
  words_->assign(merged.words());
  file_.remember();
  return true;
}

}  // namespace Kestova
