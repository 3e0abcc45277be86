// kestova-databuilder: generates the built-in phrase database in the sorted
// phrase format from open data installed on the system.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
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
#include "databuilder/TaiwanUsage.h"
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
    "  --taiwan-usage DIR   neutral-tone words, standard readings, Taiwan forms and\n"
    "                       first values (databuilder/data) applied to the lines\n"
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

// ---- Options ----

using namespace Kestova;
using namespace Kestova::DataBuilder;

// The command line.
struct Options {
  std::string output;
  std::string essay = "/usr/share/rime-data/essay.txt";
  std::string pinyin = "/usr/share/rime-data/terra_pinyin.dict.yaml";
  std::string gcin = "/usr/lib/x86_64-linux-gnu/gcin/table/tsin32";
  std::string characters;  // empty: enumerated through libchewing
  std::string fromLines;
  std::string fromPairs;
  std::string contextOutput;
  std::string taiwanUsage;  // empty: the lines as scored
  std::vector<std::string> catalogues;
  std::vector<std::string> documents;
  std::vector<std::string> excluded;
  bool quiet = false;
  BuilderOptions builder;
  TextOptions text;
  ContextOptions context;
};

// --set NAME=VALUE: one row per scoring option, each stored in the options
// of the builder, of the Taiwan text or of the context model.
using ScoreSetter = void (*)(Options& options, double value);

template <auto Group, auto Member>
void setScore(Options& options, double value) {
  (options.*Group).*Member = value;
}

// 0 or 1.
template <auto Group, auto Member>
void setSwitch(Options& options, double value) {
  (options.*Group).*Member = value != 0;
}

struct ScoreRow {
  std::string_view name;
  ScoreSetter set;
};

constexpr auto kBuilder = &Options::builder;
constexpr auto kText = &Options::text;
constexpr auto kContext = &Options::context;

constexpr ScoreRow kScoreRows[] = {
    {"phrase-table-only-count", setScore<kBuilder, &BuilderOptions::phraseTableOnlyCount>},
    {"pinyin-only-count", setScore<kBuilder, &BuilderOptions::pinyinOnlyCount>},
    {"unseen-character-count", setScore<kBuilder, &BuilderOptions::unseenCharacterCount>},
    {"in-word-character-share", setScore<kBuilder, &BuilderOptions::inWordCharacterShare>},
    {"corpus-only-factor", setScore<kBuilder, &BuilderOptions::corpusOnlyFactor>},
    {"homophone-in-word-share", setScore<kBuilder, &BuilderOptions::homophoneInWordShare>},
    {"phrase-evidence-weight", setScore<kBuilder, &BuilderOptions::phraseEvidenceWeight>},
    {"keep-stated-shares", setSwitch<kBuilder, &BuilderOptions::keepStatedShares>},
    {"alone-counts-against-evidence",
     setSwitch<kBuilder, &BuilderOptions::aloneCountsAgainstEvidence>},
    {"keep-other-characters", setSwitch<kBuilder, &BuilderOptions::keepOtherCharacters>},
    {"reading-rank-exponent", setScore<kBuilder, &BuilderOptions::readingRankExponent>},
    {"listed-word-count", setScore<kBuilder, &BuilderOptions::listedWordCount>},
    {"taiwan-share", setScore<kText, &TextOptions::taiwanShare>},
    {"single-character-factor", setScore<kText, &TextOptions::singleCharacterFactor>},
    {"unknown-character-score", setScore<kText, &TextOptions::unknownCharacterScore>},
    {"context-min-pair", setScore<kContext, &ContextOptions::minimumPairCount>},
    {"context-smoothing", setScore<kContext, &ContextOptions::smoothing>},
    {"context-limit", setScore<kContext, &ContextOptions::scoreLimit>},
    {"context-weight", setScore<kContext, &ContextOptions::weight>},
    {"context-character-weight", setScore<kContext, &ContextOptions::characterWeight>},
    {"context-backoff-scale", setScore<kContext, &ContextOptions::backoffScale>},
};

// False if the assignment has no "=" or names no scoring option.
bool setScoreOption(Options& options, std::string_view assignment) {
  const size_t equals = assignment.find('=');
  if (equals == std::string_view::npos) return false;
  const std::string_view name = assignment.substr(0, equals);
  const double value = std::strtod(std::string(assignment.substr(equals + 1)).c_str(), nullptr);
  for (const ScoreRow& row : kScoreRows) {
    if (row.name != name) continue;
    row.set(options, value);
    return true;
  }
  return false;
}

// What an option makes of its value.
enum class Verdict {
  GoOn,
  BadUsage,  // the usage on standard error, status 2
  Failed,    // the option said why on standard error, status 1
  Help,      // the usage on standard output, status 0
};

// A flag is given no value (nullptr).
using OptionHandler = Verdict (*)(Options& options, const char* value);

