// The phrase page's work over the built-in phrase database: opening the
// book (the loader, the mapping and the user files), a search by text and by
// reading (Bopomofo and keys, each a pass over every built-in phrase), and
// the readings proposed for a text. The search runs as the user types into
// the search box, so its time is what the window waits for.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "core/PhraseBook.h"

namespace {

namespace fs = std::filesystem;
using Kestova::PhraseBook;

struct Fixture {
  fs::path directory;
  std::unique_ptr<PhraseBook> book;

  ~Fixture() {
    std::error_code ignored;
    fs::remove_all(directory, ignored);
  }
};

fs::path dataRoot(const fs::path& directory) {
  return directory / "root";
}
fs::path userDirectory(const fs::path& directory) {
  return directory / "home/.gcin/kestova";
}

Fixture& fixture() {
  static Fixture made;
  static const bool ready = [] {
    std::string pattern = (fs::temp_directory_path() / "kestova-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::exit(1);
    made.directory = pattern;
    const fs::path database = KESTOVA_BENCH_DATA;
    if (database.empty() || !fs::exists(database)) {
      std::cerr << "no built-in phrase database in this build\n";
      std::exit(1);
    }
    fs::create_directories(dataRoot(made.directory) / "data");
    fs::create_symlink(fs::absolute(database), dataRoot(made.directory) / "data/kestova-data.txt");
    made.book = std::make_unique<PhraseBook>(dataRoot(made.directory).string(),
                                             userDirectory(made.directory).string(),
                                             Kestova::BpmfKeyboardLayout::StandardLayout());
    return true;
  }();
  benchmark::DoNotOptimize(ready);
  return made;
}

void BM_OpenBook(benchmark::State& state) {
  const Fixture& f = fixture();
  for (auto _ : state) {
    PhraseBook book(dataRoot(f.directory).string(), userDirectory(f.directory).string(),
                    Kestova::BpmfKeyboardLayout::StandardLayout());
    benchmark::DoNotOptimize(book.entries().size());
  }
}
BENCHMARK(BM_OpenBook)->Unit(benchmark::kMillisecond);

// Items are listed phrases.
void BM_Search(benchmark::State& state, const char* query) {
  PhraseBook& book = *fixture().book;
  std::size_t listed = 0;
  for (auto _ : state) {
    listed = book.search(query).entries.size();
    benchmark::DoNotOptimize(listed);
  }
  state.counters["listed"] = static_cast<double>(listed);
}
BENCHMARK_CAPTURE(BM_Search, Text, "天氣")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, CommonCharacter, "天")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, Bopomofo, "ㄊㄧㄢㄑㄧˋ")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, Initials, "ㄊㄑ")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, StandardKeys, "wu0fu4")->Unit(benchmark::kMillisecond);

void BM_ProposeReadings(benchmark::State& state) {
  PhraseBook& book = *fixture().book;
  for (auto _ : state) benchmark::DoNotOptimize(book.proposeReadings("銀行街口的天氣"));
}
BENCHMARK(BM_ProposeReadings)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
