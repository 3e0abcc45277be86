// A private Xvfb server for programs that need an X display where there may
// be none (the playground, benchmarks). Xvfb picks a free display number; the
// server is stopped when the object goes away.
#pragma once

#include <sys/types.h>

#include <string>

namespace Kestova {

class PrivateXServer {
 public:
  // Starts Xvfb and points DISPLAY at it; check running() afterwards.
  PrivateXServer();
  ~PrivateXServer();
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  bool running() const { return pid_ > 0 && !display_.empty(); }
  const std::string& display() const { return display_; }
  const std::string& error() const { return error_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};

}  // namespace Kestova
