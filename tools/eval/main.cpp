// kestova-eval: measures how well the conversion turns Bopomofo into text.
//
// Reads lines "gold TAB readings" (readings: one composed syllable per
// character joined by "-"), types each sentence's syllables into a fresh
// reading grid over the composite language model (the built-in database, no
// user files), walks it, and compares the composed text with the gold text
// character by character. A syllable the grid rejects counts as one wrong
// character; the output is lined up with the syllables that were accepted.
// The context file beside the database (kestova-context.bin) takes part in
// the walk when there is one, unless --no-context says otherwise.
//
// --corrections measures what a typist pays to get each sentence right:
// after typing it, the leftmost wrong character is fixed by opening the
// candidate list there and picking the first candidate that makes the text
// there right (one pick, plus one per page of nine candidates turned), until
// the sentence is right. A candidate that would release part of an earlier
// pick of the same sentence (its node crosses the earlier one without
// holding it) is passed over, as a typist would. Reported per 100 characters, once with a fresh
// pick history per sentence and once with one history kept across the corpus, in which the key
// handler's suggestions of earlier picks apply while typing.
//
// Exit status: 0 on success; 1 if the accuracy falls below --min-char or
// --min-sentence, or the picks exceed --max-corrections or
// --max-learning-corrections; 2 on bad usage or unreadable input.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "grid/PickHistory.h"
#include "grid/ReadingGrid.h"
#include "models/ContextLM.h"
#include "models/KestovaLM.h"
#include "text/Utf8.h"
#include "tools/eval/Typist.h"

