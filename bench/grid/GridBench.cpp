// One keystroke's worth of grid work, at the end and in the middle of
// compositions of growing length: the edit (addReading, or Backspace) must
// cost the same whatever the length, the walk must grow linearly with it.
// With a context model the walk keeps its states between keystrokes, so a
// keystroke at the end must cost about the same whatever the length.
//
// The edits and the keystroke run at the end and in the middle of compositions
// of 10, 100 and 1000 readings, the walk (which does not depend on the cursor)
// over the same lengths; the complexity fits (_BigO, _RMS) show the growth.
// Edits and keystrokes are timed by hand so that the Backspace restoring the
// composition's length between iterations stays out of the figures.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "grid/ReadingGrid.h"
#include "tests/grid/FixtureModel.h"

namespace {

using KestovaTest::FixtureModel;
using Palisar::Lattivor2::ReadingGrid;

constexpr std::size_t kLongest = 1000;

// A composition of kLongest readings over 128 syllables, and a model that
// knows every syllable (three phrases each) and, along the composition, words
// of two to eight syllables about as densely as running text has them, plus
// unrelated words so the model is not just the composition.
struct Corpus {
  std::shared_ptr<FixtureModel> model = std::make_shared<FixtureModel>();
  std::vector<std::string> text;

  Corpus() {
    const char* initials[] = {"ㄅ", "ㄆ", "ㄇ", "ㄈ", "ㄉ", "ㄊ", "ㄋ", "ㄌ"};
    const char* finals[] = {"ㄚ", "ㄛ", "ㄜ", "ㄞ", "ㄟ", "ㄠ", "ㄡ", "ㄢ"};
    const char* tones[] = {"ˇ", "ˋ"};
    std::vector<std::string> syllables;
    for (const char* i : initials) {
      for (const char* f : finals) {
        for (const char* t : tones) syllables.push_back(std::string(i) + f + t);
      }
    }
    std::mt19937 random(1000);
    auto pick = [&] { return syllables[random() % syllables.size()]; };
    auto join = [](const std::vector<std::string>& run, std::size_t from, std::size_t length) {
      std::string joined = run[from];
      for (std::size_t k = from + 1; k < from + length; ++k) joined.append("-").append(run[k]);
      return joined;
    };
    auto score = [&] { return -3.0 - static_cast<double>(random() % 600) / 100.0; };

    for (const auto& s : syllables) {
      for (int k = 0; k < 3; ++k) model->add(s, std::to_string(k) + s, score());
    }
    for (std::size_t i = 0; i < kLongest; ++i) text.push_back(pick());
    for (std::size_t i = 0; i + 1 < kLongest; ++i) {
      const unsigned dice = random() % 100;
      const std::size_t length = dice < 45 ? 2 : dice < 60 ? 3 : dice < 66 ? 4 : dice < 68 ? 8 : 0;
      if (length == 0 || i + length > kLongest) continue;
      model->add(join(text, i, length), std::to_string(i) + "w", score());
    }
    for (int w = 0; w < 20000; ++w) {
      std::vector<std::string> run{pick(), pick(), pick()};
      model->add(join(run, 0, 2 + random() % 2), std::to_string(w) + "x", score());
    }
  }
};

const Corpus& corpus() {
  static const Corpus instance;
  return instance;
}

// A grid over the first n readings of the composition, its cursor at the end
// or in the middle, and the reading that belongs at the cursor.
// A context model that scores pairs from their values' hashes: a few pairs
// in ten score, as in a real model; the words are all known.
class HashedContext : public Palisar::Lattivor2::ContextModel {
 public:
  Word lookUp(std::string_view value) const override {
    const auto id = static_cast<WordId>(std::hash<std::string_view>()(value) & 0xFFFFFF);
    return Word{id, id ^ 1, id ^ 2};
  }
  Word sentenceStart() const override { return Word{0, 0, 0}; }
  double pairScore(const Word& previous, const Word& next) const override {
    const unsigned mix = (previous.word * 2654435761u) ^ next.word;
    return mix % 10 < 3 ? static_cast<double>(mix % 7) / 4.0 - 0.5 : -0.2;
  }
};

struct Setup {
  ReadingGrid grid;
  std::string typed;

  Setup(std::size_t n, bool middle, bool context = false) : grid(corpus().model) {
    if (context) grid.setContextModel(std::make_shared<HashedContext>());
    for (std::size_t i = 0; i < n; ++i) grid.addReading(corpus().text[i]);
    const std::size_t cursor = middle ? n / 2 : n;
    grid.moveCursor(cursor);
    typed = corpus().text[cursor % kLongest];
    // Place the gap at the cursor, as the typing that led here would have.
    grid.addReading(typed);
    grid.removeReadingBefore();
  }
};

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// addReading then bestPath, the work of one syllable typed. The Backspace that
// keeps the composition's length steady is not timed. With a context model
// the walk keeps its states, and only those right of the edit are walked
// again.
void BM_Keystroke(benchmark::State& state, bool middle, bool context) {
  Setup s(static_cast<std::size_t>(state.range(0)), middle, context);
  if (context) s.grid.bestPath();
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    s.grid.addReading(s.typed);
    auto path = s.grid.bestPath();
    benchmark::DoNotOptimize(path);
    state.SetIterationTime(secondsSince(start));
    s.grid.removeReadingBefore();
  }
  state.SetComplexityN(state.range(0));
}

