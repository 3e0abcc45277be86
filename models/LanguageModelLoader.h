// Where the input method's models come from and how they follow the files:
// the loader owns the composite model (KestovaLM, shared with the key
// handler), the context model, the watched data and user files, the learnt
// words' store and the editor through which the key handler's additions
// reach the user phrase file; it also offers the line operations on user
// files and the user files' lock to UserFilesEditor. The module's core owns
// one and calls it between keys only (checkBetweenKeys before every key,
// reloadIfChanged while nothing is composed); the phrase page owns another
// over the same files. Everything runs on the caller's thread.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/FileAccess.h"
#include "base/WatchedFile.h"
#include "models/ContextLM.h"
#include "models/KestovaLM.h"
#include "models/LearntWordStore.h"
#include "models/UserFileParser.h"
#include "models/UserPhraseAdder.h"
#include "notations/InputMacroTable.h"

namespace Kestova {

class UserFilesEditor;

// Puts the language models together and keeps them in step with the user's
// files: loads the built-in phrase file and the context file from the data
// root, creates the user files directory and the user phrase files when
// missing, reloads files whose state on disk changed, and adds user phrases
// by appending them to the user phrase file. Every problem is logged to the
// module log; nothing is thrown.
class LanguageModelLoader : public UserPhraseAdder {
 public:
  // Texts written into newly created user files.
  class LocalizedStrings {
   public:
    virtual ~LocalizedStrings() = default;
    virtual std::string userPhrasesTemplate() const = 0;
    virtual std::string excludedPhrasesTemplate() const = 0;
  };

  static constexpr std::string_view kDefaultDataRoot = "/usr/local/share/gcin/kestova";
  static constexpr std::string_view kBuiltInDataFile = "data/kestova-data.txt";
  static constexpr std::string_view kContextDataFile = "data/kestova-context.bin";
  static constexpr std::string_view kUserFilesDirectoryName = "kestova";
  static constexpr std::string_view kUserPhrasesFileName = "data.txt";
  static constexpr std::string_view kExcludedPhrasesFileName = "exclude-phrases.txt";
  static constexpr std::string_view kReplacementFileName = "phrases-replacement.txt";
  // In the user files directory; every instance edits the user files while
  // it holds an advisory lock (flock) on this file.
  static constexpr std::string_view kLockFileName = ".user-files.lock";

  // Where the data lives. The module fills it from the paths it resolved;
  // tests point it into a temporary directory.
  struct Paths {
    std::string dataRoot{kDefaultDataRoot};
    // $HOME/.gcin/kestova; empty means no user files are used.
    std::string userDataDirectory;

    // The user data directory for a home directory ("" for an empty home).
    static std::string userDataDirectoryFor(std::string_view home);
    // The default data root and the user data directory under $HOME.
    static Paths fromEnvironment();
  };

  // Runs the start-up sequence: built-in model, macro expander, user files
  // directory and templates, first load of the user files.
  explicit LanguageModelLoader(std::unique_ptr<LocalizedStrings> strings,
                               Paths paths = Paths::fromEnvironment());
  ~LanguageModelLoader() override;
  LanguageModelLoader(const LanguageModelLoader&) = delete;
  LanguageModelLoader& operator=(const LanguageModelLoader&) = delete;

  std::shared_ptr<KestovaLM> languageModel() const { return languageModel_; }
  // The word-pair model of the context file beside the built-in phrase
  // file; null when there is none (the walk then goes without context).
  std::shared_ptr<const ContextLM> contextModel() const { return contextModel_; }

  // data root + "/" + relative if that file is readable, else "".
  std::string dataFilePath(std::string_view relative) const;
  const std::string& userDataDirectory() const { return paths_.userDataDirectory; }
  // Empty until the directory is known to exist.
  const std::string& userFilesDirectory() const { return userFilesDirectory_; }

  // Opens the built-in phrase file again if the file at its path was
  // replaced or changed in place since it was opened, or was set aside
  // (checkBetweenKeys); maps the context file again when it appeared,
  // changed or was set aside; reloads the user files whose state on disk
  // changed; switches phrase replacement on or off as the replacement file
  // appears or goes away. True if anything was reloaded. Called between keys
  // while nothing is composed.
  bool reloadIfChanged();
  // The cheap work due before every key, composing or not: sets the
  // built-in phrase file or the context file aside (logged once) when it
  // was cut shorter in place since it was mapped, so that no look-up reads
  // past its end, and writes the phrases waiting for the user files' lock
  // once it is free. Two fstat(), and a try of the lock while phrases wait.
  void checkBetweenKeys();

  // Adds "value reading" to the user phrase file (appending one line) and
  // takes it out of the excluded phrases, while holding the user files'
  // lock; on any failure both files stay as they were. The phrase is in use
  // at once. When another program holds the lock, it waits in memory and is
  // written by a later checkBetweenKeys(); nothing ever waits for the lock.
  // A value or reading that could not be read back as written (line breaks,
  // a reading with blanks, text that is not UTF-8, ...) is refused.
  AddResult addPhrase(std::string_view reading, std::string_view value) override;
  // Not used by the input method.
  void excludePhrase(std::string_view reading, std::string_view value) override;
  bool builtInPhrasesUsable() const override { return languageModel_->builtInTableUsable(); }
  // Whether added phrases are waiting for the user files' lock.
  bool hasPendingPhrases() const;

  // Learning from the user's corrections on or off, and whether the learnt
  // words are kept in learnt.txt (LearntWordStore).
  void setLearning(bool learn, bool remember);
  // Where the key handler sends the words to learn; lives as long as the
  // loader.
  WordLearner& wordLearner() { return learntWords_; }