namespace {

constexpr const char* kUsage =
    "usage: kestova-eval --data FILE [options] CORPUS\n"
    "  --data FILE           the built-in phrase database; the context file\n"
    "                        kestova-context.bin beside it is used when there\n"
    "  --no-context          walk without the context file\n"
    "  --context FILE        use this context file instead\n"
    "  --context-weight W    weigh the pair scores by W instead of the file's weight\n"
    "  --character-weight W  weigh the meeting characters' scores by W instead\n"
    "  --walk-limits P,M,S   phrases per node, score margin, states per position\n"
    "  --half odd|even       only the odd or even lines (1-based) of the corpus\n"
    "  --corrections         measure picks per 100 characters (fresh and learning)\n"
    "  --max-corrections F   with --corrections: fail unless fresh picks per 100\n"
    "                        characters are at most F\n"
    "  --max-learning-corrections F  the same for the picks while learning\n"
    "  --errors N            show the N sentences with the most wrong characters\n"
    "                        (with --retype or --passes: the ones wrong again)\n"
    "  --min-char PERCENT    fail unless character accuracy is at least PERCENT\n"
    "  --min-sentence PERCENT  fail unless sentence accuracy is at least PERCENT\n"
    "  --retype              in one session: type each sentence, correct it, commit\n"
    "                        it and type it again; the share of corrected sentences\n"
    "                        right the second time\n"
    "  --passes N            in one session: type, correct and commit the corpus N\n"
    "                        times; each pass's accuracy before its corrections\n"
    "                        and its picks\n"
    "  --no-learning         with --retype or --passes: learn_words off (the pick\n"
    "                        history alone)\n"
    "  --min-retyped PERCENT   fail unless that share of retyped sentences is right\n"
    "  --min-last-pass-char PERCENT  fail unless the last pass's character\n"
    "                        accuracy is at least PERCENT\n";

std::vector<std::string> SplitCharacters(std::string_view text) {
  std::vector<std::string> characters;
  for (std::string_view character : Kestova::Utf8::splitCharacters(text))
    characters.emplace_back(character);
  return characters;
}

std::vector<std::string> SplitReadings(std::string_view text) {
  std::vector<std::string> readings;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('-', start);
    if (end == std::string_view::npos) end = text.size();
    readings.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return readings;
}

using Palisar::Lattivor2::BestPath;
using Palisar::Lattivor2::GridCandidate;
using Palisar::Lattivor2::ReadingGrid;

// ---- Options ----

// What the run measures: each mode is one Run function, chosen in Run().
enum class Mode { Accuracy, Corrections, Retype, Passes };

enum class Half { All, Odd, Even };

// The command line.
struct Options {
  Mode mode = Mode::Accuracy;
  std::string dataPath;
  std::string corpusPath;
  std::string contextPath;  // empty: kestova-context.bin beside the data
  bool useContext = true;
  Half half = Half::All;
  double contextWeight = -1;    // negative: the file's own
  double characterWeight = -1;  // negative: the file's own
  Palisar::Lattivor2::WalkLimits limits;
  // Accuracy.
  size_t errorsToShow = 0;
  double minChar = -1;  // negative: no threshold
  double minSentence = -1;
  // Corrections.
  double maxCorrections = -1;
  double maxLearningCorrections = -1;
  // Retyping and passes: the product's key handler, learning as it does.
  size_t passes = 2;
  bool learnWords = true;
  double minRetyped = -1;  // negative: no threshold
  double minLastPassChar = -1;
};

// How an option stores what it was given; false if the value is not
// acceptable. A flag is given no value (nullptr).
using OptionSetter = bool (*)(Options& options, const char* value);

template <auto Member>
bool SetText(Options& options, const char* value) {
  options.*Member = value;
  return true;
}

template <auto Member>
bool SetNumber(Options& options, const char* value) {
  options.*Member = std::strtod(value, nullptr);
  return true;
}

template <auto Member>
bool SetCount(Options& options, const char* value) {
  options.*Member = std::strtoul(value, nullptr, 10);
  return true;
}

template <auto Member, auto Value>
bool SetFlag(Options& options, const char*) {
  options.*Member = Value;
  return true;
}

// "P,M,S": phrases per node, then optionally score margin and states per
// position.
bool SetWalkLimits(Options& options, const char* value) {
  char* end = nullptr;
  options.limits.phrasesPerNode = std::strtoul(value, &end, 10);
  if (*end == ',') options.limits.scoreMargin = std::strtod(end + 1, &end);
  if (*end == ',') options.limits.statesPerPosition = std::strtoul(end + 1, &end, 10);
  return true;
}

bool SetHalf(Options& options, const char* value) {
  const std::string_view which = value;
  if (which != "odd" && which != "even") return false;
  options.half = which == "odd" ? Half::Odd : Half::Even;
  return true;
}

bool SetPasses(Options& options, const char* value) {
  options.mode = Mode::Passes;
  return SetCount<&Options::passes>(options, value) && options.passes >= 1;
}

struct OptionRow {
  std::string_view name;
  bool takesValue;
  OptionSetter set;
};

// Every option (kUsage lists them for the user); a new mode adds its flag
// (SetFlag<&Options::mode, ...>), its own settings and its case in Run().
constexpr OptionRow kOptionRows[] = {
    {"--data", true, SetText<&Options::dataPath>},
    {"--no-context", false, SetFlag<&Options::useContext, false>},
    {"--context", true, SetText<&Options::contextPath>},
    {"--context-weight", true, SetNumber<&Options::contextWeight>},
    {"--character-weight", true, SetNumber<&Options::characterWeight>},
    {"--walk-limits", true, SetWalkLimits},
    {"--half", true, SetHalf},
    {"--errors", true, SetCount<&Options::errorsToShow>},
    {"--min-char", true, SetNumber<&Options::minChar>},
    {"--min-sentence", true, SetNumber<&Options::minSentence>},
    {"--corrections", false, SetFlag<&Options::mode, Mode::Corrections>},
    {"--max-corrections", true, SetNumber<&Options::maxCorrections>},
    {"--max-learning-corrections", true, SetNumber<&Options::maxLearningCorrections>},
    {"--retype", false, SetFlag<&Options::mode, Mode::Retype>},
    {"--passes", true, SetPasses},
    {"--no-learning", false, SetFlag<&Options::learnWords, false>},
    {"--min-retyped", true, SetNumber<&Options::minRetyped>},
    {"--min-last-pass-char", true, SetNumber<&Options::minLastPassChar>},
};

const OptionRow* FindOption(std::string_view name) {
  for (const OptionRow& row : kOptionRows) {
    if (row.name == name) return &row;
  }
  return nullptr;
}

// The options, or nothing (after printing the usage) if the command line is
// not understood. An option that lacks its value counts as not understood.
std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const OptionRow* row = FindOption(arg);
    if (row && (!row->takesValue || i + 1 < argc)) {
      const char* value = row->takesValue ? argv[++i] : nullptr;
      if (row->set(options, value)) continue;
    } else if (!arg.empty() && arg[0] != '-' && options.corpusPath.empty()) {
      options.corpusPath = arg;
      continue;
    }
    std::fputs(kUsage, stderr);
    return std::nullopt;
  }
  if (options.dataPath.empty() || options.corpusPath.empty()) {
    std::fputs(kUsage, stderr);
    return std::nullopt;
  }
  return options;
}

