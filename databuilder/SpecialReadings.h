#pragma once

#include <vector>

#include "databuilder/PhraseDatabaseBuilder.h"

namespace Kestova::DataBuilder {

// The score of a macro entry; the language model drops a macro name with
// this score when it cannot expand it, so no other entry may have it.
inline constexpr double kMacroScore = -8.0;

// Lines for the readings the key handler forms from keys that type no
// syllable: full-width and half-width punctuation (per keyboard layout where
// a layout needs its own), Control punctuation, the keypad, capital letters
// and the punctuation list. Candidates of one reading have descending
// scores in the order they are listed.
std::vector<PhraseFileLine> buildSpecialReadingLines();

// Lines that put date, time and year macros under the readings of the words
// that ask for them (今天, 現在, 今年, ...), scored kMacroScore.
std::vector<PhraseFileLine> buildMacroLines();

}  // namespace Kestova::DataBuilder
