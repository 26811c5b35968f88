#include "x11/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

extern char** environ;

namespace tarvix::x11_test {

namespace {

void close_fd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, Pipes pipes) {
  int in[2] = {-1, -1}, out[2] = {-1, -1}, extra[2] = {-1, -1};
  if ((pipes.input && pipe2(in, O_CLOEXEC) != 0) || (pipes.output && pipe2(out, O_CLOEXEC) != 0) ||
      (pipes.extra_output && pipe2(extra, O_CLOEXEC) != 0)) {
    ADD_FAILURE() << "pipe failed";
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (pipes.input) posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  if (pipes.output) posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  if (pipes.extra_output) posix_spawn_file_actions_adddup2(&actions, extra[1], *pipes.extra_output);
  std::vector<char*> args;
  for (const auto& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const int failed = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close_fd(in[0]), close_fd(out[1]), close_fd(extra[1]);
  in_ = in[1], out_ = out[0], extra_ = extra[0];
  if (failed) {
    pid_ = -1;
    ADD_FAILURE() << "cannot start " << argv[0];
  }
}

ChildProcess::~ChildProcess() {
  close_input();
  kill_now();
  close_fd(out_), close_fd(extra_);
}

std::optional<std::string> ChildProcess::read_line(std::chrono::milliseconds timeout) {
  return read_line_from(out_, out_pending_, timeout);
}

std::optional<std::string> ChildProcess::read_extra_line(std::chrono::milliseconds timeout) {
  return read_line_from(extra_, extra_pending_, timeout);
}

std::optional<std::string> ChildProcess::read_line_from(int fd, std::string& pending,
                                                        std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (const auto nl = pending.find('\n'); nl != std::string::npos) {
      std::string line = pending.substr(0, nl);
      pending.erase(0, nl + 1);
      return line;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (fd < 0 || left.count() <= 0) return std::nullopt;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char chunk[512];
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) return std::nullopt;
    pending.append(chunk, static_cast<std::size_t>(n));
  }
}

bool ChildProcess::write_line(const std::string& line) {
  const std::string data = line + "\n";
  return in_ >= 0 && write(in_, data.data(), data.size()) == static_cast<ssize_t>(data.size());
}

void ChildProcess::close_input() {
  close_fd(in_);
}

void ChildProcess::kill_now() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (pid_ > 0) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return status;
    }
    if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::nullopt;
}

}  // namespace tarvix::x11_test
