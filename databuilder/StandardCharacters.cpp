#include "databuilder/StandardCharacters.h"

#include <unicode/ucnv.h>
#include <unicode/uset.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <memory>

namespace Kestova::DataBuilder {

namespace {

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};

struct SetCloser {
  void operator()(USet* set) const { uset_close(set); }
};

// Calls visit(first, last) for every code point range a converter maps both
// ways; nothing when ICU lacks the converter.
template <typename Visit>
void roundTripRanges(const char* name, Visit visit) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, ConverterCloser> converter(ucnv_open(name, &status));
  if (U_FAILURE(status) || !converter) return;
  std::unique_ptr<USet, SetCloser> set(uset_openEmpty());
  ucnv_getUnicodeSet(converter.get(), set.get(), UCNV_ROUNDTRIP_SET, &status);
  if (U_FAILURE(status)) return;
  const int32_t count = uset_getItemCount(set.get());
  for (int32_t i = 0; i < count; ++i) {
    UChar32 first = 0, last = 0;
    // Items past the ranges are strings, which a converter's set does not hold.
    if (uset_getItem(set.get(), i, &first, &last, nullptr, 0, &status) != 0) continue;
    visit(static_cast<char32_t>(first), static_cast<char32_t>(last));
  }
}

}  // namespace

StandardCharacterSet StandardCharacterSet::fromConverters() {
  StandardCharacterSet set;
  for (const char* name : {"windows-950-2000", "cns-11643-1992"}) {
    roundTripRanges(
        name, [&set](char32_t first, char32_t last) { set.ranges_.emplace_back(first, last); });
  }
  set.normalize();
  return set;
}

StandardCharacterSet StandardCharacterSet::of(std::string_view characters) {
  StandardCharacterSet set;
  int32_t at = 0;
  const auto length = static_cast<int32_t>(characters.size());
  while (at < length) {
    UChar32 code = 0;
    U8_NEXT(characters.data(), at, length, code);
    if (code >= 0)
      set.ranges_.emplace_back(static_cast<char32_t>(code), static_cast<char32_t>(code));
  }
  set.normalize();
  return set;
}

void StandardCharacterSet::normalize() {
  std::sort(ranges_.begin(), ranges_.end());
  std::vector<std::pair<char32_t, char32_t>> merged;
  merged.reserve(ranges_.size());
  for (const auto& range : ranges_) {
    if (!merged.empty() && range.first <= merged.back().second + 1) {
      merged.back().second = std::max(merged.back().second, range.second);
    } else {
      merged.push_back(range);
    }
  }
  ranges_ = std::move(merged);
}

bool StandardCharacterSet::containsAll(std::string_view text) const {
  if (text.empty()) return false;
  int32_t at = 0;
  const auto length = static_cast<int32_t>(text.size());
  while (at < length) {
    UChar32 code = 0;
    U8_NEXT(text.data(), at, length, code);
    if (code < 0) return false;
    const auto point = static_cast<char32_t>(code);
    // The last range that starts at or before the code point.
    auto after =
        std::upper_bound(ranges_.begin(), ranges_.end(), point,
                         [](char32_t value, const auto& range) { return value < range.first; });
    if (after == ranges_.begin() || std::prev(after)->second < point) return false;
  }
  return true;
}

}  // namespace Kestova::DataBuilder