// ---- What every mode works on ----

struct Sentence {
  std::string gold;
  std::vector<std::string> readings;
};

// The model, the context (none if absent or not wanted) and the corpus.
struct Evaluation {
  std::shared_ptr<Kestova::KestovaLM> model;
  std::shared_ptr<Kestova::ContextLM> context;
  std::vector<Sentence> sentences;

  // A fresh grid over the model, set up as the options ask.
  ReadingGrid makeGrid(const Options& options) const {
    ReadingGrid grid(model);
    grid.setContextModel(context);
    grid.setWalkLimits(options.limits);
    return grid;
  }
};

std::string DefaultContextPath(const std::string& dataPath) {
  const size_t slash = dataPath.rfind('/');
  return (slash == std::string::npos ? std::string() : dataPath.substr(0, slash + 1)) +
         "kestova-context.bin";
}

// The context file the options name, or none (not wanted, or unreadable).
std::shared_ptr<Kestova::ContextLM> OpenContext(Options& options) {
  if (!options.useContext) return nullptr;
  if (options.contextPath.empty()) options.contextPath = DefaultContextPath(options.dataPath);
  auto context = std::make_shared<Kestova::ContextLM>();
  if (!context->open(options.contextPath)) return nullptr;
  if (options.contextWeight >= 0) context->setWeight(options.contextWeight);
  if (options.characterWeight >= 0) context->setCharacterWeight(options.characterWeight);
  return context;
}

void PrintModel(const Options& options, const Kestova::ContextLM* context) {
  if (context) {
    std::printf(
        "model:              %s + context %s (%zu words, %zu pairs, weight %.2f, characters "
        "%.2f)\n",
        options.dataPath.c_str(), options.contextPath.c_str(), context->wordCount(),
        context->pairCount(), context->weight(), context->characterWeight());
  } else {
    std::printf("model:              %s, no context file%s\n", options.dataPath.c_str(),
                options.useContext ? " (none found)" : "");
  }
}

bool InHalf(Half half, size_t number) {
  switch (half) {
    case Half::All:
      return true;
    case Half::Odd:
      return number % 2 == 1;
    case Half::Even:
      return number % 2 == 0;
  }
  return true;
}

// The sentences of the corpus (lines "gold TAB readings"; blank lines,
// comments and lines without a tab are skipped), or nothing if it cannot be
// read.
std::optional<std::vector<Sentence>> ReadCorpus(const Options& options) {
  std::ifstream in(options.corpusPath);
  if (!in) {
    std::fprintf(stderr, "kestova-eval: cannot read %s\n", options.corpusPath.c_str());
    return std::nullopt;
  }
  std::vector<Sentence> sentences;
  std::string line;
  size_t number = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t tab = line.find('\t');
    if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
    if (!InHalf(options.half, ++number)) continue;
    sentences.push_back(
        {line.substr(0, tab), SplitReadings(std::string_view(line).substr(tab + 1))});
  }
  return sentences;
}

// Opens the model and the context (printing which), then reads the corpus;
// nothing if the database or the corpus cannot be read.
std::optional<Evaluation> Prepare(Options& options) {
  Evaluation evaluation;
  evaluation.model = std::make_shared<Kestova::KestovaLM>();
  evaluation.model->openBuiltInTable(options.dataPath);
  if (!evaluation.model->builtInTableLoaded()) {
    std::fprintf(stderr, "kestova-eval: cannot open the phrase database %s\n",
                 options.dataPath.c_str());
    return std::nullopt;
  }
  evaluation.context = OpenContext(options);
  PrintModel(options, evaluation.context.get());
  auto sentences = ReadCorpus(options);
  if (!sentences) return std::nullopt;
  evaluation.sentences = std::move(*sentences);
  return evaluation;
}

// ---- Accuracy ----

struct Outcome {
  std::string gold;
  std::string output;
  size_t characters = 0;
  size_t correct = 0;
  size_t rejected = 0;
};

