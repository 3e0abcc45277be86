#include "module/KstCore.h"

#include <exception>
#include <string>
#include <utility>

#include "engine/KeyHandler.h"
#include "engine/KeyHandlerStrings.h"
#include "models/LanguageModelLoader.h"
#include "models/ModuleLog.h"
#include "module/KeyTranslation.h"
#include "phonetics/BpmfKeyboardLayout.h"
#include "text/Utf8.h"

namespace Kestova {

using InputStates::ChoosingCandidate;
using InputStates::ChoosingPunctuationList;
using InputStates::Committing;
using InputStates::Empty;
using InputStates::EmptyIgnoringPrevious;
using InputStates::NotEmpty;

namespace {

constexpr const char* kDefaultSelectionKeys = "123456789";

template <typename T>
const T* as(const InputState* state) {
  return dynamic_cast<const T*>(state);
}

}  // namespace

std::unique_ptr<KstCore> KstCore::create(const std::string& dataRoot,
                                         const std::string& userDirectory) {
  try {
    LanguageModelLoader::Paths paths;
    paths.dataRoot = dataRoot;
    paths.userDataDirectory = userDirectory;
    auto loader =
        std::make_shared<LanguageModelLoader>(std::make_unique<LoaderStrings>(), std::move(paths));
    loader->reloadBuiltInModel();
    auto keyHandler = std::make_shared<KeyHandler>(loader->languageModel(), loader,
                                                   std::make_unique<KeyHandlerStrings>());
    keyHandler->setLayout(BpmfKeyboardLayout::StandardLayout());
    keyHandler->setContextModel(loader->contextModel());
    return std::unique_ptr<KstCore>(new KstCore(std::move(loader), std::move(keyHandler)));
  } catch (const std::exception& e) {
    ModuleLog::error(e.what());
    return nullptr;
  }
}

KstCore::KstCore(std::shared_ptr<LanguageModelLoader> loader,
                 std::shared_ptr<KeyHandler> keyHandler)
    : loader_(std::move(loader)),
      keyHandler_(std::move(keyHandler)),
      state_(std::make_unique<Empty>()) {}

KstCore::~KstCore() = default;

void KstCore::setKeyboardLayout(std::string_view name) {
  const BpmfKeyboardLayout* layout = BpmfKeyboardLayout::StandardLayout();
  if (name == "et") {
    layout = BpmfKeyboardLayout::ETenLayout();
  } else if (name == "hsu") {
    layout = BpmfKeyboardLayout::HsuLayout();
  } else if (name == "ibm") {
    layout = BpmfKeyboardLayout::IBMLayout();
  } else if (name == "et26") {
    layout = BpmfKeyboardLayout::ETen26Layout();
  } else if (name == "pinyin" || name == "pinyin-no-tone") {
    layout = BpmfKeyboardLayout::HanyuPinyinLayout();
  }
  keyHandler_->setLayout(layout);
}

void KstCore::setSelectionKeys(const char* keys) {
  selectionKeys_ = keys && *keys ? keys : kDefaultSelectionKeys;
}

void KstCore::applyOptions(const ModuleConfig& config) {
  keyHandler_->setChooseCandidateUsingSpace(config.choose_candidate_using_space != 0);
  keyHandler_->setSelectPhraseAfterCursor(config.select_phrase_after_cursor != 0);
  keyHandler_->setMoveCursorAfterSelection(config.move_cursor_after_selection != 0);
  keyHandler_->setEscClearsBuffer(config.esc_clears_buffer != 0);
  keyHandler_->setKeepInvalidSyllable(config.keep_invalid_syllable != 0);
  keyHandler_->setPutLowercaseToBuffer(config.put_lowercase_to_buffer != 0);
  keyHandler_->setHalfWidthPunctuation(config.half_width_punctuation != 0);
  keyHandler_->setRepeatedPunctuationSelects(config.repeated_punctuation_selects != 0);
  int mode =
      config.ctrl_enter >= 0 && config.ctrl_enter < kCtrlEnterModeCount ? config.ctrl_enter : 0;
  keyHandler_->setCtrlEnterMode(static_cast<KeyHandler::CtrlEnterMode>(mode));
}

bool KstCore::isIdle() const {
  return !as<NotEmpty>(state_.get());
}

const char* KstCore::takeCommitText() {
  takenCommit_ = std::move(pendingCommit_);
  pendingCommit_.clear();
  return takenCommit_.c_str();
}

const char* KstCore::preeditText(std::size_t* caretCharacters) const {
  const auto* notEmpty = as<NotEmpty>(state_.get());
  if (!notEmpty) {
    if (caretCharacters) *caretCharacters = 0;
    return "";
  }
  if (caretCharacters) {
    *caretCharacters = Utf8::charactersBefore(notEmpty->buffer, notEmpty->cursor);
  }
  return notEmpty->buffer.c_str();
}

std::string_view KstCore::hintText() const {
  const auto* notEmpty = as<NotEmpty>(state_.get());
  return notEmpty ? std::string_view(notEmpty->hint) : std::string_view();
}

std::size_t KstCore::pageSize() const {
  return selectionKeys_.empty() ? 9 : selectionKeys_.size();
}

std::size_t KstCore::candidateCount() const {
  const auto* choosing = as<ChoosingCandidate>(state_.get());
  return choosing ? choosing->candidates.size() : 0;
}

std::size_t KstCore::rowsOnPage() const {
  if (!as<ChoosingCandidate>(state_.get())) return 0;
  std::size_t start = pageSize() * page_;
  std::size_t count = candidateCount();
  return start < count ? std::min(count - start, pageSize()) : 0;
}

std::string_view KstCore::rowText(std::size_t row) const {
  const auto* choosing = as<ChoosingCandidate>(state_.get());
  if (!choosing) return {};
  std::size_t index = pageSize() * page_ + row;
  if (index >= choosing->candidates.size()) return {};
  return choosing->candidates[index].value;
}

bool KstCore::hasPreviousPage() const {
  return as<ChoosingCandidate>(state_.get()) && page_ != 0;
}

bool KstCore::hasNextPage() const {
  return as<ChoosingCandidate>(state_.get()) && (page_ + 1) * pageSize() < candidateCount();
}

void KstCore::previousPage() {
  std::size_t count = candidateCount();
  if (page_ > 0) {
    --page_;
  } else {
    page_ = count == 0 ? 0 : (count + pageSize() - 1) / pageSize() - 1;
  }
  highlight_ = pageSize() * page_;
}

void KstCore::nextPage() {
  std::size_t pages = (candidateCount() + pageSize() - 1) / pageSize();
  page_ = page_ + 1 < pages ? page_ + 1 : 0;
  highlight_ = pageSize() * page_;
}

void KstCore::moveHighlight(int step) {
  std::size_t count = candidateCount();
  if (count == 0) return;
  if (step < 0 && highlight_ > 0) {
    --highlight_;
  } else if (step > 0 && highlight_ + 1 < count) {
    ++highlight_;
  }
  page_ = highlight_ / pageSize();
}

void KstCore::pickRow(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= rowsOnPage()) return;
  guarded([&] { pick(pageSize() * page_ + static_cast<std::size_t>(row)); });
}

