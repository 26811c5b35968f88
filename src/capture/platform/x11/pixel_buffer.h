// Memory that window pixels are read into: a shared-memory segment when the
// server offers MIT-SHM (the server writes into it directly), plain memory
// otherwise. A device keeps one spare buffer so that frames of the same size
// do not set up a new segment each time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

#include "capture/platform/x11/shm_segment.h"
#include "capture/platform/x11/x_connection.h"

namespace tarvix::capture::platform::x11 {

class PixelBuffer {
 public:
  static PixelBuffer in_memory(std::size_t bytes);
  static PixelBuffer shared(ShmSegment segment);

  std::uint8_t* data() const noexcept;
  std::size_t size() const noexcept { return size_; }
  // The segment the server can write into; null for plain memory.
  const ShmSegment* segment() const noexcept { return segment_ ? &*segment_ : nullptr; }

 private:
  std::optional<ShmSegment> segment_;
  std::unique_ptr<std::uint8_t[]> memory_;
  std::size_t size_ = 0;
};

class PixelBufferPool {
 public:
  explicit PixelBufferPool(std::shared_ptr<XConnection> connection)
      : connection_(std::move(connection)) {}

  // A buffer of at least `bytes`: the spare one when it is large enough, else
  // a new segment, else (no MIT-SHM, or the segment failed) plain memory.
  PixelBuffer acquire(std::size_t bytes);
  // Keeps the buffer as the spare unless the spare is larger.
  void give_back(PixelBuffer buffer);

 private:
  std::shared_ptr<XConnection> connection_;
  std::mutex mutex_;
  std::optional<PixelBuffer> spare_;
};

}  // namespace tarvix::capture::platform::x11