template <auto Member>
Verdict setText(Options& options, const char* value) {
  options.*Member = value;
  return Verdict::GoOn;
}

// For options that may be repeated.
template <auto Member>
Verdict append(Options& options, const char* value) {
  (options.*Member).emplace_back(value);
  return Verdict::GoOn;
}

Verdict addCatalogueDir(Options& options, const char* folder) {
  if (catalogueFilesIn(folder, options.catalogues)) return Verdict::GoOn;
  std::fprintf(stderr, "kestova-databuilder: cannot list %s\n", folder);
  return Verdict::Failed;
}

Verdict setQuiet(Options& options, const char*) {
  options.quiet = true;
  return Verdict::GoOn;
}

Verdict setScoreAssignment(Options& options, const char* assignment) {
  return setScoreOption(options, assignment) ? Verdict::GoOn : Verdict::BadUsage;
}

Verdict askForHelp(Options&, const char*) {
  return Verdict::Help;
}

struct OptionRow {
  std::string_view name;
  bool takesValue;
  OptionHandler handle;
};

constexpr OptionRow kOptionRows[] = {
    {"--output", true, setText<&Options::output>},
    {"--essay", true, setText<&Options::essay>},
    {"--pinyin", true, setText<&Options::pinyin>},
    {"--gcin-phrases", true, setText<&Options::gcin>},
    {"--characters", true, setText<&Options::characters>},
    {"--from-lines", true, setText<&Options::fromLines>},
    {"--context-from-pairs", true, setText<&Options::fromPairs>},
    {"--catalogue", true, append<&Options::catalogues>},
    {"--catalogue-dir", true, addCatalogueDir},
    {"--document", true, append<&Options::documents>},
    {"--exclude", true, append<&Options::excluded>},
    {"--context-output", true, setText<&Options::contextOutput>},
    {"--taiwan-usage", true, setText<&Options::taiwanUsage>},
    {"--quiet", false, setQuiet},
    {"--set", true, setScoreAssignment},
    {"--help", false, askForHelp},
};

Verdict handleOption(Options& options, int argc, char** argv, int& i) {
  const std::string_view arg = argv[i];
  for (const OptionRow& row : kOptionRows) {
    if (row.name != arg) continue;
    if (!row.takesValue) return row.handle(options, nullptr);
    if (i + 1 >= argc) return Verdict::BadUsage;
    return row.handle(options, argv[++i]);
  }
  return Verdict::BadUsage;
}

// Fills `options`; the exit status if the program is to stop here.
std::optional<int> parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    switch (handleOption(options, argc, argv, i)) {
      case Verdict::GoOn:
        break;
      case Verdict::BadUsage:
        std::fputs(kUsage, stderr);
        return 2;
      case Verdict::Failed:
        return 1;
      case Verdict::Help:
        std::fputs(kUsage, stdout);
        return 0;
    }
  }
  return std::nullopt;
}

// ---- Building the database ----

bool cannotRead(const std::string& path) {
  std::fprintf(stderr, "kestova-databuilder: cannot read %s\n", path.c_str());
  return false;
}

bool readTaiwanCharacters(const Options& options, BuilderInputs& inputs) {
  const bool read = options.characters.empty()
                        ? enumerateChewingCharacters(inputs.taiwanCharacters)
                        : readSyllableCharacters(options.characters, inputs.taiwanCharacters);
  if (!read) {
    std::fprintf(stderr, "kestova-databuilder: cannot read the Taiwan character table%s%s\n",
                 options.characters.empty() ? "" : " ", options.characters.c_str());
  }
  return read;
}

// Reads every source but the Taiwan text; false (having said why) if one
// cannot be read.
bool readInputs(const Options& options, BuilderInputs& inputs) {
  if (!readWordFrequencies(options.essay, inputs.wordCounts)) return cannotRead(options.essay);
  if (!readPinyinDictionary(options.pinyin, inputs.pinyinEntries)) {
    return cannotRead(options.pinyin);
  }
  if (!readGcinPhraseTable(options.gcin, inputs.phraseTableEntries)) {
    return cannotRead(options.gcin);
  }
  if (!readTaiwanCharacters(options, inputs)) return false;
  inputs.standardCharacters = StandardCharacterSet::fromConverters();
  if (inputs.standardCharacters.empty()) {
    std::fprintf(stderr, "kestova-databuilder: ICU has no Big5 or CNS 11643 converter\n");
    return false;
  }
  return true;
}

// What the build has made so far.
struct Build {
  std::vector<PhraseFileLine> lines;
  BuildStatistics statistics;
  TextStatistics textStatistics;
  size_t fixedLines = 0;                   // special readings and macros
  std::optional<TaiwanUsage> taiwanUsage;  // with --taiwan-usage
  TaiwanUsageStatistics usage;
};

