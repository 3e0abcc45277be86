// Reading and rewriting the small files the module keeps under the user's
// home (user phrase files, settings, gcin's keyboard file) so that nothing a
// file holds, or is replaced by, can stop the host: no open() that waits for
// a writer (a FIFO), no read that never ends (/dev/zero), no allocation the
// size of a sparse file, no rewrite that follows a link planted at a fixed
// temporary name or leaves a half-written file behind when two processes or
// a full disk get in the way.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace Kestova::FileAccess {

// Size caps that suit each kind of file.
inline constexpr std::size_t kSettingsFileLimit = std::size_t{1} << 20;  // 1 MiB
inline constexpr std::size_t kUserFileLimit = std::size_t{64} << 20;     // 64 MiB

enum class ReadStatus {
  Ok,
  // Nothing at the path (or a path component is not a directory).
  Missing,
  // A directory, FIFO, socket or device; it was not read (devices and FIFOs
  // are not even opened).
  NotRegularFile,
  // Larger than the cap the caller gave; nothing of it is returned.
  TooLarge,
  // Any other error of stat, open or read (permissions, I/O error).
  Failed,
};

struct ReadResult {
  ReadStatus status = ReadStatus::Failed;
  // The whole file when status is Ok; empty otherwise.
  std::string bytes;
  // errno for Missing and Failed.
  int error = 0;
  // The cap in force, for the reason of TooLarge.
  std::size_t limit = 0;
  // The file type bits of st_mode, for the reason of NotRegularFile.
  mode_t type = 0;

  bool ok() const { return status == ReadStatus::Ok; }
  // Why the file was not read, for a log line ("not a regular file (a
  // FIFO)", "larger than 1048576 bytes", "Permission denied"); "" when ok.
  std::string reason() const;
};

// Reads the whole file at `path` (following symbolic links) if it is a
// regular file of at most `maxBytes` bytes. Never blocks on a FIFO or a
// device: the type is checked with stat() before the file is opened, the
// open is non-blocking, and the type and size are checked again on the open
// descriptor before the first read; the read stops past `maxBytes` even if
// the file grows meanwhile. Never throws for anything about the file.
ReadResult readFile(const std::string& path, std::size_t maxBytes);

// Replaces the file at `path` with `contents` so that every reader sees
// either the old file or the whole new one: writes a temporary file of a
// unique name in the same folder (created with O_EXCL, so it never follows
// or truncates anything already there), fsyncs it, renames it over `path`
// and fsyncs the folder. An existing file keeps its permission bits; a new
// one gets `newFileMode` less the umask.
//
// Refuses, without touching anything, when `path` is a symbolic link (the
// file it points to may be anyone's; the link is neither written through nor
// replaced) or something other than a regular file. On any failure the
// temporary file is removed, the original is unchanged, false is returned
// and `failure` (if given) says what went wrong.
bool replaceFile(const std::string& path, std::string_view contents, std::string* failure = nullptr,
                 mode_t newFileMode = 0644);

// Creates `path` holding `contents` unless something (anything, a dangling
// link included) already stands there, in the same way as replaceFile: the
// file appears whole or not at all. False, with `failure` set, if it could
// not be created; `*existed` (if given) tells whether that was because the
// path was taken.
bool createFile(const std::string& path, std::string_view contents, std::string* failure = nullptr,
                bool* existed = nullptr, mode_t newFileMode = 0644);

// An exclusive advisory lock (flock) on a lock file, held while the object
// lives. Every process that does a read-modify-write of the files the lock
// guards takes it first, so that concurrent edits are serialised instead of
// undoing each other. The lock goes away with the process, so a crash never
// leaves it stale.
class FileLock {
 public:
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  // Opens (creating it, mode 0600, if needed) the lock file at `path` and
  // waits at most `timeout` for the lock (a zero timeout only tries). Never
  // follows a link at `path` and never blocks on a FIFO there. Empty, with
  // `failure` set, when the lock file cannot be used or another holder
  // keeps the lock too long; `*held` (if given) tells the second case.
  static std::optional<FileLock> acquire(const std::string& path, std::chrono::milliseconds timeout,
                                         std::string* failure = nullptr, bool* held = nullptr);

 private:
  explicit FileLock(int descriptor) : descriptor_(descriptor) {}
  int descriptor_ = -1;
};

// A regular file opened to have lines appended at its end, by a caller
// that holds the lock of whoever else appends (FileLock): an append is
// there whole and on the disk, or not at all, and can be taken back.
// Appending costs the same whatever the file's size.
class AppendFile {
 public:
  AppendFile(AppendFile&& other) noexcept;
  AppendFile& operator=(AppendFile&& other) noexcept;
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;
  ~AppendFile();

  // Opens the file at `path` for reading and appending. Refuses, as
  // replaceFile does, a symbolic link and anything but a regular file (a
  // FIFO is never opened); empty, with `failure` set, when refused or when
  // it cannot be opened.
  static std::optional<AppendFile> open(const std::string& path, std::string* failure = nullptr);

  // The file's size now (0 if it cannot be told).
  std::uint64_t size() const;
  // The bytes from `offset` to the end, if there are at most `maxBytes`.
  bool readFrom(std::uint64_t offset, std::size_t maxBytes, std::string& bytes,
                std::string* failure = nullptr) const;

  // Appends `text` (first a line feed, when the file does not end with one)
  // and flushes it to the disk. On any failure (a full disk, a size limit,
  // the file growing past `maxSize`) the file is cut back to what it was,
  // false is returned and `failure` says what went wrong.
  bool appendLine(std::string_view text, std::uint64_t maxSize, std::string* failure = nullptr);
  // Cuts the file back to its size before the last successful append.
  bool undoAppend(std::string* failure = nullptr);

 private:
  explicit AppendFile(int descriptor) : descriptor_(descriptor) {}
  int descriptor_ = -1;
  // The size before the last successful append; -1 when there was none.
  std::int64_t sizeBeforeAppend_ = -1;
};

}  // namespace Kestova::FileAccess
