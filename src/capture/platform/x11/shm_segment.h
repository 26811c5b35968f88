// A System V shared-memory segment attached both here and in the X server,
// so the server can write window pixels straight into our memory. The
// segment is marked for removal as soon as we have attached it, before the
// server does: it disappears with the last detach, even if this process is
// killed at any point.
#pragma once

#include <xcb/shm.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "capture/platform/platform_error.h"
#include "capture/platform/x11/x_connection.h"

namespace tarvix::capture::platform::x11 {

class ShmSegment {
 public:
  static PlatformResult<ShmSegment> create(std::shared_ptr<XConnection> connection,
                                           std::size_t bytes);

  ShmSegment(ShmSegment&& other) noexcept;
  ShmSegment& operator=(ShmSegment&& other) noexcept;
  ShmSegment(const ShmSegment&) = delete;
  ShmSegment& operator=(const ShmSegment&) = delete;
  ~ShmSegment();

  std::uint8_t* data() const noexcept { return data_; }
  std::size_t size() const noexcept { return size_; }
  xcb_shm_seg_t id() const noexcept { return id_; }

 private:
  ShmSegment() = default;
  void release() noexcept;

  std::shared_ptr<XConnection> connection_;
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  xcb_shm_seg_t id_ = 0;
};

}  // namespace tarvix::capture::platform::x11
