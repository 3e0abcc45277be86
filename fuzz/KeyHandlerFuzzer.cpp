// The key handler fed arbitrary key sequences with arbitrary options and
// keyboard layouts over a small phrase database. After every state the
// receiver checks that it is well formed: the cursor lies on a character
// boundary inside the buffer, a marking's parts add up to its buffer, a
// candidate list is not empty, the grid cursor stays inside the grid, text
// is valid UTF-8, and marked phrases reach the user phrase adder with a
// reading that could be written to the user file.
//
// Input: two option bytes (eight option bits; layout; Control+Enter mode),
// then one or two bytes per key: a kind byte (bits 0-2: 0 for a character
// key, else the named key; bit 3 Shift, bit 4 Control, bit 5 numpad) and,
// for a character key, the character.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/InputState.h"
#include "engine/Key.h"
#include "engine/KeyHandler.h"
#include "engine/KeyHandlerStrings.h"
#include "fuzz/FuzzSupport.h"
#include "models/KestovaLM.h"
#include "models/SortedPhraseFile.h"
#include "phonetics/BpmfKeyboardLayout.h"

using namespace Kestova;
using namespace Kestova::InputStates;

namespace {

constexpr const char* kPhrases[] = {
    "ㄋㄧˇ 你 -2.0",
    "ㄋㄧˇ 妳 -2.5",
    "ㄋㄧˇ-ㄏㄠˇ 你好 -3.0",
    "ㄏㄠˇ 好 -2.0",
    "ㄏㄠˇ 郝 -4.5",
    "ㄇㄚ 媽 -3.0",
    "ㄇㄚ 嗎 -3.1",
    "ㄇㄚ˙ 嗎 -2.5",
    "ㄇㄚ-ㄇㄚ 媽媽咪 -1.0",
    "ㄊㄞˊ 臺 -2.5",
    "ㄊㄞˊ 台 -2.6",
    "ㄨㄢ 灣 -3.0",
    "ㄊㄞˊ-ㄨㄢ 臺灣 -3.5",
    "ㄎㄜˇ 可 -2.0",
    "ㄎㄜˇ 渴 -9.0",
    "ㄅㄧㄠˇ 表 -2.5",
    "ㄉㄜ˙ 的 -1.5",
    "ㄓ 之 -3.0",
    "ㄓ-ㄏㄠˇ 只好 -4.0",
    "ㄧ 一 -2.0",
    "ㄧ-ㄉㄜ˙ 一的 -6.0",
    "ㄖˋ MACRO@DATE_TODAY_SHORT -8",
    "ㄖˋ 日 -2.0",
    "_punctuation_Standard_< ， -1.0",
    "_punctuation_Standard_< 〈 -1.5",
    "_punctuation_< ＜ -1.0",
    "_punctuation_, 、 -1.0",
    "_punctuation_! ！ -1.0",
    "_punctuation_Hsu_, ， -1.0",
    "_half_punctuation_! ! -1.0",
    "_ctrl_punctuation_, ， -1.0",
    "_ctrl_punctuation_. 。 -1.0",
    "_punctuation_list ， -1.0",
    "_punctuation_list 。 -1.1",
    "_punctuation_list 、 -1.2",
    "_punctuation_list_q 「 -1.0",
    "_punctuation_list_w 」 -1.0",
    "_letter_A a -1.0",
    "_letter_A A -1.5",
    "_numpad_5 5 -1.0",
};

class CheckingAdder : public UserPhraseAdder {
 public:
  void addPhrase(std::string_view reading, std::string_view value) override {
    if (std::getenv("KESTOVA_FUZZ_VERBOSE")) {
      std::fprintf(stderr, "addPhrase(\"%.*s\", \"%.*s\")\n", static_cast<int>(reading.size()),
                   reading.data(), static_cast<int>(value.size()), value.data());
    }
    KESTOVA_FUZZ_CHECK(!reading.empty() && !value.empty());
    KESTOVA_FUZZ_CHECK(reading.find_first_of(" \t\r\n") == std::string_view::npos);
    KESTOVA_FUZZ_CHECK(value.find_first_of("\r\n") == std::string_view::npos);
    KESTOVA_FUZZ_CHECK(Utf8::isValid(reading) && Utf8::isValid(value));
  }
  void excludePhrase(std::string_view, std::string_view) override {}
};

std::shared_ptr<KestovaLM> fixtureModel() {
  static const std::shared_ptr<KestovaLM> model = [] {
    std::vector<PhraseFileLine> lines;
    for (const char* line : kPhrases) lines.push_back(parsePhraseFileLine(line));
    sortPhraseFileLines(lines);
    const auto path = Fuzz::scratchDirectory() / "kestova-data.txt";
    Fuzz::writeFile(path, sortedPhraseFileText(lines));
    auto lm = std::make_shared<KestovaLM>();
    lm->openBuiltInTable(path.string());
    KESTOVA_FUZZ_CHECK(lm->builtInTableLoaded());
    return lm;
  }();
  return model;
}

// Applies states the way the module core does and checks each of them.
class Receiver {
 public:
  explicit Receiver(KeyHandler& handler) : handler_(handler), state_(std::make_unique<Empty>()) {}

