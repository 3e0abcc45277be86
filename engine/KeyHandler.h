// The key handler: the state machine that turns keys into readings in a
// reading grid and reports what the user sees as input states. It owns the
// grid, the reading buffer, the pick history, the last walk and the picks
// of the current composition; it shares the language model with the loader
// and sends added phrases and learnt words to it. The state receiver
// (StateReceiver.h) calls it, one key at a time on gcin's thread; the module
// reaches it only through the receiver and the core.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/CommittedWords.h"
#include "engine/InputState.h"
#include "engine/Key.h"
#include "engine/Options.h"
#include "grid/LanguageModel.h"
#include "grid/PickHistory.h"
#include "grid/ReadingGrid.h"
#include "models/LearntWords.h"
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
    // The marked text or its readings cannot be a line of the user phrase
    // file (a typed space, a value starting with "#", ...).
    virtual std::string phraseCannotBeStored() = 0;
    // A syllable was typed that no phrase has; it is dropped, but the user
    // sees what was typed.
    virtual std::string notASyllable(const std::string& typed) = 0;
    // The same, while the built-in phrases cannot be used at all: the
    // syllable is not to blame.
    virtual std::string builtInPhrasesUnusable(const std::string& typed) = 0;
    // A marked phrase is in use but not saved yet: another program holds
    // the user files.
    virtual std::string phraseSavedLater() = 0;
    // A marked phrase could not be saved (a full disk, ...); it was not added.
    virtual std::string phraseNotSaved() = 0;
  };

  using Candidate = InputStates::ChoosingCandidate::Candidate;

  // A phrase needs at least this many readings to be added, and at most
  // kMaxMarkedReadings.
  static constexpr std::size_t kMinMarkedReadings = kMinUserPhraseReadings;
  static constexpr std::size_t kMaxMarkedReadings = kMaxUserPhraseReadings;
  // A pick is learnt only when the picked phrase scores above this.
  static constexpr double kLearningThreshold = -8.0;
  // The longest word learnt from what surrounds a pick (a single character
  // with the phrase beside it). A stretch of committed text a learnt word
  // would change may be as long as a node of the grid.
  static constexpr std::size_t kMaxJoinedWordReadings = 6;
  // How many readings of committed text are remembered to tell a pick the
  // user's earlier text contests (at least half as many are kept; 2 MiB).
  static constexpr std::size_t kCommittedWordCapacity = 131072;

  // The status a marking shows for the outcome of checkUserPhrase; the
  // phrase editor of the settings window shows the same texts.
  static std::string userPhraseStatus(LocalizedStrings& strings, UserPhraseCheck check);

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

  // Commits the composition (dropping a half-typed syllable) and resets.
  void commitAll(const StateCallback& onState);
  // Clears the reading buffer, the grid and the last walk.
  void reset();

  std::size_t gridCursor() const;
  // Clamped to 0..readingCount().
  void setGridCursor(std::size_t cursor);
  std::size_t readingCount() const;
  // The bytes of the composed text (a state's buffer while nothing is
  // half-typed) holding the walk's phrase the candidate list acts on: the
  // phrase over the reading before the cursor, or with
  // select_phrase_after_cursor the one after it (at either end, the
  // nearest). {0, 0} when nothing is composed.
  std::pair<std::size_t, std::size_t> candidatePhraseBytes() const;
  const Palisar::Lattivor2::ReadingGrid& grid() const { return grid_; }
  // The word-pair model the walk weighs neighbouring phrases with; null
  // walks without context.
  void setContextModel(std::shared_ptr<const Palisar::Lattivor2::ContextModel> model) {
    grid_.setContextModel(std::move(model));
  }
  const BpmfComposer& readingBuffer() const { return readingBuffer_.composer; }

  // Every option the handler acts on, as one value.
  void setOptions(const Options& options) { options_ = options; }
  const Options& options() const { return options_; }
  // Where the phrases picked in a committed composition are taught (with
  // learn_words); null learns nothing.
  void setWordLearner(std::shared_ptr<WordLearner> learner) { wordLearner_ = std::move(learner); }

 private:
  // A marking from `anchor` to the cursor.
  std::unique_ptr<InputStates::Marking> buildMarkingState(std::size_t anchor);
  // The text of the last walk, and where each of its nodes ends, in
  // readings and in bytes.
  struct ComposedText {
    std::string text;
    std::vector<std::size_t> readingEnds;
    std::vector<std::size_t> byteEnds;

    void rebuild(const Palisar::Lattivor2::BestPath& walk);
  };

  // The composed text split at a grid position.
  struct ComposedParts {
    std::string head;
    std::string tail;
    std::string hint;
  };

  // The syllable being typed, and whether it is a complete syllable the
  // language model lacks, kept so that the user can mend it.
  struct ReadingBuffer {
    BpmfComposer composer;
    bool invalidSyllableKept = false;

    bool isEmpty() const { return composer.isEmpty(); }
    void clear() {
      composer.reset();
      invalidSyllableKept = false;
    }
  };

  // One handler per kind of state the receiver shows; each decides by the
  // key what happens.
  bool handleIdleKey(Key key, char plain, const InputState* state, const StateCallback& onState,
                     const ErrorCallback& onError);
  bool handleComposingKey(Key key, char plain, const InputState* state,
                          const StateCallback& onState, const ErrorCallback& onError);
  bool handleMarkingKey(Key key, char plain, const InputStates::Marking& marking,
                        const StateCallback& onState, const ErrorCallback& onError);

  ComposedParts composedPartsAt(std::size_t position);
  bool hasPhrases(std::string_view reading) const;
  std::size_t candidateCursor() const;
  std::vector<Candidate> candidatesAt(std::size_t position) const;
  void walk();
  // Walks after an edit, then follows the pick history across the
  // composition: every node the edit changed is asked about, what it
  // suggests is applied, and nodes fixed by earlier suggestions are kept on
  // the walk. `before` is the walk before the edit.
  void walkAfterEdit(const Palisar::Lattivor2::BestPath& before);
  void followSuggestions(const Palisar::Lattivor2::BestPath& before);
  bool applyNewSuggestion(const Palisar::Lattivor2::BestPath& before, double now);
  bool keepSuggestionsOnWalk();
  // With `keep`, the suggested node stays fixed when the walk of a later
  // syllable would leave it (keepSuggestionsOnWalk).
  bool applySuggestion(std::size_t position, const PickSuggestion& suggestion, bool keep);
  // Whether node `index` of the last walk shows a phrase of the user's own
  // (a learnt word or a user phrase).
  bool showsUsersChoice(std::size_t index) const;
  // Whether a node other than `node` crossing `position` leads with a
  // phrase of the user's own.
  bool usersChoiceCrosses(std::size_t position,
                          const Palisar::Lattivor2::ReadingGrid::NodePtr& node) const;
  bool undoesAPick(const Palisar::Lattivor2::ReadingGrid::CrossingNode& entry) const;
  // At a commit, with learning on: learns the picks (learnPicks), and
  // remembers the committed text.
  void learnFromCommit();
  // The phrases the user picked that the walk still shows are taught to the
  // word learner. `readings` are the committed composition's, `committed`
  // its text one character each (another count when a reading gave more or
  // fewer, as a macro does).
  void learnPicks(const std::vector<std::string>& readings,
                  const std::vector<std::string_view>& committed);
  bool wasPicked(const Palisar::Lattivor2::ReadingGrid::NodePtr& node) const;
  void learnPickedPhrase(std::size_t k, std::vector<std::pair<std::string, std::string>>& words,
                         std::vector<std::pair<std::string, std::string>>& weakened);
  void learnPickedCharacters(const std::vector<std::size_t>& pickedCharacters,
                             std::vector<std::pair<std::string, std::string>>& words);
  // The single characters picked at nodes first..last, one after another,
  // joined as a word; a single one (or a single contested phrase) joined
  // with the phrase before it (after it, at the start, or when that would
  // be too long). A word the user's earlier text contests is widened once
  // more. Nothing if the word would be too long or take in punctuation.
  std::optional<std::pair<std::string, std::string>> joinedCharacters(std::size_t first,
                                                                      std::size_t last) const;
  // After learning, the committed readings are walked again; where the
  // walk now differs from what was committed, that text is learnt too.
  void keepCommittedText(const std::vector<std::string>& readings,
                         const std::vector<std::string_view>& committed);
  void noteReplacedWords(const Palisar::Lattivor2::BestPath& before, std::size_t start,
                         std::size_t end);
  void noteBrokenWord(const Palisar::Lattivor2::BestPath& before, std::size_t position,
                      std::size_t pickedLength);
  std::optional<std::string> textOver(std::size_t start, std::size_t length) const;
  // Commits `text` and resets, learning the picks first.
  void commit(std::string text, const StateCallback& onState);
  void showInputting(const StateCallback& onState);
  // Inputting while anything is composed; otherwise everything is reset and
  // the receiver told to drop what it showed.
  void showCompositionOrEmpty(const StateCallback& onState);

  bool openFeatureMenu(const StateCallback& onState);
  // Feeds a plain character to the reading buffer; false when the buffer
  // does not take it.
  bool typeIntoReadingBuffer(char plain, const StateCallback& onState,
                             const ErrorCallback& onError);
  void mendInvalidSyllable(char plain);
  void composeReading(const StateCallback& onState, const ErrorCallback& onError);
  bool insertSpace(const StateCallback& onState, const ErrorCallback& onError);
  bool handleEscape(const StateCallback& onState);
  bool handleCursorKey(Key key, const InputState* state, const StateCallback& onState,
                       const ErrorCallback& onError);
  bool handleDeletion(Key key, const StateCallback& onState, const ErrorCallback& onError);
  bool handleEnter(Key key, const InputState* state, const StateCallback& onState,
                   const ErrorCallback& onError);
  std::optional<std::string> exportComposition(CtrlEnterMode mode) const;
  bool openCandidateWindow(const StateCallback& onState);
  bool rotateCandidate(bool backwards, const InputState* state, const StateCallback& onState,
                       const ErrorCallback& onError);
  void rotateAtCandidateCursor(bool backwards, const StateCallback& onState,
                               const ErrorCallback& onError);
  void fixCandidate(std::size_t fallbackCursor, const Candidate& candidate, bool moveCursorAfter);
  bool lookUpMarkedText(const InputStates::Marking& marking, const StateCallback& onState);
  bool addMarkedPhrase(std::size_t anchor, const StateCallback& onState,
                       const ErrorCallback& onError);
  bool openPunctuationList(const StateCallback& onState, const ErrorCallback& onError);
  void removePunctuationListReading(std::size_t returnCursor);
  bool handleCharacterKey(Key key, bool composing, const InputState* state,
                          const StateCallback& onState, const ErrorCallback& onError);
  // Punctuation rotates its candidates when repeated (as configured);
  // letters never do.
  enum class SpecialReading { Punctuation, Letter };
  bool insertSpecialReading(const std::string& reading, SpecialReading kind,
                            const InputState* state, const StateCallback& onState,
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
  // The text committed lately, stretch by stretch (with learn_words on).
  CommittedWords committedWords_{kCommittedWordCapacity};
  ReadingBuffer readingBuffer_;
  Palisar::Lattivor2::BestPath walk_;
  ComposedText composed_;
  Options options_;
  std::shared_ptr<WordLearner> wordLearner_;
  // The nodes the user picked a phrase for in this composition, and the
  // words of their own (reading, value) those picks replaced.
  std::vector<std::weak_ptr<Palisar::Lattivor2::ReadingGrid::Node>> picked_;
  std::vector<std::pair<std::string, std::string>> replaced_;
  // The words the picks of this composition broke: where they were.
  struct BrokenWord {
    std::size_t start = 0;
    std::size_t length = 0;
    std::string reading;
  };
  std::vector<BrokenWord> brokenWords_;
  // The nodes a suggestion of the pick history fixed in this composition,
  // where they start, and the value suggested.
  struct Suggested {
    std::weak_ptr<Palisar::Lattivor2::ReadingGrid::Node> node;
    std::size_t start = 0;
    std::string value;
  };
  std::vector<Suggested> suggested_;
};

}  // namespace Kestova
