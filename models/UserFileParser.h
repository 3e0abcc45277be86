#pragma once

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

// Indexes a user file in place. Lines end at LF or CR; tokens are separated
// by runs of spaces and tabs; lines whose first non-blank byte is "#" are
// comments; one-token lines are skipped. A single NUL as the very last byte
// is ignored; any other NUL rejects the whole file. Returns false (with an
// empty index) for empty or rejected data.
bool parseUserFile(std::string_view data, UserFileKind kind, UserFileIndex& index);

// Reads a whole file into bytes. False if it cannot be opened or read.
bool readWholeFile(const std::string& path, std::string& bytes);

}  // namespace Kestova
