#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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

// Puts the language models together and keeps them in step with the user's
// files: loads the built-in phrase file from the data root, creates the
// user files directory and the user phrase files when missing, reloads user
// files whose modification changed, and adds user phrases by rewriting the
// files. Every problem is logged to the module log; nothing is thrown.
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
  ~LanguageModelLoader() override = default;
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

  // Opens the built-in phrase file again.
  void reloadBuiltInModel();
  // Maps the context file again, as a new model: grids that hold the old
  // one keep it until they are given the new one.
  void reloadContextModel();
  // Opens the built-in phrase file again if the file at its path was
  // replaced or changed in place since it was opened, and reloads the user
  // files whose state on disk changed; switches phrase replacement on or
  // off as the replacement file appears or goes away. True if anything was
  // reloaded.
  bool reloadIfChanged();

  // Adds "value reading" to the user phrase file, first taking it out of
  // the excluded phrases, while holding the user files lock. A value or
  // reading that could not be read back as written (line breaks, a reading
  // with blanks, text that is not UTF-8, ...) is refused.
  void addPhrase(std::string_view reading, std::string_view value) override;
  // Not used by the input method.
  void excludePhrase(std::string_view reading, std::string_view value) override;

  // Learning from the user's corrections on or off, and whether the learnt
  // words are kept in learnt.txt (LearntWordStore).
  void setLearning(bool learn, bool remember);
  // Where the key handler sends the words to learn; lives as long as the
  // loader.
  WordLearner& wordLearner() { return learntWords_; }
  // Forgets every learnt word, in memory and on disk.
  void forgetLearntWords() { learntWords_.forgetAll(); }

  const WatchedFile& userPhrasesFile() const { return userPhrasesFile_; }
  const WatchedFile& excludedPhrasesFile() const { return excludedPhrasesFile_; }
  const WatchedFile& replacementFile() const { return replacementFile_; }

  // Takes the lock every instance holds while it edits the user files in
  // `userFilesDirectory`, waiting a little for another holder. Empty, with
  // `failure` set, when it cannot be had.
  static std::optional<FileAccess::FileLock> lockUserFiles(const std::string& userFilesDirectory,
                                                           std::string* failure);

  // Line operations on a user file; each logs what went wrong. They read
  // the file with FileAccess::readFile (never blocking, never past
  // FileAccess::kUserFileLimit) and rewrite it with FileAccess::replaceFile
  // (so a file that is a symbolic link is read but never written). Another
  // process may edit the same file: call them while holding the lock.
  //
  // Drops every line "value reading" (ignoring the blanks around and
  // between the two). True if a line was removed.
  static bool removeLine(const std::filesystem::path& file, std::string_view reading,
                         std::string_view value);
  static bool hasLine(const std::filesystem::path& file, std::string_view reading,
                      std::string_view value);
  // Appends "value reading", first ending an unterminated last line.
  static bool appendLine(const std::filesystem::path& file, std::string_view reading,
                         std::string_view value);

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
  // The entries of `file` among `entries`; empty, with `failure` set, when
  // the file cannot be read.
  static std::vector<EntryKey> entriesPresent(const std::filesystem::path& file, UserFileKind kind,
                                              const std::vector<EntryKey>& entries,
                                              std::string* failure = nullptr);
  // Appends the lines, in one rewrite, first ending an unterminated last
  // line.
  static bool appendLines(const std::filesystem::path& file, const std::vector<std::string>& lines,
                          std::string* failure = nullptr);

 private:
  void startUp();
  void createUserFileIfMissing(const WatchedFile& file, const std::string& contents);
  bool reopenBuiltInModelIfReplaced();

  std::unique_ptr<LocalizedStrings> localizedStrings_;
  std::shared_ptr<KestovaLM> languageModel_;
  std::shared_ptr<const ContextLM> contextModel_;
  Paths paths_;
  std::string userFilesDirectory_;
  WatchedFile builtInFile_;
  WatchedFile contextFile_;
  WatchedFile userPhrasesFile_;
  WatchedFile excludedPhrasesFile_;
  WatchedFile replacementFile_;
  std::shared_ptr<InputMacroTable> macroTable_;
  LearntWordStore learntWords_;
};

// The Chinese texts of new user files.
class LoaderStrings : public LanguageModelLoader::LocalizedStrings {
 public:
  std::string userPhrasesTemplate() const override;
  std::string excludedPhrasesTemplate() const override;
};

}  // namespace Kestova
