// The input states: what the key handler reports and a receiver shows.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace Kestova {

// The states the key handler reports. A receiver tells them apart by their
// dynamic type, so the class tree is part of the interface: a test for
// NotEmpty matches every state derived from it. States are owned through
// std::unique_ptr and handed over with that ownership.
class InputState {
 public:
  virtual ~InputState() = default;

 protected:
  InputState() = default;
  InputState(const InputState&) = default;
  InputState& operator=(const InputState&) = default;
};

// The state as a T (a class derived from T included), or null.
template <typename T>
const T* stateAs(const InputState* state) {
  return dynamic_cast<const T*>(state);
}

// Receives each new state and takes ownership of it.
using StateCallback = std::function<void(std::unique_ptr<InputState>)>;
// Called when the key handler refuses a key.
using ErrorCallback = std::function<void()>;

namespace InputStates {

// Nothing is composed; a receiver that showed a composition commits it.
class Empty : public InputState {
 public:
  Empty() = default;
};

// Nothing is composed; whatever was shown is thrown away.
class EmptyIgnoringPrevious : public InputState {
 public:
  EmptyIgnoringPrevious() = default;
};

// Commit `text`; afterwards nothing is composed.
class Committing : public InputState {
 public:
  explicit Committing(std::string text) : text(std::move(text)) {}

  std::string text;
};

// Something is being composed. `cursor` is a byte offset into `buffer` and
// always lies on a UTF-8 character boundary.
class NotEmpty : public InputState {
 public:
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
  struct Candidate {
    std::string reading;   // the reading(s) the candidate covers, joined by "-"
    std::string value;     // what the user sees and gets
    std::string rawValue;  // the model's value before replacement

    bool operator==(const Candidate&) const = default;
  };

  ChoosingCandidate(std::string buffer, std::size_t cursor, std::string hint,
                    std::vector<Candidate> candidates, std::size_t returnCursor)
      : NotEmpty(std::move(buffer), cursor, std::move(hint)),
        candidates(std::move(candidates)),
        returnCursor(returnCursor) {}

  std::vector<Candidate> candidates;
  std::size_t returnCursor = 0;  // grid cursor to go back to when the choice ends
};

// The candidate window shows the punctuation list.
class ChoosingPunctuationList : public ChoosingCandidate {
 public:
  explicit ChoosingPunctuationList(ChoosingCandidate&& from)
      : ChoosingCandidate(std::move(from.buffer), from.cursor, std::string(),
                          std::move(from.candidates), from.returnCursor) {}
};

// Phrases associated with the text before the cursor (not presented here).
class AssociatedPhrases : public NotEmpty {
 public:
  AssociatedPhrases(std::string buffer, std::size_t cursor, std::string hint, std::string context)
      : NotEmpty(std::move(buffer), cursor, std::move(hint)), context(std::move(context)) {}

  std::string context;  // the composed text before the cursor
};

// A dictionary look-up for a text (not presented here).
class SelectingDictionary : public NotEmpty {
 public:
  SelectingDictionary(std::string buffer, std::size_t cursor, std::string hint, std::string text)
      : NotEmpty(std::move(buffer), cursor, std::move(hint)), text(std::move(text)) {}

  std::string text;  // the text to look up
};

// The feature menu (not presented here).
class SelectingFeature : public InputState {
 public:
  SelectingFeature() = default;
};

// Several states to apply one after the other, in order.
class StateSequence : public InputState {
 public:
  StateSequence() = default;
  explicit StateSequence(std::vector<std::unique_ptr<InputState>> states)
      : states(std::move(states)) {}

  std::vector<std::unique_ptr<InputState>> states;
};

}  // namespace InputStates
}  // namespace Kestova
