// Small helpers shared by the fuzz targets: a reader that splits the fuzzer's
// bytes into choices and strings, a scratch file in a private temporary
// directory, and a check that aborts (so that both libFuzzer and the corpus
// replay report it) when a property of the code under test does not hold.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "engine/Key.h"
#include "engine/Options.h"
#include "tests/support/OptionBits.h"
#include "text/Utf8.h"

#define KESTOVA_FUZZ_CHECK(condition)                                                    \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (false)

namespace Kestova::Fuzz {

// Takes the input apart front to back. Running out of bytes is not an
// error: every read then answers zero or an empty string.
class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(reinterpret_cast<const char*>(data), size) {}

  bool empty() const { return data_.empty(); }
  size_t remaining() const { return data_.size(); }

  uint8_t byte() {
    if (data_.empty()) return 0;
    auto value = static_cast<uint8_t>(data_.front());
    data_.remove_prefix(1);
    return value;
  }

  // A string whose length is the next byte (at most maxLength).
  std::string_view shortString(size_t maxLength = 255) {
    size_t length = byte();
    if (length > maxLength) length %= maxLength + 1;
    return take(length);
  }

  // Everything not read yet.
  std::string_view rest() { return take(data_.size()); }

 private:
  std::string_view take(size_t length) {
    if (length > data_.size()) length = data_.size();
    std::string_view part = data_.substr(0, length);
    data_.remove_prefix(length);
    return part;
  }

  std::string_view data_;
};

// The options of a key-handler input: eight option bits (bit 0 meaning
// Space opens the candidates, the inverse of the test tables' bit) and a
// mode byte whose bits 3 and up choose the Control+Enter mode.
inline Options optionsFrom(uint8_t optionBits, uint8_t modes) {
  Options options = Testing::optionsFromBits(optionBits ^ Testing::kSpaceInserts);
  options.ctrl_enter = static_cast<CtrlEnterMode>((modes >> 3) % kCtrlEnterModeCount);
  return options;
}

// One key of a key-handler input: a kind byte (bits 0-2: 0 for a character
// key, else the named key, 7 standing for Page Down; bit 3 Shift, bit 4
// Control, bit 5 numpad) and, for a character key, the character.
inline KeyStroke readKeyStroke(ByteReader& reader) {
  const uint8_t kind = reader.byte();
  const bool shift = kind & 8;
  const bool ctrl = kind & 16;
  const auto named = static_cast<KeyType>(kind & 7);
  if (named != KeyType::Character) {
    return KeyStroke::of(named == KeyType::PageUp ? KeyType::PageDown : named, 0, shift, ctrl,
                         false);
  }
  const auto character = static_cast<char>(reader.byte() & 0x7F);
  // The module never sends a character key without a character.
  if (character == 0) return KeyStroke::of(KeyType::Other, 0, shift, ctrl, false);
  return KeyStroke::of(KeyType::Character, character, shift, ctrl, kind & 32);
}

// A private directory under the system's temporary directory, made once per
// process and removed at exit.
inline const std::filesystem::path& scratchDirectory() {
  static const std::filesystem::path directory = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "kestova-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(scratchDirectory(), ignored);
    });
    return std::filesystem::path(pattern);
  }();
  return directory;
}

// Replaces the file's contents with bytes; aborts if that is impossible,
// since the target would then test nothing.
inline void writeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    std::abort();
  }
}

}  // namespace Kestova::Fuzz
