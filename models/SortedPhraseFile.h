// Writing the sorted phrase file that ParselessLM maps: the header line
// (SortedPhraseTable::kHeader), then one "READING VALUE SCORE" line per
// phrase, in the order the look-up's binary search needs. The data builder,
// the tests, the benchmarks and the test environment all write their phrase
// files through here, so there is one order and one score format.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Kestova {

// One line of a sorted phrase file.
struct PhraseFileLine {
  std::string reading;
  std::string value;
  double score = 0;

  bool operator==(const PhraseFileLine&) const = default;
};

// Puts lines in the file's order: by the bytes of the reading followed by a
// space (so that ㄅㄚ never mixes with ㄅㄚ-ㄅㄚ), then best score first,
// then by value. Of lines repeating a (reading, value) only the best stays.
void sortPhraseFileLines(std::vector<PhraseFileLine>& lines);

// A score as the file writes it.
std::string formatPhraseScore(double score);

// The whole file: the header and the lines, which must already be sorted.
std::string sortedPhraseFileText(const std::vector<PhraseFileLine>& lines);

// Sorts the lines and writes the file with FileAccess::replaceFile (a
// temporary file beside `path`, synced and renamed over it), so that a
// reader that maps the old file keeps its contents and never sees it cut
// short. False on any error, with nothing left behind.
bool writeSortedPhraseFile(const std::string& path, std::vector<PhraseFileLine> lines);

// A line "READING VALUE SCORE" (score optional) as written in fixtures;
// the score is 0 when it is missing or not a number.
PhraseFileLine parsePhraseFileLine(std::string_view line);

}  // namespace Kestova
