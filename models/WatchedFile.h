#pragma once

#include <cstdint>
#include <filesystem>

namespace Kestova {

// A file path plus what was last seen of it, to tell cheaply whether the
// file changed on disk since it was loaded.
//
// Besides the modification time it remembers the size: two writes that
// land within one tick of the file system's clock (an append right after a
// load) leave the time unchanged but never the size of an appended or
// shortened file.
class WatchedFile {
 public:
  WatchedFile() = default;
  explicit WatchedFile(std::filesystem::path path) : path_(std::move(path)) {}

  const std::filesystem::path& path() const { return path_; }

  // The path is set and names something (a directory counts).
  bool exists() const;
  // Whether the file differs from what remember() saw last. A file that
  // cannot be inspected counts as changed; a missing file counts as changed
  // only if it was there when last seen.
  bool changed() const;
  // Records the file's current state (nothing seen if it is missing).
  void remember();

 private:
  std::filesystem::path path_;
  std::filesystem::file_time_type time_{};  // zero: nothing seen
  std::uintmax_t size_ = 0;
};

}  // namespace Kestova
