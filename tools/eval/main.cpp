// kestova-eval: measures how well the conversion turns Bopomofo into text.
//
// Reads lines "gold TAB readings" (readings: one composed syllable per
// character joined by "-"), types each sentence's syllables into a fresh
// reading grid over the composite language model (the built-in database, no
// user files), walks it, and compares the composed text with the gold text
// character by character. A syllable the grid rejects counts as one wrong
// character; the output is lined up with the syllables that were accepted.
//
// Exit status: 0 on success; 1 if the accuracy falls below --min-char or
// --min-sentence; 2 on bad usage or unreadable input.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "grid/ReadingGrid.h"
#include "models/KestovaLM.h"
#include "text/Utf8.h"

namespace {

constexpr const char* kUsage =
    "usage: kestova-eval --data FILE [--errors N] [--min-char PERCENT] [--min-sentence PERCENT] "
    "CORPUS\n"
    "  --data FILE           the built-in phrase database\n"
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
  std::ifstream in(corpusPath);
  if (!in) {
    std::fprintf(stderr, "kestova-eval: cannot read %s\n", corpusPath.c_str());
    return 2;
  }

  std::vector<Outcome> outcomes;
  size_t totalCharacters = 0, totalCorrect = 0, totalRejected = 0, exactSentences = 0;
  size_t totalSyllables = 0;
  std::chrono::steady_clock::duration elapsed{};
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t tab = line.find('\t');
    if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
    Outcome outcome;
    outcome.gold = line.substr(0, tab);
    auto gold = SplitCharacters(outcome.gold);
    auto readings = SplitReadings(std::string_view(line).substr(tab + 1));

    auto start = std::chrono::steady_clock::now();
    Palisar::Lattivor2::ReadingGrid grid(model);
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
