// gcin's keyboard file and the module's JSON settings file filled with
// arbitrary bytes. Reading them must give usable settings: a keyboard name
// and selection keys of at most 31 bytes without blanks, a ctrl_enter mode
// inside its table, and options that read back the same once written.
//
// Input: a flags byte (bit 0: the keyboard file, else the settings file),
// then the file.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/Settings.h"
#include "fuzz/FuzzSupport.h"

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

  const std::string path = settingsFilePath();
  Fuzz::writeFile(path, bytes);
  const Options options = readOptions(path);
  const int mode = static_cast<int>(options.ctrl_enter);
  KESTOVA_FUZZ_CHECK(mode >= 0 && mode < kCtrlEnterModeCount);
  KESTOVA_FUZZ_CHECK(writeOptions(path, options));
  KESTOVA_FUZZ_CHECK(readOptions(path) == options);
  return 0;
}