struct AccuracyTotals {
  size_t characters = 0;
  size_t correct = 0;
  size_t rejected = 0;
  size_t exactSentences = 0;
  size_t syllables = 0;
  std::chrono::steady_clock::duration elapsed{};

  void add(const Outcome& outcome, size_t syllableCount) {
    characters += outcome.characters;
    correct += outcome.correct;
    rejected += outcome.rejected;
    syllables += syllableCount;
    if (outcome.output == outcome.gold && outcome.rejected == 0) ++exactSentences;
  }
};

// Types one sentence into a fresh grid and walks it; the time spent is added
// to `elapsed`.
Outcome Convert(const Evaluation& evaluation, const Options& options, const Sentence& sentence,
                std::chrono::steady_clock::duration& elapsed) {
  Outcome outcome;
  outcome.gold = sentence.gold;
  const auto gold = SplitCharacters(outcome.gold);

  const auto start = std::chrono::steady_clock::now();
  ReadingGrid grid = evaluation.makeGrid(options);
  std::vector<size_t> accepted;  // gold positions of the accepted syllables
  for (size_t i = 0; i < sentence.readings.size(); ++i) {
    if (grid.addReading(sentence.readings[i])) {
      accepted.push_back(i);
    } else {
      ++outcome.rejected;
    }
  }
  const BestPath path = grid.bestPath();
  for (const auto& node : path.nodes) outcome.output += node->currentValue();
  elapsed += std::chrono::steady_clock::now() - start;

  const auto output = SplitCharacters(outcome.output);
  outcome.characters = gold.size();
  for (size_t j = 0; j < output.size() && j < accepted.size(); ++j) {
    if (accepted[j] < gold.size() && output[j] == gold[accepted[j]]) ++outcome.correct;
  }
  return outcome;
}

void PrintWorst(const std::vector<Outcome>& outcomes, size_t count) {
  std::vector<const Outcome*> worst;
  for (const auto& outcome : outcomes) {
    if (outcome.correct < outcome.characters) worst.push_back(&outcome);
  }
  std::stable_sort(worst.begin(), worst.end(), [](const Outcome* a, const Outcome* b) {
    return a->characters - a->correct > b->characters - b->correct;
  });
  if (worst.size() > count) worst.resize(count);
  std::printf("\nworst sentences (wrong characters, gold | output):\n");
  for (const Outcome* outcome : worst) {
    std::printf("%3zu  %s | %s%s\n", outcome->characters - outcome->correct, outcome->gold.c_str(),
                outcome->output.c_str(), outcome->rejected ? "  (syllables rejected)" : "");
  }
}

// Whether a measured percentage meets its threshold (negative: none); says
// why not on standard error.
bool MeetsMinimum(const char* what, double measured, double minimum) {
  if (minimum < 0 || measured >= minimum) return true;
  std::fprintf(stderr, "kestova-eval: %s accuracy %.2f%% is below %.2f%%\n", what, measured,
               minimum);
  return false;
}

int RunAccuracy(const Evaluation& evaluation, const Options& options) {
  std::vector<Outcome> outcomes;
  AccuracyTotals totals;
  for (const Sentence& sentence : evaluation.sentences) {
    outcomes.push_back(Convert(evaluation, options, sentence, totals.elapsed));
    totals.add(outcomes.back(), sentence.readings.size());
  }
  if (outcomes.empty()) {
    std::fprintf(stderr, "kestova-eval: no sentences in %s\n", options.corpusPath.c_str());
    return 2;
  }

  const double charAccuracy = 100.0 * totals.correct / std::max<size_t>(totals.characters, 1);
  const double sentenceAccuracy = 100.0 * totals.exactSentences / outcomes.size();
  const double micros = std::chrono::duration<double, std::micro>(totals.elapsed).count();
  std::printf("sentences:          %zu\n", outcomes.size());
  std::printf("character accuracy: %.2f%% (%zu/%zu)\n", charAccuracy, totals.correct,
              totals.characters);
  std::printf("sentence accuracy:  %.2f%% (%zu/%zu)\n", sentenceAccuracy, totals.exactSentences,
              outcomes.size());
  std::printf("rejected syllables: %zu\n", totals.rejected);
  std::printf("time per sentence:  %.1f us (%.1f us per syllable)\n", micros / outcomes.size(),
              micros / std::max<size_t>(totals.syllables, 1));

  if (options.errorsToShow > 0) PrintWorst(outcomes, options.errorsToShow);

  const bool charPass = MeetsMinimum("character", charAccuracy, options.minChar);
  const bool sentencePass = MeetsMinimum("sentence", sentenceAccuracy, options.minSentence);
  return charPass && sentencePass ? 0 : 1;
}

