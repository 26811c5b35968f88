#include "capture/window_geometry.h"

namespace tarvix::capture {

Result<std::uint32_t, WindowError> title_bar_height(platform::Platform& platform,
                                                    platform::WindowHandle window) {
  auto metrics = platform.window_metrics(window);
  if (!metrics) {
    return Err{WindowError{WindowError::Kind::WindowApiFailed, std::move(metrics).error()}};
  }
  const std::int64_t frame_height = std::int64_t{metrics->frame.bottom} - metrics->frame.top;
  const std::int64_t height = frame_height - metrics->client_height;
  if (height <= 0) return std::uint32_t{0};
  if (height > std::int64_t{UINT32_MAX}) return std::uint32_t{UINT32_MAX};
  return static_cast<std::uint32_t>(height);
}

}  // namespace tarvix::capture
