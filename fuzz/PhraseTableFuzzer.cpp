// The sorted phrase file: arbitrary bytes become the mapped file, arbitrary
// strings are looked up. When the fuzzer asks for it the lines are sorted
// first, and the binary search must then find exactly the lines a linear
// scan finds.
//
// Input: flags byte (bit 0: prepend the format header, bit 1: sort the
// lines), a count byte, that many length-prefixed look-ups, then the file.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "models/ParselessLM.h"
#include "models/SortedPhraseTable.h"

using namespace Kestova;

namespace {

std::vector<std::string_view> splitLines(std::string_view body) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < body.size()) {
    size_t end = body.find('\n', start);
    if (end == std::string_view::npos) end = body.size();
    lines.push_back(body.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Fuzz::ByteReader reader(data, size);
  const uint8_t flags = reader.byte();
  std::vector<std::string> lookups;
  for (uint8_t n = reader.byte() % 8; n > 0; --n) lookups.emplace_back(reader.shortString(64));
  std::string body(reader.rest());

  const bool sorted = flags & 2;
  if (sorted) {
    std::vector<std::string_view> lines = splitLines(body);
    std::sort(lines.begin(), lines.end());
    std::string joined;
    for (std::string_view line : lines) joined.append(line).push_back('\n');
    body = joined;
  }
  std::string file = (flags & 1) ? std::string(SortedPhraseTable::kHeader) + body : body;
  // Some readings taken from the file itself, so that look-ups hit.
  for (std::string_view line : splitLines(body)) {
    if (lookups.size() >= 16) break;
    lookups.emplace_back(line.substr(0, line.find(' ')));
  }

  // The table straight over the bytes.
  SortedPhraseTable table(file.data(), file.size());
  KESTOVA_FUZZ_CHECK(table.body().size() <= file.size());
  for (const std::string& lookup : lookups) {
    std::vector<std::string_view> found = table.linesWithPrefix(lookup);
    for (std::string_view line : found) {
      KESTOVA_FUZZ_CHECK(line.starts_with(lookup));
      KESTOVA_FUZZ_CHECK(line.find('\n') == std::string_view::npos);
      KESTOVA_FUZZ_CHECK(line.data() >= table.body().data() &&
                         line.data() + line.size() <= table.body().data() + table.body().size());
    }
    if (sorted && (flags & 1) && !lookup.empty()) {
      size_t expected = 0;
      for (std::string_view line : splitLines(table.body())) expected += line.starts_with(lookup);
      KESTOVA_FUZZ_CHECK(found.size() == expected);
      KESTOVA_FUZZ_CHECK(table.firstLineWithPrefix(lookup).has_value() == (expected != 0));
    }
  }

  // The same bytes as a mapped file behind the language model.
  if (file.empty()) return 0;  // an empty file cannot be mapped
  static const std::string path = (Fuzz::scratchDirectory() / "phrases.txt").string();
  Fuzz::writeFile(path, file);
  ParselessLM model;
  KESTOVA_FUZZ_CHECK(model.open(path));
  for (const std::string& lookup : lookups) {
    auto phrases = model.getScoredPhrases(lookup);
    KESTOVA_FUZZ_CHECK(model.hasScoredPhrases(lookup) == !phrases.empty());
    if (lookup.find('\n') == std::string::npos) {
      KESTOVA_FUZZ_CHECK(phrases.size() == table.linesWithPrefix(lookup + " ").size());
    }
  }
  model.close();
  return 0;
}
