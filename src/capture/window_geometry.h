// Window geometry the capture needs: the height of a window's title bar.
#pragma once

#include <cstdint>

#include "capture/platform/platform.h"
#include "capture/window_error.h"
#include "support/result.h"

namespace tarvix::capture {

// Frame height in physical pixels minus the client height scaled by the
// window's dpi; never negative.
Result<std::uint32_t, WindowError> title_bar_height(platform::Platform& platform,
                                                    platform::WindowHandle window);

}  // namespace tarvix::capture