// The context walk over the whole composition, from no kept states.
void BM_ContextBestPath(benchmark::State& state) {
  Setup s(static_cast<std::size_t>(state.range(0)), false, true);
  std::size_t edges = 0;
  for (auto _ : state) {
    s.grid.invalidateWalk();
    auto path = s.grid.bestPath();
    edges = path.edgeCount;
    benchmark::DoNotOptimize(path);
  }
  state.counters["edges"] = static_cast<double>(edges);
  state.SetComplexityN(state.range(0));
}

// addReading alone: the incremental edit. "lookups" counts the model's
// answers per insertion.
void BM_AddReading(benchmark::State& state, bool middle) {
  Setup s(static_cast<std::size_t>(state.range(0)), middle);
  auto& model = *corpus().model;
  std::size_t lookups = 0;
  for (auto _ : state) {
    const std::size_t callsBefore = model.calls();
    const auto start = std::chrono::steady_clock::now();
    const bool added = s.grid.addReading(s.typed);
    benchmark::DoNotOptimize(added);
    state.SetIterationTime(secondsSince(start));
    lookups += model.calls() - callsBefore;
    s.grid.removeReadingBefore();
  }
  state.counters["lookups"] =
      benchmark::Counter(static_cast<double>(lookups), benchmark::Counter::kAvgIterations);
  state.SetComplexityN(state.range(0));
}

// removeReadingBefore alone (Backspace).
void BM_RemoveReading(benchmark::State& state, bool middle) {
  Setup s(static_cast<std::size_t>(state.range(0)), middle);
  for (auto _ : state) {
    s.grid.addReading(s.typed);
    const auto start = std::chrono::steady_clock::now();
    const bool removed = s.grid.removeReadingBefore();
    benchmark::DoNotOptimize(removed);
    state.SetIterationTime(secondsSince(start));
  }
  state.SetComplexityN(state.range(0));
}

// addReading and removeReadingBefore, in CPU time: the wall-clock figures of
// the single edits suffer when the machine is busy, this pair does not.
void BM_EditCycle(benchmark::State& state, bool middle) {
  Setup s(static_cast<std::size_t>(state.range(0)), middle);
  for (auto _ : state) {
    benchmark::DoNotOptimize(s.grid.addReading(s.typed));
    benchmark::DoNotOptimize(s.grid.removeReadingBefore());
  }
  state.SetComplexityN(state.range(0));
}

// bestPath alone.
void BM_BestPath(benchmark::State& state) {
  Setup s(static_cast<std::size_t>(state.range(0)), false);
  std::size_t edges = 0;
  for (auto _ : state) {
    auto path = s.grid.bestPath();
    edges = path.edgeCount;
    benchmark::DoNotOptimize(path);
  }
  state.counters["edges"] = static_cast<double>(edges);
  state.SetComplexityN(state.range(0));
}

void lengths(benchmark::internal::Benchmark* b) {
  b->ArgNames({"readings"})->Arg(10)->Arg(100)->Arg(1000);
  b->Complexity(benchmark::oAuto)->Unit(benchmark::kMicrosecond);
  // On a busy machine the fastest of several repetitions is the best estimate
  // of the undisturbed cost (--benchmark_repetitions).
  b->ComputeStatistics(
      "min", [](const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); });
}

BENCHMARK_CAPTURE(BM_Keystroke, end, false, false)->Apply(lengths)->UseManualTime();
BENCHMARK_CAPTURE(BM_Keystroke, middle, true, false)->Apply(lengths)->UseManualTime();
BENCHMARK_CAPTURE(BM_AddReading, end, false)->Apply(lengths)->UseManualTime();
BENCHMARK_CAPTURE(BM_AddReading, middle, true)->Apply(lengths)->UseManualTime();
BENCHMARK_CAPTURE(BM_RemoveReading, end, false)->Apply(lengths)->UseManualTime();
BENCHMARK_CAPTURE(BM_RemoveReading, middle, true)->Apply(lengths)->UseManualTime();
BENCHMARK_CAPTURE(BM_EditCycle, end, false)->Apply(lengths);
BENCHMARK_CAPTURE(BM_EditCycle, middle, true)->Apply(lengths);
BENCHMARK(BM_BestPath)->Apply(lengths);
BENCHMARK_CAPTURE(BM_Keystroke, context_end, false, true)->Apply(lengths)->UseManualTime();
BENCHMARK_CAPTURE(BM_Keystroke, context_middle, true, true)->Apply(lengths)->UseManualTime();
BENCHMARK(BM_ContextBestPath)->Apply(lengths);

}  // namespace

BENCHMARK_MAIN();
