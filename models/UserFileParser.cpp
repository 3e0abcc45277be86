#include "models/UserFileParser.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

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
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd == -1) return false;
  // Only regular files: a directory cannot be read, and a device such as
  // /dev/zero would never end.
  struct stat info;
  bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  if (ok) {
    bytes.reserve(static_cast<size_t>(info.st_size));
    char buffer[64 * 1024];
    for (;;) {
      ssize_t count = ::read(fd, buffer, sizeof buffer);
      if (count == 0) break;
      if (count < 0) {
        if (errno == EINTR) continue;
        ok = false;
        break;
      }
      bytes.append(buffer, static_cast<size_t>(count));
    }
  }
  ::close(fd);
  if (!ok) bytes.clear();
  return ok;
}

}  // namespace Kestova
