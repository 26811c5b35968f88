#include "capture/platform/x11/pixel_reader.h"

#include <xcb/shm.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace tarvix::capture::platform::x11 {

namespace {

constexpr std::uint32_t kAllPlanes = ~0u;
// Room for the get-image reply header within the limit.
constexpr std::uint32_t kReplyHeaderBytes = 32;

XResult<void> read_shared(XConnection& connection, const ReadArea& a, const ShmSegment& segment) {
  xcb_connection_t* c = connection.raw();
  auto reply = await_reply(connection,
                           xcb_shm_get_image(c, a.drawable, a.x, a.y, a.width, a.height, kAllPlanes,
                                             XCB_IMAGE_FORMAT_Z_PIXMAP, segment.id(), 0),
                           xcb_shm_get_image_reply);
  if (!reply) return Err{reply.error()};
  return {};
}

// A pixmap of our own holding a copy of the area, made by one request and
// so whole: strips read from it cannot show the window half redrawn.
class Snapshot {
 public:
  Snapshot(XConnection& connection, const ReadArea& a) : connection_(connection) {
    xcb_connection_t* c = connection.raw();
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    made_ = await_check(
        connection, xcb_create_pixmap_checked(c, a.depth, pixmap, a.drawable, a.width, a.height));
    if (!made_) return;
    pixmap_ = pixmap;
    const xcb_gcontext_t gc = xcb_generate_id(c);
    const std::uint32_t no_exposures = 0;
    xcb_create_gc(c, gc, pixmap_, XCB_GC_GRAPHICS_EXPOSURES, &no_exposures);
    xcb_copy_area(c, a.drawable, pixmap_, gc, a.x, a.y, 0, 0, a.width, a.height);
    xcb_free_gc(c, gc);
  }
  Snapshot(const Snapshot&) = delete;
  Snapshot& operator=(const Snapshot&) = delete;
  ~Snapshot() {
    if (pixmap_) xcb_free_pixmap(connection_.raw(), pixmap_);
  }

  const XResult<void>& made() const { return made_; }
  ReadArea area(const ReadArea& a) const { return {pixmap_, 0, 0, a.width, a.height, a.depth}; }

 private:
  XConnection& connection_;
  XResult<void> made_;
  xcb_pixmap_t pixmap_ = 0;
};

XResult<void> read_strips(XConnection& connection, const ReadArea& whole, std::uint8_t* out,
                          std::uint32_t pitch) {
  xcb_connection_t* c = connection.raw();
  const std::uint32_t row_bytes = std::uint32_t{whole.width} * 4;
  const std::uint32_t rows_per_strip = strip_rows(connection.max_request_bytes(), row_bytes);
  std::optional<Snapshot> snapshot;
  if (rows_per_strip < whole.height) {
    snapshot.emplace(connection, whole);
    if (!snapshot->made()) return snapshot->made();
  }
  const ReadArea a = snapshot ? snapshot->area(whole) : whole;
  for (std::uint32_t top = 0; top < a.height; top += rows_per_strip) {
    const auto rows = static_cast<std::uint16_t>(std::min(rows_per_strip, a.height - top));
    auto reply =
        await_reply(connection,
                    xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, a.drawable, a.x,
                                  static_cast<std::int16_t>(a.y + static_cast<std::int32_t>(top)),
                                  a.width, rows, kAllPlanes),
                    xcb_get_image_reply);
    if (!reply) return Err{reply.error()};
    const std::uint8_t* data = xcb_get_image_data(reply.value().get());
    const auto length = static_cast<std::uint32_t>(xcb_get_image_data_length(reply.value().get()));
    // A drawable of another bit depth than expected would not fill the rows.
    if (length < row_bytes * rows) return Err{XError{kBadMatch, 0, 0, a.drawable}};
    for (std::uint32_t r = 0; r < rows; ++r) {
      std::memcpy(out + std::size_t{top + r} * pitch, data + std::size_t{r} * row_bytes, row_bytes);
    }
  }
  return {};
}

}  // namespace

std::uint32_t strip_rows(std::uint32_t max_request_bytes, std::uint32_t row_bytes) noexcept {
  if (row_bytes == 0) return 1;
  const std::uint32_t budget =
      max_request_bytes > kReplyHeaderBytes ? max_request_bytes - kReplyHeaderBytes : 0;
  return std::max<std::uint32_t>(1, budget / row_bytes);
}

XResult<void> read_pixels(XConnection& connection, const ReadArea& area, const PixelBuffer& into,
                          std::uint32_t pitch) {
  if (area.width == 0 || area.height == 0) return {};
  const bool packed = pitch == std::uint32_t{area.width} * 4;
  if (packed && into.segment()) return read_shared(connection, area, *into.segment());
  return read_strips(connection, area, into.data(), pitch);
}

}  // namespace tarvix::capture::platform::x11
