// kestova-databuilder: generates the built-in phrase database in the sorted
// phrase format from open data installed on the system.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "databuilder/OpenDataSources.h"
#include "databuilder/PhraseDatabaseBuilder.h"
#include "databuilder/SpecialReadings.h"

namespace {

constexpr const char* kUsage =
    "usage: kestova-databuilder --output FILE [options]\n"
    "  --essay FILE         word frequencies (word TAB count)\n"
    "                       default /usr/share/rime-data/essay.txt\n"
    "  --pinyin FILE        pinyin dictionary with reading percentages\n"
    "                       default /usr/share/rime-data/terra_pinyin.dict.yaml\n"
    "  --gcin-phrases FILE  gcin binary phrase table\n"
    "                       default /usr/lib/x86_64-linux-gnu/gcin/table/tsin32\n"
    "  --characters FILE    Taiwan characters by syllable (syllable TAB chars);\n"
    "                       default: enumerated through libchewing\n"
    "  --set NAME=VALUE     override a scoring option (phrase-table-only-count,\n"
    "                       pinyin-only-count, corpus-only-factor,\n"
    "                       unseen-character-count, in-word-character-share,\n"
    "                       homophone-in-word-share, phrase-evidence-weight,\n"
    "                       listed-word-count, reading-rank-exponent;\n"
    "                       0 or 1: keep-stated-shares,\n"
    "                       alone-counts-against-evidence)\n"
    "  --quiet              print no statistics\n"
    "  --from-lines FILE    write --output from READING VALUE SCORE lines\n"
    "                       (test fixtures) instead of building the database\n";

// Writes a sorted phrase file from plain "READING VALUE SCORE" lines.
int writeFromLines(const std::string& input, const std::string& output) {
  std::ifstream in(input);
  if (!in) {
    std::fprintf(stderr, "kestova-databuilder: cannot read %s\n", input.c_str());
    return 1;
  }
  std::vector<Kestova::PhraseFileLine> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.front() != '#') lines.push_back(Kestova::parsePhraseFileLine(line));
  }
  if (!Kestova::writeSortedPhraseFile(output, std::move(lines))) {
    std::fprintf(stderr, "kestova-databuilder: cannot write %s\n", output.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace Kestova;
  using namespace Kestova::DataBuilder;
  std::string output;
  std::string essay = "/usr/share/rime-data/essay.txt";
  std::string pinyin = "/usr/share/rime-data/terra_pinyin.dict.yaml";
  std::string gcin = "/usr/lib/x86_64-linux-gnu/gcin/table/tsin32";
  std::string characters;
  std::string fromLines;
  bool quiet = false;
  BuilderOptions options;
  auto setOption = [&options](std::string_view assignment) {
    size_t equals = assignment.find('=');
    if (equals == std::string_view::npos) return false;
    std::string_view name = assignment.substr(0, equals);
    double value = std::strtod(std::string(assignment.substr(equals + 1)).c_str(), nullptr);
    if (name == "phrase-table-only-count")
      options.phraseTableOnlyCount = value;
    else if (name == "pinyin-only-count")
      options.pinyinOnlyCount = value;
    else if (name == "unseen-character-count")
      options.unseenCharacterCount = value;
    else if (name == "in-word-character-share")
      options.inWordCharacterShare = value;
    else if (name == "corpus-only-factor")
      options.corpusOnlyFactor = value;
    else if (name == "homophone-in-word-share")
      options.homophoneInWordShare = value;
    else if (name == "phrase-evidence-weight")
      options.phraseEvidenceWeight = value;
    else if (name == "keep-stated-shares")
      options.keepStatedShares = value != 0;
    else if (name == "alone-counts-against-evidence")
      options.aloneCountsAgainstEvidence = value != 0;
    else if (name == "reading-rank-exponent")
      options.readingRankExponent = value;
    else if (name == "listed-word-count")
      options.listedWordCount = value;
    else
      return false;
    return true;
  };
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    auto value = [&](std::string& target) {
      if (i + 1 >= argc) return false;
      target = argv[++i];
      return true;
    };
    bool ok = true;
    if (arg == "--output")
      ok = value(output);
    else if (arg == "--essay")
      ok = value(essay);
    else if (arg == "--pinyin")
      ok = value(pinyin);
    else if (arg == "--gcin-phrases")
      ok = value(gcin);
    else if (arg == "--characters")
      ok = value(characters);
    else if (arg == "--from-lines")
      ok = value(fromLines);
    else if (arg == "--quiet")
      quiet = true;
    else if (arg == "--set")
      ok = i + 1 < argc && setOption(argv[++i]);
    else if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else
      ok = false;
    if (!ok) {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (output.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (!fromLines.empty()) return writeFromLines(fromLines, output);

  auto start = std::chrono::steady_clock::now();
  BuilderInputs inputs;
  if (!readWordFrequencies(essay, inputs.wordCounts)) {
    std::fprintf(stderr, "kestova-databuilder: cannot read %s\n", essay.c_str());
    return 1;
  }
  if (!readPinyinDictionary(pinyin, inputs.pinyinEntries)) {
    std::fprintf(stderr, "kestova-databuilder: cannot read %s\n", pinyin.c_str());
    return 1;
  }
  if (!readGcinPhraseTable(gcin, inputs.phraseTableEntries)) {
    std::fprintf(stderr, "kestova-databuilder: cannot read %s\n", gcin.c_str());
    return 1;
  }
  bool haveCharacters = characters.empty()
                            ? enumerateChewingCharacters(inputs.taiwanCharacters)
                            : readSyllableCharacters(characters, inputs.taiwanCharacters);
  if (!haveCharacters) {
    std::fprintf(stderr, "kestova-databuilder: cannot read the Taiwan character table%s%s\n",
                 characters.empty() ? "" : " ", characters.c_str());
    return 1;
  }

  BuildStatistics statistics;
  std::vector<PhraseFileLine> lines = buildPhraseLines(inputs, options, &statistics);
  auto special = buildSpecialReadingLines();
  auto macros = buildMacroLines();
  lines.insert(lines.end(), special.begin(), special.end());
  lines.insert(lines.end(), macros.begin(), macros.end());
  sortPhraseFileLines(lines);
  if (!writeSortedPhraseFile(output, lines)) {
    std::fprintf(stderr, "kestova-databuilder: cannot write %s\n", output.c_str());
    return 1;
  }
  if (!quiet) {
    std::string variants;
    for (const auto& [form, replacement] : statistics.variants) {
      variants += " " + form + ">" + replacement;
    }
    std::printf("kestova-databuilder: corpus forms replaced:%s\n", variants.c_str());
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "kestova-databuilder: %zu lines (%zu character, %zu phrase readings; phrases from the "
        "phrase table %zu, from pinyin %zu, composed %zu; %zu phrase-table readings rejected; "
        "%zu special) in %.1f s\n",
        lines.size(), statistics.characterLines, statistics.phraseLines,
        statistics.phrasesFromPhraseTable, statistics.phrasesFromPinyin, statistics.phrasesComposed,
        statistics.rejectedPhraseTableReadings, special.size() + macros.size(), seconds);
  }
  return 0;
}
