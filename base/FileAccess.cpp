#include "base/FileAccess.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <new>
#include <thread>
#include <utility>

namespace Kestova::FileAccess {

namespace {

// Closes a descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string errorText(int error) {
  return std::strerror(error);
}

const char* typeName(mode_t type) {
  switch (type & S_IFMT) {
    case S_IFDIR:
      return "a directory";
    case S_IFIFO:
      return "a FIFO";
    case S_IFSOCK:
      return "a socket";
    case S_IFCHR:
      return "a character device";
    case S_IFBLK:
      return "a block device";
    case S_IFLNK:
      return "a symbolic link";
    default:
      return "not a file";
  }
}

ReadResult failed(int error) {
  ReadResult result;
  result.status = (error == ENOENT || error == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Failed;
  result.error = error;
  return result;
}

// Checks what stat() or fstat() saw against the rules of readFile.
bool acceptable(const struct stat& info, std::size_t maxBytes, ReadResult& result) {
  if (!S_ISREG(info.st_mode)) {
    result.status = ReadStatus::NotRegularFile;
    result.type = info.st_mode & S_IFMT;
    return false;
  }
  if (info.st_size < 0 || static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
    result.status = ReadStatus::TooLarge;
    return false;
  }
  return true;
}

bool writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t count = ::write(fd, text.data(), text.size());
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      if (count == 0) errno = ENOSPC;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(count));
  }
  return true;
}

// Random letters for a temporary name; they only need to be hard to guess
// and unlikely to repeat, O_EXCL makes the name unique.
std::string randomSuffix() {
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char random[10];
  if (::getrandom(random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
    // No entropy yet (early boot): the time and process still differ between tries.
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::uint64_t seed = static_cast<std::uint64_t>(now.tv_nsec) ^
                         (static_cast<std::uint64_t>(now.tv_sec) << 20) ^
                         (static_cast<std::uint64_t>(::getpid()) << 40);
    for (unsigned char& byte : random) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      byte = static_cast<unsigned char>(seed >> 56);
    }
  }
  std::string suffix;
  for (unsigned char byte : random) suffix += kLetters[byte % (sizeof kLetters - 1)];
  return suffix;
}

std::string folderOf(const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? std::string(".") : folder;
}

// A new file of a unique name beside `path`, removed again unless released.
class TemporaryFile {
 public:
  TemporaryFile(const std::string& path, mode_t mode) {
    const std::filesystem::path target(path);
    const std::string folder = folderOf(path);
    const std::string base = target.filename().string();
    for (int attempt = 0; attempt < 100; ++attempt) {
      std::string name = folder + "/." + base + "." + randomSuffix() + ".tmp";
      int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      if (fd >= 0) {
        fd_ = fd;
        path_ = std::move(name);
        return;
      }
      error_ = errno;
      if (error_ != EEXIST) return;
    }
  }
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  bool created() const { return fd_ >= 0; }
  int error() const { return error_; }
  const std::string& path() const { return path_; }

  // Writes the contents, sets the mode if asked, and flushes everything to
  // the disk. The file stays in place (to be renamed) until released.
  bool fill(std::string_view contents, const mode_t* mode, std::string* failure) {
    const bool ok =
        writeAll(fd_, contents) && (!mode || ::fchmod(fd_, *mode) == 0) && ::fsync(fd_) == 0;
    const int error = errno;
    const bool closed = ::close(std::exchange(fd_, -1)) == 0;
    if (!ok || !closed) {
      if (failure) *failure = "cannot write the temporary file: " + errorText(ok ? errno : error);
      return false;
    }
    return true;
  }
  void release() { path_.clear(); }

 private:
  int fd_ = -1;
  int error_ = 0;
  std::string path_;
};

// The rename into a folder is only on disk once the folder is. A failure
// here is not reported: the new file is already in place.
void syncFolder(const std::string& path) {
  int fd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

void setFailure(std::string* failure, std::string text) {
  if (failure) *failure = std::move(text);
}

}  // namespace

std::string ReadResult::reason() const {
  switch (status) {
    case ReadStatus::Ok:
      return {};
    case ReadStatus::Missing:
      return "no such file";
    case ReadStatus::NotRegularFile:
      return std::string("not a regular file (") + typeName(type) + ")";
    case ReadStatus::TooLarge:
      return "larger than " + std::to_string(limit) + " bytes";
    case ReadStatus::Failed:
      return errorText(error);
  }
  return {};
}

