#include "capture/window_error.h"

namespace tarvix::capture {

std::string display(const WindowError& error) {
  return "A Windows API call failed: " + platform::display(error.platform);
}

}  // namespace tarvix::capture
