// The module's log: one line per entry, "gcin kestova <Level>: <message>",
// written to standard error and flushed at once so that nothing is lost when
// the host dies. Everything runs on the host's thread; there is no locking.
// It owns the one process-wide destination of log lines (standard error, or
// the sink a test installs). Every layer above base may write to it (the
// models, the engine and the module do); tests, benchmarks and fuzzers
// replace the sink to read or silence what is logged.
//
// Messages carry text from outside (paths under $HOME, phrases from user
// files), so every entry is escaped on its way out: a line break, any other
// control character, U+2028/U+2029 and bytes that are not UTF-8 never reach
// the log as they are, and an entry stays one line of valid UTF-8.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace Kestova {

namespace ModuleLog {

enum class Level { Info, Warn, Error };

// The text with \n, \r and \t for those characters, \xHH for every other
// C0 control, DEL and every byte that is not part of well-formed UTF-8, and
// \uHHHH for C1 controls and the line and paragraph separators.
std::string escaped(std::string_view text);

// A path in double quotes with backslash escapes, as the standard stream
// writes a path; the log escapes the rest.
std::string quoted(const std::filesystem::path& path);

// The whole line of one entry (message escaped), without its line feed.
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
}  // namespace Kestova
