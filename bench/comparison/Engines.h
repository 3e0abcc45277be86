// The two engines under comparison, each behind the same small interface:
// clear the composition, press one key of the Standard layout, read the
// composed text. Both start from their data on disk and keep their user
// files in a throw-away directory.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "engine/Key.h"

struct ChewingContext;

namespace Kestova {
class StateReceiver;
class KeyHandler;
class LanguageModelLoader;
}  // namespace Kestova

namespace Kestova::Bench {

// A temporary directory laid out for both engines: a data root whose
// "data/kestova-data.txt" links to the built-in phrase database, a home
// directory for the user files, and a directory for the other engine's user
// database. Removed on destruction unless it was given from outside.
class Workspace {
 public:
  // Creates a fresh directory under the system's temporary directory.
  explicit Workspace(const std::filesystem::path& builtInData);
  // Uses (and completes) an existing directory, keeping it afterwards.
  Workspace(const std::filesystem::path& directory, const std::filesystem::path& builtInData);
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  const std::filesystem::path& directory() const { return directory_; }
  std::filesystem::path dataRoot() const { return directory_ / "root"; }
  std::filesystem::path home() const { return directory_ / "home"; }
  // $HOME/.gcin/kestova, as the module derives it.
  std::filesystem::path userDataDirectory() const { return home() / ".gcin" / "kestova"; }
  std::filesystem::path chewingUserDatabase() const {
    return directory_ / "chewing" / "chewing.sqlite3";
  }

 private:
  void populate(const std::filesystem::path& builtInData);

  std::filesystem::path directory_;
  bool owned_ = false;
};

// The key handler over the built-in database (and the context file beside
// it, when there is one) and the user files, with a
// receiver that keeps the current state as the module core does.
class KestovaSession {
 public:
  explicit KestovaSession(const Workspace& workspace);
  ~KestovaSession();
  KestovaSession(const KestovaSession&) = delete;
  KestovaSession& operator=(const KestovaSession&) = delete;

  void clear();
  // One key; returns whether the handler used it.
  bool press(char key);
  bool press(NamedKey key);
  // The composed text ("" when nothing is composed).
  std::string composed() const;
  std::size_t readingCount() const;

  // How long construction took: the loader (built-in database, user files,
  // macros) and then the key handler over its model.
  double loaderMicroseconds() const { return loaderMicroseconds_; }
  double handlerMicroseconds() const { return handlerMicroseconds_; }

 private:
  double loaderMicroseconds_ = 0;
  double handlerMicroseconds_ = 0;
  std::shared_ptr<LanguageModelLoader> loader_;
  // The product's receiver over the key handler, as the module drives it.
  std::unique_ptr<StateReceiver> receiver_;
};

// A context of the other engine on its default keyboard (the Standard layout).
class ChewingSession {
 public:
  explicit ChewingSession(const Workspace& workspace);
  ~ChewingSession();
  ChewingSession(const ChewingSession&) = delete;
  ChewingSession& operator=(const ChewingSession&) = delete;

  bool ok() const { return context_ != nullptr; }
  void clear();
  // One key, then the composed text is fetched as a host would after a key.
  bool press(char key);
  std::string composed() const;
  // The most characters the engine composes before it commits on its own.
  int compositionLimit() const;

  // After a sentence is typed: fixes the leftmost wrong character at a time
  // by moving the cursor there, opening the candidates with Down (Down again
  // switches to shorter phrases) and choosing the first candidate that makes
  // the text there right, until the text is the gold text. Cost: one per
  // pick, one per page of nine candidates turned and one per extra Down.
  // With `commit`, the text is then committed (the engine learns from it);
  // otherwise the composition is cleared.
  struct Corrections {
    std::size_t picks = 0;
    std::size_t unfixable = 0;  // characters no candidate made right
  };
  Corrections correct(const std::string& gold, bool commit);

 private:
  ChewingContext* context_ = nullptr;
};

}  // namespace Kestova::Bench