  StateCallback callback() {
    return [this](std::unique_ptr<InputState> state) { enter(std::move(state)); };
  }

  void press(const Key& key, bool named) {
    if (dynamic_cast<const ChoosingCandidate*>(state_.get())) {
      candidateKey(key, named);
    } else {
      handler_.handle(key, state_.get(), callback(), [] {});
    }
    checkHandler();
  }

 private:
  void enter(std::unique_ptr<InputState> state) {
    KESTOVA_FUZZ_CHECK(state != nullptr);
    if (auto* sequence = dynamic_cast<StateSequence*>(state.get())) {
      for (auto& inner : sequence->states) enter(std::move(inner));
      return;
    }
    check(*state);
    if (dynamic_cast<AssociatedPhrases*>(state.get()) ||
        dynamic_cast<SelectingDictionary*>(state.get()) ||
        dynamic_cast<SelectingFeature*>(state.get())) {
      auto inputting = handler_.buildInputtingState();
      check(*inputting);
      if (inputting->buffer.empty()) {
        handler_.reset();
        state_ = std::make_unique<Empty>();
      } else {
        state_ = std::move(inputting);
      }
      return;
    }
    if (dynamic_cast<EmptyIgnoringPrevious*>(state.get()) ||
        dynamic_cast<Committing*>(state.get())) {
      state_ = std::make_unique<Empty>();
      return;
    }
    if (dynamic_cast<ChoosingCandidate*>(state.get())) page_ = 0;
    state_ = std::move(state);
  }

  void check(const InputState& state) const {
    if (const auto* committing = dynamic_cast<const Committing*>(&state)) {
      KESTOVA_FUZZ_CHECK(Utf8::isValid(committing->text));
    }
    const auto* composing = dynamic_cast<const NotEmpty*>(&state);
    if (!composing) return;
    KESTOVA_FUZZ_CHECK(Utf8::isValid(composing->buffer));
    KESTOVA_FUZZ_CHECK(Utf8::isCharacterBoundary(composing->buffer, composing->cursor));
    KESTOVA_FUZZ_CHECK(Utf8::isValid(composing->hint));
    if (const auto* marking = dynamic_cast<const Marking*>(&state)) {
      KESTOVA_FUZZ_CHECK(marking->before + marking->selection + marking->after == marking->buffer);
      KESTOVA_FUZZ_CHECK(marking->anchor <= handler_.readingCount());
    }
    if (const auto* choosing = dynamic_cast<const ChoosingCandidate*>(&state)) {
      KESTOVA_FUZZ_CHECK(!choosing->candidates.empty());
      KESTOVA_FUZZ_CHECK(choosing->hint.empty());
      KESTOVA_FUZZ_CHECK(choosing->returnCursor <= handler_.readingCount());
      for (const auto& candidate : choosing->candidates) {
        KESTOVA_FUZZ_CHECK(Utf8::isValid(candidate.value));
      }
    }
  }

