// A private Xvfb for one test, so that window managers, extensions and
// resource counts of one test never meet another's. While it lives, DISPLAY
// names it.
#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "x11/child_process.h"

namespace tarvix::x11_test {

class XServer {
 public:
  // Extra arguments for Xvfb, e.g. {"-extension", "MIT-SHM"}.
  explicit XServer(const std::vector<std::string>& extra_args = {});
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;
  ~XServer();

  bool ready() const { return connection_ != nullptr; }
  const std::string& display() const { return display_; }
  // The test's own connection to the server.
  xcb_connection_t* connection() const { return connection_; }
  xcb_window_t root() const;

  // Ends the server at once, as if the display went away.
  void kill_server() { xvfb_->kill_now(); }
  // Stops the server (SIGSTOP) or lets it go on: a server that hangs.
  void freeze(bool frozen);

  // Runs openbox on the server and waits until it manages windows.
  bool start_window_manager();
  // _NET_FRAME_EXTENTS of a window once the window manager has set it.
  std::optional<std::vector<std::uint32_t>> wait_for_frame_extents(xcb_window_t window);

 private:
  std::optional<std::string> saved_display_;
  std::unique_ptr<ChildProcess> xvfb_;
  std::unique_ptr<ChildProcess> window_manager_;
  std::string display_;
  xcb_connection_t* connection_ = nullptr;
};

}  // namespace tarvix::x11_test
