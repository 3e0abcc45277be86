// Helpers for provoking file-system faults that also hit a process running
// as root, for which permission bits change nothing: a directory where a file
// should be, a path component that is a file, a file-size limit in a forked
// child (RLIMIT_FSIZE, the "disk" is full at a chosen byte), and, where the
// system permits it, a tiny or read-only tmpfs mounted in a private mount
// namespace of a forked child.
#pragma once

#include <stdlib.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sched.h>
#include <csignal>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <string_view>

#include "tests/support/TempDir.h"

namespace Kestova::Testing {

inline void writeBytes(const std::filesystem::path& path, std::string_view bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The file's bytes, or "<unreadable>" when it cannot be read as a file.
inline std::string readBytes(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return "<unreadable>";
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// In the child: files may grow to at most `bytes` bytes; writes beyond fail
// with EFBIG instead of killing the process.
inline void limitFileSize(rlim_t bytes) {
  std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = {bytes, bytes};
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

// Exit codes of a child run.
inline constexpr int kChildPassed = 0;
inline constexpr int kChildUnsupported = 77;

// Starts body in a forked child and answers its process id (-1 if fork
// failed). The child never returns into the test framework: its exit code
// is what body answers, 3 for an exception that escaped it.
inline pid_t startChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  pid_t pid = ::fork();
  if (pid != 0) return pid;
  int code = 1;
  try {
    code = body();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "child: uncaught exception: %s\n", e.what());
    code = 3;
  } catch (...) {
    std::fprintf(stderr, "child: uncaught exception\n");
    code = 3;
  }
  std::fflush(nullptr);
  ::_exit(code);
}

// The exit code of a child (128 + signal if it was killed).
inline int waitForChild(pid_t pid) {
  if (pid < 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return WEXITSTATUS(status);
}

// Runs body in a forked child and answers its exit code.
inline int runInChild(const std::function<int()>& body) {
  return waitForChild(startChild(body));
}

// Exit code of a child that was still blocked when guardChild's alarm rang.
inline constexpr int kChildBlocked = 128 + SIGALRM;

// In the child: a call that blocks for ever ends the child by SIGALRM after
// `seconds`, and an endless copy or read cannot fill the disk or the
// memory: files may grow to 256 MiB, and (without AddressSanitizer, which
// reserves terabytes of address space) the process to 2 GiB.
inline void guardChild(unsigned seconds) {
  ::alarm(seconds);
  limitFileSize(rlim_t{256} << 20);
#if !defined(__SANITIZE_ADDRESS__)
  struct rlimit memory = {rlim_t{2} << 30, rlim_t{2} << 30};
  ::setrlimit(RLIMIT_AS, &memory);
#endif
}

// In a child: a failed expectation is printed and ends the body with 1.
#define KESTOVA_CHILD_EXPECT(condition)                                             \
  do {                                                                              \
    if (!(condition)) {                                                             \
      std::fprintf(stderr, "%s:%d: expected %s\n", __FILE__, __LINE__, #condition); \
      return 1;                                                                     \
    }                                                                               \
  } while (false)

// In the child: a private mount namespace with a tmpfs of `bytes` at `where`.
// False when the system does not allow it (no privilege, no namespaces).
inline bool mountPrivateTmpfs(const std::filesystem::path& where, size_t bytes) {
  if (::unshare(CLONE_NEWNS) != 0) return false;
  // Nothing mounted here may reach the parent's namespace.
  if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  std::filesystem::create_directories(where);
  std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
  return ::mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

inline bool remountReadOnly(const std::filesystem::path& where) {
  return ::mount("tmpfs", where.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

}  // namespace Kestova::Testing
