// Kestova against the Bopomofo engine most Linux users type with today,
// side by side in one run: the dev sentences typed key by key on the
// Standard layout into both engines, start-up of the core and of the gcin
// module, memory after start-up and after the dev set, and the per-key cost
// of long compositions. See bench/README.md for what each figure means.
//
// Start-up and memory samples each run in a fresh child process (this same
// program with --child), so that no sample sees what another one loaded.
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "bench/comparison/DevSet.h"
#include "bench/comparison/Engines.h"
#include "bench/comparison/Measure.h"
#include "bench/comparison/ModuleProbe.h"
#include "testhost/PrivateXServer.h"
#include "text/Utf8.h"

extern char** environ;

namespace Kestova::Bench {
namespace {

namespace fs = std::filesystem;

struct Options {
  std::string devSet = KESTOVA_BENCH_DEV_SET;
  std::string builtInData = KESTOVA_BENCH_BUILTIN_DATA;
  std::string modulePath = KESTOVA_BENCH_MODULE;
  int passes = 3;
  int startupSamples = 15;
  int moduleSamples = 7;
  int longRepetitions = 5;
  std::set<std::string> sections;  // empty: all
  // Child processes.
  std::string child;
  std::string workspace;
  bool hostWindowFirst = false;
  bool typeDevSet = false;
  bool preeditInApplication = false;
  // Leave the other engine out of the per-key figures (quick runs while tuning).
  bool kestovaOnly = false;

