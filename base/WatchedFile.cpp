#include "base/WatchedFile.h"

#include <sys/stat.h>

#include <cerrno>

namespace Kestova {

bool WatchedFile::take(Snapshot& snapshot, bool& missing) const {
  snapshot = {};
  missing = true;
  if (path_.empty()) return true;
  struct stat info;
  if (::stat(path_.c_str(), &info) != 0) {
    missing = errno == ENOENT || errno == ENOTDIR;
    return missing;
  }
  missing = false;
  snapshot.present = true;
  snapshot.device = static_cast<std::uint64_t>(info.st_dev);
  snapshot.inode = static_cast<std::uint64_t>(info.st_ino);
  snapshot.size = static_cast<std::int64_t>(info.st_size);
  snapshot.seconds = static_cast<std::int64_t>(info.st_mtim.tv_sec);
  snapshot.nanoseconds = static_cast<std::int64_t>(info.st_mtim.tv_nsec);
  return true;
}

bool WatchedFile::exists() const {
  Snapshot now;
  bool missing = true;
  return take(now, missing) && !missing;
}

bool WatchedFile::changed() const {
  Snapshot now;
  bool missing = true;
  // A file that cannot be inspected counts as gone.
  if (!take(now, missing) || missing) return seen_.present;
  return now != seen_;
}

void WatchedFile::remember() {
  bool missing = true;
  if (!take(seen_, missing)) seen_ = {};
}

std::optional<std::int64_t> WatchedFile::grownFrom() const {
  Snapshot now;
  bool missing = true;
  if (!seen_.present || !take(now, missing) || missing) return std::nullopt;
  // Unchanged, or the same file grown. One rewritten in place to the same
  // size (or shorter) may differ anywhere.
  if (now == seen_) return seen_.size;
  if (now.device != seen_.device || now.inode != seen_.inode || now.size <= seen_.size) {
    return std::nullopt;
  }
  return seen_.size;
}

}  // namespace Kestova
