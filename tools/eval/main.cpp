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
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "grid/PickHistory.h"
#include "grid/ReadingGrid.h"
#include "models/ContextLM.h"
#include "models/KestovaLM.h"
#include "text/Utf8.h"

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
    "  --min-char PERCENT    fail unless character accuracy is at least PERCENT\n"
    "  --min-sentence PERCENT  fail unless sentence accuracy is at least PERCENT\n";

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
using Palisar::Lattivor2::ReadingGrid;

struct Sentence {
  std::string gold;
  std::vector<std::string> readings;
};

// Pick cost of one sentence: see the header. The history is the key
// handler's (capacity 500, half-life 5400 s); suggestions are applied after
// every reading as the key handler applies them.
struct CorrectionCost {
  size_t picks = 0;      // picks plus page turns
  size_t choices = 0;    // picks alone
  size_t unfixable = 0;  // characters no candidate could make right
};

constexpr double kLearningThreshold = -8.0;

CorrectionCost Correct(const std::shared_ptr<Kestova::KestovaLM>& model,
                       const std::shared_ptr<const Palisar::Lattivor2::ContextModel>& context,
                       const Palisar::Lattivor2::WalkLimits& limits, const Sentence& sentence,
                       Kestova::PickHistory& history, double& clock) {
  using OverrideKind = ReadingGrid::OverrideKind;
  CorrectionCost cost;
  ReadingGrid grid(model);
  grid.setContextModel(context);
  grid.setWalkLimits(limits);
  const auto gold = SplitCharacters(sentence.gold);
  std::vector<size_t> accepted;
  for (size_t i = 0; i < sentence.readings.size(); ++i) {
    if (!grid.addReading(sentence.readings[i])) {
      ++cost.unfixable;
      continue;
    }
    accepted.push_back(i);
    clock += 1;
    BestPath path = grid.bestPath();
    const size_t position = grid.readingCount() - 1;
    Kestova::PickSuggestion suggestion = history.suggestPick(path, position, clock);
    if (!suggestion.empty()) {
      grid.overrideAt(position, suggestion.value,
                      suggestion.forceHighScore ? OverrideKind::HighScore : OverrideKind::TopScore);
    }
  }
  // The gold text of the accepted readings, which is what the grid can show.
  std::vector<std::string> target;
  for (size_t i : accepted) target.push_back(i < gold.size() ? gold[i] : std::string());
  std::vector<bool> givenUp(target.size(), false);
  std::vector<std::pair<size_t, size_t>> fixed;  // spans picked so far
  for (size_t round = 0; round < 4 * target.size() + 4; ++round) {
    BestPath path = grid.bestPath();
    const auto output = SplitCharacters(path.composedText());
    size_t wrong = target.size();
    for (size_t j = 0; j < target.size(); ++j) {
      if (!givenUp[j] && (j >= output.size() || output[j] != target[j])) {
        wrong = j;
        break;
      }
    }
    if (wrong == target.size()) break;
    // The first candidate whose node covers `wrong` and whose value is the
    // gold text of that node's readings.
    const auto candidates = grid.candidateList(wrong);
    size_t chosen = candidates.size();
    size_t chosenStart = 0, chosenLength = 0;
    for (size_t c = 0; c < candidates.size() && chosen == candidates.size(); ++c) {
      const auto value = SplitCharacters(candidates[c].value);
      const size_t length = static_cast<size_t>(std::count(candidates[c].reading.begin(),
                                                           candidates[c].reading.end(), '-')) +
                            1;
      if (value.size() != length) continue;
      // Where the candidate's node starts: it covers `wrong`.
      for (size_t start = wrong + 1 >= length ? wrong + 1 - length : 0; start <= wrong; ++start) {
        if (start + length > target.size()) break;
        std::string readings = sentence.readings[accepted[start]];
        for (size_t k = 1; k < length; ++k)
          readings += "-" + sentence.readings[accepted[start + k]];
        if (readings != candidates[c].reading) continue;
        if (!std::equal(value.begin(), value.end(), target.begin() + start)) continue;
        // Fixing a node releases the nodes that cross it: a typist does not
        // pick what would undo part of an earlier pick.
        const bool undoes = std::any_of(fixed.begin(), fixed.end(), [&](const auto& span) {
          const bool overlaps = start < span.second && span.first < start + length;
          const bool contains = start <= span.first && span.second <= start + length;
          return overlaps && !contains;
        });
        if (undoes) continue;
        chosen = c;
        chosenStart = start;
        chosenLength = length;
        break;
      }
    }
    if (chosen == candidates.size()) {
      givenUp[wrong] = true;
      ++cost.unfixable;
      continue;
    }
    cost.picks += 1 + chosen / 9;
    ++cost.choices;
    std::erase_if(fixed, [&](const auto& span) {
      return chosenStart <= span.first && span.second <= chosenStart + chosenLength;
    });
    fixed.emplace_back(chosenStart, chosenStart + chosenLength);
    const Palisar::Lattivor2::GridCandidate& pick = candidates[chosen];
    grid.overrideAt(wrong, pick, OverrideKind::HighScore);
    BestPath after = grid.bestPath();
    auto covering = after.nodeCovering(wrong);
    clock += 1;
    if (covering && covering->node->currentPhrase().score > kLearningThreshold) {
      history.recordPick(path, after, wrong, clock);
    }
  }
  return cost;
}

