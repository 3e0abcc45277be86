#include "models/WatchedFile.h"

namespace Kestova {

namespace fs = std::filesystem;

bool WatchedFile::exists() const {
  if (path_.empty()) return false;
  std::error_code error;
  fs::file_type type = fs::status(path_, error).type();
  return type != fs::file_type::none && type != fs::file_type::not_found;
}

bool WatchedFile::changed() const {
  if (!exists()) return time_ != fs::file_time_type{};
  std::error_code error;
  fs::file_time_type time = fs::last_write_time(path_, error);
  if (error) return true;
  if (time != time_) return true;
  std::uintmax_t size = fs::file_size(path_, error);
  return !error && size != size_;
}

void WatchedFile::remember() {
  time_ = {};
  size_ = 0;
  if (!exists()) return;
  std::error_code error;
  fs::file_time_type time = fs::last_write_time(path_, error);
  if (error) return;
  time_ = time;
  std::uintmax_t size = fs::file_size(path_, error);
  if (!error) size_ = size;
}

}  // namespace Kestova
