// Loading and look-up costs of the language models. The sorted phrase files
// are generated into a temporary directory when the program starts and
// removed when it ends.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/ModuleLog.h"
#include "models/ContextFile.h"
#include "models/ContextLM.h"
#include "models/KestovaLM.h"
#include "models/LanguageModelLoader.h"
#include "models/ParselessLM.h"
#include "models/SortedPhraseFile.h"
#include "notations/InputMacroTable.h"

namespace {

namespace fs = std::filesystem;
using Kestova::ContextLM;
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
// (what Enter on a marked phrase costs): under the lock, the line is
// appended to the phrase file and synced, and the excluded file is read,
// filtered and replaced (through a synced temporary file and a synced
// folder). Neither is read again: the model adds the phrase itself.
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

// Adding a phrase to a user phrase file of 1, 10 and 60 MB (the cap is 64),
// none of it excluded: what Enter on a marked phrase costs a user with a
// large file.
void BM_AddPhraseToLargeUserFile(benchmark::State& state) {
  const long megabytes = state.range(0);
  LanguageModelLoader::Paths paths = workspace().loaderPaths("large" + std::to_string(megabytes));
  auto previous = Kestova::ModuleLog::setSink([](std::string_view) {});
  {
    fs::path files = fs::path(paths.userDataDirectory) / "kestova";
    fs::create_directories(files);
    std::ofstream out(files / "data.txt", std::ios::binary);
    const long target = megabytes * 1024 * 1024;
    for (long i = 0, written = 0; written < target; ++i) {
      const std::string line = "用戶詞" + std::to_string(i) + " " + readingFor(i) + "\n";
      out << line;
      written += static_cast<long>(line.size());
    }
  }
  // On the disk before the first addition, as a file written long ago is.
  ::sync();
  LanguageModelLoader loader(std::make_unique<Kestova::LoaderStrings>(), paths);
  long i = 0;
  for (auto _ : state) {
    loader.addPhrase(readingFor(i), "新詞" + std::to_string(i));
    ++i;
  }
  const auto phrases = loader.languageModel()->getScoredPhrases(readingFor(0));
  if (phrases.size() < 2 || phrases[1].value != "新詞0") state.SkipWithError("not added");
  Kestova::ModuleLog::setSink(std::move(previous));
  state.SetLabel(std::to_string(megabytes) + " MB");
}
BENCHMARK(BM_AddPhraseToLargeUserFile)
    ->Arg(1)
    ->Arg(10)
    ->Arg(60)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// Adding a phrase while another program holds the user files' lock (the
// benchmark holds it through a descriptor of its own): how long the key
// that adds it keeps gcin's thread.
void BM_AddPhraseWhileTheLockIsHeld(benchmark::State& state) {
  LanguageModelLoader::Paths paths = workspace().loaderPaths("held");
  auto previous = Kestova::ModuleLog::setSink([](std::string_view) {});
  LanguageModelLoader loader(std::make_unique<Kestova::LoaderStrings>(), paths);
  auto held = LanguageModelLoader::lockUserFiles(loader.userFilesDirectory(), nullptr);
  if (!held) state.SkipWithError("no lock");
  long i = 0;
  for (auto _ : state) {
    loader.addPhrase(readingFor(i), "新詞" + std::to_string(i));
    ++i;
  }
  Kestova::ModuleLog::setSink(std::move(previous));
}
BENCHMARK(BM_AddPhraseWhileTheLockIsHeld)->Iterations(3)->Unit(benchmark::kMillisecond);

// The resident set of this process, in KiB.
long residentKiB() {
  long pages = 0;
  long resident = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Starting the loader, as the module does when gcin first uses Kestova:
// the built-in phrase file and the context file mapped, the user files
// made and loaded; and how much the process's resident set grew by it.
// Over the data root in KESTOVA_BENCH_DATA_ROOT when it is set (the real
// database and context file), else over the generated 1 MB database.
void BM_LoaderStartUp(benchmark::State& state) {
  LanguageModelLoader::Paths paths = workspace().loaderPaths("start");
  const char* root = std::getenv("KESTOVA_BENCH_DATA_ROOT");
  if (root && *root) paths.dataRoot = root;
  auto previous = Kestova::ModuleLog::setSink([](std::string_view) {});
  long grown = 0;
  for (auto _ : state) {
    const long before = residentKiB();
    LanguageModelLoader loader(std::make_unique<Kestova::LoaderStrings>(), paths);
    benchmark::DoNotOptimize(loader.languageModel().get());
    grown = residentKiB() - before;
  }
  Kestova::ModuleLog::setSink(std::move(previous));
  state.counters["resident_KiB"] = static_cast<double>(grown);
}
BENCHMARK(BM_LoaderStartUp)->Unit(benchmark::kMicrosecond);

// The work before every key (LanguageModelLoader::checkBetweenKeys) when
// nothing waits for the lock: one fstat() of the mapped phrase file.
void BM_CheckBetweenKeys(benchmark::State& state) {
  LanguageModelLoader::Paths paths = workspace().loaderPaths("check");
  auto previous = Kestova::ModuleLog::setSink([](std::string_view) {});
  LanguageModelLoader loader(std::make_unique<Kestova::LoaderStrings>(), paths);
  for (auto _ : state) loader.checkBetweenKeys();
  if (!loader.builtInPhrasesUsable()) state.SkipWithError("set aside");
  Kestova::ModuleLog::setSink(std::move(previous));
}
BENCHMARK(BM_CheckBetweenKeys);

// Opening (reading) a context file of about 1.2 MB, near the size of the
// built one.
void BM_ContextOpen(benchmark::State& state) {
  const std::string path = (workspace().root() / "context.bin").string();
  if (!fs::exists(path)) {
    Kestova::ContextFileContents contents;
    for (int i = 0; i < 40000; ++i) contents.words.push_back({"詞" + std::to_string(i), -1.5});
    for (int i = 0; i < 80000; ++i) {
      contents.pairs.push_back(
          {"詞" + std::to_string(i % 40000), "詞" + std::to_string((i * 7919) % 40000), 0.5});
    }
    if (!Kestova::writeContextFile(path, contents)) std::abort();
  }
  ContextLM model;
  for (auto _ : state) {
    model.close();
    if (!model.open(path)) state.SkipWithError("not opened");
  }
  state.SetLabel(std::to_string(fs::file_size(path) / 1024) + " KiB");
}
BENCHMARK(BM_ContextOpen);

}  // namespace

BENCHMARK_MAIN();
