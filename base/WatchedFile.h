// Telling with one stat() whether a file changed on disk since it was
// loaded, so that what the module keeps loaded (user phrase files, the
// built-in database, the context file) is reloaded when it is edited or
// replaced. A WatchedFile owns a path and what was last seen of it, and
// never opens the file. The layers above base may use it (today the models'
// loader does).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

namespace Kestova {

// A file path plus what was last seen of it, to tell cheaply (one stat())
// whether the file changed on disk since it was loaded.
//
// Besides the modification time it remembers the size, the device and the
// inode: two writes that land within one tick of the file system's clock (an
// append right after a load) leave the time unchanged but never the size of
// an appended or shortened file, and a file replaced by rename (as every
// rewrite by this program or by another instance does) is a new inode even
// when its size and time happen to match.
class WatchedFile {
 public:
  WatchedFile() = default;
  explicit WatchedFile(std::filesystem::path path) : path_(std::move(path)) {}

  const std::filesystem::path& path() const { return path_; }

  // The path is set and names something (a directory counts).
  bool exists() const;
  // Whether the file differs from what remember() saw last. A missing file,
  // or one that cannot be inspected, counts as changed only if it was there
  // when last seen.
  bool changed() const;
  // Records the file's current state (nothing seen if it is missing).
  void remember();
  // The size remember() saw, when the file is as it saw it, or is still
  // that same file (device and inode) and larger now: then whatever changed
  // since was most likely appended after that size. Empty otherwise (gone,
  // replaced, or changed without growing).
  std::optional<std::int64_t> grownFrom() const;

 private:
  struct Snapshot {
    bool present = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;

    bool operator==(const Snapshot&) const = default;
  };
  // False when the file cannot be inspected; `snapshot` is then "not present".
  bool take(Snapshot& snapshot, bool& missing) const;

  std::filesystem::path path_;
  Snapshot seen_;
};

}  // namespace Kestova