  bool wants(const std::string& section) const {
    return sections.empty() || sections.count(section) > 0;
  }
};

void usage() {
  std::fprintf(
      stderr,
      "usage: kestova_comparison_bench [--only keys,corrections,long,startup,memory,module]\n"
      "         [--passes N] [--startup-samples N] [--module-samples N]\n"
      "         [--long-repetitions N] [--kestova-only] [--dev FILE[,FILE...]] [--data FILE]\n"
      "         [--module FILE]\n");
}

bool parseOptions(int argc, char** argv, Options* options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (arg == "--host-window") {
      options->hostWindowFirst = true;
      continue;
    }
    if (arg == "--type") {
      options->typeDevSet = true;
      continue;
    }
    if (arg == "--preedit-in-application") {
      options->preeditInApplication = true;
      continue;
    }
    if (arg == "--kestova-only") {
      options->kestovaOnly = true;
      continue;
    }
    if (!(v = value())) return false;
    if (arg == "--dev") {
      options->devSet = v;
    } else if (arg == "--data") {
      options->builtInData = v;
    } else if (arg == "--module") {
      options->modulePath = v;
    } else if (arg == "--passes") {
      options->passes = std::max(1, std::atoi(v));
    } else if (arg == "--startup-samples") {
      options->startupSamples = std::max(1, std::atoi(v));
    } else if (arg == "--module-samples") {
      options->moduleSamples = std::max(1, std::atoi(v));
    } else if (arg == "--long-repetitions") {
      options->longRepetitions = std::max(1, std::atoi(v));
    } else if (arg == "--only") {
      std::stringstream list{std::string(v)};
      std::string section;
      while (std::getline(list, section, ',')) options->sections.insert(section);
    } else if (arg == "--child") {
      options->child = v;
    } else if (arg == "--workspace") {
      options->workspace = v;
    } else {
      return false;
    }
  }
  return true;
}

// ---------------------------------------------------------------------------
// Child processes.

using Figures = std::map<std::string, double>;

std::string selfPath() {
  std::error_code error;
  fs::path path = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

// Runs this program with `args` and reads the "name value" lines it prints.
Figures runChild(const Options& options, std::vector<std::string> args) {
  args.insert(args.begin(), {selfPath(), "--dev", options.devSet, "--data", options.builtInData,
                             "--module", options.modulePath});
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int pipeEnds[2];
  Figures figures;
  if (pipe(pipeEnds) != 0) return figures;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  std::string output;
  char buffer[4096];
  ssize_t n = 0;
  while (spawned == 0 && (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
    output.append(buffer, static_cast<std::size_t>(n));
  }
  close(pipeEnds[0]);
  int status = 0;
  if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "child %s failed\n", args.size() > 8 ? args[8].c_str() : "?");
    return {};
  }
  std::istringstream lines(output);
  std::string name;
  double value = 0;
  while (lines >> name >> value) figures[name] = value;
  return figures;
}

std::vector<double> collect(const std::vector<Figures>& runs, const std::string& name) {
  std::vector<double> values;
  for (const Figures& figures : runs) {
    auto found = figures.find(name);
    if (found != figures.end()) values.push_back(found->second);
  }
  return values;
}

void printMemory(const char* prefix, const MemoryUse& use) {
  std::printf("%s_rss_kb %ld\n%s_private_kb %ld\n%s_private_dirty_kb %ld\n%s_anonymous_kb %ld\n",
              prefix, use.rss, prefix, use.privateTotal(), prefix, use.privateDirty, prefix,
              use.anonymous);
}

template <typename Session>
void typeSentence(Session& session, const DevSentence& sentence) {
  session.clear();
  for (char key : sentence.keys) session.press(key);
}

template <typename Session>
int engineChild(const Options& options, const std::vector<DevSentence>& devSet, bool memory) {
  Workspace workspace(options.workspace, options.builtInData);
  const MemoryUse before = currentMemoryUse();
  const Clock::time_point start = Clock::now();
  Session session(workspace);
  const Clock::time_point ready = Clock::now();
  const MemoryUse started = currentMemoryUse();
  std::printf("startup_us %.1f\n", microsecondsBetween(start, ready));
  if constexpr (std::is_same_v<Session, KestovaSession>) {
    std::printf("loader_us %.1f\nhandler_us %.1f\n", session.loaderMicroseconds(),
                session.handlerMicroseconds());
  }
  // The first sentence after start-up pays for the first touches of the data.
  const Clock::time_point firstStart = Clock::now();
  if (!devSet.empty()) typeSentence(session, devSet.front());
  std::printf("first_sentence_us %.1f\n", microsecondsBetween(firstStart, Clock::now()));
  if (!memory) return 0;
  for (const DevSentence& sentence : devSet) typeSentence(session, sentence);
  session.clear();
  const MemoryUse typed = currentMemoryUse();
  // How much of it is the engine's data files, mapped read-only.
  const MemoryUse data = mappedFileUse(
      std::is_same_v<Session, KestovaSession> ? "/data/kestova-" : "/usr/share/libchewing/");
  printMemory("before", before);
  printMemory("started", started);
  printMemory("typed", typed);
  printMemory("typed_data", data);
  return 0;
}

int runChildMode(const Options& options, const std::vector<DevSentence>& devSet) {
  if (options.child == "kestova-startup") {
    return engineChild<KestovaSession>(options, devSet, false);
  }
  if (options.child == "chewing-startup") {
    return engineChild<ChewingSession>(options, devSet, false);
  }
  if (options.child == "kestova-memory") return engineChild<KestovaSession>(options, devSet, true);
  if (options.child == "chewing-memory") return engineChild<ChewingSession>(options, devSet, true);
  if (options.child == "module") {
    ModuleProbeOptions probe;
    probe.modulePath = options.modulePath;
    probe.builtInData = options.builtInData;
    probe.workspace = options.workspace;
    probe.hostWindowFirst = options.hostWindowFirst;
    probe.typeDevSet = options.typeDevSet;
    probe.preeditInApplication = options.preeditInApplication;
    return runModuleProbe(probe, devSet);
  }
  std::fprintf(stderr, "unknown child %s\n", options.child.c_str());
  return 2;
}

// ---------------------------------------------------------------------------
// Per-key cost over the dev set.

struct KeySamples {
  std::vector<double> wall;
  std::vector<double> cpu;
  std::vector<double> syllableWall;  // keys that complete a syllable
  std::vector<double> otherWall;     // keys that only add a symbol
  std::size_t goldCharacters = 0;
  std::size_t rightCharacters = 0;
  std::size_t rightSentences = 0;
  // The same per corpus: gold characters, right characters, right
  // sentences, sentences.
  std::map<std::size_t, std::array<std::size_t, 4>> byCorpus;
};

std::vector<std::string> characters(const std::string& text) {
  std::vector<std::string> out;
  for (std::string_view character : Utf8::splitCharacters(text)) out.emplace_back(character);
  return out;
}

template <typename Session>
void timeSentence(Session& session, const DevSentence& sentence, KeySamples& samples, bool score) {
  session.clear();
  std::size_t nextEnd = 0;
  for (std::size_t i = 0; i < sentence.keys.size(); ++i) {
    // The CPU clock is read outside the wall clock: it costs a system call.
    const double cpuStart = threadCpuMicroseconds();
    const Clock::time_point start = Clock::now();
    session.press(sentence.keys[i]);
    const Clock::time_point end = Clock::now();
    const double cpuEnd = threadCpuMicroseconds();
    const double wall = microsecondsBetween(start, end);
    samples.wall.push_back(wall);
    samples.cpu.push_back(cpuEnd - cpuStart);
    if (nextEnd < sentence.syllableEnds.size() && sentence.syllableEnds[nextEnd] == i) {
      samples.syllableWall.push_back(wall);
      ++nextEnd;
    } else {
      samples.otherWall.push_back(wall);
    }
  }
  if (!score) return;
  const std::vector<std::string> gold = characters(sentence.gold);
  const std::vector<std::string> got = characters(session.composed());
  std::size_t right = 0;
  for (std::size_t i = 0; i < gold.size() && i < got.size(); ++i) right += gold[i] == got[i];
  samples.goldCharacters += gold.size();
  samples.rightCharacters += right;
  samples.rightSentences += got == gold;
  auto& corpus = samples.byCorpus[sentence.corpus];
  corpus[0] += gold.size();
  corpus[1] += right;
  corpus[2] += got == gold;
  corpus[3] += 1;
}

void printByCorpus(const char* engine, const KeySamples& samples) {
  for (const auto& [corpus, counts] : samples.byCorpus) {
    std::printf("    %s, corpus %zu: %zu/%zu characters (%.2f%%), %zu/%zu sentences (%.2f%%)\n",
                engine, corpus + 1, counts[1], counts[0], 100.0 * counts[1] / counts[0], counts[2],
                counts[3], 100.0 * counts[2] / counts[3]);
  }
}

// What reading each clock costs, as the median of back-to-back reads.
double wallClockOverhead() {
  std::vector<double> samples;
  for (int i = 0; i < 20000; ++i) {
    const Clock::time_point start = Clock::now();
    samples.push_back(microsecondsBetween(start, Clock::now()));
  }
  return summarize(samples).median;
}

double cpuClockOverhead() {
  std::vector<double> samples;
  for (int i = 0; i < 20000; ++i) {
    const double start = threadCpuMicroseconds();
    samples.push_back(threadCpuMicroseconds() - start);
  }
  return summarize(samples).median;
}

void printSummaryRow(const char* name, const Summary& s) {
  std::printf("  %-22s %9zu %10.2f %10.2f %10.2f %10.2f %10.2f\n", name, s.count, s.median, s.p90,
              s.p99, s.max, s.mean);
}

void printSummaryHeader(const char* unit) {
  std::printf("  %-22s %9s %10s %10s %10s %10s %10s   (%s)\n", "", "keys", "median", "p90", "p99",
              "max", "mean", unit);
}

void runKeys(const Options& options, const std::vector<DevSentence>& devSet) {
  std::printf(
      "\n== Per key over the dev set (%zu sentences, %d passes, keys interleaved "
      "sentence by sentence) ==\n",
      devSet.size(), options.passes);
  Workspace workspace{fs::path(options.builtInData)};
  KestovaSession kestova(workspace);
  ChewingSession chewing(workspace);
  if (!chewing.ok()) {
    std::printf("  the other engine could not start; skipped\n");
    return;
  }
  std::printf("  libchewing composes up to %d characters before committing by itself\n",
              chewing.compositionLimit());
  // Warm-up: both engines touch their data once.
  KeySamples ignored;
  for (std::size_t i = 0; i < devSet.size() && i < 100; ++i) {
    timeSentence(kestova, devSet[i], ignored, false);
    if (!options.kestovaOnly) timeSentence(chewing, devSet[i], ignored, false);
  }
  KeySamples k;
  KeySamples c;
  for (int pass = 0; pass < options.passes; ++pass) {
    for (std::size_t i = 0; i < devSet.size(); ++i) {
      const bool score = pass == 0;
      if (options.kestovaOnly) {
        timeSentence(kestova, devSet[i], k, score);
        continue;
      }
      // Alternate which engine goes first so neither always follows the other.
      if ((i + static_cast<std::size_t>(pass)) % 2 == 0) {
        timeSentence(kestova, devSet[i], k, score);
        timeSentence(chewing, devSet[i], c, score);
      } else {
        timeSentence(chewing, devSet[i], c, score);
        timeSentence(kestova, devSet[i], k, score);
      }
    }
  }
  const Summary kw = summarize(k.wall);
  const Summary cw = summarize(c.wall);
  printSummaryHeader("wall clock, microseconds per key");
  if (options.kestovaOnly) {
    printSummaryRow("Kestova", kw);
    printSummaryRow("Kestova syllable keys", summarize(k.syllableWall));
    printSummaryRow("Kestova symbol keys", summarize(k.otherWall));
    printSummaryHeader("thread CPU time, microseconds per key");
    printSummaryRow("Kestova", summarize(k.cpu));
    std::printf(
        "  composed text equal to the gold text (pass 1): %zu/%zu characters, %zu/%zu "
        "sentences\n",
        k.rightCharacters, k.goldCharacters, k.rightSentences, devSet.size());
    printByCorpus("Kestova", k);
    return;
  }
  printSummaryRow("Kestova", kw);
  printSummaryRow("libchewing", cw);
  const Summary ks = summarize(k.syllableWall);
  const Summary cs = summarize(c.syllableWall);
  printSummaryRow("Kestova syllable keys", ks);
  printSummaryRow("libchewing syll. keys", cs);
  printSummaryRow("Kestova symbol keys", summarize(k.otherWall));
  printSummaryRow("libchewing symbol keys", summarize(c.otherWall));
  const Summary kc = summarize(k.cpu);
  const Summary cc = summarize(c.cpu);
  printSummaryHeader("thread CPU time, microseconds per key");
  printSummaryRow("Kestova", kc);
  printSummaryRow("libchewing", cc);
  std::printf(
      "  libchewing / Kestova: median %.1fx, p99 %.1fx (wall clock); median %.1fx, p99 "
      "%.1fx (CPU time)\n",
      cw.median / kw.median, cw.p99 / kw.p99, cc.median / kc.median, cc.p99 / kc.p99);
  std::printf("  syllable keys alone: median %.1fx, p99 %.1fx (wall clock)\n",
              cs.median / ks.median, cs.p99 / ks.p99);
  std::printf("  clock overhead per key (median): wall clock %.3f us, CPU time %.3f us\n",
              wallClockOverhead(), cpuClockOverhead());
  std::printf(
      "  composed text equal to the gold text (pass 1): Kestova %zu/%zu characters, "
      "%zu/%zu sentences; libchewing %zu/%zu characters, %zu/%zu sentences\n",
      k.rightCharacters, k.goldCharacters, k.rightSentences, devSet.size(), c.rightCharacters,
      c.goldCharacters, c.rightSentences, devSet.size());
  printByCorpus("Kestova", k);
  printByCorpus("libchewing", c);
}

// ---------------------------------------------------------------------------
// Corrections: what a typist pays the other engine to get each sentence
// right (ChewingSession::correct), fresh (nothing committed, so nothing
// learnt) and learning (each corrected sentence committed). Kestova's figure
// on the same rules comes from kestova-eval --corrections.

void runRetyping(const Options& options, const std::vector<DevSentence>& devSet);
void runTwoPasses(const Options& options, const std::vector<DevSentence>& devSet);

void runCorrections(const Options& options, const std::vector<DevSentence>& devSet) {
  std::printf("\n== Corrections: picks per 100 characters, libchewing ==\n");
  Workspace workspace{fs::path(options.builtInData)};
  ChewingSession fresh(workspace);
  if (!fresh.ok()) {
    std::printf("  the other engine could not start; skipped\n");
    return;
  }
  Workspace learningSpace{fs::path(options.builtInData)};
  ChewingSession learning(learningSpace);
  std::map<std::size_t, std::array<std::size_t, 5>> byCorpus;
  for (const DevSentence& sentence : devSet) {
    auto& counts = byCorpus[sentence.corpus];
    counts[0] += Utf8::characterCount(sentence.gold);
    typeSentence(fresh, sentence);
    const auto once = fresh.correct(sentence.gold, false);
    counts[1] += once.picks;
    counts[2] += once.unfixable;
    learning.clear();
    for (char key : sentence.keys) learning.press(key);
    const auto kept = learning.correct(sentence.gold, true);
    counts[3] += kept.picks;
    counts[4] += kept.unfixable;
  }
  for (const auto& [corpus, counts] : byCorpus) {
    std::printf(
        "  corpus %zu (%zu characters): fresh %.2f (%zu picks, %zu characters unfixable), "
        "learning %.2f (%zu picks, %zu unfixable)\n",
        corpus + 1, counts[0], 100.0 * counts[1] / counts[0], counts[1], counts[2],
        100.0 * counts[3] / counts[0], counts[3], counts[4]);
  }
  runRetyping(options, devSet);
  runTwoPasses(options, devSet);
}

// Retyping: in one session, each sentence is typed, corrected and committed
// (the engine learns from the commit), then typed again; the share of the
// corrected sentences that come out right the second time. Kestova's figure
// comes from kestova-eval --retype.
void runRetyping(const Options& options, const std::vector<DevSentence>& devSet) {
  std::printf("\n== Retyped after correcting, libchewing ==\n");
  Workspace workspace{fs::path(options.builtInData)};
  ChewingSession session(workspace);
  if (!session.ok()) return;
  std::map<std::size_t, std::array<std::size_t, 2>> byCorpus;  // corrected, right again
  for (const DevSentence& sentence : devSet) {
    typeSentence(session, sentence);
    const auto cost = session.correct(sentence.gold, true);
    if (cost.picks == 0) continue;
    auto& counts = byCorpus[sentence.corpus];
    ++counts[0];
    typeSentence(session, sentence);
    if (session.composed() == sentence.gold) ++counts[1];
    session.clear();
  }
  for (const auto& [corpus, counts] : byCorpus) {
    std::printf("  corpus %zu: %zu of %zu corrected sentences right when retyped (%.2f%%)\n",
                corpus + 1, counts[1], counts[0],
                counts[0] ? 100.0 * counts[1] / counts[0] : 100.0);
  }
}

// Two passes: each corpus typed, corrected and committed sentence by
// sentence twice in one session; the second pass's accuracy before its
// corrections, and its picks per 100 characters. Kestova's figure comes from
// kestova-eval --passes 2.
void runTwoPasses(const Options& options, const std::vector<DevSentence>& devSet) {
  std::printf("\n== Second pass of the corpus in one session, libchewing ==\n");
  std::map<std::size_t, std::vector<const DevSentence*>> corpora;
  for (const DevSentence& sentence : devSet) corpora[sentence.corpus].push_back(&sentence);
  for (const auto& [corpus, sentences] : corpora) {
    Workspace workspace{fs::path(options.builtInData)};
    ChewingSession session(workspace);
    if (!session.ok()) return;
    std::size_t characters = 0, right = 0, picks = 0, first = 0;
    for (int pass = 0; pass < 2; ++pass) {
      for (const DevSentence* sentence : sentences) {
        typeSentence(session, *sentence);
        if (pass == 1) {
          // The text as typed, before this pass corrects it.
          const std::string text = session.composed();
          const auto typed = Utf8::splitCharacters(text);
          const auto gold = Utf8::splitCharacters(sentence->gold);
          characters += gold.size();
          for (std::size_t i = 0; i < gold.size() && i < typed.size(); ++i) {
            right += typed[i] == gold[i];
          }
        }
        (pass == 0 ? first : picks) += session.correct(sentence->gold, true).picks;
      }
    }
    std::printf(
        "  corpus %zu: second pass %.2f%% characters right (%zu/%zu), %.2f picks per "
        "100 characters (first pass %.2f)\n",
        corpus + 1, characters ? 100.0 * right / characters : 0.0, right, characters,
        characters ? 100.0 * picks / characters : 0.0,
        characters ? 100.0 * first / characters : 0.0);
  }
}

// ---------------------------------------------------------------------------
// Long compositions.

void runLong(const Options& options, const std::vector<DevSentence>& devSet) {
  constexpr std::size_t kReadings = 1000;
  std::printf("\n== Long composition: %zu readings typed without committing, %d runs ==\n",
              kReadings, options.longRepetitions);
  if (devSet.empty()) return;
  Workspace workspace{fs::path(options.builtInData)};
  KestovaSession kestova(workspace);
  struct Bucket {
    const char* name;
    std::size_t first;
    std::size_t last;  // readings, 1-based, inclusive
    std::vector<double> all;
    std::vector<double> syllable;
  };
  std::vector<Bucket> buckets = {{"readings 1-10", 1, 10, {}, {}},
                                 {"readings 91-100", 91, 100, {}, {}},
                                 {"readings 991-1000", 991, 1000, {}, {}}};
  // Ten more readings typed in the middle of the 1,000, the caret moved
  // there with Left (not timed).
  Bucket middle{"10 readings typed at 500 of 1000", 1, 10, {}, {}};
  bool complete = true;
  for (int run = 0; run < options.longRepetitions; ++run) {
    // The syllables of consecutive dev sentences, from a different sentence each run.
    std::string keys;
    std::vector<std::size_t> readingOfKey;
    std::vector<bool> endsSyllable;
    std::size_t readings = 0;
    for (std::size_t s = static_cast<std::size_t>(run) * 300; readings < kReadings; ++s) {
      const DevSentence& sentence = devSet[s % devSet.size()];
      std::size_t start = 0;
      for (std::size_t end : sentence.syllableEnds) {
        if (readings == kReadings) break;
        ++readings;
        for (std::size_t i = start; i <= end; ++i) {
          keys += sentence.keys[i];
          readingOfKey.push_back(readings);
          endsSyllable.push_back(i == end);
        }
        start = end + 1;
      }
    }
    kestova.clear();
    for (std::size_t i = 0; i < keys.size(); ++i) {
      const Clock::time_point start = Clock::now();
      kestova.press(keys[i]);
      const double wall = microsecondsBetween(start, Clock::now());
      for (Bucket& bucket : buckets) {
        if (readingOfKey[i] < bucket.first || readingOfKey[i] > bucket.last) continue;
        bucket.all.push_back(wall);
        if (endsSyllable[i]) bucket.syllable.push_back(wall);
      }
    }
    complete = complete && kestova.readingCount() == kReadings;
    for (std::size_t i = 0; i < kReadings / 2; ++i) kestova.press(NamedKey::Left);
    for (std::size_t i = 0; i < keys.size() && readingOfKey[i] <= middle.last; ++i) {
      const Clock::time_point start = Clock::now();
      kestova.press(keys[i]);
      const double wall = microsecondsBetween(start, Clock::now());
      middle.all.push_back(wall);
      if (endsSyllable[i]) middle.syllable.push_back(wall);
    }
    complete = complete && kestova.readingCount() == kReadings + middle.last;
  }
  printSummaryHeader("wall clock, microseconds per key");
  buckets.push_back(std::move(middle));
  for (const Bucket& bucket : buckets) {
    printSummaryRow(bucket.name, summarize(bucket.all));
    printSummaryRow("  syllable keys", summarize(bucket.syllable));
  }
  if (!complete) std::printf("  warning: a run did not end with %zu readings\n", kReadings);
}

// ---------------------------------------------------------------------------
// Start-up and memory.

void printStartupRow(const char* name, const std::vector<double>& values, int width = 34) {
  const Summary s = summarize(values);
  std::printf("  %-*s %8zu %10.1f %10.1f %10.1f\n", width, name, s.count, s.median,
              values.empty() ? 0.0 : *std::min_element(values.begin(), values.end()), s.max);
}

void runStartup(const Options& options) {
  std::printf("\n== Start-up, fresh process per sample (%d samples) ==\n", options.startupSamples);
  Workspace workspace{fs::path(options.builtInData)};
  const std::string dir = workspace.directory().string();
  // First runs create the user files of both engines; they are not counted.
  runChild(options, {"--child", "kestova-startup", "--workspace", dir});
  runChild(options, {"--child", "chewing-startup", "--workspace", dir});
  std::vector<Figures> kestova;
  std::vector<Figures> chewing;
  for (int i = 0; i < options.startupSamples; ++i) {
    kestova.push_back(runChild(options, {"--child", "kestova-startup", "--workspace", dir}));
    chewing.push_back(runChild(options, {"--child", "chewing-startup", "--workspace", dir}));
  }
  std::printf("  %-34s %8s %10s %10s %10s   (microseconds)\n", "", "samples", "median", "min",
              "max");
  printStartupRow("Kestova core ready", collect(kestova, "startup_us"));
  printStartupRow("  loader", collect(kestova, "loader_us"));
  printStartupRow("  key handler", collect(kestova, "handler_us"));
  printStartupRow("libchewing context created", collect(chewing, "startup_us"));
  printStartupRow("Kestova first sentence", collect(kestova, "first_sentence_us"));
  printStartupRow("libchewing first sentence", collect(chewing, "first_sentence_us"));
}

void printMemoryTable(const char* name, const Figures& f) {
  auto get = [&](const std::string& key) {
    auto found = f.find(key);
    return found == f.end() ? 0.0 : found->second;
  };
  std::printf("  %s\n", name);
  for (const char* stage : {"started", "typed"}) {
    const std::string s = stage;
    std::printf(
        "    %-26s RSS %8.0f kB (%+7.0f)   private %8.0f kB (%+7.0f)   private dirty "
        "%+7.0f kB\n",
        s == "started" ? "after start-up" : "after the dev set", get(s + "_rss_kb"),
        get(s + "_rss_kb") - get("before_rss_kb"), get(s + "_private_kb"),
        get(s + "_private_kb") - get("before_private_kb"),
        get(s + "_private_dirty_kb") - get("before_private_dirty_kb"));
  }
  std::printf(
      "    growth while typing the dev set: RSS %+.0f kB, private %+.0f kB, private "
      "dirty %+.0f kB, anonymous %+.0f kB\n",
      get("typed_rss_kb") - get("started_rss_kb"),
      get("typed_private_kb") - get("started_private_kb"),
      get("typed_private_dirty_kb") - get("started_private_dirty_kb"),
      get("typed_anonymous_kb") - get("started_anonymous_kb"));
  std::printf(
      "    of which the mapped data files after the dev set: RSS %.0f kB, private %.0f kB "
      "(clean file pages)\n",
      get("typed_data_rss_kb"), get("typed_data_private_kb"));
}

void runMemory(const Options& options) {
  std::printf(
      "\n== Memory (/proc/self/smaps_rollup), fresh process per engine; "
      "(+n) = growth since just before start-up ==\n");
  Workspace workspace{fs::path(options.builtInData)};
  const std::string dir = workspace.directory().string();
  runChild(options, {"--child", "kestova-startup", "--workspace", dir});
  runChild(options, {"--child", "chewing-startup", "--workspace", dir});
  printMemoryTable("Kestova core (loader and key handler)",
                   runChild(options, {"--child", "kestova-memory", "--workspace", dir}));
  printMemoryTable("libchewing context",
                   runChild(options, {"--child", "chewing-memory", "--workspace", dir}));
}

void runModule(const Options& options) {
  std::printf("\n== gcin module through the test host (fresh process per sample, %d samples) ==\n",
              options.moduleSamples);
  // Without a display of its own the run brings up a private X server.
  std::unique_ptr<PrivateXServer> server;
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    server = std::make_unique<PrivateXServer>();
    if (!server->running()) {
      std::printf("  skipped: no X display and no private X server (%s)\n",
                  server->error().c_str());
      return;
    }
  }
  // No accessibility bus and the X11 backend, as under gcin.
  setenv("NO_AT_BRIDGE", "1", 1);
  setenv("GDK_BACKEND", "x11", 1);
  Workspace workspace{fs::path(options.builtInData)};
  const std::string dir = workspace.directory().string();
  runChild(options, {"--child", "module", "--workspace", dir});
  std::vector<Figures> first;
  std::vector<Figures> afterHost;
  for (int i = 0; i < options.moduleSamples; ++i) {
    first.push_back(runChild(options, {"--child", "module", "--workspace", dir}));
    afterHost.push_back(
        runChild(options, {"--child", "module", "--workspace", dir, "--host-window"}));
  }
  std::printf("  %-50s %8s %10s %10s %10s   (microseconds)\n", "", "samples", "median", "min",
              "max");
  printStartupRow("module_init_win to core ready (no status window)",
                  collect(afterHost, "init_core_us"), 50);
  printStartupRow("module_init_win, status window built", collect(afterHost, "init_total_us"), 50);
  printStartupRow("  same, status window is the first GTK window", collect(first, "init_total_us"),
                  50);
  printStartupRow("  core ready, status window first GTK window", collect(first, "init_core_us"),
                  50);

