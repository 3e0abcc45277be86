#include "bench/comparison/ModuleProbe.h"

#include <dlfcn.h>
#include <gtk/gtk.h>
#include <stdlib.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "bench/comparison/Engines.h"
#include "bench/comparison/Measure.h"
#include "testhost/TestEnvironment.h"
#include "testhost/TestHost.h"

namespace {

// The module builds its status window right after its core is ready, and
// gtk_window_new is the first GTK call of that step. This executable exports
// its own gtk_window_new, which the dynamic linker binds the module's call
// to, so the probe learns when the core was ready without any help from the
// module. The call is passed on to GTK's own function.
std::optional<Kestova::Bench::Clock::time_point> g_firstWindowRequest;
bool g_watchWindowRequests = false;

}  // namespace

extern "C" __attribute__((visibility("default"))) GtkWidget* gtk_window_new(GtkWindowType type) {
  using WindowNew = GtkWidget* (*)(GtkWindowType);
  static const auto real = reinterpret_cast<WindowNew>(dlsym(RTLD_NEXT, "gtk_window_new"));
  if (g_watchWindowRequests && !g_firstWindowRequest) {
    g_firstWindowRequest = Kestova::Bench::Clock::now();
  }
  return real(type);
}

namespace Kestova::Bench {
namespace {

void drainEvents() {
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

// What a host has on screen before it loads an input-method module.
void showHostWindow() {
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWidget* label = gtk_label_new("host");
  gtk_container_add(GTK_CONTAINER(window), label);
  gtk_widget_show_all(window);
  drainEvents();
  gtk_widget_hide(window);
  drainEvents();
}

void printMemory(const char* prefix, const MemoryUse& use) {
  std::printf("%s_rss_kb %ld\n%s_private_kb %ld\n%s_private_dirty_kb %ld\n%s_anonymous_kb %ld\n",
              prefix, use.rss, prefix, use.privateTotal(), prefix, use.privateDirty, prefix,
              use.anonymous);
}

}  // namespace

int runModuleProbe(const ModuleProbeOptions& options, const std::vector<DevSentence>& devSet) {
  Workspace workspace(options.workspace, options.builtInData);
  setenv("HOME", workspace.home().c_str(), 1);
  setenv(TestEnvironment::kDataRootVariable, workspace.dataRoot().c_str(), 1);

  std::string error;
  std::unique_ptr<TestHost> host = TestHost::load(options.modulePath, &error);
  if (!host) {
    std::fprintf(stderr, "module probe: %s\n", error.c_str());
    return 2;
  }
  if (options.hostWindowFirst) showHostWindow();
  host->setWindowSuppressed(options.preeditInApplication ? 1 : 0);
  drainEvents();
  printMemory("before", currentMemoryUse());

  g_watchWindowRequests = true;
  const Clock::time_point start = Clock::now();
  const int ready = host->initWin();
  const Clock::time_point end = Clock::now();
  g_watchWindowRequests = false;
  if (ready != 1) {
    std::fprintf(stderr, "module probe: module_init_win returned %d\n", ready);
    return 2;
  }
  std::printf("init_total_us %.1f\n", microsecondsBetween(start, end));
  if (g_firstWindowRequest) {
    std::printf("init_core_us %.1f\n", microsecondsBetween(start, *g_firstWindowRequest));
  }
  drainEvents();
  printMemory("started", currentMemoryUse());

  if (!options.typeDevSet) return 0;
  // Every key as gcin sends it, followed by the preedit query gcin makes.
  std::vector<double> keyTimes;
  for (const DevSentence& sentence : devSet) {
    for (char key : sentence.keys) {
      const Clock::time_point before = Clock::now();
      host->feedKey(static_cast<unsigned char>(key));
      host->preedit();
      keyTimes.push_back(microsecondsBetween(before, Clock::now()));
    }
    host->reset();
    host->clearCallLog();
    drainEvents();
  }
  const Summary keys = summarize(keyTimes);
  std::printf("key_count %zu\nkey_median_us %.2f\nkey_p99_us %.2f\n", keys.count, keys.median,
              keys.p99);
  printMemory("typed", currentMemoryUse());
  return 0;
}

}  // namespace Kestova::Bench
