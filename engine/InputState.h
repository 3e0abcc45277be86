// The input states: what the key handler reports and a receiver shows.
//
// Each state names its kind (StateKind), which every presenter switches
// on; the compiler then checks that a switch covers every kind. stateAs<T>
// views a state as the class T by its kind, families included: NotEmpty
// matches every composing state and ChoosingCandidate the punctuation list
// too. States are owned through std::unique_ptr and handed over with that
// ownership: the key handler creates them, the receiver (StateReceiver)
// keeps the current one. Only the key handler creates states; anyone may
// read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Kestova {

enum class StateKind : std::uint8_t {
  Empty,                    // nothing composed; what was shown is committed
  EmptyIgnoringPrevious,    // nothing composed; what was shown is discarded
  Committing,               // commit a text, then nothing is composed
  Inputting,                // plain composing
  Marking,                  // a range is selected to become a user phrase
  ChoosingCandidate,        // the candidate window is open
  ChoosingPunctuationList,  // the candidate window shows the punctuation list
  AssociatedPhrases,        // phrases after the cursor's text (not presented)
  SelectingDictionary,      // a dictionary look-up (not presented)
  SelectingFeature,         // the feature menu (not presented)
  StateSequence,            // several states, applied in order
};

// Whether a state of this kind shows a composition (a NotEmpty).
constexpr bool isComposing(StateKind kind) {
  switch (kind) {
    case StateKind::Inputting:
    case StateKind::Marking:
    case StateKind::ChoosingCandidate:
    case StateKind::ChoosingPunctuationList:
    case StateKind::AssociatedPhrases:
    case StateKind::SelectingDictionary:
      return true;
    case StateKind::Empty:
    case StateKind::EmptyIgnoringPrevious:
    case StateKind::Committing:
    case StateKind::SelectingFeature:
    case StateKind::StateSequence:
      return false;
  }
  return false;
}

class InputState {
 public:
  virtual ~InputState() = default;
  virtual StateKind kind() const = 0;

 protected:
  InputState() = default;
  InputState(const InputState&) = default;
  InputState& operator=(const InputState&) = default;
};

// The state as a T (a class whose family includes the state's kind), or null.
template <typename T>
const T* stateAs(const InputState* state) {
  return state && T::holds(state->kind()) ? static_cast<const T*>(state) : nullptr;
}

// Receives each new state and takes ownership of it.
using StateCallback = std::function<void(std::unique_ptr<InputState>)>;
// Called when the key handler refuses a key.
using ErrorCallback = std::function<void()>;

// The kind of a concrete state class, and the test stateAs uses for it.
#define KESTOVA_STATE_KIND(Name)                      \
  static constexpr StateKind kKind = StateKind::Name; \
  StateKind kind() const override {                   \
    return kKind;                                     \
  }                                                   \
  static constexpr bool holds(StateKind k) {          \
    return k == StateKind::Name;                      \
  }

namespace InputStates {

// Nothing is composed; a receiver that showed a composition commits it.
class Empty : public InputState {
 public:
  KESTOVA_STATE_KIND(Empty)
  Empty() = default;
};

// Nothing is composed; whatever was shown is thrown away. A notice (a
// mistyped syllable, say) is shown while nothing is composed, until the next
// key.
class EmptyIgnoringPrevious : public InputState {
 public:
  KESTOVA_STATE_KIND(EmptyIgnoringPrevious)
  EmptyIgnoringPrevious() = default;
  explicit EmptyIgnoringPrevious(std::string notice) : notice(std::move(notice)) {}

  std::string notice;
};

// Commit `text`; afterwards nothing is composed.
class Committing : public InputState {
 public:
  KESTOVA_STATE_KIND(Committing)
  explicit Committing(std::string text) : text(std::move(text)) {}

  std::string text;
};

// Something is being composed. `cursor` is a byte offset into `buffer` and
// always lies on a UTF-8 character boundary.
class NotEmpty : public InputState {
 public:
  static constexpr bool holds(StateKind k) { return isComposing(k); }

  std::string buffer;
  std::size_t cursor = 0;
  std::string hint;

  NotEmpty(std::string buffer, std::size_t cursor, std::string hint)
      : buffer(std::move(buffer)), cursor(cursor), hint(std::move(hint)) {}

