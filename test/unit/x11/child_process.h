// A child process of the X11 tests (Xvfb, openbox, the test window) with
// pipes to its standard input and output. Destroying it kills and reaps it.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tarvix::x11_test {

class ChildProcess {
 public:
  // Fails the running test if it cannot spawn.
  ChildProcess(const std::string& program, const std::vector<std::string>& args);
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  pid_t pid() const { return pid_; }
  // One line of its output without the newline; none once the output closed
  // or after 20 s.
  std::optional<std::string> read_line();
  bool write_line(const std::string& line);
  void kill_now();

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  std::string pending_;
};

}  // namespace tarvix::x11_test
