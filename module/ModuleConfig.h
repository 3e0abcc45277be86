// The settings file's exported functions, for other programs (tools,
// gcin's setup): a fixed record of the first nine options, shared in memory
// with the caller. The module itself works on the Options value.
#pragma once

#include <cstdint>

#include "engine/Options.h"
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
