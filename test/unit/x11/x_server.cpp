#include "x11/x_server.h"

#include <signal.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace tarvix::x11_test {

namespace {

using namespace std::chrono_literals;
constexpr int kDisplayFd = 3;
constexpr auto kPatience = 20s;

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
  auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
  const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
  std::free(reply);
  return atom;
}

std::optional<std::vector<std::uint32_t>> cardinals(xcb_connection_t* c, xcb_window_t w,
                                                    const char* name, xcb_atom_t type) {
  auto* reply =
      xcb_get_property_reply(c, xcb_get_property(c, 0, w, intern(c, name), type, 0, 16), nullptr);
  std::optional<std::vector<std::uint32_t>> values;
  if (reply && reply->format == 32 && xcb_get_property_value_length(reply) > 0) {
    const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
    values.emplace(v, v + xcb_get_property_value_length(reply) / 4);
  }
  std::free(reply);
  return values;
}

template <class F>
bool eventually(F condition) {
  const auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(20ms);
  }
  return true;
}

}  // namespace

void XServer::freeze(bool frozen) {
  if (xvfb_ && xvfb_->running()) kill(xvfb_->pid(), frozen ? SIGSTOP : SIGCONT);
}

XServer::XServer(const std::vector<std::string>& extra_args) {
  // A test window that died must not take the test with it on the next write.
  signal(SIGPIPE, SIG_IGN);
  if (const char* d = std::getenv("DISPLAY")) saved_display_ = d;
  std::vector<std::string> argv{"Xvfb",       "-displayfd", std::to_string(kDisplayFd),
                                "-screen",    "0",          "1280x1024x24",
                                "-nolisten",  "tcp",        "-noreset",
                                "+extension", "Composite"};
  argv.insert(argv.end(), extra_args.begin(), extra_args.end());
  xvfb_ = std::make_unique<ChildProcess>(argv, ChildProcess::Pipes{.extra_output = kDisplayFd});
  const auto number = xvfb_->read_extra_line(std::chrono::milliseconds(kPatience));
  if (!number) {
    ADD_FAILURE() << "Xvfb did not start";
    return;
  }
  display_ = ":" + *number;
  setenv("DISPLAY", display_.c_str(), 1);
  connection_ = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(connection_)) {
    ADD_FAILURE() << "cannot connect to " << display_;
    xcb_disconnect(connection_);
    connection_ = nullptr;
  }
}

XServer::~XServer() {
  window_manager_.reset();
  if (connection_) xcb_disconnect(connection_);
  xvfb_.reset();
  if (saved_display_) {
    setenv("DISPLAY", saved_display_->c_str(), 1);
  } else {
    unsetenv("DISPLAY");
  }
}

xcb_window_t XServer::root() const {
  return xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
}

bool XServer::start_window_manager() {
  window_manager_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{"openbox", "--sm-disable"}, ChildProcess::Pipes{});
  return eventually([&] {
    return cardinals(connection_, root(), "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW).has_value();
  });
}

std::optional<std::vector<std::uint32_t>> XServer::wait_for_frame_extents(xcb_window_t window) {
  std::optional<std::vector<std::uint32_t>> extents;
  eventually([&] {
    extents = cardinals(connection_, window, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL);
    return extents && extents->size() == 4;
  });
  return extents;
}

}  // namespace tarvix::x11_test