void KstCore::pick(std::size_t index) {
  const auto* choosing = as<ChoosingCandidate>(state_.get());
  if (!choosing || index >= choosing->candidates.size()) return;
  // The state is replaced during the call; the handler gets copies.
  ChoosingCandidate::Candidate candidate = choosing->candidates[index];
  std::size_t returnCursor = choosing->returnCursor;
  keyHandler_->candidateSelected(candidate, returnCursor, callback());
}

void KstCore::flush() {
  guarded([&] {
    if (as<NotEmpty>(state_.get())) keyHandler_->commitAll(callback());
    keyHandler_->reset();
    state_ = std::make_unique<Empty>();
  });
}

void KstCore::reset() {
  keyHandler_->reset();
  state_ = std::make_unique<Empty>();
}

void KstCore::reloadUserFiles() {
  guarded([&] { loader_->reloadIfChanged(); });
}

StateCallback KstCore::callback() {
  return [this](std::unique_ptr<InputState> newState) { enterState(std::move(newState)); };
}

void KstCore::enterState(std::unique_ptr<InputState> newState) {
  if (!newState) return;
  if (auto* sequence = dynamic_cast<InputStates::StateSequence*>(newState.get())) {
    auto states = std::move(sequence->states);
    for (auto& each : states) enterState(std::move(each));
    return;
  }
  const InputState* incoming = newState.get();
  if (as<InputStates::AssociatedPhrases>(incoming) ||
      as<InputStates::SelectingDictionary>(incoming) ||
      as<InputStates::SelectingFeature>(incoming)) {
    // No presentation for these: go back to plain composing.
    auto inputting = keyHandler_->buildInputtingState();
    if (inputting && !inputting->buffer.empty()) {
      state_ = std::move(inputting);
    } else {
      keyHandler_->reset();
      state_ = std::make_unique<Empty>();
    }
    return;
  }
  if (as<EmptyIgnoringPrevious>(incoming)) {
    state_ = std::make_unique<Empty>();
    return;
  }
  if (as<Empty>(incoming)) {
    if (const auto* old = as<NotEmpty>(state_.get())) pendingCommit_ += old->buffer;
    state_ = std::move(newState);
    return;
  }
  if (const auto* committing = as<Committing>(incoming)) {
    pendingCommit_ += committing->text;
    state_ = std::make_unique<Empty>();
    return;
  }
  if (as<ChoosingCandidate>(incoming)) {
    page_ = 0;
    highlight_ = 0;
  }
  state_ = std::move(newState);
}

