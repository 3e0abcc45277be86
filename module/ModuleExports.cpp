// gcin's entry points. gcin calls them on its own thread, one at a time.
#include <X11/keysym.h>
#include <glib.h>
#include <glib/gstdio.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "base/ModuleLog.h"
#include "core/KeyTranslation.h"
#include "core/KstCore.h"
#include "core/Settings.h"
#include "module/HostFunctions.h"
#include "module/ModuleConfig.h"
#include "module/ModuleState.h"
#include "module/StatusWindow.h"
#include "text/Utf8.h"

namespace Kestova {
namespace {

// The host's error report is printf-style: the text must never be the format.
void reportError(const std::string& message) {
  if (moduleState().host.report_error) moduleState().host.report_error("%s", message.c_str());
}

// Hands text to the host to commit; true when there was any. Nothing but
// well-formed UTF-8 reaches the host: a client reading an ill-formed reply
// from gcin blocks for ever.
bool commit(std::string_view text) {
  const std::string valid = Utf8::sanitized(text);
  if (valid.empty()) return false;
  if (moduleState().host.commit_text) moduleState().host.commit_text(valid.c_str());
  return true;
}

// Hands what the states committed to the host; true when there was any.
bool commitTaken(StateReceiver& receiver) {
  return commit(receiver.takeCommitText());
}

// Commits whatever is composed, followed by suffix, and closes the windows.
void commitComposition(StateReceiver& receiver, std::string_view suffix = {}) {
  if (receiver.isIdle()) return;
  receiver.flush();
  commit(receiver.takeCommitText().append(suffix));
  StatusWindow::hide();
}

int pickCallback(int row) {
  KstCore* core = moduleState().core.get();
  if (!core) return 1;
  core->receiver().pickRow(row);
  commitTaken(core->receiver());
  StatusWindow::refresh(core->receiver());
  return 1;
}

void previousPageCallback() {
  KstCore* core = moduleState().core.get();
  if (!core) return;
  core->receiver().previousPage();
  StatusWindow::refresh(core->receiver());
}

void nextPageCallback() {
  KstCore* core = moduleState().core.get();
  if (!core) return;
  core->receiver().nextPage();
  StatusWindow::refresh(core->receiver());
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
  // One page never holds more rows than the host's window.
  core.setSelectionKeys(std::string_view(keyboard.selectionKeys).substr(0, kHostCandidateRows));

  const std::string settingsFile = settingsFilePath();
  state.configTime = fileModificationTime(settingsFile);
  core.applyOptions(readOptions(settingsFile));
}

void registerCandidateCallbacks() {
  HostFunctions& host = moduleState().host;
  if (host.register_candidate_callbacks) {
    host.register_candidate_callbacks(&pickCallback, &previousPageCallback, &nextPageCallback);
  }
}

void turnCandidatePage(bool forward) {
  if (forward) {
    nextPageCallback();
  } else {
    previousPageCallback();
  }
}

bool englishMode() {
  const ModuleState& state = moduleState();
  if (state.host.set_chinese_mode && state.host.accepts_keys) {
    return state.host.accepts_keys() == 0;
  }
  return state.englishMode;
}

void setEnglishMode(bool english) {
  ModuleState& state = moduleState();
  state.englishMode = english;
  if (state.host.set_chinese_mode) state.host.set_chinese_mode(english ? 0 : 1);
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
  registerCandidateCallbacks();
  if (StatusWindow::exists()) return 1;

  if (!state.core) {
    const std::string root = moduleDataRoot();
    const std::string dataFile = root + "/data/kestova-data.txt";
    if (g_access(dataFile.c_str(), R_OK) != 0) {
      reportError("Kestova's tables are not in " + root);
      return 0;
    }
    const std::string userDir = moduleUserDirectory();
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
  // Every key counts for telling a Shift tap, also those the module leaves
  // to the application.
  state.lastPressed = static_cast<uint32_t>(keysym);
  // Every key also takes away the notice of the key before (a mistyped
  // syllable): one left to the application unseen redraws for it here.
  StateReceiver& receiver = core->receiver();
  const bool noticeGone = receiver.dismissNotice();
  const auto leaveToApplication = [&] {
    if (noticeGone) StatusWindow::refresh(receiver);
    return 0;
  };
  const int accepts = state.host.accepts_keys ? state.host.accepts_keys() : 1;
  const unsigned modifiers = static_cast<unsigned>(mask);
  if ((modifiers & kMod1Mask) || accepts == 0 || englishMode()) return leaveToApplication();

  // gcin drops a key whose handling committed text. Caps Lock therefore
  // commits the composition on the Caps Lock key itself, which gcin passes
  // first, and the keys typed under the lock reach the application as typed.
  if (keysym == XK_Caps_Lock) {
    commitComposition(receiver);
    return leaveToApplication();
  }
  if (modifiers & kLockMask) {
    if (receiver.isIdle()) return leaveToApplication();
    // A composition still open under the lock (the lock came on elsewhere)
    // is committed with the key's own character.
    const bool printable = keysym >= 0x20 && keysym <= 0x7e;
    const char character = static_cast<char>(keysym);
    commitComposition(receiver, printable ? std::string_view(&character, 1) : std::string_view());
    return printable ? 1 : 0;
  }

  const KeyStroke press = translateKeysym(static_cast<uint32_t>(keysym), modifiers);
  if (press.type == KeyType::Other && receiver.isIdle()) return leaveToApplication();

  core->checkBetweenKeys();

  if (receiver.isIdle()) {
    if (configurationChanged()) reloadConfiguration(*core);
    core->reloadUserFiles();
  }

  bool used = receiver.handleKey(press);
  if (commitTaken(receiver)) used = true;
  StatusWindow::refresh(receiver);
  return used ? 1 : 0;
}

// A Shift pressed and released with no other key between switches between
// Chinese and English, when the settings ask for it; the release itself is
// always the application's.
KESTOVA_EXPORT int module_feedkey_release(int keysym, int) {
  ModuleState& state = moduleState();
  KstCore* core = state.core.get();
  if (!core) return 0;
  const auto released = static_cast<uint32_t>(keysym);
  if ((released == XK_Shift_L || released == XK_Shift_R) && state.lastPressed == released &&
      core->options().shift_toggles_english) {
    commitComposition(core->receiver());
    setEnglishMode(!englishMode());
    StatusWindow::refresh(core->receiver());
  }
  state.lastPressed = 0;
  return 0;
}

KESTOVA_EXPORT int module_get_preedit(char* text, PreeditAttribute* attributes, int* cursor,
                                      int* fourth) {
  KstCore* core = moduleState().core.get();
  return StatusWindow::fillPreedit(core ? &core->receiver() : nullptr, text, attributes, cursor,
                                   fourth);
}

KESTOVA_EXPORT int module_reset(void) {
  KstCore* core = moduleState().core.get();
  if (!core) return 0;
  const bool wasComposing = !core->receiver().isIdle();
  core->receiver().reset();
  StatusWindow::hide();
  return wasComposing ? 1 : 0;
}

KESTOVA_EXPORT int module_flush_input(void) {
  KstCore* core = moduleState().core.get();
  if (!core) return 0;
  commitComposition(core->receiver());
  return 0;
}

KESTOVA_EXPORT void module_move_win(int x, int y) {
  if (moduleState().core) StatusWindow::move(x, y);
}

KESTOVA_EXPORT void module_change_font_size(void) {
  if (moduleState().core) StatusWindow::applyFontSize();
}

KESTOVA_EXPORT void module_show_win(void) {
  if (KstCore* core = moduleState().core.get()) StatusWindow::show(core->receiver());
}

// gcin resets or flushes the composition itself when its application loses
// the focus or switches the input method off or to another one; a
// composition still open here belongs to an application that has gone
// away. It goes with it: the next application must get none of it.
KESTOVA_EXPORT void module_hide_win(void) {
  KstCore* core = moduleState().core.get();
  if (!core) return;
  core->receiver().reset();
  if (StatusWindow::exists()) StatusWindow::hide();
}

KESTOVA_EXPORT int module_win_visible(void) {
  return moduleState().core && StatusWindow::visible() ? 1 : 0;
}

KESTOVA_EXPORT void module_get_win_geom(void) {
  if (moduleState().core) StatusWindow::readGeometry();
}
