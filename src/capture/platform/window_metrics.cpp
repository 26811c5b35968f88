#include "capture/platform/platform.h"

namespace tarvix::capture::platform {

PlatformResult<WindowMetrics> Platform::window_metrics(WindowHandle window) {
  auto frame = extended_frame_bounds(window);
  if (!frame) return Err{std::move(frame).error()};
  auto client = client_rect(window);
  if (!client) return Err{std::move(client).error()};
  // 64-bit so that no rectangle can overflow; division truncates toward
  // zero (667 at 144 dpi scales to 1000).
  const std::int64_t height = std::int64_t{client->bottom} - client->top;
  return WindowMetrics{frame.value(), height * dpi_for_window(window) / 96};
}

}  // namespace tarvix::capture::platform