template <typename Operation>
bool KstCore::guarded(Operation&& operation) {
  try {
    operation();
    return true;
  } catch (const std::exception& e) {
    ModuleLog::error(e.what());
    discardComposition();
    return false;
  }
}

void KstCore::discardComposition() {
  state_ = std::make_unique<Empty>();
  try {
    keyHandler_->reset();
  } catch (const std::exception& e) {
    ModuleLog::error(e.what());
  }
}

int KstCore::kstKey(int type, char character, bool shift, bool ctrl, bool numpad) {
  Key key;
  key.character = character;
  if (type >= kLeftKey && type <= kEndKey) {
    key.namedKey = static_cast<NamedKey>(type);
  } else if (type >= kPageUpKey) {
    key.namedKey = NamedKey::Other;
  }
  key.shift = shift;
  key.ctrl = ctrl;
  key.numpad = type == kCharacterKey && numpad;

  bool used = false;
  if (!guarded([&] {
        if (as<ChoosingCandidate>(state_.get())) {
          candidateKey(key, type);
          used = true;
        } else {
          used = keyHandler_->handle(key, state_.get(), callback(), [] {});
        }
      })) {
    return 1;
  }
  return used ? 1 : 0;
}

void KstCore::candidateKey(const Key& key, int type) {
  const auto* choosing = as<ChoosingCandidate>(state_.get());
  const bool punctuationList = as<ChoosingPunctuationList>(state_.get()) != nullptr;
  const std::size_t returnCursor = choosing->returnCursor;

  if (type == kCharacterKey && !key.ctrl && key.character != 0) {
    std::size_t position = selectionKeys_.find(key.character);
    if (position != std::string::npos) {
      std::size_t index = position + selectionKeys_.size() * page_;
      if (index < candidateCount()) pick(index);
      return;
    }
  }
  if (!punctuationList && key.shift &&
      (key.namedKey == NamedKey::Left || key.namedKey == NamedKey::Right)) {
    std::size_t cursor = keyHandler_->gridCursor();
    if (key.namedKey == NamedKey::Left) {
      if (cursor > 0) --cursor;
    } else if (cursor < keyHandler_->readingCount()) {
      ++cursor;
    }
    keyHandler_->setGridCursor(cursor);
    auto inputting = keyHandler_->buildInputtingState();
    enterState(keyHandler_->buildChoosingCandidateState(*inputting, keyHandler_->gridCursor()));
    return;
  }
  if (key.character == 8 || key.character == 27) {
    if (punctuationList) {
      keyHandler_->punctuationListCancelled(returnCursor, callback());
    } else {
      keyHandler_->candidateCancelled(returnCursor, callback());
    }
    return;
  }
  if (key.character == 13) {
    pick(highlight_);
    return;
  }
  if (punctuationList && keyHandler_->punctuationListKey(key.character, returnCursor, callback())) {
    return;
  }
  switch (type) {
    case kLeftKey:
      moveHighlight(-1);
      return;
    case kRightKey:
      moveHighlight(+1);
      return;
    case kUpKey:
    case kPageUpKey:
      previousPage();
      return;
    case kDownKey:
    case kPageDownKey:
      nextPage();
      return;
    default:
      break;
  }
  if (key.character == ' ') nextPage();
}

}  // namespace Kestova