struct Outcome {
  std::string gold;
  std::string output;
  size_t characters = 0;
  size_t correct = 0;
  size_t rejected = 0;
};

}  // namespace

int main(int argc, char** argv) {
  std::string dataPath;
  std::string corpusPath;
  std::string contextPath;
  bool useContext = true;
  bool corrections = false;
  int half = 0;  // 1 odd lines, 2 even lines
  double contextWeight = -1;
  double characterWeight = -1;
  double maxCorrections = -1;
  double maxLearningCorrections = -1;
  Palisar::Lattivor2::WalkLimits limits;
  size_t errorsToShow = 0;
  double minChar = -1, minSentence = -1;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--data" && hasValue) {
      dataPath = argv[++i];
    } else if (arg == "--errors" && hasValue) {
      errorsToShow = std::strtoul(argv[++i], nullptr, 10);
    } else if (arg == "--min-char" && hasValue) {
      minChar = std::strtod(argv[++i], nullptr);
    } else if (arg == "--min-sentence" && hasValue) {
      minSentence = std::strtod(argv[++i], nullptr);
    } else if (arg == "--no-context") {
      useContext = false;
    } else if (arg == "--context" && hasValue) {
      contextPath = argv[++i];
    } else if (arg == "--context-weight" && hasValue) {
      contextWeight = std::strtod(argv[++i], nullptr);
    } else if (arg == "--character-weight" && hasValue) {
      characterWeight = std::strtod(argv[++i], nullptr);
    } else if (arg == "--walk-limits" && hasValue) {
      char* end = argv[++i];
      limits.phrasesPerNode = std::strtoul(end, &end, 10);
      if (*end == ',') limits.scoreMargin = std::strtod(end + 1, &end);
      if (*end == ',') limits.statesPerPosition = std::strtoul(end + 1, &end, 10);
    } else if (arg == "--half" && hasValue) {
      std::string_view which = argv[++i];
      half = which == "odd" ? 1 : which == "even" ? 2 : -1;
      if (half < 0) {
        std::fputs(kUsage, stderr);
        return 2;
      }
    } else if (arg == "--corrections") {
      corrections = true;
    } else if (arg == "--max-corrections" && hasValue) {
      maxCorrections = std::strtod(argv[++i], nullptr);
    } else if (arg == "--max-learning-corrections" && hasValue) {
      maxLearningCorrections = std::strtod(argv[++i], nullptr);
    } else if (!arg.empty() && arg[0] != '-' && corpusPath.empty()) {
      corpusPath = arg;
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (dataPath.empty() || corpusPath.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  auto model = std::make_shared<Kestova::KestovaLM>();
  model->openBuiltInTable(dataPath);
  if (!model->builtInTableLoaded()) {
    std::fprintf(stderr, "kestova-eval: cannot open the phrase database %s\n", dataPath.c_str());
    return 2;
  }
  std::shared_ptr<Kestova::ContextLM> context;
  if (useContext) {
    if (contextPath.empty()) {
      const size_t slash = dataPath.rfind('/');
      contextPath = (slash == std::string::npos ? std::string() : dataPath.substr(0, slash + 1)) +
                    "kestova-context.bin";
    }
    context = std::make_shared<Kestova::ContextLM>();
    if (!context->open(contextPath)) context.reset();
    if (context && contextWeight >= 0) context->setWeight(contextWeight);
    if (context && characterWeight >= 0) context->setCharacterWeight(characterWeight);
  }
  if (context) {
    std::printf(
        "model:              %s + context %s (%zu words, %zu pairs, weight %.2f, characters "
        "%.2f)\n",
        dataPath.c_str(), contextPath.c_str(), context->wordCount(), context->pairCount(),
        context->weight(), context->characterWeight());
  } else {
    std::printf("model:              %s, no context file%s\n", dataPath.c_str(),
                useContext ? " (none found)" : "");
  }
  std::ifstream in(corpusPath);
  if (!in) {
    std::fprintf(stderr, "kestova-eval: cannot read %s\n", corpusPath.c_str());
    return 2;
  }
  std::vector<Sentence> sentences;
  {
    std::string line;
    size_t number = 0;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      size_t tab = line.find('\t');
      if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
      ++number;
      if (half == 1 && number % 2 == 0) continue;
      if (half == 2 && number % 2 == 1) continue;
      sentences.push_back(
          {line.substr(0, tab), SplitReadings(std::string_view(line).substr(tab + 1))});
    }
  }
  if (corrections) {
    size_t characters = 0;
    CorrectionCost fresh, learning;
    Kestova::PickHistory shared(500, 5400.0);
    double clock = 0, sharedClock = 0;
    for (const Sentence& sentence : sentences) {
      characters += SplitCharacters(sentence.gold).size();
      Kestova::PickHistory own(500, 5400.0);
      CorrectionCost one = Correct(model, context, limits, sentence, own, clock);
      fresh.picks += one.picks;
      fresh.choices += one.choices;
      fresh.unfixable += one.unfixable;
      CorrectionCost kept = Correct(model, context, limits, sentence, shared, sharedClock);
      learning.picks += kept.picks;
      learning.choices += kept.choices;
      learning.unfixable += kept.unfixable;
    }
    const double per100 = 100.0 / std::max<size_t>(characters, 1);
    std::printf("sentences:          %zu (%zu characters)\n", sentences.size(), characters);
    for (const auto& [name, cost] :
         {std::pair{"fresh:   ", fresh}, std::pair{"learning:", learning}}) {
      std::printf(
          "corrections %s %.2f picks per 100 characters (%zu choices, %zu page turns; %zu "
          "characters no candidate fixes)\n",
          name, cost.picks * per100, cost.choices, cost.picks - cost.choices, cost.unfixable);
    }
    bool pass = true;
    for (const auto& [name, cost, limit] :
         {std::tuple{"fresh", fresh, maxCorrections},
          std::tuple{"learning", learning, maxLearningCorrections}}) {
      if (limit >= 0 && cost.picks * per100 > limit) {
        std::fprintf(stderr, "kestova-eval: %.2f picks per 100 characters %s is above %.2f\n",
                     cost.picks * per100, name, limit);
        pass = false;
      }
    }
    return pass ? 0 : 1;
  }

  std::vector<Outcome> outcomes;
  size_t totalCharacters = 0, totalCorrect = 0, totalRejected = 0, exactSentences = 0;
  size_t totalSyllables = 0;
  std::chrono::steady_clock::duration elapsed{};
  for (const Sentence& sentence : sentences) {
    Outcome outcome;
    outcome.gold = sentence.gold;
    auto gold = SplitCharacters(outcome.gold);
    const auto& readings = sentence.readings;

    auto start = std::chrono::steady_clock::now();
    ReadingGrid grid(model);
    grid.setContextModel(context);
    grid.setWalkLimits(limits);
    std::vector<size_t> accepted;  // gold positions of the accepted syllables
    for (size_t i = 0; i < readings.size(); ++i) {
      if (grid.addReading(readings[i])) {
        accepted.push_back(i);
      } else {
        ++outcome.rejected;
      }
    }
    Palisar::Lattivor2::BestPath path = grid.bestPath();
    for (const auto& node : path.nodes) outcome.output += node->currentValue();
    elapsed += std::chrono::steady_clock::now() - start;

    auto output = SplitCharacters(outcome.output);
    outcome.characters = gold.size();
    for (size_t j = 0; j < output.size() && j < accepted.size(); ++j) {
      if (accepted[j] < gold.size() && output[j] == gold[accepted[j]]) ++outcome.correct;
    }
    totalCharacters += outcome.characters;
    totalCorrect += outcome.correct;
    totalRejected += outcome.rejected;
    totalSyllables += readings.size();
    if (outcome.output == outcome.gold && outcome.rejected == 0) ++exactSentences;
    outcomes.push_back(std::move(outcome));
  }
  if (outcomes.empty()) {
    std::fprintf(stderr, "kestova-eval: no sentences in %s\n", corpusPath.c_str());
    return 2;
  }

  double charAccuracy = 100.0 * totalCorrect / std::max<size_t>(totalCharacters, 1);
  double sentenceAccuracy = 100.0 * exactSentences / outcomes.size();
  double micros = std::chrono::duration<double, std::micro>(elapsed).count();
  std::printf("sentences:          %zu\n", outcomes.size());
  std::printf("character accuracy: %.2f%% (%zu/%zu)\n", charAccuracy, totalCorrect,
              totalCharacters);
  std::printf("sentence accuracy:  %.2f%% (%zu/%zu)\n", sentenceAccuracy, exactSentences,
              outcomes.size());
  std::printf("rejected syllables: %zu\n", totalRejected);
  std::printf("time per sentence:  %.1f us (%.1f us per syllable)\n", micros / outcomes.size(),
              micros / std::max<size_t>(totalSyllables, 1));

  if (errorsToShow > 0) {
    std::vector<const Outcome*> worst;
    for (const auto& outcome : outcomes) {
      if (outcome.correct < outcome.characters) worst.push_back(&outcome);
    }
    std::stable_sort(worst.begin(), worst.end(), [](const Outcome* a, const Outcome* b) {
      return a->characters - a->correct > b->characters - b->correct;
    });
    if (worst.size() > errorsToShow) worst.resize(errorsToShow);
    std::printf("\nworst sentences (wrong characters, gold | output):\n");
    for (const Outcome* outcome : worst) {
      std::printf("%3zu  %s | %s%s\n", outcome->characters - outcome->correct,
                  outcome->gold.c_str(), outcome->output.c_str(),
                  outcome->rejected ? "  (syllables rejected)" : "");
    }
  }

  bool pass = true;
  if (minChar >= 0 && charAccuracy < minChar) {
    std::fprintf(stderr, "kestova-eval: character accuracy %.2f%% is below %.2f%%\n", charAccuracy,
                 minChar);
    pass = false;
  }
  if (minSentence >= 0 && sentenceAccuracy < minSentence) {
    std::fprintf(stderr, "kestova-eval: sentence accuracy %.2f%% is below %.2f%%\n",
                 sentenceAccuracy, minSentence);
    pass = false;
  }
  return pass ? 0 : 1;
}
