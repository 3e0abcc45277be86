// How every user file is read: the one parser of the user phrase,
// excluded-phrase and replacement files (line ends, comments, blanks,
// byte-order mark, ill-formed UTF-8, NUL bytes), and loading a file for a
// model with the log line of what went wrong. It owns nothing: the index and
// the entries are views into the caller's bytes. Used by the user models
// (UserPhrasesLM, ReplacementTable), the loader's line operations, the user
// files editor and the phrase page, so that all of them agree on what a
// line holds.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace Kestova {

// Key -> values in file order. Keys and values are views into the buffer
// that was parsed; the index must be cleared before that buffer goes away.
using UserFileIndex = std::unordered_map<std::string_view, std::vector<std::string_view>>;

enum class UserFileKind {
  // "VALUE READING": the last token is the key (reading); the value runs
  // from the first token to the end of the second-to-last one, blanks kept.
  kPhrases,
  // "KEY REPLACEMENT": the first token is the key; the replacement is the
  // rest of the line without trailing spaces and tabs.
  kReplacements,
};

// One entry line of a user file, as the parser reads it; the views point
// into the parsed data.
struct UserFileEntry {
  // 1-based.
  std::size_t lineNumber = 0;
  std::string_view key;
  std::string_view value;
};

// The UTF-8 byte-order mark some editors put at the start of a file.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Indexes a user file in place. A byte-order mark at the very start is
// skipped. Lines end at LF, CR LF or CR; tokens are separated by runs of
// spaces and tabs; lines whose first non-blank byte is "#" are comments;
// one-token lines are skipped, and so are lines whose text is not
// well-formed UTF-8 (their 1-based numbers go to `malformedLines`, if
// given). A single NUL as the very last byte is ignored; any other NUL
// rejects the whole file. Returns false (with an empty index) for empty or
// rejected data.
bool parseUserFile(std::string_view data, UserFileKind kind, UserFileIndex& index,
                   std::vector<std::size_t>* malformedLines = nullptr);

// The same reading, entry by entry in file order: `visit` gets every line
// parseUserFile would index. False, having visited nothing, for empty or
// rejected data.
bool forEachUserFileEntry(std::string_view data, UserFileKind kind,
                          const std::function<void(const UserFileEntry&)>& visit,
                          std::vector<std::size_t>* malformedLines = nullptr);

// What became of loading one user file, for the log.
struct UserFileLoad {
  // Why the file is not in use; "" when it loaded, and when it is missing
  // or empty, which are normal states of a user file.
  std::string problem;
  // Lines that were skipped because they are not well-formed UTF-8.
  std::vector<std::size_t> malformedLines;
};

// Reads a user file (a regular file of at most FileAccess::kUserFileLimit
// bytes, never blocking) into `bytes` and indexes it. On failure both stay
// empty and `outcome.problem` says why, unless the file is missing or empty.
bool loadUserFile(const std::string& path, UserFileKind kind, std::string& bytes,
                  UserFileIndex& index, UserFileLoad& outcome);

}  // namespace Kestova
