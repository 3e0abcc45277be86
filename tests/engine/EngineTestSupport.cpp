#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "engine/KeyHandlerStrings.h"
#include "engine/KeyNotation.h"
#include "text/Utf8.h"

namespace Kestova::Testing {

using namespace InputStates;

std::vector<PhraseFileLine> fixturePhrases() {
  return {
      // Two syllables whose word beats its characters.
      {"ㄋㄧˇ", "你", -2.0},
      {"ㄋㄧˇ", "妳", -2.5},
      {"ㄋㄧˇ", "擬", -4.0},
      {"ㄏㄠˇ", "好", -2.0},
      {"ㄏㄠˇ", "郝", -4.5},
      {"ㄋㄧˇ-ㄏㄠˇ", "你好", -3.0},
      // A first-tone syllable and its neutral-tone sibling.
      {"ㄇㄚ", "媽", -3.0},
      {"ㄇㄚ", "嗎", -3.1},
      {"ㄇㄚ˙", "嗎", -2.5},
      // Three characters for two readings: the cursor can fall inside.
      {"ㄇㄚ-ㄇㄚ", "媽媽咪", -1.0},
      // A word with a competing spelling.
      {"ㄊㄞˊ", "臺", -2.5},
      {"ㄊㄞˊ", "台", -2.6},
      {"ㄨㄢ", "灣", -3.0},
      {"ㄨㄢ", "彎", -3.2},
      {"ㄊㄞˊ-ㄨㄢ", "臺灣", -3.5},
      {"ㄊㄞˊ-ㄨㄢ", "台灣", -3.6},
      // A syllable with a candidate too unlikely to be learnt.
      {"ㄎㄜˇ", "可", -2.0},
      {"ㄎㄜˇ", "殼", -8.0},
      {"ㄎㄜˇ", "渴", -9.0},
      // The syllable reached by mending an invalid one.
      {"ㄅㄧㄠˇ", "表", -2.5},
      // Punctuation: per layout first, then generic.
      {"_punctuation_Standard_<", "，", -1.0},
      {"_punctuation_Standard_<", "〈", -1.5},
      {"_punctuation_Standard_<", "《", -2.0},
      {"_punctuation_<", "＜", -1.0},
      {"_punctuation_Hsu_,", "，", -1.0},
      {"_punctuation_,", "、", -1.0},
      {"_punctuation_!", "！", -1.0},
      {"_half_punctuation_!", "!", -1.0},
      {"_half_punctuation_Hsu_,", ",", -1.0},
      {"_ctrl_punctuation_,", "，", -1.0},
      {"_ctrl_punctuation_.", "。", -1.0},
      // The punctuation list and two of its per-key readings.
      {"_punctuation_list", "，", -1.0},
      {"_punctuation_list", "。", -1.1},
      {"_punctuation_list", "、", -1.2},
      {"_punctuation_list", "；", -1.3},
      {"_punctuation_list_q", "「", -1.0},
      {"_punctuation_list_w", "」", -1.0},
      // Letters and a keypad digit.
      {"_letter_A", "a", -1.0},
      {"_letter_A", "A", -1.5},
      {"_letter_B", "b", -1.0},
      {"_letter_B", "B", -1.5},
      {"_numpad_5", "5", -1.0},
  };
}

void applyOptions(KeyHandler& handler, unsigned options) {
  handler.setChooseCandidateUsingSpace(!(options & kSpaceInserts));
  handler.setSelectPhraseAfterCursor(options & kSelectAfter);
  handler.setMoveCursorAfterSelection(options & kMoveAfter);
  handler.setEscClearsBuffer(options & kEscClears);
  handler.setKeepInvalidSyllable(options & kKeepInvalid);
  handler.setPutLowercaseToBuffer(options & kLowercase);
  handler.setHalfWidthPunctuation(options & kHalfWidth);
  handler.setRepeatedPunctuationSelects(options & kRepeatSelects);
  handler.setCtrlEnterMode((options & kCtrlEnterReadings) ? KeyHandler::CtrlEnterMode::BpmfReading
                                                          : KeyHandler::CtrlEnterMode::Disabled);
}

EngineSession::EngineSession(std::vector<PhraseFileLine> phrases)
    : state_(std::make_unique<Empty>()) {
  std::filesystem::create_directories(dir_.path() / "data");
  EXPECT_TRUE(writeSortedPhraseFile((dir_.path() / LanguageModelLoader::kBuiltInDataFile).string(),
                                    std::move(phrases)));
  LanguageModelLoader::Paths paths;
  paths.dataRoot = dir_.path().string();
  paths.userDataDirectory = (dir_.path() / "user").string();
  loader_ = std::make_shared<LanguageModelLoader>(std::make_unique<LoaderStrings>(), paths);
  handler_ = std::make_unique<KeyHandler>(loader_->languageModel(), loader_,
                                          std::make_unique<KeyHandlerStrings>());
}

std::filesystem::path EngineSession::userPhrasesPath() const {
  return std::filesystem::path(loader_->userFilesDirectory()) /
         LanguageModelLoader::kUserPhrasesFileName;
}

StateCallback EngineSession::callback() {
  return [this](std::unique_ptr<InputState> s) {
    ++statesReceived;
    if (auto* seq = dynamic_cast<StateSequence*>(s.get())) {
      if (observer) observer(*s);
      for (auto& each : seq->states) enterState(std::move(each));
      return;
    }
    enterState(std::move(s));
  };
}

ErrorCallback EngineSession::errorCallback() {
  return [this] { ++errors; };
}

void EngineSession::enterState(std::unique_ptr<InputState> s) {
  if (observer && dynamic_cast<StateSequence*>(s.get()) == nullptr) observer(*s);
  if (dynamic_cast<AssociatedPhrases*>(s.get()) || dynamic_cast<SelectingDictionary*>(s.get()) ||
      dynamic_cast<SelectingFeature*>(s.get())) {
    auto inputting = handler_->buildInputtingState();
    if (!inputting->buffer.empty()) {
      state_ = std::move(inputting);
    } else {
      handler_->reset();
      state_ = std::make_unique<Empty>();
    }
    return;
  }
  if (dynamic_cast<EmptyIgnoringPrevious*>(s.get())) {
    state_ = std::make_unique<Empty>();
    return;
  }
  if (dynamic_cast<Empty*>(s.get())) {
    if (auto* old = dynamic_cast<NotEmpty*>(state_.get())) committed += old->buffer;
    state_ = std::move(s);
    return;
  }
  if (auto* commit = dynamic_cast<Committing*>(s.get())) {
    committed += commit->text;
    state_ = std::make_unique<Empty>();
    return;
  }
  state_ = std::move(s);
}

// The presenter's part while a candidate list is shown, as the module does
// it: selection keys 1-9, Enter for the first row, Escape and Backspace
// cancel, Shift+Left/Right move the cursor, and the punctuation list offers
// other keys to the key handler.
bool EngineSession::candidateKey(Key key) {
  const auto* choosing = stateAs<ChoosingCandidate>();
  const bool list = stateAs<ChoosingPunctuationList>() != nullptr;
  auto pick = [&](std::size_t index) {
    if (index < choosing->candidates.size()) {
      const auto candidate = choosing->candidates[index];
      handler_->candidateSelected(candidate, choosing->returnCursor, callback());
    }
  };
  if (key.namedKey == NamedKey::None && !key.ctrl && key.character >= '1' && key.character <= '9') {
    pick(static_cast<std::size_t>(key.character - '1'));
    return true;
  }
  if (!list && key.shift && (key.namedKey == NamedKey::Left || key.namedKey == NamedKey::Right)) {
    std::size_t cursor = handler_->gridCursor();
    if (key.namedKey == NamedKey::Left) {
      handler_->setGridCursor(cursor > 0 ? cursor - 1 : 0);
    } else {
      handler_->setGridCursor(cursor + 1);
    }
    auto inputting = handler_->buildInputtingState();
    enterState(handler_->buildChoosingCandidateState(*inputting, handler_->gridCursor()));
    return true;
  }
  if (key.character == Key::kBackspace || key.character == Key::kEscape) {
    if (list) {
      handler_->punctuationListCancelled(choosing->returnCursor, callback());
    } else {
      handler_->candidateCancelled(choosing->returnCursor, callback());
    }
    return true;
  }
  if (key.character == Key::kEnter) {
    pick(0);
    return true;
  }
  if (list && handler_->punctuationListKey(key.character, choosing->returnCursor, callback())) {
    return true;
  }
  return true;
}

bool EngineSession::press(Key key) {
  if (stateAs<ChoosingCandidate>()) {
    lastResult = candidateKey(key);
  } else {
    lastResult = handler_->handle(key, state_.get(), callback(), errorCallback());
  }
  return lastResult;
}

void EngineSession::type(std::string_view notation) {
  std::string error;
  auto keys = parseKeyNotation(notation, &error);
  ASSERT_TRUE(keys.has_value()) << notation << ": " << error;
  for (const auto& key : *keys) press(key);
}

std::string EngineSession::buffer() const {
  const auto* s = stateAs<NotEmpty>();
  return s ? s->buffer : std::string();
}

std::size_t EngineSession::cursorChars() const {
  const auto* s = stateAs<NotEmpty>();
  if (!s) return 0;
  return Utf8::charactersBefore(s->buffer, s->cursor);
}

std::string EngineSession::hint() const {
  const auto* s = stateAs<NotEmpty>();
  return s ? s->hint : std::string();
}

}  // namespace Kestova::Testing
