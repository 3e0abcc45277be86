#ifndef KESTOVA_TESTS_ENGINE_ENGINETESTSUPPORT_H_
#define KESTOVA_TESTS_ENGINE_ENGINETESTSUPPORT_H_

// A small phrase database written into a temporary directory, the composite
// model over it, and a receiver that applies the key handler's states the way
// the module does (commit on Empty and Committing, presenter keys while a
// candidate list is shown).

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/InputState.h"
#include "engine/Key.h"
#include "engine/KeyHandler.h"
#include "models/KestovaLM.h"
#include "models/LanguageModelLoader.h"
#include "models/SortedPhraseFile.h"
#include "tests/support/TempDir.h"

namespace Kestova::Testing {

// The phrases of the fixture: a few words with competing scores, punctuation
// by layout and generic, a punctuation list with per-key readings, letters and
// a keypad digit.
std::vector<PhraseFileLine> fixturePhrases();

// Options as a bit set, for test tables.
enum Option : unsigned {
  kNoOptions = 0,
  kSpaceInserts = 1u << 0,       // choose_candidate_using_space off
  kSelectAfter = 1u << 1,        // select_phrase_after_cursor
  kMoveAfter = 1u << 2,          // move_cursor_after_selection
  kEscClears = 1u << 3,          // esc_clears_buffer
  kKeepInvalid = 1u << 4,        // keep_invalid_syllable
  kLowercase = 1u << 5,          // put_lowercase_to_buffer
  kHalfWidth = 1u << 6,          // half_width_punctuation
  kRepeatSelects = 1u << 7,      // repeated_punctuation_selects
  kCtrlEnterReadings = 1u << 8,  // ctrl_enter 1
  kAllOptionBits = (1u << 9) - 1,
};
void applyOptions(KeyHandler& handler, unsigned options);

// The key handler over the fixture database, with a receiver. The database
// sits where the language-model loader looks for it, and the loader keeps the
// user files in the same temporary directory.
class EngineSession {
 public:
  explicit EngineSession(std::vector<PhraseFileLine> phrases = fixturePhrases());

  KeyHandler& handler() { return *handler_; }
  KestovaLM& model() { return *loader_->languageModel(); }
  LanguageModelLoader& loader() { return *loader_; }
  std::filesystem::path userPhrasesPath() const;

  // Feeds one key as the module does. Returns whether it was used.
  bool press(Key key);
  // Feeds keys in the notation of engine/KeyNotation.h; fails the test on a
  // malformed notation.
  void type(std::string_view notation);

  const InputState* state() const { return state_.get(); }
  template <typename T>
  const T* stateAs() const {
    return dynamic_cast<const T*>(state_.get());
  }
  // The buffer of a NotEmpty state, else "".
  std::string buffer() const;
  // The cursor of a NotEmpty state in characters, else 0.
  std::size_t cursorChars() const;
  std::string hint() const;

  std::string committed;  // everything committed so far
  int errors = 0;         // onError calls
  int statesReceived = 0;
  bool lastResult = false;
  // Sees every state the handler reports, before the receiver applies it.
  std::function<void(const InputState&)> observer;

  void enterState(std::unique_ptr<InputState> state);
  StateCallback callback();
  ErrorCallback errorCallback();

 private:
  bool candidateKey(Key key);

  TempDir dir_;
  std::shared_ptr<LanguageModelLoader> loader_;
  std::unique_ptr<KeyHandler> handler_;
  std::unique_ptr<InputState> state_;
};

}  // namespace Kestova::Testing

#endif  // KESTOVA_TESTS_ENGINE_ENGINETESTSUPPORT_H_