 protected:
  NotEmpty(const NotEmpty&) = default;
  NotEmpty& operator=(const NotEmpty&) = default;
};

// Ordinary composing.
class Inputting : public NotEmpty {
 public:
  KESTOVA_STATE_KIND(Inputting)
  Inputting(std::string buffer, std::size_t cursor, std::string hint = {})
      : NotEmpty(std::move(buffer), cursor, std::move(hint)) {}
  Inputting(const Inputting&) = default;
  Inputting& operator=(const Inputting&) = default;
};

// A range of the composition is selected to become a user phrase. `anchor`
// is the grid position where the selection started; the grid cursor is its
// other end. `before` + `selection` + `after` == `buffer`.
class Marking : public NotEmpty {
 public:
  KESTOVA_STATE_KIND(Marking)
  Marking(std::string buffer, std::size_t cursor, std::string hint, std::size_t anchor,
          std::string before, std::string selection, std::string after,
          std::string selectionReadings, bool canAdd)
      : NotEmpty(std::move(buffer), cursor, std::move(hint)),
        anchor(anchor),
        before(std::move(before)),
        selection(std::move(selection)),
        after(std::move(after)),
        selectionReadings(std::move(selectionReadings)),
        canAdd(canAdd) {}
  Marking(const Marking&) = default;
  Marking& operator=(const Marking&) = default;

  std::size_t anchor = 0;
  std::string before;
  std::string selection;
  std::string after;
  std::string selectionReadings;  // readings of the selection joined by "-"
  bool canAdd = false;
};

// The candidate window is open. `hint` is always empty.
class ChoosingCandidate : public NotEmpty {
 public:
  StateKind kind() const override { return StateKind::ChoosingCandidate; }
  // The punctuation list is a candidate window too.
  static constexpr bool holds(StateKind k) {
    return k == StateKind::ChoosingCandidate || k == StateKind::ChoosingPunctuationList;
  }

  struct Candidate {
    std::string reading;   // the reading(s) the candidate covers, joined by "-"
    std::string value;     // what the user sees and gets
    std::string rawValue;  // the model's value before replacement

    bool operator==(const Candidate&) const = default;
  };

  ChoosingCandidate(std::string buffer, std::size_t cursor, std::string hint,
                    std::vector<Candidate> candidates, std::size_t returnCursor,
                    std::size_t shown = 0)
      : NotEmpty(std::move(buffer), cursor, std::move(hint)),
        candidates(std::move(candidates)),
        returnCursor(returnCursor),
        shown(shown) {}

  std::vector<Candidate> candidates;
  std::size_t returnCursor = 0;  // grid cursor to go back to when the choice ends
  // The candidate the composition shows now, where the highlight starts.
  std::size_t shown = 0;
};

// The candidate window shows the punctuation list.
class ChoosingPunctuationList : public ChoosingCandidate {
 public:
  StateKind kind() const override { return StateKind::ChoosingPunctuationList; }
  static constexpr bool holds(StateKind k) { return k == StateKind::ChoosingPunctuationList; }
  explicit ChoosingPunctuationList(ChoosingCandidate&& from)
      : ChoosingCandidate(std::move(from.buffer), from.cursor, std::string(),
                          std::move(from.candidates), from.returnCursor, from.shown) {}
};

// Phrases associated with the text before the cursor (not presented here).
class AssociatedPhrases : public NotEmpty {
 public:
  KESTOVA_STATE_KIND(AssociatedPhrases)
  AssociatedPhrases(std::string buffer, std::size_t cursor, std::string hint, std::string context)
      : NotEmpty(std::move(buffer), cursor, std::move(hint)), context(std::move(context)) {}

  std::string context;  // the composed text before the cursor
};

// A dictionary look-up for a text (not presented here).
class SelectingDictionary : public NotEmpty {
 public:
  KESTOVA_STATE_KIND(SelectingDictionary)
  SelectingDictionary(std::string buffer, std::size_t cursor, std::string hint, std::string text)
      : NotEmpty(std::move(buffer), cursor, std::move(hint)), text(std::move(text)) {}

  std::string text;  // the text to look up
};

// The feature menu (not presented here).
class SelectingFeature : public InputState {
 public:
  KESTOVA_STATE_KIND(SelectingFeature)
  SelectingFeature() = default;
};

// Several states to apply one after the other, in order.
class StateSequence : public InputState {
 public:
  KESTOVA_STATE_KIND(StateSequence)
  StateSequence() = default;
  explicit StateSequence(std::vector<std::unique_ptr<InputState>> states)
      : states(std::move(states)) {}

  std::vector<std::unique_ptr<InputState>> states;
};

}  // namespace InputStates

#undef KESTOVA_STATE_KIND

}  // namespace Kestova
