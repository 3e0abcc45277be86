// Start-up, per-key cost and memory of the built gcin module, loaded by the
// test host in a fresh process on an X display. Runs in a child process of
// the comparison benchmark: the module keeps its core for the life of the
// process, so every start-up sample needs a process of its own.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "bench/comparison/DevSet.h"

namespace Kestova::Bench {

struct ModuleProbeOptions {
  std::string modulePath;
  std::string builtInData;
  std::string workspace;  // an existing directory, prepared by the parent
  // Show a window of the host's own first, as gcin has done long before it
  // loads a module: the module's status window is then not the first GTK
  // window of the process.
  bool hostWindowFirst = false;
  // Type the whole dev set through module_feedkey after start-up.
  bool typeDevSet = false;
  // The application draws the preedit (gcin's default): the status window
  // is suppressed and shows only hints.
  bool preeditInApplication = false;
};

// Prints "name value" lines on stdout; returns a process exit status.
int runModuleProbe(const ModuleProbeOptions& options, const std::vector<DevSentence>& devSet);

}  // namespace Kestova::Bench
