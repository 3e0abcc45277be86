// The cost of the module as gcin sees it: one key press through
// module_feedkey (translation, key handler, state, redraw of the status
// window and the candidate rows) and one preedit query, over the built-in
// phrase database when the build has one, else over a small sample.
#include <X11/keysym.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "testhost/PrivateXServer.h"
#include "testhost/TestEnvironment.h"
#include "testhost/TestHost.h"

namespace {

using Kestova::TestEnvironment;
using Kestova::TestHost;

struct Fixture {
  std::unique_ptr<Kestova::PrivateXServer> xserver;
  std::unique_ptr<TestEnvironment> environment;
  std::unique_ptr<TestHost> host;
};

Fixture& fixture() {
  static Fixture f = [] {
    Fixture made;
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) made.xserver = std::make_unique<Kestova::PrivateXServer>();
    made.environment = std::make_unique<TestEnvironment>();
    made.environment->activate();
    const std::filesystem::path database = KESTOVA_BENCH_DATA;
    if (!database.empty() && std::filesystem::exists(database)) {
      std::filesystem::copy_file(database, made.environment->dataFile());
    } else {
      made.environment->writePhraseFile(TestEnvironment::samplePhrases());
    }
    std::string error;
    made.host = TestHost::load(KESTOVA_MODULE_PATH, &error);
    if (!made.host || made.host->initWin() != 1) {
      std::cerr << "cannot start the module: " << error << "\n";
      std::exit(1);
    }
    return made;
  }();
  return f;
}

void type(TestHost& host, std::string_view keys) {
  for (char c : keys) host.feedKey(c == ' ' ? XK_space : static_cast<unsigned char>(c));
}

// Six syllables typed and committed; items are keys.
void BM_TypeAndCommitSentence(benchmark::State& state) {
  TestHost& host = *fixture().host;
  constexpr std::string_view kKeys = "su3cl3hk4g45j4up ";  // 你好測試注音
  for (auto _ : state) {
    type(host, kKeys);
    host.feedKey(XK_Return);
    benchmark::DoNotOptimize(host.takeCommitted());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kKeys.size() + 1));
}
BENCHMARK(BM_TypeAndCommitSentence)->Unit(benchmark::kMicrosecond);

// Opening the candidate window and paging through it once.
void BM_CandidateWindowPaging(benchmark::State& state) {
  TestHost& host = *fixture().host;
  for (auto _ : state) {
    type(host, "u ");
    host.feedKey(XK_space);
    host.feedKey(XK_Next);
    host.feedKey(XK_Escape);
    host.feedKey(XK_Return);
    benchmark::DoNotOptimize(host.takeCommitted());
  }
}
BENCHMARK(BM_CandidateWindowPaging)->Unit(benchmark::kMicrosecond);

// The preedit query gcin makes after every key, on a 30-character composition.
void BM_PreeditQuery(benchmark::State& state) {
  TestHost& host = *fixture().host;
  for (int i = 0; i < 30; ++i) type(host, "u ");
  for (auto _ : state) benchmark::DoNotOptimize(host.preedit());
  host.reset();
}
BENCHMARK(BM_PreeditQuery);

}  // namespace

BENCHMARK_MAIN();
