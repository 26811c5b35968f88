// A child process for the X11 tests (Xvfb, openbox, the test window), with
// optional pipes to its standard input and output. Destroying it kills and
// reaps the child.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tarvix::x11_test {

class ChildProcess {
 public:
  struct Pipes {
    bool input = false;
    bool output = false;
    // Another write end the child inherits as this descriptor number.
    std::optional<int> extra_output;
  };

  // Fails the running test (and returns an empty process) if it cannot spawn.
  ChildProcess(const std::vector<std::string>& argv, Pipes pipes);
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }

  // One line from the child's output (or the extra pipe), without the
  // newline; none when it closed or `timeout` passed.
  std::optional<std::string> read_line(std::chrono::milliseconds timeout);
  std::optional<std::string> read_extra_line(std::chrono::milliseconds timeout);
  bool write_line(const std::string& line);
  void close_input();

  void kill_now();
  // Waits for the child to end by itself; its exit status, or none on timeout.
  std::optional<int> wait(std::chrono::milliseconds timeout);

 private:
  static std::optional<std::string> read_line_from(int fd, std::string& pending,
                                                   std::chrono::milliseconds timeout);

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, extra_ = -1;
  std::string out_pending_, extra_pending_;
};

}  // namespace tarvix::x11_test
