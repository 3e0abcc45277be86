// UTF-8 scanning shared by every layer.
//
// All text in the system is UTF-8, but some of it comes from places the
// system does not control (user files, the host, keyboard files), so every
// function here accepts any bytes. They all read text the way ICU's U8_NEXT
// does: a well-formed sequence is one character, and each maximal ill-formed
// subsequence (a stray continuation byte, a truncated sequence, an overlong
// form, a surrogate, a byte that can never occur) also counts as one
// character, the one that sanitized() replaces with U+FFFD. On well-formed
// text every answer is the usual one, and sanitized() returns it unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace Kestova::Utf8 {

// Whether the text is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool isValid(std::string_view text);

// The number of characters, ill-formed subsequences counting one each.
std::size_t characterCount(std::string_view text);

// The byte length of the character starting at `offset`; 0 at or past the end.
std::size_t characterLength(std::string_view text, std::size_t offset);

// The byte offset just after the first `characters` characters, or the size
// of the text when it has fewer.
std::size_t offsetAfter(std::string_view text, std::size_t characters);

// The number of characters that start before byte `offset` (all of them
// when `offset` is past the end).
std::size_t charactersBefore(std::string_view text, std::size_t offset);

// Whether `offset` is the start of a character or the end of the text.
bool isCharacterBoundary(std::string_view text, std::size_t offset);

// The longest run of whole characters at the start of the text that is at
// most `maxBytes` long.
std::string_view prefixFitting(std::string_view text, std::size_t maxBytes);

// The characters of the text in order, each a view into it.
std::vector<std::string_view> splitCharacters(std::string_view text);

// The text with every ill-formed subsequence replaced by U+FFFD.
std::string sanitized(std::string_view text);

// Appends the UTF-8 form of a code point; a value that is not a Unicode
// scalar value appends U+FFFD.
void appendCodePoint(std::string& text, char32_t codePoint);

}  // namespace Kestova::Utf8
