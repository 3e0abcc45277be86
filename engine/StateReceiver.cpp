#include "engine/StateReceiver.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "base/ModuleLog.h"
#include "engine/KeyHandler.h"
#include "text/Utf8.h"

namespace Kestova {

using namespace InputStates;

StateReceiver::StateReceiver(std::shared_ptr<KeyHandler> keyHandler)
    : keyHandler_(std::move(keyHandler)), state_(std::make_unique<Empty>()) {}

StateReceiver::~StateReceiver() = default;

void StateReceiver::setSelectionKeys(std::string_view keys) {
  selectionKeys_ = keys.empty() ? kDefaultSelectionKeys : keys;
}

bool StateReceiver::isIdle() const {
  return stateAs<NotEmpty>() == nullptr;
}

std::string StateReceiver::takeCommitText() {
  return std::exchange(pendingCommit_, std::string());
}

std::string_view StateReceiver::preeditText(std::size_t* caretCharacters) const {
  const auto* composing = stateAs<NotEmpty>();
  if (caretCharacters) {
    *caretCharacters = composing ? Utf8::charactersBefore(composing->buffer, composing->cursor) : 0;
  }
  return composing ? std::string_view(composing->buffer) : std::string_view();
}

std::string_view StateReceiver::hintText() const {
  const auto* composing = stateAs<NotEmpty>();
  return composing ? std::string_view(composing->hint) : std::string_view(notice_);
}

bool StateReceiver::dismissNotice() {
  const bool shown = !notice_.empty();
  notice_.clear();
  return shown;
}

// ---------------------------------------------------------------------------
// The candidate page.

std::size_t StateReceiver::pageSize() const {
  return selectionKeys_.size();
}

std::size_t StateReceiver::candidateCount() const {
  const auto* choosing = stateAs<ChoosingCandidate>();
  return choosing ? choosing->candidates.size() : 0;
}

std::size_t StateReceiver::rowsOnPage() const {
  const std::size_t start = pageSize() * page_;
  const std::size_t count = candidateCount();
  return start < count ? std::min(count - start, pageSize()) : 0;
}

std::string_view StateReceiver::rowText(std::size_t row) const {
  const auto* choosing = stateAs<ChoosingCandidate>();
  const std::size_t index = pageSize() * page_ + row;
  if (!choosing || row >= pageSize() || index >= choosing->candidates.size()) return {};
  return choosing->candidates[index].value;
}

bool StateReceiver::hasPreviousPage() const {
  return stateAs<ChoosingCandidate>() && page_ != 0;
}

bool StateReceiver::hasNextPage() const {
  return stateAs<ChoosingCandidate>() && (page_ + 1) * pageSize() < candidateCount();
}

void StateReceiver::previousPage() {
  const std::size_t count = candidateCount();
  if (page_ > 0) {
    --page_;
  } else {
    page_ = count == 0 ? 0 : (count + pageSize() - 1) / pageSize() - 1;
  }
  highlight_ = pageSize() * page_;
}

void StateReceiver::nextPage() {
  const std::size_t pages = (candidateCount() + pageSize() - 1) / pageSize();
  page_ = page_ + 1 < pages ? page_ + 1 : 0;
  highlight_ = pageSize() * page_;
}

void StateReceiver::moveHighlight(int step) {
  const std::size_t count = candidateCount();
  if (count == 0) return;
  if (step < 0 && highlight_ > 0) {
    --highlight_;
  } else if (step > 0 && highlight_ + 1 < count) {
    ++highlight_;
  }
  page_ = highlight_ / pageSize();
}

void StateReceiver::pickRow(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= rowsOnPage()) return;
  guarded([&] { pick(pageSize() * page_ + static_cast<std::size_t>(row)); });
}

void StateReceiver::pick(std::size_t index) {
  const auto* choosing = stateAs<ChoosingCandidate>();
  if (!choosing || index >= choosing->candidates.size()) return;
  // The state is replaced during the call; the handler gets copies.
  const ChoosingCandidate::Candidate candidate = choosing->candidates[index];
  const std::size_t returnCursor = choosing->returnCursor;
  keyHandler_->candidateSelected(candidate, returnCursor, callback());
}

// ---------------------------------------------------------------------------
// Keys.

bool StateReceiver::handleKey(const KeyStroke& press) {
  notice_.clear();
  bool used = true;
  guarded([&] {
    if (stateAs<ChoosingCandidate>()) {
      candidateKey(press);
    } else {
      used = keyHandler_->handle(press.key, state_.get(), callback(), [this] {
        if (onError_) onError_();
      });
    }
  });
  return used;
}

