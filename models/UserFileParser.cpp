#include "models/UserFileParser.h"

#include <optional>

#include "base/FileAccess.h"
#include "text/Utf8.h"

namespace Kestova {

namespace {

constexpr std::string_view kBlanks = " \t";

// Calls `visit(number, line)` for each line of `data`, 1-based, without its
// end (LF, CR LF or CR).
template <typename Visit>
void forEachLine(std::string_view data, Visit visit) {
  std::size_t number = 1;
  while (!data.empty()) {
    const std::size_t end = data.find_first_of("\r\n");
    visit(number++, data.substr(0, end));
    if (end == std::string_view::npos) return;
    std::size_t next = end + 1;
    if (data[end] == '\r' && next < data.size() && data[next] == '\n') ++next;
    data.remove_prefix(next);
  }
}

std::string_view withoutBlanksAround(std::string_view line) {
  const std::size_t first = line.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return line.substr(first, line.find_last_not_of(kBlanks) + 1 - first);
}

// The entry of a line with no blanks around it; none for a lone token.
std::optional<UserFileEntry> entryOf(std::string_view text, UserFileKind kind) {
  const std::size_t firstEnd = text.find_first_of(kBlanks);
  if (firstEnd == std::string_view::npos) return std::nullopt;
  UserFileEntry entry;
  if (kind == UserFileKind::kPhrases) {
    // The last token is the reading; the value ends with the token before.
    const std::size_t keyStart = text.find_last_of(kBlanks) + 1;
    const std::size_t valueEnd = text.find_last_not_of(kBlanks, keyStart - 1) + 1;
    entry.key = text.substr(keyStart);
    entry.value = text.substr(0, valueEnd);
  } else {
    entry.key = text.substr(0, firstEnd);
    entry.value = text.substr(text.find_first_not_of(kBlanks, firstEnd));
  }
  return entry;
}

}  // namespace

bool forEachUserFileEntry(std::string_view data, UserFileKind kind,
                          const std::function<void(const UserFileEntry&)>& visit,
                          std::vector<std::size_t>* malformedLines) {
  if (malformedLines) malformedLines->clear();
  if (data.empty()) return false;
  if (data.starts_with(kByteOrderMark)) data.remove_prefix(kByteOrderMark.size());
  if (!data.empty() && data.back() == '\0') data.remove_suffix(1);
  if (data.find('\0') != std::string_view::npos) return false;

  forEachLine(data, [&](std::size_t number, std::string_view line) {
    const std::string_view text = withoutBlanksAround(line);
    if (text.empty() || text.front() == '#') return;
    std::optional<UserFileEntry> entry = entryOf(text, kind);
    if (!entry) return;
    // Text in another encoding (a file saved as Big5) would reach the
    // application as bytes it cannot decode.
    if (!Utf8::isValid(text)) {
      if (malformedLines) malformedLines->push_back(number);
      return;
    }
    entry->lineNumber = number;
    visit(*entry);
  });
  return true;
}

bool parseUserFile(std::string_view data, UserFileKind kind, UserFileIndex& index,
                   std::vector<std::size_t>* malformedLines) {
  index.clear();
  const bool parsed = forEachUserFileEntry(
      data, kind, [&](const UserFileEntry& entry) { index[entry.key].push_back(entry.value); },
      malformedLines);
  if (!parsed) index.clear();
  return parsed;
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
