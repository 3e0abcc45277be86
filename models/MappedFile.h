#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Kestova {

// A read-only, shared memory mapping of a whole file. Closed when destroyed.
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  MappedFile(MappedFile&& other) noexcept;
  MappedFile& operator=(MappedFile&& other) noexcept;

  // Maps the file at path. Fails if this object is already open, if the file
  // cannot be opened or mapped (an empty file cannot be mapped).
  bool open(const std::string& path);
  void close();

  bool isOpen() const { return address_ != nullptr; }
  const char* data() const { return address_; }
  size_t size() const { return length_; }
  std::string_view view() const { return {address_, length_}; }

 private:
  int descriptor_ = -1;
  const char* address_ = nullptr;
  size_t length_ = 0;
};

}  // namespace Kestova
