#include "models/UserFileParser.h"

#include <fstream>
#include <iterator>

namespace Kestova {

namespace {

bool isLineEnd(char c) {
  return c == '\n' || c == '\r';
}
bool isSpace(char c) {
  return c == ' ' || c == '\t';
}
bool isBlank(char c) {
  return isSpace(c) || isLineEnd(c);
}

}  // namespace

bool parseUserFile(std::string_view data, UserFileKind kind, UserFileIndex& index) {
  index.clear();
  if (data.empty()) return false;
  if (data.back() == '\0') data.remove_suffix(1);
  if (data.find('\0') != std::string_view::npos) return false;

  const size_t end = data.size();
  size_t p = 0;
  while (p < end) {
    while (p < end && isBlank(data[p])) ++p;
    if (p == end) break;
    if (data[p] == '#') {
      while (p < end && !isLineEnd(data[p])) ++p;
      continue;
    }

    size_t firstStart = p;
    while (p < end && !isBlank(data[p])) ++p;
    size_t firstEnd = p;
    while (p < end && isSpace(data[p])) ++p;
    if (p == end || isLineEnd(data[p])) continue;  // a lone token

    std::string_view key;
    std::string_view value;
    if (kind == UserFileKind::kPhrases) {
      // Walk the remaining tokens; the last one is the reading and the
      // value ends with the token before it.
      size_t previousEnd = firstEnd;
      size_t valueEnd = firstEnd;
      size_t keyStart = p;
      while (p < end && !isLineEnd(data[p])) {
        keyStart = p;
        while (p < end && !isBlank(data[p])) ++p;
        valueEnd = previousEnd;
        previousEnd = p;
        while (p < end && isSpace(data[p])) ++p;
      }
      key = data.substr(keyStart, previousEnd - keyStart);
      value = data.substr(firstStart, valueEnd - firstStart);
    } else {
      size_t valueStart = p;
      while (p < end && !isLineEnd(data[p])) ++p;
      size_t valueEnd = p;
      while (valueEnd > valueStart && isSpace(data[valueEnd - 1])) --valueEnd;
      key = data.substr(firstStart, firstEnd - firstStart);
      value = data.substr(valueStart, valueEnd - valueStart);
    }
    index[key].push_back(value);
  }
  return true;
}

bool readWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  try {
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::ios_base::failure&) {
    // The stream buffer throws on a read error (a directory in place of the
    // file, an I/O error); the caller only wants to know that it failed.
    bytes.clear();
    return false;
  }
  return !in.bad();
}

}  // namespace Kestova
