// kestova-databuilder: generates the built-in phrase database in the sorted
// phrase format from open data installed on the system.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "databuilder/ContextModelBuilder.h"
#include "databuilder/OpenDataSources.h"
#include "databuilder/PhraseDatabaseBuilder.h"
#include "databuilder/SpecialReadings.h"
#include "databuilder/StandardCharacters.h"
#include "databuilder/TrainingText.h"
#include "models/ContextFile.h"
#include "text/Utf8.h"

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
    "                       listed-word-count, reading-rank-exponent,\n"
    "                       taiwan-share, context-min-pair, context-smoothing,\n"
    "                       context-limit, context-weight, context-backoff-scale,\n"
    "                       context-character-weight,\n"
    "                       unknown-character-score, single-character-factor;\n"
    "                       0 or 1: keep-stated-shares,\n"
    "                       alone-counts-against-evidence, keep-other-characters)\n"
    "  --catalogue FILE     a zh_TW gettext catalogue of Taiwan text (repeatable)\n"
    "  --catalogue-dir DIR  every DIR/PACKAGE/NAME.mo, in path order\n"
    "  --document FILE      a (gzip-compressed) Taiwan text (repeatable)\n"
    "  --exclude FILE       an evaluation corpus whose sentences are never counted\n"
    "  --context-output FILE  write the context file too\n"
    "  --quiet              print no statistics\n"
    "  --from-lines FILE    write --output from READING VALUE SCORE lines\n"
    "                       (test fixtures) instead of building the database\n"
    "  --context-from-pairs FILE  write --context-output from PREVIOUS NEXT SCORE\n"
    "                       lines (test fixtures; ^ is the start of a sentence),\n"
    "                       weighed by context-weight and context-character-weight\n";

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

// Segments the runs into the Han phrases of the built lines (each at its
// best score) and counts the words and pairs.
Kestova::DataBuilder::TextCounts countWithPhrases(
    const std::vector<std::string>& runs, const std::vector<Kestova::PhraseFileLine>& lines,
    const Kestova::DataBuilder::TextOptions& options) {
  using namespace Kestova::DataBuilder;
  std::unordered_map<std::string, double> dictionary;
  for (const auto& line : lines) {
    if (line.reading.empty() || line.reading.front() == '_') continue;
    auto [it, inserted] = dictionary.emplace(line.value, line.score);
    if (!inserted) it->second = std::max(it->second, line.score);
  }
  return countSegmentedWords(runs, dictionary, options.unknownCharacterScore, 8);
}

