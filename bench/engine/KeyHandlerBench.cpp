// Cost of one key in the key handler over a realistic phrase database: a
// generated file of about 110,000 phrases in the sorted format, written to a
// temporary directory when the benchmark starts.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/KeyHandler.h"
#include "engine/KeyHandlerStrings.h"
#include "engine/StateReceiver.h"
#include "models/KestovaLM.h"
#include "models/LearntWordStore.h"
#include "models/SortedPhraseFile.h"
#include "phonetics/BpmfKeyboardLayout.h"
#include "phonetics/BpmfSyllable.h"
#include "text/Utf8.h"

namespace {

using Kestova::BpmfKeyboardLayout;
using Kestova::BpmfSyllable;
using Kestova::Key;
using Kestova::KeyHandler;
using Kestova::StateReceiver;

// A UTF-8 CJK ideograph from U+4E00 on.
std::string ideograph(std::mt19937& rng) {
  std::string s;
  Kestova::Utf8::appendCodePoint(s, static_cast<char32_t>(0x4E00 + rng() % 0x5000));
  return s;
}

struct Database {
  std::filesystem::path dir;
  std::filesystem::path file;
  std::vector<BpmfSyllable> syllables;
  std::vector<std::vector<BpmfSyllable>> words;  // multi-syllable phrases
  std::size_t phraseCount = 0;

  Database() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kestova-engine-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    dir = pattern;
    file = dir / "kestova-data.txt";

    std::mt19937 rng(20261210);
    // About as many distinct syllables as Mandarin has with tones.
    std::set<std::uint16_t> seen;
    while (seen.size() < 1300) {
      const unsigned consonant = rng() % 22;
      const unsigned medial = rng() % 4;
      const unsigned vowel = rng() % 14;
      const unsigned tone = rng() % 5;
      if (consonant == 0 && medial == 0 && vowel == 0) continue;
      seen.insert(
          static_cast<std::uint16_t>(consonant | (medial << 5) | (vowel << 7) | (tone << 11)));
    }
    for (auto v : seen) syllables.emplace_back(v);

    std::vector<Kestova::PhraseFileLine> lines;
    auto score = [&] { return -2.0 - static_cast<double>(rng() % 7000) / 1000.0; };
    for (const auto& s : syllables) {
      const std::string reading = s.toComposedText();
      const int count = 3 + static_cast<int>(rng() % 25);
      for (int i = 0; i < count; ++i) {
        lines.push_back({reading, ideograph(rng), score()});
      }
    }
    while (lines.size() < 110000) {
      const std::size_t length = 2 + rng() % 3;
      std::vector<BpmfSyllable> word;
      std::string reading;
      std::string value;
      for (std::size_t i = 0; i < length; ++i) {
        word.push_back(syllables[rng() % syllables.size()]);
        if (i > 0) reading += "-";
        reading += word.back().toComposedText();
        value += ideograph(rng);
      }
      lines.push_back({reading, value, score()});
      words.push_back(std::move(word));
    }
    phraseCount = lines.size();
    if (!Kestova::writeSortedPhraseFile(file.string(), std::move(lines))) std::abort();
  }

  ~Database() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  // A sentence of `count` syllables made of known words.
  std::vector<BpmfSyllable> sentence(std::size_t count, unsigned seed) const {
    std::mt19937 rng(seed);
    std::vector<BpmfSyllable> out;
    while (out.size() < count) {
      const auto& word = words[rng() % words.size()];
      for (const auto& s : word) {
        if (out.size() < count) out.push_back(s);
      }
    }
    return out;
  }
};

const Database& database() {
  static const Database* db = new Database();
  return *db;
}

// The keys that type these syllables on the Standard layout; a first-tone
// syllable ends with Space.
std::vector<Key> keysFor(const std::vector<BpmfSyllable>& syllables) {
  const auto* layout = BpmfKeyboardLayout::StandardLayout();
  std::vector<Key> keys;
  for (const auto& s : syllables) {
    for (char c : layout->keysForSyllable(s)) keys.push_back(Key::fromCharacter(c));
    if (!s.hasTone()) keys.push_back(Key::fromCharacter(Key::kSpace));
  }
  return keys;
}

// The key handler behind the product's receiver, as the module drives it.
struct Typist {
  std::shared_ptr<Kestova::KestovaLM> model = std::make_shared<Kestova::KestovaLM>();
  std::unique_ptr<StateReceiver> receiver;

