#include "x11/test_window_process.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace tarvix::x11_test {

namespace {
constexpr std::chrono::seconds kPatience{20};
}  // namespace

TestWindowProcess::TestWindowProcess(const std::vector<std::string>& args) {
  std::vector<std::string> argv{TARVIX_TEST_WINDOW};
  argv.insert(argv.end(), args.begin(), args.end());
  process_ = std::make_unique<ChildProcess>(argv, ChildProcess::Pipes{true, true, {}});
  const auto line = process_->read_line(kPatience);
  if (!line) {
    ADD_FAILURE() << "the test window did not report its id";
    return;
  }
  id_ = static_cast<xcb_window_t>(std::strtoul(line->c_str(), nullptr, 10));
}

bool TestWindowProcess::command(const std::string& line) {
  if (!process_->write_line(line)) return false;
  const auto answer = process_->read_line(kPatience);
  return answer && (*answer == "ok" || *answer == "closed");
}

}  // namespace tarvix::x11_test