  // Every key with the status window showing the composition (an XIM
  // application), then with the preedit in the application (gcin's
  // default, the status window showing hints only).
  const Figures typed =
      runChild(options, {"--child", "module", "--workspace", dir, "--host-window", "--type"});
  const Figures typedInApplication =
      runChild(options, {"--child", "module", "--workspace", dir, "--host-window", "--type",
                         "--preedit-in-application"});
  auto get = [&](const std::string& key, const Figures& figures) {
    auto found = figures.find(key);
    return found == figures.end() ? 0.0 : found->second;
  };
  for (const auto& [label, figures] :
       {std::pair{"status window shows the composition", &typed},
        std::pair{"preedit in the application", &typedInApplication}}) {
    std::printf(
        "  module_feedkey + module_get_preedit over the dev set, %s: %.0f keys, median %.2f us, "
        "p99 %.2f us\n",
        label, get("key_count", *figures), get("key_median_us", *figures),
        get("key_p99_us", *figures));
  }
  std::printf(
      "  memory: module_init_win added RSS %+.0f kB, private %+.0f kB, anonymous %+.0f kB; "
      "the dev set added RSS %+.0f kB, private %+.0f kB, private dirty %+.0f kB, anonymous "
      "%+.0f kB\n",
      get("started_rss_kb", typed) - get("before_rss_kb", typed),
      get("started_private_kb", typed) - get("before_private_kb", typed),
      get("started_anonymous_kb", typed) - get("before_anonymous_kb", typed),
      get("typed_rss_kb", typed) - get("started_rss_kb", typed),
      get("typed_private_kb", typed) - get("started_private_kb", typed),
      get("typed_private_dirty_kb", typed) - get("started_private_dirty_kb", typed),
      get("typed_anonymous_kb", typed) - get("started_anonymous_kb", typed));
}