ReadResult readFile(const std::string& path, std::size_t maxBytes) {
  ReadResult result;
  result.limit = maxBytes;
  struct stat info;
  // A device or FIFO is refused before it is opened: opening some devices
  // does something, and opening a FIFO may wait for a writer.
  if (::stat(path.c_str(), &info) != 0) return failed(errno);
  if (!acceptable(info, maxBytes, result)) return result;

  // Non-blocking, in case a FIFO took the file's place since stat().
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) return failed(errno);
  if (::fstat(fd.get(), &info) != 0) return failed(errno);
  if (!acceptable(info, maxBytes, result)) return result;

  try {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[64 * 1024];
    for (;;) {
      ssize_t count = ::read(fd.get(), buffer, sizeof buffer);
      if (count == 0) break;
      if (count < 0) {
        if (errno == EINTR) continue;
        return failed(errno);
      }
      // The file may grow while it is read.
      if (bytes.size() + static_cast<std::size_t>(count) > maxBytes) {
        result.status = ReadStatus::TooLarge;
        return result;
      }
      bytes.append(buffer, static_cast<std::size_t>(count));
    }
    result.bytes = std::move(bytes);
  } catch (const std::bad_alloc&) {
    return failed(ENOMEM);
  }
  result.status = ReadStatus::Ok;
  return result;
}

bool replaceFile(const std::string& path, std::string_view contents, std::string* failure,
                 mode_t newFileMode) {
  struct stat info;
  std::optional<mode_t> keptMode;
  if (::lstat(path.c_str(), &info) == 0) {
    if (S_ISLNK(info.st_mode)) {
      setFailure(failure, "it is a symbolic link");
      return false;
    }
    if (!S_ISREG(info.st_mode)) {
      setFailure(failure, std::string("it is not a regular file (") + typeName(info.st_mode) + ")");
      return false;
    }
    keptMode = info.st_mode & 07777;
  } else if (errno != ENOENT) {
    setFailure(failure, errorText(errno));
    return false;
  }

  TemporaryFile temporary(path, newFileMode);
  if (!temporary.created()) {
    setFailure(failure, "cannot create a temporary file: " + errorText(temporary.error()));
    return false;
  }
  if (!temporary.fill(contents, keptMode ? &*keptMode : nullptr, failure)) return false;
  if (std::rename(temporary.path().c_str(), path.c_str()) != 0) {
    setFailure(failure, "cannot rename the temporary file: " + errorText(errno));
    return false;
  }
  temporary.release();
  syncFolder(path);
  return true;
}

bool createFile(const std::string& path, std::string_view contents, std::string* failure,
                bool* existed, mode_t newFileMode) {
  if (existed) *existed = false;
  auto taken = [&] {
    if (existed) *existed = true;
    setFailure(failure, "the name is taken");
    return false;
  };
  struct stat info;
  if (::lstat(path.c_str(), &info) == 0) return taken();

  TemporaryFile temporary(path, newFileMode);
  if (!temporary.created()) {
    setFailure(failure, "cannot create a temporary file: " + errorText(temporary.error()));
    return false;
  }
  if (!temporary.fill(contents, nullptr, failure)) return false;
  // Renaming without replacing: whatever appeared at the name meanwhile wins.
  if (::renameat2(AT_FDCWD, temporary.path().c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) !=
      0) {
    if (errno == EEXIST) return taken();
    if (errno != EINVAL && errno != ENOSYS) {
      setFailure(failure, "cannot rename the temporary file: " + errorText(errno));
      return false;
    }
    // A file system without that kind of rename: a hard link is just as exclusive.
    if (::link(temporary.path().c_str(), path.c_str()) != 0) {
      if (errno == EEXIST) return taken();
      setFailure(failure, "cannot link the temporary file: " + errorText(errno));
      return false;
    }
  } else {
    temporary.release();
  }
  syncFolder(path);
  return true;
}

FileLock::FileLock(FileLock&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = std::exchange(other.descriptor_, -1);
  }
  return *this;
}

FileLock::~FileLock() {
  // Closing the only descriptor of the open file releases the lock.
  if (descriptor_ >= 0) ::close(descriptor_);
}

namespace {

// Opens (creating it if need be) the lock file for locking; -1, with
// `failure` set, when it cannot be opened.
int openLockFile(const std::string& path, std::string* failure) {
  constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | kFlags, 0600);
  // A lock file that exists on a read-only file system (or belongs to
  // someone else) still locks when opened for reading.
  if (fd < 0 && (errno == EROFS || errno == EACCES)) {
    const int error = errno;
    fd = ::open(path.c_str(), O_RDONLY | kFlags);
    if (fd < 0) errno = errno == ENOENT ? error : errno;
  }
  if (fd < 0) {
    setFailure(failure, errno == ELOOP ? std::string("the lock file is a symbolic link")
                                       : "cannot open the lock file: " + errorText(errno));
  }
  return fd;
}

// Takes the exclusive lock on `fd`, trying again every 2 ms until
// `timeout` has passed. `*held` (if given) tells whether it failed because
// another process holds the lock.
bool lockWithin(int fd, std::chrono::milliseconds timeout, std::string* failure, bool* held) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      setFailure(failure, "cannot lock: " + errorText(errno));
      return false;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      setFailure(failure, "another process holds the lock");
      if (held) *held = true;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace

