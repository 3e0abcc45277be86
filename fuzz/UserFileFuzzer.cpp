// The user phrase and replacement parsers against a plain line-by-line
// reading of the same format: both must index the same keys and values in
// the same order, and skip (and number) the same lines that are not UTF-8.
// The phrase and replacement models are then loaded from the bytes as a
// file and asked for every key.
//
// Input: a flags byte (bit 0: replacement file), then the file.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "models/UserFileParser.h"
#include "models/UserPhrasesLM.h"

using namespace Kestova;

namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t';
}

// What one line means, read independently of the parser. Lines end at LF,
// CR LF or CR and are numbered from 1.
UserFileIndex referenceIndex(std::string_view data, UserFileKind kind,
                             std::vector<size_t>& malformed) {
  UserFileIndex index;
  size_t start = 0;
  size_t number = 0;
  while (start <= data.size()) {
    ++number;
    size_t end = data.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = data.size();
    std::string_view line = data.substr(start, end - start);
    start = end + 1;
    if (end + 1 < data.size() && data[end] == '\r' && data[end + 1] == '\n') ++start;

    std::vector<std::pair<size_t, size_t>> tokens;  // [begin, end) within line
    for (size_t p = 0; p < line.size();) {
      while (p < line.size() && isSpace(line[p])) ++p;
      if (p == line.size()) break;
      size_t tokenStart = p;
      while (p < line.size() && !isSpace(line[p])) ++p;
      tokens.emplace_back(tokenStart, p);
    }
    if (tokens.size() < 2 || line[tokens[0].first] == '#') continue;
    if (!Utf8::isValid(line.substr(tokens[0].first, tokens.back().second - tokens[0].first))) {
      malformed.push_back(number);
      continue;
    }
    if (kind == UserFileKind::kPhrases) {
      auto [keyStart, keyEnd] = tokens.back();
      size_t valueEnd = tokens[tokens.size() - 2].second;
      index[line.substr(keyStart, keyEnd - keyStart)].push_back(
          line.substr(tokens[0].first, valueEnd - tokens[0].first));
    } else {
      size_t valueStart = tokens[1].first;
      size_t valueEnd = tokens.back().second;
      index[line.substr(tokens[0].first, tokens[0].second - tokens[0].first)].push_back(
          line.substr(valueStart, valueEnd - valueStart));
    }
  }
  return index;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Fuzz::ByteReader reader(data, size);
  const UserFileKind kind =
      (reader.byte() & 1) ? UserFileKind::kReplacements : UserFileKind::kPhrases;
  const std::string_view bytes = reader.rest();

  UserFileIndex index;
  std::vector<size_t> malformed;
  const bool parsed = parseUserFile(bytes, kind, index, &malformed);
  std::string_view usable = bytes;
  if (usable.starts_with(kByteOrderMark)) usable.remove_prefix(kByteOrderMark.size());
  if (!usable.empty() && usable.back() == '\0') usable.remove_suffix(1);
  const bool acceptable = !bytes.empty() && usable.find('\0') == std::string_view::npos;
  KESTOVA_FUZZ_CHECK(parsed == acceptable);
  if (!parsed) {
    KESTOVA_FUZZ_CHECK(index.empty());
  } else {
    std::vector<size_t> expectedMalformed;
    KESTOVA_FUZZ_CHECK(index == referenceIndex(usable, kind, expectedMalformed));
    KESTOVA_FUZZ_CHECK(malformed == expectedMalformed);
  }
  // Whatever the bytes, only UTF-8 gets through.
  for (const auto& [key, values] : index) {
    KESTOVA_FUZZ_CHECK(Utf8::isValid(key));
    for (std::string_view value : values) KESTOVA_FUZZ_CHECK(Utf8::isValid(value));
  }

  if (bytes.empty()) return 0;
  static const std::string path = (Fuzz::scratchDirectory() / "user-file.txt").string();
  Fuzz::writeFile(path, bytes);
  if (kind == UserFileKind::kPhrases) {
    UserPhrasesLM model;
    KESTOVA_FUZZ_CHECK(model.open(path) == parsed);
    for (const auto& [reading, values] : index) {
      auto phrases = model.getScoredPhrases(reading);
      KESTOVA_FUZZ_CHECK(phrases.size() == values.size());
      for (size_t i = 0; i < values.size(); ++i) {
        KESTOVA_FUZZ_CHECK(phrases[i].value == values[i]);
        KESTOVA_FUZZ_CHECK(phrases[i].score == 0);
      }
      KESTOVA_FUZZ_CHECK(model.hasScoredPhrases(reading));
    }
  } else {
    ReplacementTable table;
    KESTOVA_FUZZ_CHECK(table.open(path) == parsed);
    for (const auto& [value, replacements] : index) {
      KESTOVA_FUZZ_CHECK(table.replacementFor(value) == replacements.front());
    }
  }
  return 0;
}