  // How long lockUserFiles() waits for another holder by default (an edit
  // takes milliseconds).
  static constexpr std::chrono::milliseconds kLockTimeout{2000};
  // Takes the lock every instance holds while it edits the user files in
  // `userFilesDirectory`, waiting at most `timeout` for another holder (a
  // zero timeout only tries). Empty, with `failure` set, when it cannot be
  // had; `*held` (if given) tells whether that is because another process
  // holds it.
  static std::optional<FileAccess::FileLock> lockUserFiles(
      const std::string& userFilesDirectory, std::string* failure,
      std::chrono::milliseconds timeout = kLockTimeout, bool* held = nullptr);

  // Line operations on a user file; each logs what went wrong. They read
  // the file with FileAccess::readFile (never blocking, never past
  // FileAccess::kUserFileLimit), rewrite it with FileAccess::replaceFile
  // and append to it with FileAccess::AppendFile (so a file that is a
  // symbolic link is read but never written). Another process may edit the
  // same file: call them while holding the lock. A line is matched whatever
  // the blanks around and between its fields.

  // An entry of a user file as the parser reads it: the reading and value
  // of a phrase or a learnt word, the key and replacement of a replacement.
  struct EntryKey {
    std::string key;
    std::string value;
    auto operator<=>(const EntryKey&) const = default;
  };
  // Drops, in one rewrite, every line of `file` (a user file of `kind`) that
  // holds one of `entries`; `removedLines` (if given) receives them as they
  // stood, without their line ends. True if a line was removed; false, with
  // `failure` (if given) set, when the file could not be read or written.
  static bool removeEntries(const std::filesystem::path& file, UserFileKind kind,
                            const std::vector<EntryKey>& entries,
                            std::vector<std::string>* removedLines = nullptr,
                            std::string* failure = nullptr);
  // What removeListedEntries() came to.
  enum class Removal { Removed, NotListed, Failed };
  // removeEntries() for a file that the model may not have loaded at all:
  // nothing there, something other than a regular file (never opened) or a
  // file over the size cap lists nothing. Logs only what it removed; on
  // Failed, `failure` (if given) says why and the file is as it was.
  static Removal removeListedEntries(const std::filesystem::path& file, UserFileKind kind,
                                     const std::vector<EntryKey>& entries,
                                     std::vector<std::string>* removedLines = nullptr,
                                     std::string* failure = nullptr);
  // The entries of `file` among `entries`; empty, with `failure` set, when
  // the file cannot be read.
  static std::vector<EntryKey> entriesPresent(const std::filesystem::path& file, UserFileKind kind,
                                              const std::vector<EntryKey>& entries,
                                              std::string* failure = nullptr);
  // The entries among `entries` that `bytes` (a part of a user file of
  // `kind`, made of whole lines) lists; `fromStart` says whether the bytes
  // begin the file (only there is a byte-order mark one).
  static std::vector<EntryKey> entriesListed(std::string_view bytes, UserFileKind kind,
                                             const std::vector<EntryKey>& entries, bool fromStart);
  // Appends the lines at the end of the file in place (whatever its size,
  // the file is not rewritten), first ending an unterminated last line;
  // they are on the disk, or the file is cut back to what it was.
  static bool appendLines(const std::filesystem::path& file, const std::vector<std::string>& lines,
                          std::string* failure = nullptr);

 private:
  void startUp();
  // Opens the built-in phrase file again.
  void reloadBuiltInModel();
  // Maps the context file again, as a new model: grids that hold the old
  // one keep it until they are given the new one. A file that is not there
  // is logged once and watched, so that it is read when it appears.
  void reloadContextModel();
  void createUserFileIfMissing(const WatchedFile& file, const std::string& contents);
  bool reopenBuiltInModelIfReplaced();
  // Writes the phrases waiting for the lock, if it is free now.
  void storePendingPhrases();
  // Loads the user phrase files and puts the phrases waiting for the lock
  // back in use.
  void openUserFiles();

  std::unique_ptr<LocalizedStrings> localizedStrings_;
  std::shared_ptr<KestovaLM> languageModel_;
  // Closed in place when set aside: the key handler's grid shares it.
  std::shared_ptr<ContextLM> contextModel_;
  Paths paths_;
  std::string userFilesDirectory_;
  WatchedFile builtInFile_;
  WatchedFile contextFile_;
  WatchedFile userPhrasesFile_;
  WatchedFile excludedPhrasesFile_;
  WatchedFile replacementFile_;
  std::shared_ptr<InputMacroTable> macroTable_;
  LearntWordStore learntWords_;
  // The built-in table was closed because its file was cut shorter in
  // place; it is opened again by the next reloadIfChanged().
  bool builtInSetAside_ = false;
  // The context model was closed because its file was cut shorter in place.
  bool contextSetAside_ = false;
  // The context file was found missing (and said so) since it was last read.
  bool contextMissingLogged_ = false;
  // What the editor is told of the phrase files as loaded (in the .cpp).
  class LoadedUserFiles;
  std::unique_ptr<LoadedUserFiles> loadedUserFiles_;
  // Writes the additions, never waiting for the lock: those that find it
  // held wait in it. Null without a user files directory.
  std::unique_ptr<UserFilesEditor> editor_;
  // Phrases this instance wrote to the user phrase file since it loaded it.
  std::set<std::pair<std::string, std::string>> writtenSinceLoad_;
};

// The Chinese texts of new user files.
class LoaderStrings : public LanguageModelLoader::LocalizedStrings {
 public:
  std::string userPhrasesTemplate() const override;
  std::string excludedPhrasesTemplate() const override;
};

}  // namespace Kestova
