// The socket to the X server that DISPLAY names, connected within a bound,
// and the authorisation cookie the server expects on it. The backend opens
// the socket itself (rather than leaving it to xcb) so that the wait for the
// server's first answer can be bounded like every later one.
#pragma once

#include <chrono>
#include <string>

#include "capture/platform/platform_error.h"

namespace tarvix::capture::platform::x11 {

struct DisplaySocket {
  int fd = -1;  // owned by the caller
  int screen = 0;
  std::string auth_name;  // empty: the server is asked without authorisation
  std::string auth_data;
};

// `display` is DISPLAY's value ("host:number.screen"); errors say why in
// words that follow "Cannot open X display \"...\": ".
PlatformResult<DisplaySocket> connect_display(const std::string& display,
                                              std::chrono::milliseconds bound);

}  // namespace tarvix::capture::platform::x11
