// A private Xvfb server for programs that need an X display where there may
// be none (the playground, benchmarks, GUI tests). Xvfb picks a free display
// number; the server is stopped when the object goes away.
#pragma once

#include <sys/types.h>

#include <string>

namespace Kestova {

struct PrivateXServerOptions {
  // Where the server's own output goes; empty for nowhere.
  std::string logPath;
  // Let the server exit with its last client, so that a program that dies
  // without running its destructors does not leave the server behind.
  bool exitWithLastClient = false;
};

class PrivateXServer {
 public:
  // Starts Xvfb and points DISPLAY at it; check running() afterwards.
  PrivateXServer();
  explicit PrivateXServer(const PrivateXServerOptions& options);
  ~PrivateXServer();
  PrivateXServer(const PrivateXServer&) = delete;
  PrivateXServer& operator=(const PrivateXServer&) = delete;

  bool running() const { return pid_ > 0 && !display_.empty(); }
  const std::string& display() const { return display_; }
  const std::string& error() const { return error_; }

  // Stops the server now (the destructor does it otherwise).
  void stop();

 private:
  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};

}  // namespace Kestova
