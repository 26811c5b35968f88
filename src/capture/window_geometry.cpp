#include "capture/window_geometry.h"

namespace tarvix::capture {

Result<std::uint32_t, WindowError> title_bar_height(platform::Platform& platform,
                                                    platform::WindowHandle window) {
  auto frame = platform.extended_frame_bounds(window);
  if (!frame) return Err{WindowError{WindowError::Kind::WindowApiFailed, std::move(frame).error()}};
  auto client = platform.client_rect(window);
  if (!client)
    return Err{WindowError{WindowError::Kind::WindowApiFailed, std::move(client).error()}};
  const std::int64_t dpi = platform.dpi_for_window(window);

  // 64-bit so that no rectangle the platform reports can overflow; division
  // truncates toward zero (667 at 144 dpi scales to 1000).
  const std::int64_t client_height = std::int64_t{client->bottom} - client->top;
  const std::int64_t scaled = client_height * dpi / 96;
  const std::int64_t frame_height = std::int64_t{frame->bottom} - frame->top;
  const std::int64_t height = frame_height - scaled;
  if (height <= 0) return std::uint32_t{0};
  if (height > std::int64_t{UINT32_MAX}) return std::uint32_t{UINT32_MAX};
  return static_cast<std::uint32_t>(height);
}

}  // namespace tarvix::capture
