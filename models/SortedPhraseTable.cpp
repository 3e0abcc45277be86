#include "models/SortedPhraseTable.h"

#include <algorithm>
#include <cstring>

namespace Kestova {

SortedPhraseTable::SortedPhraseTable(const char* data, size_t length) {
  std::string_view whole(data, length);
  hasHeader_ = whole.starts_with(kHeader);
  if (hasHeader_) body_ = whole.substr(kHeader.size());
}

size_t SortedPhraseTable::lineStart(size_t offset) const {
  if (offset == 0) return 0;
  // The last line feed before offset. memrchr scans a word at a time; every
  // probe of the binary search comes through here.
  const void* found = memrchr(body_.data(), '\n', std::min(offset, body_.size()));
  if (!found) return 0;
  return static_cast<size_t>(static_cast<const char*>(found) - body_.data()) + 1;
}

size_t SortedPhraseTable::lineEnd(size_t offset) const {
  size_t found = body_.find('\n', offset);
  return found == std::string_view::npos ? body_.size() : found;
}

int SortedPhraseTable::compareLine(size_t start, std::string_view prefix) const {
  // Only the line's own bytes take part: a line shorter than the prefix
  // sorts before it, exactly as whole lines are sorted in the file.
  size_t available = std::min(prefix.size(), body_.size() - start);
  const char* line = body_.data() + start;
  const void* feed = std::memchr(line, '\n', available);
  size_t length = feed ? static_cast<size_t>(static_cast<const char*>(feed) - line) : available;
  int order = std::memcmp(line, prefix.data(), length);
  if (order != 0) return order;
  return length < prefix.size() ? -1 : 0;
}

std::optional<size_t> SortedPhraseTable::firstLineWithPrefix(std::string_view prefix) const {
  if (prefix.empty()) return 0;
  // Lower bound over lines. Invariant: every line starting before lo sorts
  // before the prefix, every line starting at or after hi does not; lo and
  // hi are always line starts (or the end).
  size_t lo = 0;
  size_t hi = body_.size();
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    size_t start = lineStart(mid);
    if (compareLine(start, prefix) < 0) {
      size_t end = lineEnd(mid);
      lo = end < body_.size() ? end + 1 : body_.size();
    } else {
      hi = start;
    }
  }
  if (lo < body_.size() && compareLine(lo, prefix) == 0) return lo;
  return std::nullopt;
}

std::vector<std::string_view> SortedPhraseTable::linesWithPrefix(std::string_view prefix) const {
  std::vector<std::string_view> lines;
  std::optional<size_t> first = firstLineWithPrefix(prefix);
  if (!first) return lines;
  size_t position = *first;
  while (position < body_.size() && body_.substr(position).starts_with(prefix)) {
    size_t end = lineEnd(position);
    lines.push_back(body_.substr(position, end - position));
    if (end >= body_.size()) break;
    position = end + 1;
  }
  return lines;
}

}  // namespace Kestova
