// Read-only memory mappings of whole files, through which the models read
// the built-in phrase database and the context file without copying them.
// A MappedFile owns its descriptor and its mapping and releases both when
// closed, moved from or destroyed; it knows nothing of what the file holds.
// The layers above base may use it (today the models' phrase and context
// files do), and so may the tools and tests.
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

  // Maps the file at path. Fails if this object is already open, if the path
  // is not a regular file (a FIFO or a device is not even opened), or if the
  // file cannot be opened or mapped (an empty file cannot be mapped).
  //
  // The mapping shows the file as it is on disk: a file cut shorter in place
  // while mapped makes reading past its new end fault (SIGBUS). Replace such
  // files by renaming a new one over them, and close and reopen when the file
  // at the path changed (see WatchedFile).
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
