// The key handler fed arbitrary key sequences with arbitrary options and
// keyboard layouts over the engine tests' small phrase database, through the
// state receiver the module uses. After every state and every key it checks
// that what a presenter would show is well formed: the cursor lies on a
// character boundary inside the buffer, a marking's parts add up to its
// buffer, a candidate list is not empty, the grid cursor stays inside the
// grid, text is valid UTF-8, and marked phrases reach the user phrase adder
// with a reading that could be written to the user file.
//
// Input: two option bytes (eight option bits, bit 0 meaning Space opens the
// candidates; layout; Control+Enter mode), then one or two bytes per key: a
// kind byte (bits 0-2: 0 for a character key, else the named key, 7 being
// Page Down; bit 3 Shift, bit 4 Control, bit 5 numpad) and, for a character
// key, the character.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/ModuleLog.h"
#include "engine/InputState.h"
#include "engine/Key.h"
#include "engine/KeyHandler.h"
#include "engine/KeyHandlerStrings.h"
#include "engine/StateReceiver.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/TypingSupport.h"
#include "models/KestovaLM.h"
#include "models/SortedPhraseFile.h"
#include "phonetics/BpmfKeyboardLayout.h"
#include "tests/support/FixturePhrases.h"

using namespace Kestova;
using namespace Kestova::InputStates;

namespace {

class CheckingAdder : public UserPhraseAdder {
 public:
  AddResult addPhrase(std::string_view reading, std::string_view value) override {
    if (std::getenv("KESTOVA_FUZZ_VERBOSE")) {
      std::fprintf(stderr, "addPhrase(\"%.*s\", \"%.*s\")\n", static_cast<int>(reading.size()),
                   reading.data(), static_cast<int>(value.size()), value.data());
    }
    KESTOVA_FUZZ_CHECK(!reading.empty() && !value.empty());
    KESTOVA_FUZZ_CHECK(reading.find_first_of(" \t\r\n") == std::string_view::npos);
    KESTOVA_FUZZ_CHECK(value.find_first_of("\r\n") == std::string_view::npos);
    KESTOVA_FUZZ_CHECK(Utf8::isValid(reading) && Utf8::isValid(value));
    return AddResult::Added;
  }
  void excludePhrase(std::string_view, std::string_view) override {}
};

// What a presenter would show from a state must be well formed.
void check(const InputState& state, const KeyHandler& handler) {
  Fuzz::checkStateText(state);
  const auto* composing = stateAs<NotEmpty>(&state);
  if (!composing) return;
  KESTOVA_FUZZ_CHECK(Utf8::isValid(composing->hint));
  if (const auto* marking = stateAs<Marking>(&state)) {
    KESTOVA_FUZZ_CHECK(marking->before + marking->selection + marking->after == marking->buffer);
    KESTOVA_FUZZ_CHECK(marking->anchor <= handler.readingCount());
  }
  if (const auto* choosing = stateAs<ChoosingCandidate>(&state)) {
    KESTOVA_FUZZ_CHECK(!choosing->candidates.empty());
    KESTOVA_FUZZ_CHECK(choosing->hint.empty());
    KESTOVA_FUZZ_CHECK(choosing->returnCursor <= handler.readingCount());
    for (const auto& candidate : choosing->candidates) {
      KESTOVA_FUZZ_CHECK(Utf8::isValid(candidate.value));
    }
  }
}

void checkReceiver(const StateReceiver& receiver) {
  const KeyHandler& handler = receiver.keyHandler();
  KESTOVA_FUZZ_CHECK(handler.gridCursor() <= handler.readingCount());
  // Nothing shown means nothing left over to show later.
  if (receiver.isIdle()) KESTOVA_FUZZ_CHECK(handler.readingCount() == 0);
  KESTOVA_FUZZ_CHECK(receiver.rowsOnPage() <= receiver.pageSize());
  if (receiver.candidateCount() > 0) {
    KESTOVA_FUZZ_CHECK(receiver.highlight() < receiver.candidateCount());
  }
}

const BpmfKeyboardLayout* layoutFor(uint8_t choice) {
  return BpmfKeyboardLayout::AllLayouts()[choice % 6];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;  // long inputs only slow the fuzzer down
  Fuzz::ByteReader reader(data, size);
  const uint8_t optionBits = reader.byte();
  const uint8_t modes = reader.byte();

  auto handler =
      std::make_shared<KeyHandler>(Fuzz::fixtureModel(), std::make_shared<CheckingAdder>(),
                                   std::make_unique<KeyHandlerStrings>());
  handler->setOptions(Fuzz::optionsFrom(optionBits, modes));
  handler->setLayout(layoutFor(modes & 7));

  // The receiver turns an exception into an error line; that is a finding.
  static const bool logChecked = [] {
    ModuleLog::setSink([](std::string_view line) {
      KESTOVA_FUZZ_CHECK(line.find(" Error: ") == std::string_view::npos);
    });
    return true;
  }();
  (void)logChecked;

  StateReceiver receiver(handler);
  receiver.setObserver([&](const InputState& state) { check(state, *handler); });
  while (!reader.empty()) {
    receiver.handleKey(Fuzz::readKeyStroke(reader));
    checkReceiver(receiver);
  }
  return 0;
}
