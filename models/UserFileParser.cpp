#include "models/UserFileParser.h"

#include "models/FileAccess.h"
#include "text/Utf8.h"

namespace Kestova {

namespace {

bool isLineEnd(char c) {
  return c == '\n' || c == '\r';
}
bool isSpace(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

bool parseUserFile(std::string_view data, UserFileKind kind, UserFileIndex& index,
                   std::vector<std::size_t>* malformedLines) {
  index.clear();
  if (malformedLines) malformedLines->clear();
  if (data.empty()) return false;
  if (data.starts_with(kByteOrderMark)) data.remove_prefix(kByteOrderMark.size());
  if (!data.empty() && data.back() == '\0') data.remove_suffix(1);
  if (data.find('\0') != std::string_view::npos) return false;

  const size_t end = data.size();
  size_t p = 0;
  size_t line = 1;
  while (p < end) {
    // Blank lines and the blanks that start a line; CR LF is one line end.
    while (p < end && (isSpace(data[p]) || isLineEnd(data[p]))) {
      if (isLineEnd(data[p])) {
        ++line;
        if (data[p] == '\r' && p + 1 < end && data[p + 1] == '\n') ++p;
      }
      ++p;
    }
    if (p == end) break;
    if (data[p] == '#') {
      while (p < end && !isLineEnd(data[p])) ++p;
      continue;
    }

    size_t firstStart = p;
    while (p < end && !isSpace(data[p]) && !isLineEnd(data[p])) ++p;
    size_t firstEnd = p;
    while (p < end && isSpace(data[p])) ++p;
    if (p == end || isLineEnd(data[p])) continue;  // a lone token

    std::string_view key;
    std::string_view value;
    size_t textEnd = 0;
    if (kind == UserFileKind::kPhrases) {
      // Walk the remaining tokens; the last one is the reading and the
      // value ends with the token before it.
      size_t previousEnd = firstEnd;
      size_t valueEnd = firstEnd;
      size_t keyStart = p;
      while (p < end && !isLineEnd(data[p])) {
        keyStart = p;
        while (p < end && !isSpace(data[p]) && !isLineEnd(data[p])) ++p;
        valueEnd = previousEnd;
        previousEnd = p;
        while (p < end && isSpace(data[p])) ++p;
      }
      key = data.substr(keyStart, previousEnd - keyStart);
      value = data.substr(firstStart, valueEnd - firstStart);
      textEnd = previousEnd;
    } else {
      size_t valueStart = p;
      while (p < end && !isLineEnd(data[p])) ++p;
      size_t valueEnd = p;
      while (valueEnd > valueStart && isSpace(data[valueEnd - 1])) --valueEnd;
      key = data.substr(firstStart, firstEnd - firstStart);
      value = data.substr(valueStart, valueEnd - valueStart);
      textEnd = valueEnd;
    }
    // Text in another encoding (a file saved as Big5) would reach the
    // application as bytes it cannot decode.
    if (!Utf8::isValid(data.substr(firstStart, textEnd - firstStart))) {
      if (malformedLines) malformedLines->push_back(line);
      continue;
    }
    index[key].push_back(value);
  }
  return true;
}

bool loadUserFile(const std::string& path, UserFileKind kind, std::string& bytes,
                  UserFileIndex& index, UserFileLoad& outcome) {
  index.clear();
  bytes.clear();
  outcome = {};
  FileAccess::ReadResult read = FileAccess::readFile(path, FileAccess::kUserFileLimit);
  if (!read.ok()) {
    if (read.status != FileAccess::ReadStatus::Missing) outcome.problem = read.reason();
    return false;
  }
  bytes = std::move(read.bytes);
  if (bytes.empty()) return false;
  if (!parseUserFile(bytes, kind, index, &outcome.malformedLines)) {
    outcome.problem = "it holds a NUL byte";
    index.clear();
    bytes.clear();
    return false;
  }
  return true;
}

}  // namespace Kestova
