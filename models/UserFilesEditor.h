// Changes to the user files as the phrase editor of the settings window
// makes them, and as the key handler's additions go through the loader:
// every change takes the user files lock, rewrites each file it touches by
// whole-file replacement (LanguageModelLoader's line operations), and is
// remembered so that it can be undone, newest first. A running input method
// sees the new files at its next reload; another instance editing the same
// files waits for the lock, so no edit undoes another.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "models/LanguageModelLoader.h"
#include "models/LearntWordStore.h"
#include "models/LearntWords.h"

namespace Kestova {

class UserFilesEditor {
 public:
  enum class File { Phrases, ExcludedPhrases, Replacements, LearntWords };

  // The learnt words (LearntWordStore's file, in parseLearntFile's format);
  // the file may be absent.
  static constexpr std::string_view kLearntWordsFileName = LearntWordStore::kFileName;

  // What became of a change.
  struct Outcome {
    // The files hold what was asked (written now, or already so).
    bool ok = false;
    // Something was written; the change can be undone.
    bool changed = false;
    // How many phrases were appended to the user phrase file.
    std::size_t added = 0;
    // Why not ok ("no such file", "larger than ... bytes", the lock ...).
    std::string failure;
  };

  // A phrase or learnt word: its reading (syllables joined by "-") and value.
  struct Phrase {
    std::string reading;
    std::string value;
    auto operator<=>(const Phrase&) const = default;
  };

  // Edits the files of `userFilesDirectory` (the loader's
  // userFilesDirectory(); empty refuses every change).
  explicit UserFilesEditor(std::string userFilesDirectory);

  std::filesystem::path pathOf(File file) const;
  // How the phrase, excluded-phrase and replacement files are read.
  static UserFileKind kindOf(File file);

  // Adds the phrases to the user phrase file, each once, after taking them
  // out of the excluded phrases. Refuses them all when one could not be
  // stored as one line (canStoreUserPhrase) or the user phrase file is
  // missing.
  Outcome addPhrases(const std::vector<Phrase>& phrases);
  Outcome addPhrase(const Phrase& phrase) { return addPhrases({phrase}); }
  // Takes the phrase out of the user phrase file.
  Outcome removePhrase(const Phrase& phrase);
  // Adds the phrase to the excluded phrases, taking it out of the user
  // phrase file, so that the input method offers it no more.
  Outcome excludePhrase(const Phrase& phrase);
  // Takes the phrase out of the excluded phrases.
  Outcome includePhrase(const Phrase& phrase);
  // Takes the line "value replacement" out of the replacement file.
  Outcome removeReplacement(std::string_view value, std::string_view replacement);
  // Takes the learnt word out of the learnt words, whatever its weight; the
  // file is written as LearntWordStore writes it (formatLearntFile), and a
  // running input method that keeps its words there reads it again.
  Outcome removeLearntWord(const Phrase& phrase);
  // Forgets every learnt word: the file is replaced by an empty one
  // (LearntWordStore::emptyFile, made when missing), which a running input
  // method takes as "forget" whether it keeps its words on disk or only in
  // memory. A directory that does not exist has nothing to forget. There
  // is no undo for it: the outcome is never `changed`.
  Outcome forgetLearntWords();

  // Undoes the newest change not yet undone, as far as the files still
  // hold it: the lines it added go, the lines it removed come back (at the
  // end of their file). Nothing happens (ok, nothing changed) when there is
  // nothing to undo.
  Outcome undo();
  bool canUndo() const { return !history_.empty(); }
  std::size_t undoCount() const { return history_.size(); }

 private:
  // What one change did to one file.
  struct Step {
    File file;
    // Entries it appended (to be removed again).
    std::vector<LanguageModelLoader::EntryKey> appended;
    // Lines it removed, as they stood (to be appended again).
    std::vector<std::string> removedLines;
    // Learnt words it removed, with their weights (to be learnt again).
    std::vector<LearntWords::Word> removedWords;
  };
  using Change = std::vector<Step>;

  // Removes one entry from a file; false (with the outcome's failure set)
  // when the file could not be edited.
  bool removeFrom(File file, const LanguageModelLoader::EntryKey& entry, Change& change,
                  Outcome& outcome);
  Outcome remove(File file, LanguageModelLoader::EntryKey entry);
  // Rewrites the learnt words: `change` gets the file's words and returns
  // them as they are to be written. False with `failure` set when the file
  // could not be read or written.
  bool rewriteLearntWords(const std::function<void(std::vector<LearntWords::Word>&)>& change,
                          std::string& failure);
  Outcome finish(Change change, Outcome outcome);

  std::string directory_;
  std::vector<Change> history_;
};

}  // namespace Kestova