// 0, or the exit status.
int writeContext(const TextCounts& counts, const Options& options, Build& build) {
  ContextFileContents contents = buildContextModel(counts, options.context);
  if (build.taiwanUsage) alignFirstValueStarts(*build.taiwanUsage, build.lines, contents);
  build.textStatistics.contextWords = contents.words.size();
  build.textStatistics.contextPairs = contents.pairs.size();
  if (writeContextFile(options.contextOutput, contents)) return 0;
  std::fprintf(stderr, "kestova-databuilder: cannot write %s\n", options.contextOutput.c_str());
  return 1;
}

// The Taiwan text, cut into words with the phrases just built, adds its word
// counts to the corpus's; the phrases are then built again, and the context
// file is written from the text cut with them. 0, or the exit status.
int learnFromText(const Options& options, BuilderInputs& inputs, Build& build) {
  if (options.catalogues.empty() && options.documents.empty()) {
    if (options.contextOutput.empty()) return 0;
    std::fprintf(stderr, "kestova-databuilder: --context-output needs Taiwan text\n");
    return 2;
  }
  std::vector<std::string> runs;
  std::string error;
  if (!readTrainingRuns(options.catalogues, options.documents, options.excluded, runs,
                        build.textStatistics, &error)) {
    std::fprintf(stderr, "kestova-databuilder: %s\n", error.c_str());
    return 1;
  }
  TextCounts counts = countWithPhrases(runs, build.lines, options.text);
  mixWordCounts(counts, options.text, inputs.wordCounts);
  build.statistics = BuildStatistics();
  build.lines = buildPhraseLines(inputs, options.builder, &build.statistics);
  counts = countWithPhrases(runs, build.lines, options.text);
  build.textStatistics.tokens = counts.tokens;
  if (options.contextOutput.empty()) return 0;
  return writeContext(counts, options, build);
}

// Applies Taiwan's readings and forms (when asked), adds the special readings and the
// macros, sorts and writes the file.
bool writePhraseFile(const Options& options, Build& build) {
  if (build.taiwanUsage) applyTaiwanUsage(*build.taiwanUsage, build.lines, &build.usage);
  auto special = buildSpecialReadingLines();
  auto macros = buildMacroLines();
  build.fixedLines = special.size() + macros.size();
  build.lines.insert(build.lines.end(), special.begin(), special.end());
  build.lines.insert(build.lines.end(), macros.begin(), macros.end());
  sortPhraseFileLines(build.lines);
  if (writeSortedPhraseFile(options.output, build.lines)) return true;
  std::fprintf(stderr, "kestova-databuilder: cannot write %s\n", options.output.c_str());
  return false;
}

void printStatistics(const Build& build, std::chrono::steady_clock::time_point start) {
  const BuildStatistics& statistics = build.statistics;
  const TextStatistics& textStatistics = build.textStatistics;
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
  const TaiwanUsageStatistics& usage = build.usage;
  std::printf(
      "kestova-databuilder: Taiwan usage: %zu neutral-tone lines, %zu standard-reading lines, "
      "%zu standard forms put first, %zu added, %zu first values raised\n",
      usage.neutralToneLines, usage.standardReadingLines, usage.formsReordered, usage.formsAdded,
      usage.firstValuesRaised);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "kestova-databuilder: %zu lines (%zu character, %zu phrase readings; phrases from the "
      "phrase table %zu, from pinyin %zu, composed %zu; %zu phrase-table readings rejected; "
      "%zu special) in %.1f s\n",
      build.lines.size(), statistics.characterLines, statistics.phraseLines,
      statistics.phrasesFromPhraseTable, statistics.phrasesFromPinyin, statistics.phrasesComposed,
      statistics.rejectedPhraseTableReadings, build.fixedLines, seconds);
}

// Builds the database (and the context file) from the open data.
int buildDatabase(const Options& options) {
  const auto start = std::chrono::steady_clock::now();
  BuilderInputs inputs;
  if (!readInputs(options, inputs)) return 1;
  Build build;
  if (!options.taiwanUsage.empty()) {
    std::string error;
    build.taiwanUsage.emplace();
    if (!readTaiwanUsage(options.taiwanUsage, *build.taiwanUsage, &error)) {
      std::fprintf(stderr, "kestova-databuilder: %s\n", error.c_str());
      return 1;
    }
  }
  build.lines = buildPhraseLines(inputs, options.builder, &build.statistics);
  if (const int status = learnFromText(options, inputs, build); status != 0) return status;
  if (!writePhraseFile(options, build)) return 1;
  if (!options.quiet) printStatistics(build, start);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const std::optional<int> status = parseOptions(argc, argv, options)) return *status;
  if (!options.fromPairs.empty() && !options.contextOutput.empty()) {
    return writeContextFromPairs(options.fromPairs, options.contextOutput, options.context);
  }
  if (options.output.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (!options.fromLines.empty()) return writeFromLines(options.fromLines, options.output);
  return buildDatabase(options);
}
