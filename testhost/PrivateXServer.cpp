#include "testhost/PrivateXServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace Kestova {

PrivateXServer::PrivateXServer() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    error_ = "cannot create a pipe";
    return;
  }
  pid_ = fork();
  if (pid_ < 0) {
    error_ = "cannot fork";
    close(fds[0]);
    close(fds[1]);
    return;
  }
  if (pid_ == 0) {
    // Child: Xvfb writes the display number it chose to descriptor 3.
    dup2(fds[1], 3);
    int devnull = open("/dev/null", O_RDWR);
    if (devnull >= 0) {
      dup2(devnull, 0);
      dup2(devnull, 1);
      dup2(devnull, 2);
    }
    execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp",
           static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  std::string number;
  pollfd reader{fds[0], POLLIN, 0};
  while (poll(&reader, 1, 10000) > 0) {
    char buffer[16];
    ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    number.append(buffer, static_cast<size_t>(n));
    if (number.find('\n') != std::string::npos) break;
  }
  close(fds[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == ' ')) number.pop_back();
  if (number.empty()) {
    error_ = "Xvfb did not start (is the package xvfb installed?)";
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return;
  }
  display_ = ":" + number;
  setenv("DISPLAY", display_.c_str(), 1);
}

PrivateXServer::~PrivateXServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

}  // namespace Kestova
