// A private Xvfb for one test, so that window managers, extensions and
// client counts of one test never meet another's. It sets DISPLAY to itself;
// every test that needs a server starts its own.
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

  // The test's own connection to the server.
  xcb_connection_t* connection() const { return connection_; }
  xcb_window_t root() const;
  // Waits until the server has carried out every request sent so far.
  void sync() const;

  // Ends the server at once, as if the display went away.
  void kill_server() { xvfb_->kill_now(); }
  // Stops the server (SIGSTOP) or lets it go on: a server that hangs.
  void freeze(bool frozen);

  // Runs openbox, which takes over the windows already mapped; the top of
  // `window`'s _NET_FRAME_EXTENTS once openbox has set them.
  std::optional<std::uint32_t> manage(xcb_window_t window);

 private:
  std::unique_ptr<ChildProcess> xvfb_;
  std::unique_ptr<ChildProcess> window_manager_;
  xcb_connection_t* connection_ = nullptr;
};

}  // namespace tarvix::x11_test
