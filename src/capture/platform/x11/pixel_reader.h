// Reads a rectangle of a drawable into a PixelBuffer as B, G, R, A bytes,
// as it was at one instant: through the buffer's shared-memory segment when
// it has one and the rows fit it exactly, otherwise with plain get-image
// requests in strips small enough for the server's request length limit,
// taken from a copy the server makes first when one strip is not enough.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>

#include "capture/platform/x11/pixel_buffer.h"
#include "capture/platform/x11/x_connection.h"
#include "capture/platform/x11/x_reply.h"

namespace tarvix::capture::platform::x11 {

struct ReadArea {
  xcb_drawable_t drawable = 0;
  std::int16_t x = 0;
  std::int16_t y = 0;
  std::uint16_t width = 0;
  std::uint16_t height = 0;
  std::uint8_t depth = 24;  // the drawable's
};

// Rows land `pitch` bytes apart; the buffer must hold height rows of pitch.
XResult<void> read_pixels(XConnection& connection, const ReadArea& area, const PixelBuffer& into,
                          std::uint32_t pitch);

// Rows of get-image replies that stay under the request length limit.
std::uint32_t strip_rows(std::uint32_t max_request_bytes, std::uint32_t row_bytes) noexcept;

}  // namespace tarvix::capture::platform::x11
