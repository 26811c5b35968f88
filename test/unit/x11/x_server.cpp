#include "x11/x_server.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace tarvix::x11_test {

XServer::XServer(const std::vector<std::string>& extra_args) {
  // A test window that died must not take the test with it on the next write.
  signal(SIGPIPE, SIG_IGN);
  // At most 64 clients, so that a test can reach the limit.
  std::vector<std::string> args{"-displayfd",   "1",         "-screen",    "0",
                                "1280x1024x24", "-nolisten", "tcp",        "-noreset",
                                "-maxclients",  "64",        "+extension", "Composite"};
  args.insert(args.end(), extra_args.begin(), extra_args.end());
  xvfb_ = std::make_unique<ChildProcess>("Xvfb", args);
  const auto number = xvfb_->read_line();
  if (!number) {
    ADD_FAILURE() << "Xvfb did not start";
    return;
  }
  setenv("DISPLAY", (":" + *number).c_str(), 1);
  connection_ = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection_)) ADD_FAILURE() << "cannot connect to :" << *number;
}

XServer::~XServer() {
  if (connection_) xcb_disconnect(connection_);
}

xcb_window_t XServer::root() const {
  return xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
}

void XServer::sync() const {
  std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

void XServer::freeze(bool frozen) {
  if (xvfb_->pid() > 0) kill(xvfb_->pid(), frozen ? SIGSTOP : SIGCONT);
}

std::optional<std::uint32_t> XServer::manage(xcb_window_t window) {
  window_manager_ =
      std::make_unique<ChildProcess>("openbox", std::vector<std::string>{"--sm-disable"});
  const char name[] = "_NET_FRAME_EXTENTS";
  auto* atom = xcb_intern_atom_reply(
      connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr);
  std::optional<std::uint32_t> top;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (atom && !top && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    auto* extents = xcb_get_property_reply(
        connection_, xcb_get_property(connection_, 0, window, atom->atom, XCB_ATOM_CARDINAL, 0, 4),
        nullptr);
    if (extents && xcb_get_property_value_length(extents) == 16) {
      top = static_cast<const std::uint32_t*>(xcb_get_property_value(extents))[2];
    }
    std::free(extents);
  }
  std::free(atom);
  return top;
}

}  // namespace tarvix::x11_test
