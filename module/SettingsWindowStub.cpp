// Stand-in for the settings window while module/SettingsWindow.cpp is absent:
// the entry point exists, so gcin's setup tool finds it, but opens nothing.
#include "module/HostFunctions.h"

KESTOVA_EXPORT void module_setup_window_create(void) {}
