// Hanyu Pinyin spellings of Bopomofo syllables, both ways: the reading
// buffer's pinyin mode reads them, the Control+Enter export writes them, and
// the data builder reads the pinyin dictionary with them. Free functions
// that own nothing. The layers above phonetics, the data builder, tools and
// tests may call them.
#pragma once

#include <string>
#include <string_view>

#include "phonetics/BpmfSyllable.h"

namespace Kestova {

// Reads a syllable typed in Hanyu Pinyin letters with an optional tone digit
// 1-5 ("zhuang1", "lv4", "lüe4"); upper-case ASCII letters are accepted. The
// parser is tolerant: it takes what it recognises from the start of the
// text, ignores whatever follows and never fails (unrecognised input gives
// fewer components or the empty syllable).
BpmfSyllable fromPinyin(std::string_view text);

// Spells a syllable in Hanyu Pinyin without diacritics. includeTone appends
// the tone digit 2-5 (nothing for the first tone); useV writes "v" for "ü".
// Invalid combinations are spelled mechanically by the same rules.
std::string toPinyin(BpmfSyllable syllable, bool includeTone = false, bool useV = false);

}  // namespace Kestova
