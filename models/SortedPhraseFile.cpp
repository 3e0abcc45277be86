#include "models/SortedPhraseFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/FileAccess.h"
#include "models/ParselessLM.h"
#include "models/SortedPhraseTable.h"

namespace Kestova {

namespace {

// Compares "reading " with "reading " as unsigned bytes without building
// either string.
int compareReadings(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  if (int order = std::memcmp(a.data(), b.data(), common); order != 0) return order;
  const auto next = [common](std::string_view s) {
    return static_cast<unsigned char>(s.size() > common ? s[common] : ' ');
  };
  return static_cast<int>(next(a)) - static_cast<int>(next(b));
}

}  // namespace

void sortPhraseFileLines(std::vector<PhraseFileLine>& lines) {
  // By reading and value with the best score first, so that unique() keeps
  // the best line of a repeated (reading, value) ...
  std::sort(lines.begin(), lines.end(), [](const PhraseFileLine& a, const PhraseFileLine& b) {
    if (int order = compareReadings(a.reading, b.reading); order != 0) return order < 0;
    if (a.value != b.value) return a.value < b.value;
    return a.score > b.score;
  });
  lines.erase(std::unique(lines.begin(), lines.end(),
                          [](const PhraseFileLine& a, const PhraseFileLine& b) {
                            return a.reading == b.reading && a.value == b.value;
                          }),
              lines.end());
  // ... then best first within each reading, equal scores staying in value order.
  std::stable_sort(lines.begin(), lines.end(),
                   [](const PhraseFileLine& a, const PhraseFileLine& b) {
                     if (int order = compareReadings(a.reading, b.reading); order != 0)
                       return order < 0;
                     return a.score > b.score;
                   });
}

std::string formatPhraseScore(double score) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.4f", score);
  return buffer;
}

std::string sortedPhraseFileText(const std::vector<PhraseFileLine>& lines) {
  std::string text(SortedPhraseTable::kHeader);
  for (const auto& line : lines) {
    text += line.reading;
    text += ' ';
    text += line.value;
    text += ' ';
    text += formatPhraseScore(line.score);
    text += '\n';
  }
  return text;
}

bool writeSortedPhraseFile(const std::string& path, std::vector<PhraseFileLine> lines) {
  sortPhraseFileLines(lines);
  return FileAccess::replaceFile(path, sortedPhraseFileText(lines));
}

PhraseFileLine parsePhraseFileLine(std::string_view line) {
  PhraseFileLine parsed;
  const size_t readingEnd = line.find(' ');
  parsed.reading = std::string(line.substr(0, readingEnd));
  if (readingEnd == std::string_view::npos) return parsed;
  auto phrase = parseSortedLine(line);
  parsed.value = std::move(phrase.value);
  parsed.score = phrase.score;
  return parsed;
}

}  // namespace Kestova