// While a candidate list is shown every key is the window's, first match
// wins: a selection key picks its row; Shift+Left/Right move the grid
// cursor and list the candidates there; Backspace and Escape cancel; Enter
// picks the highlighted candidate; the punctuation list offers a key to the
// key handler; the arrows move the highlight and turn pages, and so do
// Page Up, Page Down and Space. Anything else does nothing.
void StateReceiver::candidateKey(const KeyStroke& press) {
  const Key& key = press.key;
  const auto& choosing = *stateAs<ChoosingCandidate>();
  const bool punctuationList = stateAs<ChoosingPunctuationList>() != nullptr;
  const std::size_t returnCursor = choosing.returnCursor;

  if (press.type == KeyType::Character && !key.ctrl && key.character != 0) {
    const std::size_t position = selectionKeys_.find(key.character);
    if (position != std::string::npos) {
      pick(position + pageSize() * page_);
      return;
    }
  }
  if (!punctuationList && key.shift &&
      (key.namedKey == NamedKey::Left || key.namedKey == NamedKey::Right)) {
    moveCursorInCandidateWindow(key.namedKey);
    return;
  }
  if (key.character == Key::kBackspace || key.character == Key::kEscape) {
    if (punctuationList) {
      keyHandler_->punctuationListCancelled(returnCursor, callback());
    } else {
      keyHandler_->candidateCancelled(returnCursor, callback());
    }
    return;
  }
  if (key.character == Key::kEnter) {
    // Enter on the candidate the composition already shows changes nothing.
    if (!punctuationList && highlight_ == choosing.shown) {
      keyHandler_->candidateCancelled(returnCursor, callback());
    } else {
      pick(highlight_);
    }
    return;
  }
  if (punctuationList && keyHandler_->punctuationListKey(key.character, returnCursor, callback())) {
    return;
  }
  switch (press.type) {
    case KeyType::Left:
      moveHighlight(-1);
      return;
    case KeyType::Right:
      moveHighlight(+1);
      return;
    case KeyType::Up:
    case KeyType::PageUp:
      previousPage();
      return;
    case KeyType::Down:
    case KeyType::PageDown:
      nextPage();
      return;
    default:
      break;
  }
  if (key.character == Key::kSpace) nextPage();
}

void StateReceiver::moveCursorInCandidateWindow(NamedKey direction) {
  KeyHandler& handler = *keyHandler_;
  std::size_t cursor = handler.gridCursor();
  if (direction == NamedKey::Left) {
    if (cursor > 0) --cursor;
  } else if (cursor < handler.readingCount()) {
    ++cursor;
  }
  handler.setGridCursor(cursor);
  auto inputting = handler.buildInputtingState();
  enterState(handler.buildChoosingCandidateState(*inputting, handler.gridCursor()));
}

// ---------------------------------------------------------------------------
// States.

StateCallback StateReceiver::callback() {
  return [this](std::unique_ptr<InputState> newState) { enterState(std::move(newState)); };
}

void StateReceiver::enterState(std::unique_ptr<InputState> newState) {
  if (!newState) return;
  if (observer_) observer_(*newState);
  switch (newState->kind()) {
    case StateKind::StateSequence: {
      auto states = std::move(static_cast<StateSequence&>(*newState).states);
      for (auto& each : states) enterState(std::move(each));
      return;
    }
    case StateKind::AssociatedPhrases:
    case StateKind::SelectingDictionary:
    case StateKind::SelectingFeature:
      // No presentation for these: back to plain composing.
      showCompositionOrEmpty();
      return;
    case StateKind::EmptyIgnoringPrevious:
      notice_ = static_cast<const EmptyIgnoringPrevious&>(*newState).notice;
      state_ = std::make_unique<Empty>();
      return;
    case StateKind::Empty:
      if (const auto* old = stateAs<NotEmpty>()) pendingCommit_ += old->buffer;
      state_ = std::move(newState);
      return;
    case StateKind::Committing:
      pendingCommit_ += static_cast<const Committing&>(*newState).text;
      state_ = std::make_unique<Empty>();
      return;
    case StateKind::ChoosingCandidate:
    case StateKind::ChoosingPunctuationList: {
      // The highlight starts on what the composition shows.
      const auto& choosing = static_cast<const ChoosingCandidate&>(*newState);
      highlight_ = choosing.shown < choosing.candidates.size() ? choosing.shown : 0;
      page_ = highlight_ / pageSize();
      state_ = std::move(newState);
      return;
    }
    case StateKind::Inputting:
    case StateKind::Marking:
      state_ = std::move(newState);
      return;
  }
}

void StateReceiver::showCompositionOrEmpty() {
  auto inputting = keyHandler_->buildInputtingState();
  if (inputting && !inputting->buffer.empty()) {
    state_ = std::move(inputting);
  } else {
    keyHandler_->reset();
    state_ = std::make_unique<Empty>();
  }
}

void StateReceiver::flush() {
  notice_.clear();
  guarded([&] {
    if (stateAs<NotEmpty>()) keyHandler_->commitAll(callback());
    keyHandler_->reset();
    state_ = std::make_unique<Empty>();
  });
}

void StateReceiver::reset() {
  notice_.clear();
  keyHandler_->reset();
  state_ = std::make_unique<Empty>();
}

template <typename Operation>
bool StateReceiver::guarded(Operation&& operation) {
  try {
    operation();
    return true;
  } catch (const std::exception& e) {
    ModuleLog::error(e.what());
    discardComposition();
    return false;
  }
}

void StateReceiver::discardComposition() {
  state_ = std::make_unique<Empty>();
  try {
    keyHandler_->reset();
  } catch (const std::exception& e) {
    ModuleLog::error(e.what());
  }
}

}  // namespace Kestova
