// Collects the module log's lines while a test runs, instead of letting
// them reach standard error, so that a test can assert what was logged.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ModuleLog.h"

namespace Kestova {

// Collects the log lines written while it exists; restores the previous
// destination when it goes away.
class ScopedLogCapture {
 public:
  ScopedLogCapture()
      : previous_(
            ModuleLog::setSink([this](std::string_view line) { lines_.emplace_back(line); })) {}
  ~ScopedLogCapture() { ModuleLog::setSink(std::move(previous_)); }
  ScopedLogCapture(const ScopedLogCapture&) = delete;
  ScopedLogCapture& operator=(const ScopedLogCapture&) = delete;

  const std::vector<std::string>& lines() const { return lines_; }
  void clear() { lines_.clear(); }

 private:
  std::vector<std::string> lines_;
  ModuleLog::Sink previous_;
};

}  // namespace Kestova