  Typist() {
    model->openBuiltInTable(database().file.string());
    if (!model->builtInTableLoaded()) std::abort();
    receiver = std::make_unique<StateReceiver>(std::make_shared<KeyHandler>(
        model, nullptr, std::make_unique<Kestova::KeyHandlerStrings>()));
  }

  void press(Key key) { receiver->handleKey(Kestova::KeyStroke::of(key)); }
  KeyHandler& handler() { return receiver->keyHandler(); }
};

// Typing `range(0)` syllables (not timed), then the keys timed: the commit
// with learning on, as the loader keeps learnt words without learnt.txt.
void typeThenTime(benchmark::State& state, const std::vector<Key>& timed) {
  Typist typist;
  auto learner = std::make_shared<Kestova::LearntWordStore>();
  typist.model->setLearntWords(learner->words());
  typist.handler().setWordLearner(learner);
  const auto length = static_cast<std::size_t>(state.range(0));
  const std::vector<Key> syllables = keysFor(database().sentence(length, 4));
  for (auto _ : state) {
    state.PauseTiming();
    for (const auto& key : syllables) typist.press(key);
    state.ResumeTiming();
    for (const auto& key : timed) typist.press(key);
  }
}

// A pick of the second candidate for the last syllable, and the commit:
// what learning at the commit costs (the picked words, and the committed
// readings walked again).
void BM_PickAndCommit(benchmark::State& state) {
  typeThenTime(state, {Key::fromCharacter(Key::kSpace), Key::fromCharacter('2'),
                       Key::fromCharacter(Key::kEnter)});
}
BENCHMARK(BM_PickAndCommit)->Arg(20)->Arg(200)->Unit(benchmark::kMicrosecond);

// A commit without a pick: remembering what was committed.
void BM_CommitWithLearning(benchmark::State& state) {
  typeThenTime(state, {Key::fromCharacter(Key::kEnter)});
}
BENCHMARK(BM_CommitWithLearning)->Arg(20)->Arg(200)->Unit(benchmark::kMicrosecond);

// Typing a 20-syllable sentence from nothing and committing it.
void BM_TypeSentence(benchmark::State& state) {
  Typist typist;
  const std::vector<Key> keys = keysFor(database().sentence(20, 1));
  const Key enter = Key::fromCharacter(Key::kEnter);
  for (auto _ : state) {
    for (const auto& key : keys) typist.press(key);
    typist.press(enter);
  }
  const auto composing = typist.receiver->preeditText();
  benchmark::DoNotOptimize(composing);
  state.counters["keys"] = static_cast<double>(keys.size() + 1);
  state.counters["per_key"] = benchmark::Counter(
      static_cast<double>(keys.size() + 1),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["phrases"] = static_cast<double>(database().phraseCount);
}
BENCHMARK(BM_TypeSentence)->Unit(benchmark::kMicrosecond);

// One syllable typed and deleted again at the end of a composition of
// `range(0)` syllables: the keys of a long composition.
void BM_KeysAtEndOfLongComposition(benchmark::State& state) {
  Typist typist;
  const auto length = static_cast<std::size_t>(state.range(0));
  for (const auto& key : keysFor(database().sentence(length, 2))) typist.press(key);
  if (typist.handler().readingCount() != length) {
    state.SkipWithError("the composition did not take every syllable");
    return;
  }
  std::vector<Key> keys = keysFor(database().sentence(1, 3));
  keys.push_back(Key::fromCharacter(Key::kBackspace));
  for (auto _ : state) {
    for (const auto& key : keys) typist.press(key);
  }
  state.counters["per_key"] = benchmark::Counter(
      static_cast<double>(keys.size()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_KeysAtEndOfLongComposition)->Arg(20)->Arg(200)->Unit(benchmark::kMicrosecond);

// Opening the candidate window and cancelling it at the end of 200 syllables.
void BM_CandidateWindowAt200(benchmark::State& state) {
  Typist typist;
  for (const auto& key : keysFor(database().sentence(200, 2))) typist.press(key);
  for (auto _ : state) {
    typist.press(Key::fromCharacter(Key::kSpace));
    if (typist.receiver->candidateCount() == 0) {
      state.SkipWithError("no candidate window");
      return;
    }
    typist.press(Key::fromCharacter(Key::kEscape));
  }
}
BENCHMARK(BM_CandidateWindowAt200)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
