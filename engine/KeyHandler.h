#ifndef KESTOVA_ENGINE_KEYHANDLER_H_
#define KESTOVA_ENGINE_KEYHANDLER_H_

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/InputState.h"
#include "engine/Key.h"
#include "grid/LanguageModel.h"
#include "grid/PickHistory.h"
#include "grid/ReadingGrid.h"
#include "models/UserPhraseAdder.h"
#include "phonetics/BpmfComposer.h"
#include "phonetics/BpmfKeyboardLayout.h"

namespace Kestova {

// The state machine of the input method. It receives one key at a time with
// the state the receiver currently shows, edits its reading grid and reading
// buffer, and answers with fresh states through `onState`. It never keeps a
// state object; every state is built from the grid, the reading buffer and
// the last walk.
class KeyHandler {
 public:
  // The messages the handler puts into hints. The module supplies the
  // Chinese texts (KeyHandlerStrings).
  class LocalizedStrings {
   public:
    virtual ~LocalizedStrings() = default;
    virtual std::string cursorBetweenReadings(const std::string& previous,
                                              const std::string& next) = 0;
    virtual std::string tooFewCharacters(std::size_t n) = 0;
    virtual std::string tooManyCharacters(std::size_t n) = 0;
    virtual std::string phraseAlreadyPresent() = 0;
    virtual std::string pressEnterToAdd() = 0;
    virtual std::string markingSummary(const std::string& markedText, const std::string& readings,
                                       const std::string& status) = 0;
    // The marking covers a reading a phrase file cannot hold (the space
    // key's reading is a single space, and a line splits fields at blanks).
    virtual std::string readingCannotBeStored() { return "選取範圍含有空白，無法加入自訂詞庫"; }
  };

  // What Control+Enter commits; the numbers are the configuration's indexes.
  enum class CtrlEnterMode : int {
    Disabled = 0,
    BpmfReading = 1,
    HtmlRuby = 2,
    HanyuPinyin = 3,
    BrailleUnicode = 4,
    BrailleAscii = 5,
  };

  using Candidate = InputStates::ChoosingCandidate::Candidate;

  // A phrase needs at least this many readings to be added, and at most
  // kMaxMarkedReadings.
  static constexpr std::size_t kMinMarkedReadings = 2;
  static constexpr std::size_t kMaxMarkedReadings = 8;
  // A pick is learnt only when the picked phrase scores above this.
  static constexpr double kLearningThreshold = -8.0;

  KeyHandler(std::shared_ptr<Palisar::Lattivor2::LanguageModel> languageModel,
             std::shared_ptr<UserPhraseAdder> userPhraseAdder,
             std::unique_ptr<LocalizedStrings> localizedStrings);
  KeyHandler(const KeyHandler&) = delete;
  KeyHandler& operator=(const KeyHandler&) = delete;

  // Gives the reading buffer its keyboard layout; HanyuPinyin switches the
  // buffer to pinyin typing. A null layout refuses every reading key.
  void setLayout(const BpmfKeyboardLayout* layout);
  const BpmfKeyboardLayout* layout() const;

  // Handles one key. `state` is the receiver's current state (may be null).
  // Returns true when the key was used.
  bool handle(Key key, const InputState* state, const StateCallback& onState,
              const ErrorCallback& onError);

  // A candidate was picked from a ChoosingCandidate whose returnCursor was
  // `returnCursor`.
  void candidateSelected(const Candidate& candidate, std::size_t returnCursor,
                         const StateCallback& onState);
  // The candidate window was closed without a pick.
  void candidateCancelled(std::size_t returnCursor, const StateCallback& onState);
  // A key typed while the punctuation list is shown. True when the key picked
  // the punctuation of its own per-key reading.
  bool punctuationListKey(char key, std::size_t returnCursor, const StateCallback& onState);
  // The punctuation list was closed without a pick.
  void punctuationListCancelled(std::size_t returnCursor, const StateCallback& onState);

  // Fresh states built from the grid.
  std::unique_ptr<InputStates::Inputting> buildInputtingState();
  std::unique_ptr<InputStates::ChoosingCandidate> buildChoosingCandidateState(
      const InputStates::Inputting& inputting, std::size_t returnCursor);
  std::unique_ptr<InputStates::Marking> buildMarkingState(std::size_t anchor);

  // Commits the composition (dropping a half-typed syllable) and resets.
  void commitAll(const StateCallback& onState);
  // Clears the reading buffer, the grid and the last walk.
  void reset();

  std::size_t gridCursor() const;
  // Clamped to 0..readingCount().
  void setGridCursor(std::size_t cursor);
  std::size_t readingCount() const;
  const Palisar::Lattivor2::ReadingGrid& grid() const { return grid_; }
  // The word-pair model the walk weighs neighbouring phrases with; null
  // walks without context.
  void setContextModel(std::shared_ptr<const Palisar::Lattivor2::ContextModel> model) {
    grid_.setContextModel(std::move(model));
  }
  const Palisar::Lattivor2::BestPath& lastWalk() const { return walk_; }
  const BpmfComposer& readingBuffer() const { return readingBuffer_; }

