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

// True when text is well-formed UTF-8 (no overlong forms, no surrogates).
inline bool isValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    size_t length = c < 0x80           ? 1
                    : (c >> 5) == 0x6  ? 2
                    : (c >> 4) == 0xE  ? 3
                    : (c >> 3) == 0x1E ? 4
                                       : 0;
    if (length == 0 || i + length > text.size()) return false;
    uint32_t code = length == 1 ? c : c & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

// True when offset is a character boundary of text (or its end).
inline bool isCharacterBoundary(std::string_view text, size_t offset) {
  if (offset > text.size()) return false;
  return offset == text.size() || (static_cast<unsigned char>(text[offset]) & 0xC0) != 0x80;
}

}  // namespace Kestova::Fuzz
