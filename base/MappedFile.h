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
//
// The mapping shows the file as it is on disk, so a file cut shorter in
// place while mapped (cp or an editor writing over it) leaves pages past
// its new end that the system answers with SIGBUS. Two things keep that
// from ending the process:
//
// - coversMapping() tells, with one fstat() of the open file, whether the
//   file is still as large as the mapping; the owner asks before it reads
//   (before each key) and closes the mapping when it is not.
// - For a file cut in the moment between that check and a read, a SIGBUS
//   handler (installed with the first mapping) mends a fault inside any
//   open MappedFile: it maps a page of zeros over the faulting page and
//   lets the read go on, and faulted() tells the owner afterwards. Readers
//   of mapped files must therefore accept zeros where the file was; the
//   phrase tables do. A SIGBUS anywhere else goes to the handler that was
//   there before, or, if there was none, ends the process as it would have.
//
// A file replaced by renaming another over it keeps the old file mapped and
// whole; reopen when the file at the path changed (see WatchedFile).
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
  bool open(const std::string& path);
  void close();

  bool isOpen() const { return address_ != nullptr; }
  const char* data() const { return address_; }
  size_t size() const { return length_; }
  std::string_view view() const { return {address_, length_}; }

  // Whether every page of the mapping can still be read from the file: the
  // open file is still a regular file at least as large as the mapping, and
  // no read of it has faulted. False when closed.
  bool coversMapping() const;
  // Whether a read inside the mapping faulted (the file had been cut
  // shorter) and was answered with zeros.
  bool faulted() const;

 private:
  int descriptor_ = -1;
  const char* address_ = nullptr;
  size_t length_ = 0;
  // The mapping's entry among those the SIGBUS handler mends; -1 for none.
  int guardSlot_ = -1;
};

}  // namespace Kestova
