// What the fuzz targets that type through the key handler share: the
// composite model they type with and the check of each state's text.
#pragma once

#include <memory>
#include <vector>

#include "engine/InputState.h"
#include "fuzz/FuzzSupport.h"
#include "models/KestovaLM.h"
#include "models/SortedPhraseFile.h"
#include "tests/support/FixturePhrases.h"
#include "text/Utf8.h"

namespace Kestova::Fuzz {

// The tests' fixture phrases, written once per process as a sorted phrase
// file in the scratch directory and opened as the built-in table.
inline std::shared_ptr<KestovaLM> fixtureModel() {
  static const std::shared_ptr<KestovaLM> model = [] {
    std::vector<PhraseFileLine> lines = Testing::fixturePhrases();
    sortPhraseFileLines(lines);
    const auto path = scratchDirectory() / "kestova-data.txt";
    writeFile(path, sortedPhraseFileText(lines));
    auto lm = std::make_shared<KestovaLM>();
    lm->openBuiltInTable(path.string());
    KESTOVA_FUZZ_CHECK(lm->builtInTableLoaded());
    return lm;
  }();
  return model;
}

// What a presenter would show from a state must be well formed: committed
// text and the composition valid UTF-8, the cursor on a character boundary.
inline void checkStateText(const InputState& state) {
  if (const auto* committing = stateAs<InputStates::Committing>(&state)) {
    KESTOVA_FUZZ_CHECK(Utf8::isValid(committing->text));
  }
  const auto* composing = stateAs<InputStates::NotEmpty>(&state);
  if (!composing) return;
  KESTOVA_FUZZ_CHECK(Utf8::isValid(composing->buffer));
  KESTOVA_FUZZ_CHECK(Utf8::isCharacterBoundary(composing->buffer, composing->cursor));
}

}  // namespace Kestova::Fuzz