  void checkHandler() const {
    KESTOVA_FUZZ_CHECK(handler_.gridCursor() <= handler_.readingCount());
    if (!dynamic_cast<const NotEmpty*>(state_.get())) {
      // Nothing shown means nothing left over to show later.
      KESTOVA_FUZZ_CHECK(handler_.readingCount() == 0);
    }
  }

  // The candidate window's keys, as the module core runs them.
  void candidateKey(const Key& key, bool named) {
    const auto& choosing = static_cast<const ChoosingCandidate&>(*state_);
    const bool list = dynamic_cast<const ChoosingPunctuationList*>(state_.get()) != nullptr;
    const size_t count = choosing.candidates.size();
    constexpr size_t kPageSize = 9;
    auto pick = [&](size_t index) {
      if (index >= count) return;
      const auto candidate = choosing.candidates[index];
      handler_.candidateSelected(candidate, choosing.returnCursor, callback());
    };
    if (!named && !key.ctrl && key.character >= '1' && key.character <= '9') {
      pick(static_cast<size_t>(key.character - '1') + kPageSize * page_);
    } else if (!list && key.shift &&
               (key.namedKey == NamedKey::Left || key.namedKey == NamedKey::Right)) {
      size_t cursor = handler_.gridCursor();
      handler_.setGridCursor(key.namedKey == NamedKey::Left ? (cursor > 0 ? cursor - 1 : 0)
                                                            : cursor + 1);
      auto inputting = handler_.buildInputtingState();
      enter(handler_.buildChoosingCandidateState(*inputting, handler_.gridCursor()));
    } else if (key.character == Key::kBackspace || key.character == Key::kEscape) {
      if (list) {
        handler_.punctuationListCancelled(choosing.returnCursor, callback());
      } else {
        handler_.candidateCancelled(choosing.returnCursor, callback());
      }
    } else if (key.character == Key::kEnter) {
      pick(kPageSize * page_);
    } else if (list &&
               handler_.punctuationListKey(key.character, choosing.returnCursor, callback())) {
    } else if (key.character == Key::kSpace || key.namedKey == NamedKey::Other) {
      page_ = (page_ + 1) * kPageSize < count ? page_ + 1 : 0;
    }
  }

  KeyHandler& handler_;
  std::unique_ptr<InputState> state_;
  size_t page_ = 0;
};

const BpmfKeyboardLayout* layoutFor(uint8_t choice) {
  return BpmfKeyboardLayout::AllLayouts()[choice % 6];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;  // long inputs only slow the fuzzer down
  Fuzz::ByteReader reader(data, size);
  const uint8_t options = reader.byte();
  const uint8_t modes = reader.byte();

  KeyHandler handler(fixtureModel(), std::make_shared<CheckingAdder>(),
                     std::make_unique<KeyHandlerStrings>());
  handler.setChooseCandidateUsingSpace(options & 1);
  handler.setSelectPhraseAfterCursor(options & 2);
  handler.setMoveCursorAfterSelection(options & 4);
  handler.setEscClearsBuffer(options & 8);
  handler.setKeepInvalidSyllable(options & 16);
  handler.setPutLowercaseToBuffer(options & 32);
  handler.setHalfWidthPunctuation(options & 64);
  handler.setRepeatedPunctuationSelects(options & 128);
  handler.setLayout(layoutFor(modes & 7));
  handler.setCtrlEnterMode(static_cast<KeyHandler::CtrlEnterMode>((modes >> 3) % 6));

  Receiver receiver(handler);
  while (!reader.empty()) {
    const uint8_t kind = reader.byte();
    Key key;
    key.shift = kind & 8;
    key.ctrl = kind & 16;
    const auto named = static_cast<NamedKey>(kind & 7);
    if (named == NamedKey::None) {
      key.character = static_cast<char>(reader.byte() & 0x7F);
      key.numpad = kind & 32;
      // The module never sends a character key without a character.
      if (key.character == 0) key.namedKey = NamedKey::Other;
    } else {
      key.namedKey = named;
    }
    receiver.press(key, key.namedKey != NamedKey::None);
  }
  return 0;
}
