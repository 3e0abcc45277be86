// Module-wide state shared by the exported functions and the status window:
// the copy of the host table, the core, and the file times of the settings.
#pragma once

#include <cstdint>
#include <memory>

#include "core/KstCore.h"
#include "module/HostFunctions.h"

namespace Kestova {

struct ModuleState {
  HostFunctions host{};
  // Created at the first successful init and kept for the life of the process.
  std::unique_ptr<KstCore> core;
  int64_t configTime = 0;
  int64_t keyboardTime = 0;
  // Keys go to the application untouched (a Shift tap switches), when the
  // host cannot keep the mode for each application itself.
  bool englishMode = false;
  // The last key pressed, to tell a Shift tap from Shift held for a key.
  uint32_t lastPressed = 0;
};

ModuleState& moduleState();

// Reads gcin's keyboard file and the settings file and applies them to the
// core, remembering both modification times.
void reloadConfiguration(KstCore& core);
// True when either settings file changed since the last reload.
bool configurationChanged();
// Hands the host the module's candidate-window callbacks (a click on a
// row, the paging controls) again.
void registerCandidateCallbacks();
// English mode: keys go to the application untouched. gcin keeps it for
// each application (its Chinese/English mode, which its own indicator
// shows); a host without that has one mode for all, kept here.
bool englishMode();
void setEnglishMode(bool english);
// Turns the page of the candidates the module shows, as the host's paging
// controls do (the wheel over the host's candidate window).
void turnCandidatePage(bool forward);

}  // namespace Kestova