// Writes a context file from plain "PREVIOUS NEXT SCORE" lines.
int writeContextFromPairs(const std::string& input, const std::string& output,
                          const Kestova::DataBuilder::ContextOptions& options) {
  std::ifstream in(input);
  if (!in) {
    std::fprintf(stderr, "kestova-databuilder: cannot read %s\n", input.c_str());
    return 1;
  }
  Kestova::ContextFileContents contents;
  contents.weight = options.weight;
  contents.characterWeight = options.characterWeight;
  contents.words.push_back({"", 0});
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line.front() == '#') continue;
    std::istringstream fields(line);
    Kestova::ContextFilePair pair;
    if (!(fields >> pair.previous >> pair.next >> pair.score)) continue;
    if (pair.previous == "^") pair.previous.clear();
    contents.pairs.push_back(std::move(pair));
  }
  if (!Kestova::writeContextFile(output, contents)) {
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
  std::string fromPairs;
  bool quiet = false;
  BuilderOptions options;
  TextOptions text;
  ContextOptions context;
  std::vector<std::string> catalogues, documents, excluded;
  std::string contextOutput;
  auto setOption = [&options, &text, &context](std::string_view assignment) {
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
    else if (name == "keep-other-characters")
      options.keepOtherCharacters = value != 0;
    else if (name == "reading-rank-exponent")
      options.readingRankExponent = value;
    else if (name == "listed-word-count")
      options.listedWordCount = value;
    else if (name == "taiwan-share")
      text.taiwanShare = value;
    else if (name == "single-character-factor")
      text.singleCharacterFactor = value;
    else if (name == "unknown-character-score")
      text.unknownCharacterScore = value;
    else if (name == "context-min-pair")
      context.minimumPairCount = value;
    else if (name == "context-smoothing")
      context.smoothing = value;
    else if (name == "context-limit")
      context.scoreLimit = value;
    else if (name == "context-weight")
      context.weight = value;
    else if (name == "context-character-weight")
      context.characterWeight = value;
    else if (name == "context-backoff-scale")
      context.backoffScale = value;
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
    else if (arg == "--context-from-pairs")
      ok = value(fromPairs);
    else if (arg == "--catalogue")
      ok = value(catalogues.emplace_back());
    else if (arg == "--catalogue-dir") {
      std::string folder;
      ok = value(folder);
      if (ok && !catalogueFilesIn(folder, catalogues)) {
        std::fprintf(stderr, "kestova-databuilder: cannot list %s\n", folder.c_str());
        return 1;
      }
    } else if (arg == "--document")
      ok = value(documents.emplace_back());
    else if (arg == "--exclude")
      ok = value(excluded.emplace_back());
    else if (arg == "--context-output")
      ok = value(contextOutput);
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
  if (!fromPairs.empty() && !contextOutput.empty()) {
    return writeContextFromPairs(fromPairs, contextOutput, context);
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

  inputs.standardCharacters = StandardCharacterSet::fromConverters();
  if (inputs.standardCharacters.empty()) {
    std::fprintf(stderr, "kestova-databuilder: ICU has no Big5 or CNS 11643 converter\n");
    return 1;
  }

  BuildStatistics statistics;
  std::vector<PhraseFileLine> lines = buildPhraseLines(inputs, options, &statistics);
  TextStatistics textStatistics;
  if (!catalogues.empty() || !documents.empty()) {
    // The Taiwan text, cut into words with the phrases just built, adds its
    // word counts to the corpus's; the phrases are then built again.
    std::vector<std::string> runs;
    std::string error;
    if (!readTrainingRuns(catalogues, documents, excluded, runs, textStatistics, &error)) {
      std::fprintf(stderr, "kestova-databuilder: %s\n", error.c_str());
      return 1;
    }
    TextCounts counts = countWithPhrases(runs, lines, text);
    mixWordCounts(counts, text, inputs.wordCounts);
    statistics = BuildStatistics();
    lines = buildPhraseLines(inputs, options, &statistics);
    counts = countWithPhrases(runs, lines, text);
    textStatistics.tokens = counts.tokens;
    if (!contextOutput.empty()) {
      ContextFileContents contents = buildContextModel(counts, context);
      textStatistics.contextWords = contents.words.size();
      textStatistics.contextPairs = contents.pairs.size();
      if (!writeContextFile(contextOutput, contents)) {
        std::fprintf(stderr, "kestova-databuilder: cannot write %s\n", contextOutput.c_str());
        return 1;
      }
    }
  } else if (!contextOutput.empty()) {
    std::fprintf(stderr, "kestova-databuilder: --context-output needs Taiwan text\n");
    return 2;
  }
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
    if (textStatistics.runs > 0) {
      std::printf(
          "kestova-databuilder: Taiwan text: %zu runs kept, %zu dropped as evaluation text, "
          "%.0f words; context file: %zu words, %zu pairs\n",
          textStatistics.runs, textStatistics.excludedRuns, textStatistics.tokens,
          textStatistics.contextWords, textStatistics.contextPairs);
    }
    std::printf(
        "kestova-databuilder: %zu character lines outside the standard sets (%zu beyond the "
        "Basic Multilingual Plane); %zu lines ranked below the standard values of their "
        "reading\n",
        statistics.otherCharacterLines, statistics.supplementaryCharacterLines,
        statistics.demotedLines);
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
