// Where the words learnt from the user's corrections are kept: the loader
// owns one store, hands the key handler its WordLearner side and the
// composite model its words, and calls reloadIfChanged between keys.
//
// With learning off nothing is learnt and the model is given no words. The
// words live in memory; with remembering on they are also kept in
// learnt.txt in the user files folder, read back at start-up and whenever
// the file changes (another instance learnt, or the user edited it; damaged
// lines are skipped with a log line), and written after every commit that
// taught something: under the user files' lock, the file as it is now with
// the new words learnt into it, replaced atomically. The lock is only
// tried, never waited for: when another instance holds it, the write waits
// for the next commit or check. A change of the file while remembering is
// off, or its removal, forgets every word. So an empty file means "forget"
// to every instance, whether it remembers (it reads no words) or not (it
// sees the file change): that is how the settings window's "Forget learnt
// words", which runs in another process, reaches a running gcin
// (emptyFile).
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/WatchedFile.h"
#include "models/LearntWords.h"

namespace Kestova {

class LearntWordStore : public WordLearner {
 public:
  static constexpr std::string_view kFileName = "learnt.txt";
  // The file is never read past this size.
  static constexpr std::size_t kFileLimit = std::size_t{1} << 20;

  LearntWordStore();

  // The user files folder and its lock file; empty keeps nothing on disk.
  void setFolder(const std::filesystem::path& folder, const std::filesystem::path& lockFile);
  // Learning on or off, and whether learnt words are kept on disk.
  void configure(bool learn, bool remember);

  // The words the composite model ranks; null while learning is off.
  std::shared_ptr<const LearntWords> words() const;

  void learnWords(const std::vector<std::pair<std::string, std::string>>& words) override;
  void forgetWords(const std::vector<std::pair<std::string, std::string>>& words) override;
  void weakenWords(const std::vector<std::pair<std::string, std::string>>& words) override;
  // Reads the file again when it changed, and writes what is still to be
  // written. True when the words changed.
  bool reloadIfChanged();
  // Replaces the learnt-word file by an empty one, which every instance
  // takes as "forget" (see above); the file is made when it is missing.
  // Call it while holding the user files lock. False, with `failure` set,
  // when it could not be written.
  static bool emptyFile(const std::filesystem::path& file, std::string* failure);

 private:
  // Forgets every word because the file changed while nothing was kept on
  // disk; true when there were words.
  bool forgetChanged();
  bool readFile();
  // Writes the unwritten words, or else reads the file and learns them into
  // it in memory. True when the words may have changed.
  bool writeOrRead();
  // Learns and forgets the unwritten words in the file as it is now and
  // writes it; false when the lock was held or the file could not be written.
  bool writeFile();

  std::shared_ptr<LearntWords> words_;
  bool learn_ = true;
  bool remember_ = false;
  WatchedFile file_;
  std::filesystem::path lockFile_;
  // A word learnt, forgotten or worn down in memory that the file does not
  // know yet.
  enum class ChangeKind { Learn, Forget, Weaken };
  struct Change {
    std::string reading;
    std::string value;
    ChangeKind kind = ChangeKind::Learn;
  };
  void apply(LearntWords& words, const std::vector<Change>& changes) const;
  void record(const std::vector<std::pair<std::string, std::string>>& words, ChangeKind kind);

  std::vector<Change> unwritten_;
};

}  // namespace Kestova
