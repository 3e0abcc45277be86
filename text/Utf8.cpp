#include "text/Utf8.h"

#include <unicode/utf8.h>

#include <cstdint>

namespace Kestova::Utf8 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Reads the character at `offset` and moves `offset` past it. The code point
// is negative for an ill-formed subsequence.
int32_t next(std::string_view text, std::size_t& offset) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  int32_t i = static_cast<int32_t>(offset);
  const int32_t length = static_cast<int32_t>(text.size());
  UChar32 c;
  U8_NEXT(bytes, i, length, c);
  offset = static_cast<std::size_t>(i);
  return c;
}

}  // namespace

bool isValid(std::string_view text) {
  std::size_t offset = 0;
  while (offset < text.size()) {
    if (next(text, offset) < 0) return false;
  }
  return true;
}

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t offset = 0; offset < text.size(); ++count) next(text, offset);
  return count;
}

std::size_t characterLength(std::string_view text, std::size_t offset) {
  if (offset >= text.size()) return 0;
  std::size_t end = offset;
  next(text, end);
  return end - offset;
}

std::size_t offsetAfter(std::string_view text, std::size_t characters) {
  std::size_t offset = 0;
  for (; characters > 0 && offset < text.size(); --characters) next(text, offset);
  return offset;
}

std::size_t charactersBefore(std::string_view text, std::size_t offset) {
  std::size_t count = 0;
  for (std::size_t at = 0; at < offset && at < text.size(); ++count) next(text, at);
  return count;
}

bool isCharacterBoundary(std::string_view text, std::size_t offset) {
  if (offset > text.size()) return false;
  std::size_t at = 0;
  while (at < offset) next(text, at);
  return at == offset;
}

std::string_view prefixFitting(std::string_view text, std::size_t maxBytes) {
  std::size_t fits = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    next(text, at);
    if (at > maxBytes) break;
    fits = at;
  }
  return text.substr(0, fits);
}

std::vector<std::string_view> splitCharacters(std::string_view text) {
  std::vector<std::string_view> characters;
  std::size_t offset = 0;
  while (offset < text.size()) {
    const std::size_t start = offset;
    next(text, offset);
    characters.push_back(text.substr(start, offset - start));
  }
  return characters;
}

std::string sanitized(std::string_view text) {
  if (isValid(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 8);
  std::size_t offset = 0;
  while (offset < text.size()) {
    const std::size_t start = offset;
    if (next(text, offset) < 0) {
      appendCodePoint(out, kReplacement);
    } else {
      out.append(text, start, offset - start);
    }
  }
  return out;
}

void appendCodePoint(std::string& text, char32_t codePoint) {
  if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    codePoint = kReplacement;
  }
  uint8_t buffer[U8_MAX_LENGTH];
  int32_t length = 0;
  U8_APPEND_UNSAFE(buffer, length, static_cast<UChar32>(codePoint));
  text.append(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(length));
}

}  // namespace Kestova::Utf8
