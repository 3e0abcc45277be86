#include "base/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace Kestova {

MappedFile::~MappedFile() {
  close();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      address_(std::exchange(other.address_, nullptr)),
      length_(std::exchange(other.length_, 0)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    close();
    descriptor_ = std::exchange(other.descriptor_, -1);
    address_ = std::exchange(other.address_, nullptr);
    length_ = std::exchange(other.length_, 0);
  }
  return *this;
}

bool MappedFile::open(const std::string& path) {
  if (descriptor_ != -1) return false;
  // Only a regular file can be mapped; checking first means a FIFO or a
  // device is never opened, and the non-blocking open covers a FIFO that
  // takes the file's place in between.
  struct stat info;
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd == -1) return false;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
    ::close(fd);
    return false;
  }
  size_t length = static_cast<size_t>(info.st_size);
  void* address = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
  if (address == MAP_FAILED) {
    ::close(fd);
    return false;
  }
  descriptor_ = fd;
  address_ = static_cast<const char*>(address);
  length_ = length;
  return true;
}

void MappedFile::close() {
  if (descriptor_ == -1) return;
  if (address_ != nullptr) ::munmap(const_cast<char*>(address_), length_);
  ::close(descriptor_);
  descriptor_ = -1;
  address_ = nullptr;
  length_ = 0;
}

}  // namespace Kestova
