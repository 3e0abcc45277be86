// The binary search over a sorted phrase file's bytes: the header, and the
// lines that begin with a reading. It owns nothing (a view of memory the
// caller keeps, normally a mapping). ParselessLM and BuiltInPhrases read
// through it; SortedPhraseFile writes the order it relies on.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace Kestova {

// The searchable body of a sorted phrase file held in memory it does not own
// (normally a read-only mapping). The file starts with kHeader; the body is
// lines separated by line feeds, sorted by their bytes, so that all lines
// that begin with the same "reading " are adjacent and can be found by a
// binary search without ever parsing the whole file.
//
// Positions are offsets into the body, never pointers, so no computation
// ever points outside the buffer.
class SortedPhraseTable {
 public:
  static constexpr std::string_view kHeader = "# format org.tarnwick.kestova.sorted\n";

  // A buffer that does not begin with the header yields an empty table.
  SortedPhraseTable(const char* data, size_t length);

  // Offset (into body()) of the first line beginning with prefix. An empty
  // prefix answers 0.
  std::optional<size_t> firstLineWithPrefix(std::string_view prefix) const;

  // Every line beginning with prefix, without its line feed, in file order.
  std::vector<std::string_view> linesWithPrefix(std::string_view prefix) const;

  std::string_view body() const { return body_; }
  // Whether the buffer began with kHeader (without it the table is empty).
  bool hasHeader() const { return hasHeader_; }

 private:
  size_t lineStart(size_t offset) const;
  size_t lineEnd(size_t offset) const;
  // Compares the line starting at offset with prefix, looking no further
  // than prefix's length: negative when the line sorts before every line
  // with that prefix, 0 when it has the prefix, positive otherwise.
  int compareLine(size_t start, std::string_view prefix) const;

  std::string_view body_;
  bool hasHeader_ = false;
};

}  // namespace Kestova
