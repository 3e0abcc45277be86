// Bopomofo and mixed text into Braille, in Unicode cells or in Braille
// ASCII: one syllable at a time, or a whole text with digits, letters and
// punctuation. Free functions over fixed tables; they own nothing. The
// Braille export of the composition (ExportFormats) calls them; the
// layers above notations, tools, tests and fuzzers may too.
#pragma once

#include <string>
#include <string_view>

namespace Kestova {

// How Braille cells are written out.
enum class BrailleEncoding {
  // Characters of the Unicode Braille Patterns block (U+2800-U+28FF), UTF-8.
  Unicode,
  // North American Braille ASCII in its lower-case form; punctuation uses
  // the fixed ASCII forms of the punctuation tables.
  Ascii,
};

// Converts exactly one Bopomofo syllable ("ㄋㄧˇ"; tabs, line breaks and
// spaces around it are ignored) into its Braille cells: initial if any, rime
// (ㄦ's cell for the empty rime after ㄓ-ㄙ), tone (the first-tone cell when
// there is no mark). Throws std::runtime_error with a message such as
// "Invalid Bopomofo: invalid combination" if the text is not one syllable.
std::string convertSyllableToBraille(std::string_view text, BrailleEncoding encoding);

// Converts any UTF-8 text: runs of Bopomofo become syllables, digits get the
// number sign, Latin letters the capital sign where needed, punctuation goes
// through the Chinese and ASCII punctuation tables, and a space separates
// tokens of different kinds. Characters it cannot convert (and bytes that
// are not valid UTF-8) are copied unchanged. Never throws.
std::string convertTextToBraille(std::string_view text, BrailleEncoding encoding);

}  // namespace Kestova
