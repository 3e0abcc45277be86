// The composite model the key-handler fuzz targets type with: the tests'
// fixture phrases, written once per process as a sorted phrase file in the
// scratch directory and opened as the built-in table.
#pragma once

#include <memory>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "models/KestovaLM.h"
#include "models/SortedPhraseFile.h"
#include "tests/support/FixturePhrases.h"

namespace Kestova::Fuzz {

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

}  // namespace Kestova::Fuzz