// ---- Corrections ----

// Pick cost of one sentence: see the top of this file. The history is the
// key handler's (capacity 500, half-life 5400 s); suggestions are applied
// after every reading as the key handler applies them.
struct CorrectionCost {
  size_t picks = 0;      // picks plus page turns
  size_t choices = 0;    // picks alone
  size_t unfixable = 0;  // characters no candidate could make right

  CorrectionCost& operator+=(const CorrectionCost& other) {
    picks += other.picks;
    choices += other.choices;
    unfixable += other.unfixable;
    return *this;
  }
};

constexpr double kLearningThreshold = -8.0;

// A candidate that fixes the text from `start` on, `length` characters long.
struct Fix {
  size_t candidate;
  size_t start;
  size_t length;
};

// Types one sentence and fixes it pick by pick, as described at the top of
// this file.
class Corrector {
 public:
  Corrector(const Evaluation& evaluation, const Options& options, const Sentence& sentence,
            Kestova::PickHistory& history, double& clock)
      : sentence_(sentence),
        history_(history),
        clock_(clock),
        grid_(evaluation.makeGrid(options)) {}

  CorrectionCost run() {
    type();
    for (size_t round = 0; round < 4 * target_.size() + 4; ++round) {
      if (!fixLeftmostWrong()) break;
    }
    return cost_;
  }

 private:
  using OverrideKind = ReadingGrid::OverrideKind;

  // Adds the readings, applying the history's suggestion after each, and
  // sets the target: the gold text of the accepted readings, which is what
  // the grid can show.
  void type() {
    const auto gold = SplitCharacters(sentence_.gold);
    for (size_t i = 0; i < sentence_.readings.size(); ++i) {
      if (!grid_.addReading(sentence_.readings[i])) {
        ++cost_.unfixable;
        continue;
      }
      accepted_.push_back(i);
      clock_ += 1;
      applySuggestion();
    }
    for (size_t i : accepted_) target_.push_back(i < gold.size() ? gold[i] : std::string());
    givenUp_.assign(target_.size(), false);
  }

  void applySuggestion() {
    const BestPath path = grid_.bestPath();
    const size_t position = grid_.readingCount() - 1;
    const Kestova::PickSuggestion suggestion = history_.suggestPick(path, position, clock_);
    if (suggestion.empty()) return;
    grid_.overrideAt(position, suggestion.value,
                     suggestion.forceHighScore ? OverrideKind::HighScore : OverrideKind::TopScore);
  }

  // The leftmost wrong character not given up on, or the target's size.
  size_t leftmostWrong(const std::vector<std::string>& output) const {
    for (size_t j = 0; j < target_.size(); ++j) {
      if (!givenUp_[j] && (j >= output.size() || output[j] != target_[j])) return j;
    }
    return target_.size();
  }

  // Fixes the leftmost wrong character, or gives up on it; false when the
  // text is right.
  bool fixLeftmostWrong() {
    const BestPath path = grid_.bestPath();
    const size_t wrong = leftmostWrong(SplitCharacters(path.composedText()));
    if (wrong == target_.size()) return false;
    const auto candidates = grid_.candidateList(wrong);
    if (const auto fix = findFix(candidates, wrong)) {
      pick(path, candidates[fix->candidate], *fix, wrong);
    } else {
      givenUp_[wrong] = true;
      ++cost_.unfixable;
    }
    return true;
  }

  // The first candidate whose node covers `wrong` and whose value is the
  // gold text of that node's readings.
  std::optional<Fix> findFix(const std::vector<GridCandidate>& candidates, size_t wrong) const {
    for (size_t c = 0; c < candidates.size(); ++c) {
      const size_t length = static_cast<size_t>(std::count(candidates[c].reading.begin(),
                                                           candidates[c].reading.end(), '-')) +
                            1;
      if (const auto start = fittingStart(candidates[c], length, wrong)) {
        return Fix{c, *start, length};
      }
    }
    return std::nullopt;
  }

