// A transparent hash for string-keyed unordered containers, so that a
// container of std::string (with std::equal_to<>) is searched with a
// std::string_view without building a string for each look-up. Header only;
// it owns nothing. Any layer, and anything outside the layers, may use it.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace Kestova {

// Hashes std::string keys and std::string_view look-ups alike, so that an
// unordered container of strings (with std::equal_to<>) is searched with a
// view without building a string.
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>()(text);
  }
};

}  // namespace Kestova
