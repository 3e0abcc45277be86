#include "models/ModuleLog.h"

#include <cstdio>
#include <utility>

namespace Kestova {
namespace ModuleLog {
namespace {

Sink& currentSink() {
  static Sink sink;
  return sink;
}

}  // namespace

std::string_view levelName(Level level) {
  switch (level) {
    case Level::Info:
      return "Info";
    case Level::Warn:
      return "Warn";
    case Level::Error:
      return "Error";
  }
  return "Error";
}

std::string formatLine(Level level, std::string_view message) {
  std::string line = "gcin kestova ";
  line += levelName(level);
  line += ": ";
  line += message;
  return line;
}

void write(Level level, std::string_view message) {
  std::string line = formatLine(level, message);
  if (Sink& sink = currentSink()) {
    sink(line);
    return;
  }
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

Sink setSink(Sink sink) {
  return std::exchange(currentSink(), std::move(sink));
}

}  // namespace ModuleLog

ScopedLogCapture::ScopedLogCapture()
    : previous_(ModuleLog::setSink([this](std::string_view line) { lines_.emplace_back(line); })) {}

ScopedLogCapture::~ScopedLogCapture() {
  ModuleLog::setSink(std::move(previous_));
}

}  // namespace Kestova
