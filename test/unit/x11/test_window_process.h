// Drives the tarvix_test_window program: starts it, learns its window id,
// sends it commands and waits for their answers.
#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <string>
#include <vector>

#include "x11/child_process.h"

namespace tarvix::x11_test {

class TestWindowProcess {
 public:
  explicit TestWindowProcess(const std::vector<std::string>& args);

  bool ready() const { return id_ != 0; }
  xcb_window_t id() const { return id_; }
  // Sends a command; true when the program answered "ok" (or "closed").
  bool command(const std::string& line);
  void kill_now() { process_->kill_now(); }

 private:
  std::unique_ptr<ChildProcess> process_;
  xcb_window_t id_ = 0;
};

}  // namespace tarvix::x11_test
