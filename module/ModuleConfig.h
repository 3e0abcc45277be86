// The module's settings: gcin's Bopomofo keyboard file (layout name and
// candidate selection keys, read only) and the module's own JSON settings file
// with the key handler's options. The three exported functions give other
// programs (the settings window, tools) the same access to the JSON file.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "module/HostFunctions.h"

extern "C" {

// Shared in memory with callers of the exported functions: nine 32-bit ints.
struct ModuleConfig {
  int32_t choose_candidate_using_space;
  int32_t select_phrase_after_cursor;
  int32_t move_cursor_after_selection;
  int32_t esc_clears_buffer;
  int32_t keep_invalid_syllable;
  int32_t put_lowercase_to_buffer;
  int32_t half_width_punctuation;
  int32_t repeated_punctuation_selects;
  int32_t ctrl_enter;  // index into the ctrl_enter names, 0-5
};

// Newly allocated path of the settings file; release it with g_free.
KESTOVA_EXPORT char* kestova_conf_path(void);
// Fills the record with the defaults, then with every valid value of the file.
KESTOVA_EXPORT void kestova_conf_load(ModuleConfig* config);
// Writes the record to the settings file; 1 on success, 0 on failure.
KESTOVA_EXPORT int kestova_conf_save(const ModuleConfig* config);

}  // extern "C"

static_assert(sizeof(ModuleConfig) == 9 * sizeof(int32_t));

namespace Kestova {

inline constexpr int kCtrlEnterModeCount = 6;

// The JSON string of a ctrl_enter index; an index out of range gives "disabled".
std::string_view ctrlEnterName(int index);
// The index of a ctrl_enter JSON string, or -1 for an unknown string.
int ctrlEnterIndex(std::string_view name);

ModuleConfig defaultModuleConfig();

// What gcin's keyboard file says: the first two words of its first line.
struct KeyboardSettings {
  std::string keyboardName = "zo";
  std::string selectionKeys = "123456789";
};

KeyboardSettings readKeyboardFile(const std::string& path);

// HOME/.gcin/config/<name>, with an unset HOME taken as "".
std::string gcinConfigPath(std::string_view fileName);
std::string keyboardFilePath();
std::string settingsFilePath();

// Whole-second modification time of a file, 0 when it cannot be examined.
int64_t fileModificationTime(const std::string& path);

}  // namespace Kestova
