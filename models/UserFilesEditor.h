// Changes to the user files as the phrase editor of the settings window
// makes them, and as the key handler's additions go through the loader:
// every change takes the user files lock, and is remembered so that it can
// be undone, newest first. A phrase is added by appending a line in place
// (whatever the file's size) and is taken out of a file by rewriting it
// whole (LanguageModelLoader's line operations); a change that cannot be
// made whole (a full disk, a file that cannot be read or written) leaves
// every file as it was. A running input method sees the new files at its
// next reload. Another instance editing the same files waits for the lock,
// so no edit undoes another; the input method's own additions never wait
// for it (Role::KeyThread) but wait in the editor until it is free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileAccess.h"
#include "models/LanguageModelLoader.h"
#include "models/LearntWords.h"

namespace Kestova {

class UserFilesEditor {
 public:
  // The user files; LearntWords is LearntWordStore's file (in
  // parseLearntFile's format), which may be absent.
  enum class File { Phrases, ExcludedPhrases, Replacements, LearntWords };

  // What became of a change.
  struct Outcome {
    // The files hold what was asked (written now, or already so).
    bool ok = false;
    // Something was written; the change can be undone.
    bool changed = false;
    // How many phrases were appended to the user phrase file.
    std::size_t added = 0;
    // An addition of Role::KeyThread that found another program holding
    // the lock: the phrases wait in the editor (pendingPhrases()) and
    // writePending() writes them once the lock is free. Not ok yet.
    bool pending = false;
    // Why not ok ("no such file", "larger than ... bytes", the lock ...).
    std::string failure;
    // The file the failure is about; empty when it is about none.
    std::filesystem::path file;
  };

  // A phrase or learnt word: its reading (syllables joined by "-") and value.
  struct Phrase {
    std::string reading;
    std::string value;
    auto operator<=>(const Phrase&) const = default;
  };

  // Who makes the changes, and so how they wait for the lock.
  enum class Role {
    // The phrase editor of the settings window: a change waits a little for
    // another holder of the lock (LanguageModelLoader::kLockTimeout), and
    // can be undone.
    PhraseEditor,
    // The input method, on the thread that handles the keys: nothing ever
    // waits for the lock. An addition that finds another program holding
    // it waits in the editor (Outcome::pending) until writePending() finds
    // the lock free; any other change then fails. Nothing is kept for undo.
    KeyThread,
  };

  // What a caller that keeps the phrase files loaded knows of them, so that
  // an addition reads as little of them as it can (the user phrase file
  // may hold 64 MB); it is told which files the editor changed. Asked and
  // told while the editor holds the lock. Only the Phrases and
  // ExcludedPhrases files are asked about.
  class LoadedFiles {
   public:
    virtual ~LoadedFiles() = default;
    // How much of `file` is as the caller loaded it: the file's size when
    // it did not change since, the size it had then when it is the same
    // file and has only grown since (lines were appended); empty when not
    // known.
    virtual std::optional<std::uint64_t> loadedSize(File file) const = 0;
    // Whether `file` as loaded, with the phrases the caller wrote to it
    // since, lists the phrase.
    virtual bool lists(File file, const Phrase& phrase) const = 0;
    // The editor changed `file`; `wasAsLoaded` tells whether the file was
    // as the caller loaded it just before (all of it was as loaded).
    virtual void edited(File file, bool wasAsLoaded) = 0;
  };

  // Edits the files of `userFilesDirectory` (the loader's
  // userFilesDirectory(); empty refuses every change). `loaded` (if given)
  // must outlive the editor.
  explicit UserFilesEditor(std::string userFilesDirectory, Role role = Role::PhraseEditor,
                           LoadedFiles* loaded = nullptr);

  std::filesystem::path pathOf(File file) const;
  // How the phrase, excluded-phrase and replacement files are read.
  static UserFileKind kindOf(File file);

  // Adds the phrases to the user phrase file, each once (those it lacks are
  // appended, in one write), and takes them out of the excluded phrases.
  // Refuses them all when one could not be stored as one line
  // (canStoreUserPhrase) or the user phrase file is missing. When a file
  // cannot be read or written, both files are left as they were.
  Outcome addPhrases(const std::vector<Phrase>& phrases);
  Outcome addPhrase(const Phrase& phrase) { return addPhrases({phrase}); }

  // The additions waiting for the lock (Role::KeyThread), oldest first.
  const std::vector<Phrase>& pendingPhrases() const { return pending_; }
  // What became of a waiting addition.
  struct Written {
    Phrase phrase;
    Outcome outcome;
  };
  // Tries the lock, without waiting; when it is free, writes the waiting
  // additions one by one in the order they were made, and says what became
  // of each (none waits any more). Nothing while another program still
  // holds the lock. When the lock cannot be had at all (its file cannot be
  // made), each fails.
  std::vector<Written> writePending();
  // Takes the phrase out of the user phrase file.
  Outcome removePhrase(const Phrase& phrase);
  // Adds the phrase to the excluded phrases, taking it out of the user
  // phrase file, so that the input method offers it no more. When a file
  // cannot be read or written, both are left as they were.
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
  // The user files lock, waiting for it as the role does.
  std::optional<FileAccess::FileLock> lock(Outcome& outcome, bool* held = nullptr) const;
  // An addition of entries that can be stored, under the lock.
  Outcome addLocked(std::vector<LanguageModelLoader::EntryKey> entries, Change& change);
  // The entries among `entries` that the user phrase file (open as `file`)
  // lists: from what the caller loaded and the lines appended since, or
  // from the whole file. False, with `failure` set, when it cannot be told.
  bool listedInPhrases(const FileAccess::AppendFile& file,
                       const std::vector<LanguageModelLoader::EntryKey>& entries,
                       std::vector<LanguageModelLoader::EntryKey>& listed,
                       std::string& failure) const;
  // Takes the entries out of the excluded phrases, reading that file only
  // when it may list one of them.
  LanguageModelLoader::Removal takeOutOfExcludedPhrases(
      const std::vector<LanguageModelLoader::EntryKey>& entries, Step& step, std::string& failure);
  // Whether `file`, now `size` bytes long, is all as the caller loaded it.
  bool asLoaded(File file, std::uint64_t size) const;

  std::string directory_;
  Role role_ = Role::PhraseEditor;
  LoadedFiles* loaded_ = nullptr;
  std::vector<Change> history_;
  std::vector<Phrase> pending_;
};

}  // namespace Kestova
