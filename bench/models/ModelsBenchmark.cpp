// Loading and look-up costs of the language models. The sorted phrase files
// are generated into a temporary directory when the program starts and
// removed when it ends.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/ModuleLog.h"
#include "models/KestovaLM.h"
#include "models/LanguageModelLoader.h"
#include "models/ParselessLM.h"
#include "models/SortedPhraseFile.h"
#include "notations/InputMacroTable.h"

namespace {

namespace fs = std::filesystem;
using Kestova::KestovaLM;
using Kestova::LanguageModelLoader;
using Kestova::ParselessLM;

constexpr int kPhrasesPerReading = 3;

// The reading of synthetic entry i; fixed width keeps numeric order equal
// to byte order.
std::string readingFor(long i) {
  char text[32];
  std::snprintf(text, sizeof text, "ㄅㄚ-%09ld", i);
  return text;
}

class Workspace {
 public:
  Workspace() {
    std::string pattern = (fs::temp_directory_path() / "kestova-bench-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
  }
  ~Workspace() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // A sorted phrase file of about megabytes MB; generated once.
  const std::string& sortedFile(int megabytes) {
    auto found = files_.find(megabytes);
    if (found != files_.end()) return found->second;
    std::string path = (root_ / ("sorted-" + std::to_string(megabytes) + ".txt")).string();
    // Lines of about 30 bytes until the file has the size asked for.
    const long target = static_cast<long>(megabytes) * 1024 * 1024;
    std::vector<Kestova::PhraseFileLine> lines;
    long written = 0;
    for (long i = 0; written < target; ++i) {
      const std::string reading = readingFor(i);
      for (int j = 0; j < kPhrasesPerReading; ++j) {
        lines.push_back({reading, "詞" + std::to_string(j), -3.25 - j});
        written += static_cast<long>(reading.size() + lines.back().value.size() + 8);
      }
      readings_[megabytes] = i;
    }
    if (!Kestova::writeSortedPhraseFile(path, std::move(lines))) std::abort();
    return files_[megabytes] = path;
  }
  // How many readings the file of that size holds.
  long readingCount(int megabytes) const { return readings_.at(megabytes) + 1; }

  const fs::path& root() const { return root_; }

  // Paths for a loader named name: a data root holding the 1 MB file as its
  // built-in database, and an empty home with a .gcin folder.
  LanguageModelLoader::Paths loaderPaths(const std::string& name) {
    fs::path root = root_ / (name + "-root");
    fs::create_directories(root / "data");
    fs::copy_file(sortedFile(1), root / "data/kestova-data.txt",
                  fs::copy_options::overwrite_existing);
    fs::path home = root_ / (name + "-home");
    fs::remove_all(home);
    fs::create_directories(home / ".gcin");
    return {root.string(), LanguageModelLoader::Paths::userDataDirectoryFor(home.string())};
  }

 private:
  fs::path root_;
  std::map<int, std::string> files_;
  std::map<int, long> readings_;
};

Workspace& workspace() {
  static Workspace instance;
  return instance;
}

void BM_ParselessOpen(benchmark::State& state) {
  const std::string& path = workspace().sortedFile(static_cast<int>(state.range(0)));
  ParselessLM lm;
  for (auto _ : state) {
    lm.close();
    benchmark::DoNotOptimize(lm.open(path));
  }
  state.SetLabel(std::to_string(state.range(0)) + " MB");
}
BENCHMARK(BM_ParselessOpen)->Arg(1)->Arg(10)->Arg(100);

void BM_ParselessHit(benchmark::State& state) {
  Workspace& w = workspace();
  ParselessLM lm;
  lm.open(w.sortedFile(100));
  long count = w.readingCount(100);
  long i = 0;
  for (auto _ : state) {
    // Spread the look-ups over the whole file.
    std::string reading = readingFor((i++ * 7919) % count);
    auto phrases = lm.getScoredPhrases(reading);
    if (phrases.size() != kPhrasesPerReading) state.SkipWithError("wrong hit");
    benchmark::DoNotOptimize(phrases);
  }
}
BENCHMARK(BM_ParselessHit);

void BM_ParselessMiss(benchmark::State& state) {
  Workspace& w = workspace();
  ParselessLM lm;
  lm.open(w.sortedFile(100));
  long count = w.readingCount(100);
  long i = 0;
  for (auto _ : state) {
    // Readings that fall between existing ones, and past the end.
    std::string reading = readingFor((i++ * 7919) % count) + "ˊ";
    auto phrases = lm.getScoredPhrases(reading);
    if (!phrases.empty()) state.SkipWithError("unexpected hit");
    benchmark::DoNotOptimize(phrases);
  }
}
BENCHMARK(BM_ParselessMiss);

void BM_KestovaLMAllSources(benchmark::State& state) {
  Workspace& w = workspace();
  fs::path dir = w.root() / "composite";
  fs::create_directories(dir);
  std::string reading = readingFor(4242);
  auto write = [&](const char* name, const std::string& text) {
    std::ofstream((dir / name).string(), std::ios::binary) << text;
    return (dir / name).string();
  };
  std::string user = write("data.txt", "我的詞 " + reading + "\n詞0 " + reading + "\n");
  std::string excluded = write("exclude-phrases.txt", "詞1 " + reading + "\n");
  std::string replacement = write("phrases-replacement.txt", "詞2 替換詞\n");

  KestovaLM lm;
  lm.openBuiltInTable(w.sortedFile(100));
  lm.openUserFiles(user, excluded);
  lm.openReplacementFile(replacement);
  lm.setReplacementEnabled(true);
  auto table = std::make_shared<Kestova::InputMacroTable>();
  lm.setMacroExpander([table](std::string_view text) { return table->expand(text); });
  for (auto _ : state) {
    auto phrases = lm.getScoredPhrases(reading);
    if (phrases.size() != 3) state.SkipWithError("wrong result");
    benchmark::DoNotOptimize(phrases);
  }
}
BENCHMARK(BM_KestovaLMAllSources);

void BM_ReloadIfChangedNothingChanged(benchmark::State& state) {
  LanguageModelLoader::Paths paths = workspace().loaderPaths("loader");
  // Keep the start-up lines out of the figures.
  auto previous = Kestova::ModuleLog::setSink([](std::string_view) {});
  LanguageModelLoader loader(std::make_unique<Kestova::LoaderStrings>(), paths);
  std::ofstream(loader.userFilesDirectory() + "/phrases-replacement.txt") << "a b\n";
  loader.reloadIfChanged();
  for (auto _ : state) {
    if (loader.reloadIfChanged()) state.SkipWithError("reloaded");
  }
  Kestova::ModuleLog::setSink(std::move(previous));
}
BENCHMARK(BM_ReloadIfChangedNothingChanged);

// Adding a phrase that is listed in an excluded-phrase file of 20,000 lines
// (what Enter on a marked phrase costs): under the lock, the excluded file
// is read, filtered and replaced, the phrase file read and replaced (each
// through a synced temporary file and a synced folder), then both reloaded.
void BM_AddPhraseListedInLongExcludedFile(benchmark::State& state) {
  constexpr int kListed = 20000;
  LanguageModelLoader::Paths paths = workspace().loaderPaths("add");
  auto previous = Kestova::ModuleLog::setSink([](std::string_view) {});
  LanguageModelLoader loader(std::make_unique<Kestova::LoaderStrings>(), paths);
  {
    std::ofstream out(loader.userFilesDirectory() + "/exclude-phrases.txt");
    for (int i = 0; i < kListed; ++i) out << "詞" << i << " " << readingFor(i) << "\n";
  }
  loader.reloadIfChanged();
  long i = 0;
  for (auto _ : state) {
    loader.addPhrase(readingFor(i), "詞" + std::to_string(i));
    ++i;
  }
  if (loader.languageModel()->getScoredPhrases(readingFor(0)).front().value != "詞0") {
    state.SkipWithError("not added");
  }
  Kestova::ModuleLog::setSink(std::move(previous));
}
BENCHMARK(BM_AddPhraseListedInLongExcludedFile)->Iterations(200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
