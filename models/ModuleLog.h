#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace Kestova {

// The module's log: one line per entry, "gcin kestova <Level>: <message>",
// written to standard error and flushed at once so that nothing is lost when
// the host dies. Everything runs on the host's thread; there is no locking.
namespace ModuleLog {

enum class Level { Info, Warn, Error };

// "Info", "Warn" or "Error".
std::string_view levelName(Level level);

// The whole line of one entry, without its line feed.
std::string formatLine(Level level, std::string_view message);

void write(Level level, std::string_view message);
inline void info(std::string_view message) {
  write(Level::Info, message);
}
inline void warn(std::string_view message) {
  write(Level::Warn, message);
}
inline void error(std::string_view message) {
  write(Level::Error, message);
}

// Receives each formatted line (without line feed) instead of standard error.
using Sink = std::function<void(std::string_view line)>;

// Replaces the destination of log lines and returns the previous one. An
// empty sink writes to standard error again.
Sink setSink(Sink sink);

}  // namespace ModuleLog

// Collects the log lines written while it exists; restores the previous
// destination when it goes away. Used by tests.
class ScopedLogCapture {
 public:
  ScopedLogCapture();
  ~ScopedLogCapture();
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

  const std::vector<std::string>& lines() const { return lines_; }
  void clear() { lines_.clear(); }

 private:
  std::vector<std::string> lines_;
  ModuleLog::Sink previous_;
};

}  // namespace Kestova
