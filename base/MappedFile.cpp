#include "base/MappedFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <utility>

namespace Kestova {

namespace {

// The mappings whose faults are mended. The SIGBUS handler reads them, so
// they are lock-free atomics, written only by the thread that opens and
// closes mappings (gcin's) and read by the handler on whichever thread faults.
struct GuardSlot {
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::uintptr_t> end{0};
  std::atomic<bool> faulted{false};
};

constexpr int kGuardSlots = 32;
GuardSlot guardSlots[kGuardSlots];
std::uintptr_t pageSize = 4096;
struct sigaction previousAction;
std::once_flag handlerInstalled;

// Hands a SIGBUS that is not ours to whatever handled it before. Without a
// handler before, the default action is put back: a fault then happens
// again when the handler returns and ends the process as it would have; a
// signal that was sent is sent again.
void passOn(int signal, siginfo_t* info, void* context) {
  if (previousAction.sa_flags & SA_SIGINFO) {
    if (previousAction.sa_sigaction) previousAction.sa_sigaction(signal, info, context);
    return;
  }
  if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN) {
    previousAction.sa_handler(signal);
    return;
  }
  struct sigaction defaults = {};
  defaults.sa_handler = SIG_DFL;
  sigemptyset(&defaults.sa_mask);
  ::sigaction(signal, &defaults, nullptr);
  if (info->si_code <= 0) ::raise(signal);
}

void mendFault(int signal, siginfo_t* info, void* context) {
  const int savedErrno = errno;
  // Only a fault has an address worth looking at; si_code <= 0 means sent.
  if (info->si_code > 0) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (GuardSlot& slot : guardSlots) {
      const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
      const std::uintptr_t end = slot.end.load(std::memory_order_acquire);
      if (begin == 0 || address < begin || address >= end) continue;
      // A private page of zeros in place of the page the file no longer
      // has; the faulting read runs again and reads zeros.
      void* page = reinterpret_cast<void*>(address & ~(pageSize - 1));
      if (::mmap(page, pageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
          MAP_FAILED) {
        slot.faulted.store(true, std::memory_order_release);
        errno = savedErrno;
        return;
      }
      break;
    }
  }
  errno = savedErrno;
  passOn(signal, info, context);
}

void installHandler() {
  const long size = ::sysconf(_SC_PAGESIZE);
  if (size > 0) pageSize = static_cast<std::uintptr_t>(size);
  struct sigaction action = {};
  action.sa_sigaction = &mendFault;
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, &previousAction);
}

// A free slot for the mapping, or -1 when all are taken (the mapping is then
// only size-checked).
int guard(const void* address, size_t length) {
  std::call_once(handlerInstalled, installHandler);
  for (int i = 0; i < kGuardSlots; ++i) {
    GuardSlot& slot = guardSlots[i];
    if (slot.begin.load(std::memory_order_relaxed) != 0) continue;
    const auto begin = reinterpret_cast<std::uintptr_t>(address);
    slot.faulted.store(false, std::memory_order_relaxed);
    slot.end.store(begin + length, std::memory_order_relaxed);
    slot.begin.store(begin, std::memory_order_release);
    return i;
  }
  return -1;
}

void unguard(int index) {
  if (index < 0) return;
  guardSlots[index].begin.store(0, std::memory_order_release);
  guardSlots[index].end.store(0, std::memory_order_release);
}

}  // namespace

MappedFile::~MappedFile() {
  close();
}

MappedFile::MappedFile(MappedFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      address_(std::exchange(other.address_, nullptr)),
      length_(std::exchange(other.length_, 0)),
      guardSlot_(std::exchange(other.guardSlot_, -1)) {}

MappedFile& MappedFile::operator=(MappedFile&& other) noexcept {
  if (this != &other) {
    close();
    descriptor_ = std::exchange(other.descriptor_, -1);
    address_ = std::exchange(other.address_, nullptr);
    length_ = std::exchange(other.length_, 0);
    guardSlot_ = std::exchange(other.guardSlot_, -1);
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
  guardSlot_ = guard(address_, length_);
  return true;
}

void MappedFile::close() {
  if (descriptor_ == -1) return;
  // No longer mended before it is gone: the address range may be reused.
  unguard(std::exchange(guardSlot_, -1));
  if (address_ != nullptr) ::munmap(const_cast<char*>(address_), length_);
  ::close(descriptor_);
  descriptor_ = -1;
  address_ = nullptr;
  length_ = 0;
}

bool MappedFile::coversMapping() const {
  if (descriptor_ == -1 || faulted()) return false;
  struct stat info;
  return ::fstat(descriptor_, &info) == 0 && S_ISREG(info.st_mode) && info.st_size >= 0 &&
         static_cast<std::uintmax_t>(info.st_size) >= length_;
}

bool MappedFile::faulted() const {
  return guardSlot_ >= 0 && guardSlots[guardSlot_].faulted.load(std::memory_order_acquire);
}

}  // namespace Kestova