  // Options; the names follow the configuration keys.
  void setChooseCandidateUsingSpace(bool on) { chooseCandidateUsingSpace_ = on; }
  void setSelectPhraseAfterCursor(bool on) { selectPhraseAfterCursor_ = on; }
  void setMoveCursorAfterSelection(bool on) { moveCursorAfterSelection_ = on; }
  void setEscClearsBuffer(bool on) { escClearsBuffer_ = on; }
  void setKeepInvalidSyllable(bool on) { keepInvalidSyllable_ = on; }
  void setPutLowercaseToBuffer(bool on) { putLowercaseToBuffer_ = on; }
  void setHalfWidthPunctuation(bool on) { halfWidthPunctuation_ = on; }
  void setRepeatedPunctuationSelects(bool on) { repeatedPunctuationSelects_ = on; }
  void setCtrlEnterMode(CtrlEnterMode mode) { ctrlEnterMode_ = mode; }

  bool chooseCandidateUsingSpace() const { return chooseCandidateUsingSpace_; }
  bool selectPhraseAfterCursor() const { return selectPhraseAfterCursor_; }
  bool moveCursorAfterSelection() const { return moveCursorAfterSelection_; }
  bool escClearsBuffer() const { return escClearsBuffer_; }
  bool keepInvalidSyllable() const { return keepInvalidSyllable_; }
  bool putLowercaseToBuffer() const { return putLowercaseToBuffer_; }
  bool halfWidthPunctuation() const { return halfWidthPunctuation_; }
  bool repeatedPunctuationSelects() const { return repeatedPunctuationSelects_; }
  CtrlEnterMode ctrlEnterMode() const { return ctrlEnterMode_; }

 private:
  // The composed text split at a grid position.
  struct ComposedParts {
    std::string head;
    std::string tail;
    std::string hint;
  };

  ComposedParts composedPartsAt(std::size_t position);
  bool hasPhrases(std::string_view reading) const;
  std::size_t candidateCursor() const;
  std::vector<Candidate> candidatesAt(std::size_t position) const;
  void walk();
  void showInputting(const StateCallback& onState);

  void composeReading(const StateCallback& onState, const ErrorCallback& onError);
  bool insertSpace(const StateCallback& onState, const ErrorCallback& onError);
  bool handleEscape(const StateCallback& onState);
  bool handleCursorKey(Key key, const InputState* state, const StateCallback& onState,
                       const ErrorCallback& onError);
  bool handleDeletion(Key key, bool composing, const StateCallback& onState,
                      const ErrorCallback& onError);
  bool handleEnter(Key key, const InputState* state, const StateCallback& onState,
                   const ErrorCallback& onError);
  std::optional<std::string> exportComposition(CtrlEnterMode mode) const;
  bool openCandidateWindow(const StateCallback& onState);
  bool rotateCandidate(bool backwards, const InputState* state, const StateCallback& onState,
                       const ErrorCallback& onError);
  void rotateAtCandidateCursor(bool backwards, const StateCallback& onState,
                               const ErrorCallback& onError);
  void fixCandidate(std::size_t fallbackCursor, const Candidate& candidate, bool moveCursorAfter);
  bool addMarkedPhrase(std::size_t anchor, const StateCallback& onState,
                       const ErrorCallback& onError);
  bool openPunctuationList(const StateCallback& onState, const ErrorCallback& onError);
  void removePunctuationListReading(std::size_t returnCursor);
  bool handleCharacterKey(Key key, bool composing, const InputState* state,
                          const StateCallback& onState, const ErrorCallback& onError);
  bool insertSpecialReading(const std::string& reading, const StateCallback& onState,
                            const ErrorCallback& onError);
  bool commitWithCapitalLetter(char letter, const StateCallback& onState);
  bool handleLeftoverKey(bool composing, const InputState* state, const StateCallback& onState,
                         const ErrorCallback& onError);
  std::string layoutName() const;

  std::shared_ptr<Palisar::Lattivor2::LanguageModel> languageModel_;
  Palisar::Lattivor2::ReadingGrid grid_;
  std::shared_ptr<UserPhraseAdder> userPhraseAdder_;
  std::unique_ptr<LocalizedStrings> localizedStrings_;
  PickHistory pickHistory_;
  BpmfComposer readingBuffer_;
  bool invalidSyllableKept_ = false;
  Palisar::Lattivor2::BestPath walk_;

  bool chooseCandidateUsingSpace_ = true;
  bool selectPhraseAfterCursor_ = false;
  bool moveCursorAfterSelection_ = false;
  bool escClearsBuffer_ = false;
  bool keepInvalidSyllable_ = false;
  bool putLowercaseToBuffer_ = false;
  bool halfWidthPunctuation_ = false;
  bool repeatedPunctuationSelects_ = false;
  CtrlEnterMode ctrlEnterMode_ = CtrlEnterMode::Disabled;
};

}  // namespace Kestova

#endif  // KESTOVA_ENGINE_KEYHANDLER_H_
