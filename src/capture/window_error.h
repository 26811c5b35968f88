// Failures of reading a window's geometry.
#pragma once

#include <string>

#include "capture/platform/platform_error.h"

namespace tarvix::capture {

struct WindowError {
  enum class Kind { WindowApiFailed };

  Kind kind = Kind::WindowApiFailed;
  platform::PlatformError platform;
};

std::string display(const WindowError& error);

}  // namespace tarvix::capture