  // The readings of accepted positions start .. start + length - 1, joined
  // with "-".
  std::string readingsAt(size_t start, size_t length) const {
    std::string readings = sentence_.readings[accepted_[start]];
    for (size_t k = 1; k < length; ++k) readings += "-" + sentence_.readings[accepted_[start + k]];
    return readings;
  }

  // Where the candidate's node starts, if it covers `wrong`, holds the
  // readings there and gives their gold text without undoing an earlier
  // pick.
  std::optional<size_t> fittingStart(const GridCandidate& candidate, size_t length,
                                     size_t wrong) const {
    const auto value = SplitCharacters(candidate.value);
    if (value.size() != length) return std::nullopt;
    for (size_t start = wrong + 1 >= length ? wrong + 1 - length : 0; start <= wrong; ++start) {
      if (start + length > target_.size()) break;
      if (readingsAt(start, length) != candidate.reading) continue;
      if (!std::equal(value.begin(), value.end(), target_.begin() + start)) continue;
      if (undoesEarlierPick(start, length)) continue;
      return start;
    }
    return std::nullopt;
  }

  // Fixing a node releases the nodes that cross it: a typist does not pick
  // what would undo part of an earlier pick.
  bool undoesEarlierPick(size_t start, size_t length) const {
    return std::any_of(fixed_.begin(), fixed_.end(), [&](const auto& span) {
      const bool overlaps = start < span.second && span.first < start + length;
      const bool contains = start <= span.first && span.second <= start + length;
      return overlaps && !contains;
    });
  }

  void pick(const BestPath& before, const GridCandidate& candidate, const Fix& fix, size_t wrong) {
    cost_.picks += 1 + fix.candidate / 9;
    ++cost_.choices;
    std::erase_if(fixed_, [&](const auto& span) {
      return fix.start <= span.first && span.second <= fix.start + fix.length;
    });
    fixed_.emplace_back(fix.start, fix.start + fix.length);
    grid_.overrideAt(wrong, candidate, OverrideKind::HighScore);
    const BestPath after = grid_.bestPath();
    const auto covering = after.nodeCovering(wrong);
    clock_ += 1;
    if (covering && covering->node->currentPhrase().score > kLearningThreshold) {
      history_.recordPick(before, after, wrong, clock_);
    }
  }

  const Sentence& sentence_;
  Kestova::PickHistory& history_;
  double& clock_;
  ReadingGrid grid_;
  CorrectionCost cost_;
  std::vector<size_t> accepted_;  // sentence positions of the accepted readings
  std::vector<std::string> target_;
  std::vector<bool> givenUp_;
  std::vector<std::pair<size_t, size_t>> fixed_;  // spans picked so far
};

int RunCorrections(const Evaluation& evaluation, const Options& options) {
  size_t characters = 0;
  CorrectionCost fresh, learning;
  Kestova::PickHistory shared(500, 5400.0);
  double clock = 0, sharedClock = 0;
  for (const Sentence& sentence : evaluation.sentences) {
    characters += SplitCharacters(sentence.gold).size();
    Kestova::PickHistory own(500, 5400.0);
    fresh += Corrector(evaluation, options, sentence, own, clock).run();
    learning += Corrector(evaluation, options, sentence, shared, sharedClock).run();
  }
  const double per100 = 100.0 / std::max<size_t>(characters, 1);
  std::printf("sentences:          %zu (%zu characters)\n", evaluation.sentences.size(),
              characters);
  for (const auto& [name, cost] :
       {std::pair{"fresh:   ", fresh}, std::pair{"learning:", learning}}) {
    std::printf(
        "corrections %s %.2f picks per 100 characters (%zu choices, %zu page turns; %zu "
        "characters no candidate fixes)\n",
        name, cost.picks * per100, cost.choices, cost.picks - cost.choices, cost.unfixable);
  }
  bool pass = true;
  for (const auto& [name, cost, limit] :
       {std::tuple{"fresh", fresh, options.maxCorrections},
        std::tuple{"learning", learning, options.maxLearningCorrections}}) {
    if (limit >= 0 && cost.picks * per100 > limit) {
      std::fprintf(stderr, "kestova-eval: %.2f picks per 100 characters %s is above %.2f\n",
                   cost.picks * per100, name, limit);
      pass = false;
    }
  }
  return pass ? 0 : 1;
}

// ---- Retyping and passes, through the key handler ----

