// Readings as the phrase file writes them: syllables joined by "-"
// ("ㄆㄥˊ-ㄧㄡˇ"), and what the data builder asks of their tones.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "phonetics/BpmfSyllable.h"

namespace Kestova::DataBuilder {

inline std::vector<std::string> splitReading(std::string_view reading) {
  std::vector<std::string> syllables;
  std::size_t start = 0;
  while (start <= reading.size()) {
    const std::size_t dash = std::min(reading.find('-', start), reading.size());
    syllables.emplace_back(reading.substr(start, dash - start));
    start = dash + 1;
  }
  return syllables;
}

inline std::string joinReading(const std::vector<std::string>& syllables) {
  std::string joined;
  for (const auto& syllable : syllables) {
    if (!joined.empty()) joined += '-';
    joined += syllable;
  }
  return joined;
}

// Whether two syllables differ at most in their tones.
inline bool sameButTone(std::string_view a, std::string_view b) {
  const BpmfSyllable first = BpmfSyllable::fromComposedText(a).withoutTone();
  return !first.isEmpty() && first == BpmfSyllable::fromComposedText(b).withoutTone();
}

inline bool isNeutralTone(std::string_view syllable) {
  return BpmfSyllable::fromComposedText(syllable).toneMarkComponent() == BpmfSyllable::Tone5;
}

}  // namespace Kestova::DataBuilder
