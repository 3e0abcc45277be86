// The key handler over the fixture database, with the state receiver every
// presenter uses, and a few words for test tables: keys in the key notation,
// the composition in characters.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/InputState.h"
#include "engine/Key.h"
#include "engine/KeyHandler.h"
#include "engine/Options.h"
#include "engine/StateReceiver.h"
#include "models/ContextFile.h"
#include "models/KestovaLM.h"
#include "models/LanguageModelLoader.h"
#include "models/SortedPhraseFile.h"
#include "tests/support/FixturePhrases.h"
#include "tests/support/OptionBits.h"
#include "tests/support/TempDir.h"

namespace Kestova::Testing {

void applyOptions(KeyHandler& handler, unsigned bits);

// The key handler over the fixture database, and the receiver that applies
// its states. The database sits where the language-model loader looks for
// it, and the loader keeps the user files in the same temporary directory.
class EngineSession {
 public:
  // With a context file, the key handler walks with its pairs.
  explicit EngineSession(std::vector<PhraseFileLine> phrases = fixturePhrases(),
                         const ContextFileContents* context = nullptr);

  KeyHandler& handler() { return *handler_; }
  StateReceiver& receiver() { return receiver_; }
  KestovaLM& model() { return *loader_->languageModel(); }
  LanguageModelLoader& loader() { return *loader_; }
  std::filesystem::path userPhrasesPath() const;

  // Feeds one key through the receiver, as the module does. Returns whether
  // it was used.
  bool press(const KeyStroke& press);
  bool press(Key key) { return press(KeyStroke::of(key)); }
  // Feeds keys in the notation of engine/KeyNotation.h; fails the test on a
  // malformed notation.
  void type(std::string_view notation);

  const InputState* state() const { return &receiver_.state(); }
  template <typename T>
  const T* stateAs() const {
    return receiver_.stateAs<T>();
  }
  // The buffer of a NotEmpty state, else "".
  std::string buffer() const;
  // The cursor of a NotEmpty state in characters, else 0.
  std::size_t cursorChars() const;
  std::string hint() const;

  // The receiver's onState, for calling the key handler directly; what the
  // states commit lands in `committed`.
  StateCallback callback();

  std::string committed;  // everything committed so far
  int errors = 0;         // keys the key handler refused
  bool lastResult = false;

 private:
  void collectCommits();

  TempDir dir_;
  std::shared_ptr<LanguageModelLoader> loader_;
  std::shared_ptr<KeyHandler> handler_;
  StateReceiver receiver_;
};

}  // namespace Kestova::Testing
