#include "x11/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

extern char** environ;

namespace tarvix::x11_test {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args) {
  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
    ADD_FAILURE() << "pipe failed";
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  if (posix_spawnp(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
    pid_ = -1;
    ADD_FAILURE() << "cannot start " << program;
  }
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]), close(out[1]);
  in_ = in[1], out_ = out[0];
}

ChildProcess::~ChildProcess() {
  if (in_ >= 0) close(in_);
  kill_now();
  if (out_ >= 0) close(out_);
}

std::optional<std::string> ChildProcess::read_line() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::size_t nl;
  while ((nl = pending_.find('\n')) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd p{out_, POLLIN, 0};
    char chunk[512];
    ssize_t n = 0;
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0 ||
        (n = read(out_, chunk, sizeof chunk)) <= 0) {
      return std::nullopt;
    }
    pending_.append(chunk, static_cast<std::size_t>(n));
  }
  std::string line = pending_.substr(0, nl);
  pending_.erase(0, nl + 1);
  return line;
}

bool ChildProcess::write_line(const std::string& line) {
  const std::string data = line + "\n";
  return in_ >= 0 && write(in_, data.data(), data.size()) == static_cast<ssize_t>(data.size());
}

void ChildProcess::kill_now() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

}  // namespace tarvix::x11_test
