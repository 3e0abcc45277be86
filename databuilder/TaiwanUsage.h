// Readings and forms as people in Taiwan type them, applied to the built
// phrase lines after scoring: the neutral tones the standard gives common
// words (朋友 typed ㄆㄥˊ ㄧㄡ˙ as well as ㄆㄥˊ ㄧㄡˇ), characters whose
// standard reading the phrase sources lack (息 ㄒㄧ), the standard form
// before its variant (身分 before 身份) and the character a reading must
// offer first (他 for ㄊㄚ). The lists are small hand-kept files in
// databuilder/data; nothing here reads text or counts.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "models/ContextFile.h"
#include "models/SortedPhraseFile.h"

namespace Kestova::DataBuilder {

struct TaiwanUsage {
  struct Pair {
    std::string first;
    std::string second;
  };
  struct StandardReading {
    std::string character;
    std::string sourceReading;
    std::string standardReading;
  };
  // VALUE and its reading with neutral tones (syllables ending in ˙), which
  // is written beside the reading the sources give wherever the value
  // appears, also inside longer phrases.
  std::vector<Pair> neutralToneWords;
  // A character that ends phrases as a particle with a neutral tone (得 of
  // 跑得, 寫得): a phrase of two or more characters ending in it under its
  // full tone gets a twin with the neutral syllable, unless the phrase ends
  // in one of the exceptions, words where it keeps its tone (取得, 不得).
  struct NeutralToneEnding {
    std::string character;
    std::string neutralSyllable;
    std::vector<std::string> exceptions;
  };
  std::vector<NeutralToneEnding> neutralToneEndings;
  std::vector<StandardReading> standardReadings;
  // VARIANT and the STANDARD form Taiwan writes.
  std::vector<Pair> forms;
  // READING and the VALUE it offers first.
  std::vector<Pair> firstValues;
};

struct TaiwanUsageStatistics {
  std::size_t neutralToneLines = 0;
  std::size_t standardReadingLines = 0;
  std::size_t formsReordered = 0;
  std::size_t formsAdded = 0;
  std::size_t firstValuesRaised = 0;
};

// Reads neutral-tone-words.txt, neutral-tone-endings.txt (CHARACTER
// NEUTRAL_SYLLABLE EXCEPTION...), standard-readings.txt, taiwan-forms.txt and
// first-values.txt from `directory` ("#" comments and blank lines aside). A
// missing file or a line of the wrong shape is an error, named in `error`.
bool readTaiwanUsage(const std::string& directory, TaiwanUsage& usage, std::string* error);

// Adds and reorders lines as described above. New lines take the score of
// the line they are made from, less 0.01, so that under a reading both
// share the source's order stays. Lines need not be sorted.
void applyTaiwanUsage(const TaiwanUsage& usage, std::vector<PhraseFileLine>& lines,
                      TaiwanUsageStatistics* statistics = nullptr);

// A first value starts a sentence at least as readily as any other value of
// its reading: its sentence-start pair (the empty word before it) gets the
// best such score of the others, so that a text where another value opens
// most sentences (它 in manuals) does not decide what a sentence opens with.
// Returns how many pairs were raised or added.
std::size_t alignFirstValueStarts(const TaiwanUsage& usage,
                                  const std::vector<PhraseFileLine>& lines,
                                  ContextFileContents& contents);

}  // namespace Kestova::DataBuilder
