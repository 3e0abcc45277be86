#include "testhost/PrivateXServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

extern char** environ;

namespace Kestova {
namespace {

// Reads the display number Xvfb writes once it accepts connections; empty
// when it does not come in time.
std::string readDisplayNumber(int fd, std::chrono::milliseconds timeout) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd reader{fd, POLLIN, 0};
    int ready = poll(&reader, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    char buffer[32];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
    if (text.find('\n') != std::string::npos) return text.substr(0, text.find('\n'));
  }
  return {};
}

}  // namespace

PrivateXServer::PrivateXServer() : PrivateXServer(PrivateXServerOptions{}) {}

PrivateXServer::PrivateXServer(const PrivateXServerOptions& options) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error_ = std::string("cannot create a pipe: ") + std::strerror(errno);
    return;
  }
  // Xvfb writes the display number it chose to this descriptor, which must
  // survive exec under a known number.
  const int childFd = 3;
  const std::string log = options.logPath.empty() ? "/dev/null" : options.logPath;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fds[1], childFd);

  std::vector<std::string> arguments = {"Xvfb",      "-displayfd", std::to_string(childFd),
                                        "-screen",   "0",          "1024x768x24",
                                        "-nolisten", "tcp"};
  if (options.exitWithLastClient) arguments.push_back("-terminate");
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  int rc = posix_spawnp(&pid_, "Xvfb", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    pid_ = -1;
    error_ =
        std::string("cannot start Xvfb (is the package xvfb installed?): ") + std::strerror(rc);
    return;
  }
  std::string number = readDisplayNumber(fds[0], std::chrono::seconds(20));
  close(fds[0]);
  while (!number.empty() && number.back() == ' ') number.pop_back();
  if (number.empty()) {
    error_ = "Xvfb did not start (is the package xvfb installed?)";
    if (!options.logPath.empty()) error_ += "; see " + options.logPath;
    stop();
    return;
  }
  display_ = ":" + number;
  setenv("DISPLAY", display_.c_str(), 1);
}

PrivateXServer::~PrivateXServer() {
  stop();
}

void PrivateXServer::stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

}  // namespace Kestova
