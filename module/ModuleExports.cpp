// gcin's entry points. gcin calls them on its own thread, one at a time.
#include <glib.h>
#include <glib/gstdio.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "models/ModuleLog.h"
#include "module/HostFunctions.h"
#include "module/KeyTranslation.h"
#include "module/KstCore.h"
#include "module/ModuleConfig.h"
#include "module/ModuleState.h"
#include "module/StatusWindow.h"

namespace Kestova {
namespace {

constexpr const char* kInstalledDataRoot = "/usr/local/share/gcin/kestova";
// Tests and tools point the module at a data root of their own with this
// variable; a gcin user never sets it and gets the installed root.
constexpr const char* kDataRootVariable = "KESTOVA_DATA_ROOT";

std::string dataRoot() {
  const char* root = std::getenv(kDataRootVariable);
  return root && *root ? root : kInstalledDataRoot;
}

std::string userDirectory() {
  const char* home = g_getenv("HOME");
  std::unique_ptr<char, decltype(&g_free)> path(
      g_build_filename(home ? home : "", ".gcin", "kestova", nullptr), &g_free);
  return path.get();
}

// The host's error report is printf-style: the text must never be the format.
void reportError(const std::string& message) {
  if (moduleState().host.report_error) moduleState().host.report_error("%s", message.c_str());
}

void commitTaken(KstCore& core) {
  const char* text = core.takeCommitText();
  if (text && *text && moduleState().host.commit_text) moduleState().host.commit_text(text);
}

int pickCallback(int row) {
  KstCore* core = moduleState().core.get();
  if (!core) return 1;
  core->pickRow(row);
  commitTaken(*core);
  StatusWindow::refresh(*core);
  return 1;
}

void previousPageCallback() {
  KstCore* core = moduleState().core.get();
  if (!core) return;
  core->previousPage();
  StatusWindow::refresh(*core);
}

void nextPageCallback() {
  KstCore* core = moduleState().core.get();
  if (!core) return;
  core->nextPage();
  StatusWindow::refresh(*core);
}

}  // namespace

ModuleState& moduleState() {
  static ModuleState state;
  return state;
}

void reloadConfiguration(KstCore& core) {
  ModuleState& state = moduleState();
  const std::string keyboardFile = keyboardFilePath();
  state.keyboardTime = fileModificationTime(keyboardFile);
  KeyboardSettings keyboard = readKeyboardFile(keyboardFile);
  core.setKeyboardLayout(keyboard.keyboardName);
  core.setSelectionKeys(keyboard.selectionKeys.c_str());

  state.configTime = fileModificationTime(settingsFilePath());
  ModuleConfig config;
  kestova_conf_load(&config);
  core.applyOptions(config);
}

bool configurationChanged() {
  const ModuleState& state = moduleState();
  return fileModificationTime(settingsFilePath()) != state.configTime ||
         fileModificationTime(keyboardFilePath()) != state.keyboardTime;
}

}  // namespace Kestova

using namespace Kestova;

KESTOVA_EXPORT int module_init_win(const HostFunctions* table) {
  ModuleState& state = moduleState();
  if (!table) return 0;
  std::memcpy(&state.host, table, sizeof(HostFunctions));
  if (state.host.begin_module) state.host.begin_module();
  if (state.host.register_candidate_callbacks) {
    state.host.register_candidate_callbacks(&pickCallback, &previousPageCallback,
                                            &nextPageCallback);
  }
  if (StatusWindow::exists()) return 1;

  if (!state.core) {
    const std::string root = dataRoot();
    const std::string dataFile = root + "/data/kestova-data.txt";
    if (g_access(dataFile.c_str(), R_OK) != 0) {
      reportError("Kestova's tables are not in " + root);
      return 0;
    }
    const std::string userDir = userDirectory();
    if (g_mkdir_with_parents(userDir.c_str(), 0700) != 0) {
      ModuleLog::warn("Cannot create the user directory " + userDir);
    }
    state.core = KstCore::create(root, userDir);
    if (!state.core) {
      reportError("Kestova cannot load its tables");
      return 0;
    }
    reloadConfiguration(*state.core);
  }
  StatusWindow::create();
  return 1;
}

KESTOVA_EXPORT int module_feedkey(int keysym, int mask) {
  ModuleState& state = moduleState();
  KstCore* core = state.core.get();
  if (!core) return 0;
  const int accepts = state.host.accepts_keys ? state.host.accepts_keys() : 1;
  const unsigned modifiers = static_cast<unsigned>(mask);
  if ((modifiers & kMod1Mask) || accepts == 0) return 0;

  if (modifiers & kLockMask) {
    if (core->isIdle()) return 0;
    core->flush();
    commitTaken(*core);
    StatusWindow::hide();
    return 0;
  }

  const TranslatedKey key = translateKeysym(static_cast<uint32_t>(keysym), modifiers);
  if (key.type == kOtherKey && core->isIdle()) return 0;

  if (core->isIdle()) {
    if (configurationChanged()) reloadConfiguration(*core);
    core->reloadUserFiles();
  }

  const bool named = key.type != kCharacterKey;
  const bool printable = key.character >= 33 && key.character <= 126;
  const bool shift = (modifiers & kShiftMask) && (named || !printable);
  const bool ctrl = (modifiers & kControlMask) != 0;

  int result = core->kstKey(key.type, key.character, shift, ctrl, key.numpad);
  const char* text = core->takeCommitText();
  if (text && *text) {
    if (state.host.commit_text) state.host.commit_text(text);
    result = 1;
  }
  StatusWindow::refresh(*core);
  return result;
}

KESTOVA_EXPORT int module_feedkey_release(int, int) {
  return 0;
}

KESTOVA_EXPORT int module_get_preedit(char* text, PreeditAttribute* attributes, int* cursor,
                                      int* fourth) {
  return StatusWindow::fillPreedit(moduleState().core.get(), text, attributes, cursor, fourth);
}

KESTOVA_EXPORT int module_reset(void) {
  KstCore* core = moduleState().core.get();
  if (!core) return 0;
  const bool wasComposing = !core->isIdle();
  core->reset();
  StatusWindow::hide();
  return wasComposing ? 1 : 0;
}

KESTOVA_EXPORT int module_flush_input(void) {
  KstCore* core = moduleState().core.get();
  if (!core) return 0;
  core->flush();
  commitTaken(*core);
  StatusWindow::hide();
  return 0;
}

KESTOVA_EXPORT void module_move_win(int x, int y) {
  if (moduleState().core) StatusWindow::move(x, y);
}

KESTOVA_EXPORT void module_change_font_size(void) {
  if (moduleState().core) StatusWindow::applyFontSize();
}

KESTOVA_EXPORT void module_show_win(void) {
  if (KstCore* core = moduleState().core.get()) StatusWindow::show(*core);
}

KESTOVA_EXPORT void module_hide_win(void) {
  if (moduleState().core && StatusWindow::exists()) StatusWindow::hide();
}

KESTOVA_EXPORT int module_win_visible(void) {
  return moduleState().core && StatusWindow::visible() ? 1 : 0;
}

KESTOVA_EXPORT void module_get_win_geom(void) {
  if (moduleState().core) StatusWindow::readGeometry();
}
