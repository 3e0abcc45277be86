// What the settings window's phrase page shows and does, without GTK: the
// user's phrases from the user files with where each comes from, searching
// them and the built-in phrases by text or by reading, proposing a reading
// for new text from the built-in data, checking a new phrase as the key
// handler checks marked text, adding, removing and excluding phrases with
// undo, and importing and exporting phrase files. Every change goes through
// UserFilesEditor (the user files lock and whole-file replacement); the
// texts it returns are the window's, in Traditional Chinese.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/WatchedFile.h"
#include "models/BuiltInPhrases.h"
#include "models/LanguageModelLoader.h"
#include "models/UserFilesEditor.h"
#include "phonetics/BpmfKeyboardLayout.h"
#include "phonetics/ReadingPattern.h"

namespace Kestova {

class PhraseBook {
 public:
  // Where an entry of the list comes from.
  enum class Source {
    Added,     // data.txt
    Learnt,    // learnt.txt
    Replaced,  // phrases-replacement.txt
    Excluded,  // exclude-phrases.txt
    BuiltIn,   // the built-in phrase file (search results only)
  };
  // The label of a source in the list ("加入", "學習", "取代", "排除", "內建").
  static std::string_view sourceLabel(Source source);

  struct Entry {
    Source source = Source::Added;
    std::string value;
    // Syllables joined by "-"; for a replacement, the readings of its value
    // in the built-in data, joined by " / " (empty when it has none).
    std::string reading;
    // What a replacement puts in the value's place; a learnt word's weight.
    std::string detail;
    bool operator==(const Entry&) const = default;
  };

  // What a change did, for the window's status line.
  struct Result {
    bool ok = false;
    std::string message;
  };

  // Opens the built-in data under `dataRoot` and the user files under
  // `userDataDirectory` ($HOME/.gcin/kestova) through a loader of its own
  // (which creates missing user files as the module does); readings typed
  // as keys are read with `layout`. Then reads the list.
  PhraseBook(const std::string& dataRoot, const std::string& userDataDirectory,
             const BpmfKeyboardLayout* layout);
  ~PhraseBook();
  PhraseBook(const PhraseBook&) = delete;
  PhraseBook& operator=(const PhraseBook&) = delete;

  // Reads the user files again when any of them changed on disk (the input
  // method added a phrase, the user edited a file); true if it did.
  bool refreshIfChanged();
  // The user's entries: added, learnt, replaced, excluded, each in file
  // order.
  const std::vector<Entry>& entries() const { return entries_; }
  // Why a file is not listed (too large, unreadable, not a file ...), one
  // message each; empty when every file was read.
  const std::vector<std::string>& problems() const { return problems_; }

  // The user's entries whose value, replacement or reading matches the
  // query, then the `builtInLimit` likeliest built-in phrases that do and
  // are not among them, likeliest first. A reading is matched when the query reads as Bopomofo or
  // as keys of the layout (ReadingPattern); an empty query lists the user's entries only.
  struct SearchResult {
    std::vector<Entry> entries;
    // More built-in phrases matched than were listed.
    bool builtInCut = false;
  };
  SearchResult search(std::string_view query, std::size_t builtInLimit = 200);

  // The readings proposed for text, one choice per character: the
  // character's built-in readings, likeliest first, with the one a built-in
  // phrase inside the text gives it chosen, or else the likeliest.
  struct CharacterReadings {
    std::string character;
    std::vector<std::string> readings;
    std::size_t chosen = 0;
  };
  std::vector<CharacterReadings> proposeReadings(std::string_view text);
  // The chosen readings joined by "-"; none when a character has none.
  static std::optional<std::string> proposedReading(const std::vector<CharacterReadings>& choices);

  // Whether `value` under the typed reading can be added, and the message
  // that says so or why not: the key handler's texts for the length, for
  // text that cannot be stored and for a phrase the input method already
  // has; its text for a syllable no phrase has.
  struct Verdict {
    bool canAdd = false;
    std::string message;
    // The reading that would be stored.
    std::string reading;
  };
  Verdict check(std::string_view value, std::string_view typedReading);

  Result add(std::string_view value, std::string_view typedReading);
  // Added: takes it out of data.txt; Learnt: out of learnt.txt; Replaced:
  // out of phrases-replacement.txt; Excluded: out of exclude-phrases.txt,
  // so the phrase is offered again.
  Result remove(const Entry& entry);
  // Added, learnt and built-in phrases: the input method offers them no
  // more.
  Result exclude(const Entry& entry);
  Result undo();
  bool canUndo() const { return editor_.canUndo(); }

  // Adds the phrases of a file in the user phrase file's format, each
  // checked as `check` does; one change, undone as one.
  struct ImportReport {
    bool ok = false;
    std::size_t added = 0;
    // 1-based line numbers with the reason each was skipped.
    std::vector<std::pair<std::size_t, std::string>> skipped;
    std::string message;
  };
  ImportReport importFile(const std::string& path);
  // Writes the added phrases (data.txt) to a file in the same format.
  Result exportFile(const std::string& path);

 private:
  // A reading as typed into the window (Bopomofo, or keys of the layout),
  // as a reading string of whole syllables; none when it is neither.
  std::optional<std::string> readingOfTyped(std::string_view typed) const;
  void readUserFiles();
  // The reading of a typed text when every syllable is one the data knows;
  // `bad` gets the first syllable that is not.
  std::optional<std::string> knownReading(std::string_view typed, std::string* bad) const;
  Verdict checkReading(std::string_view value, const std::string& reading);
  Result finish(const UserFilesEditor::Outcome& outcome, std::string done);
  // The phrase a line of an imported file adds; otherwise why the line is
  // skipped.
  std::optional<std::string> importedPhrase(std::string_view line, UserFilesEditor::Phrase& phrase);
  // Adds the accepted phrases of an import as one change and says so.
  void addImported(const std::vector<UserFilesEditor::Phrase>& accepted, ImportReport& report);

  std::unique_ptr<LanguageModelLoader> loader_;
  UserFilesEditor editor_;
  BuiltInPhrases builtIn_;
  const BpmfKeyboardLayout* layout_;
  std::vector<WatchedFile> watched_;
  std::vector<Entry> entries_;
  std::vector<std::string> problems_;
};

}  // namespace Kestova