KestovaEval::TypedSentence Typed(const Sentence& sentence) {
  return {sentence.gold, sentence.readings};
}

KestovaEval::Typist MakeTypist(const Evaluation& evaluation, const Options& options) {
  return KestovaEval::Typist(options.dataPath, evaluation.context, options.learnWords);
}

int RunRetype(const Evaluation& evaluation, const Options& options) {
  KestovaEval::Typist typist = MakeTypist(evaluation, options);
  size_t corrected = 0, right = 0;
  std::vector<const Sentence*> wrongAgain;
  for (const Sentence& sentence : evaluation.sentences) {
    std::vector<size_t> accepted;
    typist.type(Typed(sentence), accepted);
    const KestovaEval::TypingCost cost = typist.correct(Typed(sentence), accepted);
    typist.commit();
    // A sentence that could not be made right has nothing to come back as.
    if (cost.choices == 0 || cost.unfixable > 0) continue;
    ++corrected;
    const std::string again = typist.type(Typed(sentence), accepted);
    typist.discard();
    if (again == sentence.gold) {
      ++right;
    } else {
      wrongAgain.push_back(&sentence);
      if (wrongAgain.size() <= options.errorsToShow) {
        std::printf("  retyped wrong: %s | %s\n", sentence.gold.c_str(), again.c_str());
      }
    }
  }
  const double share = corrected ? 100.0 * right / corrected : 100.0;
  std::printf("sentences:          %zu, %zu corrected\n", evaluation.sentences.size(), corrected);
  std::printf("retyped right:      %.2f%% (%zu/%zu)\n", share, right, corrected);
  return MeetsMinimum("retyped sentences", share, options.minRetyped) ? 0 : 1;
}

int RunPasses(const Evaluation& evaluation, const Options& options) {
  KestovaEval::Typist typist = MakeTypist(evaluation, options);
  double lastPassChar = 0;
  size_t shownWrong = 0;
  for (size_t pass = 1; pass <= options.passes; ++pass) {
    size_t characters = 0, correct = 0, sentencesRight = 0;
    KestovaEval::TypingCost total;
    for (const Sentence& sentence : evaluation.sentences) {
      std::vector<size_t> accepted;
      const auto shown = SplitCharacters(typist.type(Typed(sentence), accepted));
      const auto gold = SplitCharacters(sentence.gold);
      characters += gold.size();
      size_t here = 0;
      for (size_t j = 0; j < shown.size() && j < accepted.size(); ++j) {
        if (accepted[j] < gold.size() && shown[j] == gold[accepted[j]]) ++here;
      }
      correct += here;
      if (here == gold.size()) {
        ++sentencesRight;
      } else if (pass == options.passes && shownWrong++ < options.errorsToShow) {
        std::string text;
        for (const auto& character : shown) text += character;
        std::printf("  pass %zu wrong: %s | %s\n", pass, sentence.gold.c_str(), text.c_str());
      }
      const KestovaEval::TypingCost cost = typist.correct(Typed(sentence), accepted);
      total.picks += cost.picks;
      total.choices += cost.choices;
      total.unfixable += cost.unfixable;
      typist.commit();
    }
    lastPassChar = characters ? 100.0 * correct / characters : 0;
    std::printf(
        "pass %zu: characters %.2f%% (%zu/%zu), sentences %.2f%% (%zu/%zu), %.2f picks per 100 "
        "characters (%zu choices)\n",
        pass, lastPassChar, correct, characters,
        100.0 * sentencesRight / std::max<size_t>(evaluation.sentences.size(), 1), sentencesRight,
        evaluation.sentences.size(), 100.0 * total.picks / std::max<size_t>(characters, 1),
        total.choices);
  }
  return MeetsMinimum("last pass characters", lastPassChar, options.minLastPassChar) ? 0 : 1;
}

int Run(const Evaluation& evaluation, const Options& options) {
  switch (options.mode) {
    case Mode::Accuracy:
      return RunAccuracy(evaluation, options);
    case Mode::Corrections:
      return RunCorrections(evaluation, options);
    case Mode::Retype:
      return RunRetype(evaluation, options);
    case Mode::Passes:
      return RunPasses(evaluation, options);
  }
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) return 2;
  const std::optional<Evaluation> evaluation = Prepare(*options);
  if (!evaluation) return 2;
  return Run(*evaluation, *options);
}
