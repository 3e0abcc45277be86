// gcin's keyboard file and the module's JSON settings file filled with
// arbitrary bytes. Reading them must give a usable record: a keyboard name
// and selection keys of at most 31 bytes without blanks, booleans 0 or 1, and
// a ctrl_enter index inside its table.
//
// Input: a flags byte (bit 0: the keyboard file, else the settings file),
// then the file.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "module/ModuleConfig.h"

using namespace Kestova;

namespace {

bool isWord(const std::string& word) {
  if (word.empty() || word.size() > 31) return false;
  for (char c : word) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f' || c == '\0') {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Settings are found through HOME.
  setenv("HOME", Fuzz::scratchDirectory().c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Fuzz::ByteReader reader(data, size);
  const bool keyboard = reader.byte() & 1;
  const std::string_view bytes = reader.rest();

  if (keyboard) {
    const std::string path = keyboardFilePath();
    Fuzz::writeFile(path, bytes);
    KeyboardSettings settings = readKeyboardFile(path);
    KESTOVA_FUZZ_CHECK(isWord(settings.keyboardName));
    KESTOVA_FUZZ_CHECK(isWord(settings.selectionKeys));
    return 0;
  }

  Fuzz::writeFile(settingsFilePath(), bytes);
  ModuleConfig config{};
  kestova_conf_load(&config);
  const int32_t booleans[] = {
      config.choose_candidate_using_space, config.select_phrase_after_cursor,
      config.move_cursor_after_selection,  config.esc_clears_buffer,
      config.keep_invalid_syllable,        config.put_lowercase_to_buffer,
      config.half_width_punctuation,       config.repeated_punctuation_selects,
  };
  for (int32_t value : booleans) KESTOVA_FUZZ_CHECK(value == 0 || value == 1);
  KESTOVA_FUZZ_CHECK(config.ctrl_enter >= 0 && config.ctrl_enter < kCtrlEnterModeCount);
  return 0;
}
