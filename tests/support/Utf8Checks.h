// Checks that tests, fuzzers and the soak apply to every text the system
// produces: well-formed UTF-8, carets on character boundaries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Kestova::Testing {

// True when text is well-formed UTF-8 (no overlong forms, no surrogates).
inline bool isValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80           ? 1
                         : (c >> 5) == 0x6  ? 2
                         : (c >> 4) == 0xE  ? 3
                         : (c >> 3) == 0x1E ? 4
                                            : 0;
    if (length == 0 || i + length > text.size()) return false;
    std::uint32_t code = length == 1 ? c : c & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

// True when offset is a character boundary of text (or its end).
inline bool isCharacterBoundary(std::string_view text, std::size_t offset) {
  if (offset > text.size()) return false;
  return offset == text.size() || (static_cast<unsigned char>(text[offset]) & 0xC0) != 0x80;
}

// The number of characters of well-formed UTF-8 text.
inline std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

}  // namespace Kestova::Testing
