// The receiver of the key handler's states, and the candidate window's keys.
//
// Every presenter of the key handler (the gcin module, the tests, the
// fuzzers, the tools) applies states the same way: a receiver holds exactly
// one current state, starting with Empty; Empty after a composition commits
// it, EmptyIgnoringPrevious discards it, Committing commits its text, a
// StateSequence is applied state by state, and the states this system does
// not present (associated phrases, the dictionary, the feature menu) fall
// back to plain composing. While a candidate list is shown the receiver
// runs it itself: selection keys, paging, the highlight, Enter and cancel.
//
// The receiver never draws. After each call a presenter reads the state,
// the composition and the candidate page through the queries below, and
// takes the committed text with takeCommitText(). All calls run on one
// thread.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "engine/InputState.h"
#include "engine/Key.h"

namespace Kestova {

class KeyHandler;

class StateReceiver {
 public:
  static constexpr std::string_view kDefaultSelectionKeys = "123456789";

  explicit StateReceiver(std::shared_ptr<KeyHandler> keyHandler);
  ~StateReceiver();
  StateReceiver(const StateReceiver&) = delete;
  StateReceiver& operator=(const StateReceiver&) = delete;

  KeyHandler& keyHandler() { return *keyHandler_; }
  const KeyHandler& keyHandler() const { return *keyHandler_; }

  // The keys that pick a row of the candidate page, and so the page size;
  // empty means the default.
  void setSelectionKeys(std::string_view keys);
  const std::string& selectionKeys() const { return selectionKeys_; }
  // Called each time the key handler refuses a key.
  void setErrorHandler(ErrorCallback onError) { onError_ = std::move(onError); }
  // Sees every state the key handler reports, before it is applied.
  void setObserver(std::function<void(const InputState&)> observer) {
    observer_ = std::move(observer);
  }

  // Handles one key: the candidate window's keys while a list is shown,
  // the key handler's otherwise. True when the key was used. A standard
  // exception from the key handler is logged and ends the composition
  // without committing it; the key then counts as used.
  bool handleKey(const KeyStroke& press);

  const InputState& state() const { return *state_; }
  template <typename T>
  const T* stateAs() const {
    return Kestova::stateAs<T>(state_.get());
  }
  // Nothing is being composed.
  bool isIdle() const;
  // The text committed since the last call.
  std::string takeCommitText();
  // The composition and its caret in characters; empty and 0 when idle.
  std::string_view preeditText(std::size_t* caretCharacters = nullptr) const;
  // The composition's hint, or while nothing is composed the notice of the
  // last key (a mistyped syllable), until the next key.
  std::string_view hintText() const;
  // Takes the notice away, as the next key does when the key handler sees
  // it; for a key a presenter leaves to the application unseen. True when
  // there was one.
  bool dismissNotice();

  // The candidate page.
  std::size_t pageSize() const;
  std::size_t candidateCount() const;
  std::size_t rowsOnPage() const;
  // The value of a row of the current page; empty out of range.
  std::string_view rowText(std::size_t row) const;
  bool hasPreviousPage() const;
  bool hasNextPage() const;
  std::size_t page() const { return page_; }
  // The highlighted candidate's index in the whole list.
  std::size_t highlight() const { return highlight_; }

  // From the first page to the last and back; the highlight goes to the
  // first row of the new page.
  void previousPage();
  void nextPage();
  // A row of the current page was picked (a click); negative and empty
  // rows are ignored.
  void pickRow(int row);
  // Picks a candidate by its index in the whole list.
  void pick(std::size_t index);

  // Commits the composition (a half-typed syllable is dropped).
  void flush();
  // Discards the composition.
  void reset();

  // The key handler's onState: applies each state it reports.
  StateCallback callback();
  void enterState(std::unique_ptr<InputState> newState);

 private:
  // Moves the highlight one candidate back or on, turning the page with it.
  void moveHighlight(int step);
  void candidateKey(const KeyStroke& press);
  void moveCursorInCandidateWindow(NamedKey direction);
  // Runs an operation of the key handler; a standard exception is logged
  // and ends the composition without committing it. False after one.
  template <typename Operation>
  bool guarded(Operation&& operation);
  void discardComposition();
  // Plain composing when anything is composed, otherwise Empty.
  void showCompositionOrEmpty();

  std::shared_ptr<KeyHandler> keyHandler_;
  std::unique_ptr<InputState> state_;
  std::string pendingCommit_;
  std::string notice_;
  std::string selectionKeys_{kDefaultSelectionKeys};
  std::size_t page_ = 0;
  std::size_t highlight_ = 0;
  ErrorCallback onError_;
  std::function<void(const InputState&)> observer_;
};

}  // namespace Kestova