// The key conversion must agree with the examples of the dev set's notes.
bool keysLookRight() {
  return standardKeys("ㄋㄧˇ").value_or("") + standardKeys("ㄏㄠˇ").value_or("") == "su3cl3" &&
         standardKeys("ㄉㄨㄥ").value_or("") + standardKeys("ㄒㄧ").value_or("") == "2j/ vu " &&
         !standardKeys("x").has_value();
}

}  // namespace
}  // namespace Kestova::Bench

int main(int argc, char** argv) {
  using namespace Kestova::Bench;
  Options options;
  if (!parseOptions(argc, argv, &options)) {
    usage();
    return 2;
  }
  if (!keysLookRight()) {
    std::fprintf(stderr, "the Standard-layout key conversion is wrong\n");
    return 1;
  }
  std::size_t skipped = 0;
  const std::vector<DevSentence> devSet = loadDevSets(options.devSet, &skipped);
  if (devSet.empty()) {
    std::fprintf(stderr, "no sentences in %s\n", options.devSet.c_str());
    return 1;
  }
  if (!options.child.empty()) return runChildMode(options, devSet);

  std::size_t keyCount = 0;
  std::size_t syllables = 0;
  for (const DevSentence& sentence : devSet) {
    keyCount += sentence.keys.size();
    syllables += sentence.syllables.size();
  }
  std::printf("dev set %s: %zu sentences (%zu skipped), %zu syllables, %zu keys\n",
              options.devSet.c_str(), devSet.size(), skipped, syllables, keyCount);
  std::printf("built-in database %s\n", options.builtInData.c_str());
  std::fflush(stdout);
  if (options.wants("keys")) runKeys(options, devSet);
  std::fflush(stdout);
  if (options.wants("corrections")) runCorrections(options, devSet);
  std::fflush(stdout);
  if (options.wants("long")) runLong(options, devSet);
  std::fflush(stdout);
  if (options.wants("startup")) runStartup(options);
  std::fflush(stdout);
  if (options.wants("memory")) runMemory(options);
  std::fflush(stdout);
  if (options.wants("module")) runModule(options);
  return 0;
}