std::optional<FileLock> FileLock::acquire(const std::string& path,
                                          std::chrono::milliseconds timeout, std::string* failure,
                                          bool* held) {
  if (held) *held = false;
  const int fd = openLockFile(path, failure);
  if (fd < 0) return std::nullopt;
  FileLock lock(fd);
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    setFailure(failure, "the lock file is not a regular file");
    return std::nullopt;
  }
  if (!lockWithin(fd, timeout, failure, held)) return std::nullopt;
  return lock;
}

AppendFile::AppendFile(AppendFile&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)),
      sizeBeforeAppend_(std::exchange(other.sizeBeforeAppend_, -1)) {}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
  if (this != &other) {
    if (descriptor_ >= 0) ::close(descriptor_);
    descriptor_ = std::exchange(other.descriptor_, -1);
    sizeBeforeAppend_ = std::exchange(other.sizeBeforeAppend_, -1);
  }
  return *this;
}

AppendFile::~AppendFile() {
  if (descriptor_ >= 0) ::close(descriptor_);
}

std::optional<AppendFile> AppendFile::open(const std::string& path, std::string* failure) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) {
    setFailure(failure, errorText(errno));
    return std::nullopt;
  }
  if (S_ISLNK(info.st_mode)) {
    setFailure(failure, "it is a symbolic link");
    return std::nullopt;
  }
  if (!S_ISREG(info.st_mode)) {
    setFailure(failure, std::string("it is not a regular file (") + typeName(info.st_mode) + ")");
    return std::nullopt;
  }
  // Non-blocking and without following links, in case something else took
  // the file's place since lstat().
  const int fd =
      ::open(path.c_str(), O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    setFailure(failure, errorText(errno));
    return std::nullopt;
  }
  AppendFile file(fd);
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    setFailure(failure, std::string("it is not a regular file (") + typeName(info.st_mode) + ")");
    return std::nullopt;
  }
  return file;
}

std::uint64_t AppendFile::size() const {
  struct stat info;
  if (::fstat(descriptor_, &info) != 0 || info.st_size < 0) return 0;
  return static_cast<std::uint64_t>(info.st_size);
}

bool AppendFile::readFrom(std::uint64_t offset, std::size_t maxBytes, std::string& bytes,
                          std::string* failure) const {
  bytes.clear();
  const std::uint64_t end = size();
  if (offset >= end) return true;
  if (end - offset > maxBytes) {
    setFailure(failure, "more than " + std::to_string(maxBytes) + " bytes to read");
    return false;
  }
  try {
    bytes.resize(static_cast<std::size_t>(end - offset));
  } catch (const std::bad_alloc&) {
    setFailure(failure, errorText(ENOMEM));
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t count = ::pread(descriptor_, bytes.data() + done, bytes.size() - done,
                                  static_cast<off_t>(offset + done));
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      setFailure(failure, errorText(errno));
      bytes.clear();
      return false;
    }
    if (count == 0) break;  // cut shorter meanwhile
    done += static_cast<std::size_t>(count);
  }
  bytes.resize(done);
  return true;
}

bool AppendFile::appendLine(std::string_view text, std::uint64_t maxSize, std::string* failure) {
  struct stat info;
  if (::fstat(descriptor_, &info) != 0 || info.st_size < 0) {
    setFailure(failure, errorText(errno));
    return false;
  }
  const auto before = static_cast<std::uint64_t>(info.st_size);
  std::string line;
  if (before > 0) {
    char last = '\n';
    if (::pread(descriptor_, &last, 1, static_cast<off_t>(before - 1)) != 1) {
      setFailure(failure, errorText(errno));
      return false;
    }
    if (last != '\n') line += '\n';
  }
  line += text;
  if (before + line.size() > maxSize) {
    setFailure(failure, "it would grow past " + std::to_string(maxSize) + " bytes");
    return false;
  }
  // Written whole and on the disk, or cut back: a full disk (which may only
  // say so when the data is flushed) never leaves a piece of the line.
  if (!writeAll(descriptor_, line) || ::fdatasync(descriptor_) != 0) {
    const int error = errno;
    const bool restored = ::ftruncate(descriptor_, static_cast<off_t>(before)) == 0;
    setFailure(failure, "cannot write: " + errorText(error) +
                            (restored ? "" : "; the file could not be cut back to its old size"));
    return false;
  }
  sizeBeforeAppend_ = static_cast<std::int64_t>(before);
  return true;
}

bool AppendFile::undoAppend(std::string* failure) {
  if (sizeBeforeAppend_ < 0) return true;
  if (::ftruncate(descriptor_, static_cast<off_t>(sizeBeforeAppend_)) != 0 ||
      ::fdatasync(descriptor_) != 0) {
    setFailure(failure, "cannot cut the file back: " + errorText(errno));
    return false;
  }
  sizeBeforeAppend_ = -1;
  return true;
}

}  // namespace Kestova::FileAccess
