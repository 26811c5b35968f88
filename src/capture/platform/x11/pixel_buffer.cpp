#include "capture/platform/x11/pixel_buffer.h"

#include <utility>

namespace tarvix::capture::platform::x11 {

PixelBuffer PixelBuffer::in_memory(std::size_t bytes) {
  PixelBuffer buffer;
  // Zeroed: a mapped texture that nothing was copied into shows black, not
  // whatever the memory held before.
  buffer.memory_ = std::make_unique<std::uint8_t[]>(bytes);
  buffer.size_ = bytes;
  return buffer;
}

PixelBuffer PixelBuffer::shared(ShmSegment segment) {
  PixelBuffer buffer;
  buffer.size_ = segment.size();
  buffer.segment_.emplace(std::move(segment));
  return buffer;
}

std::uint8_t* PixelBuffer::data() const noexcept {
  return segment_ ? segment_->data() : memory_.get();
}

PixelBuffer PixelBufferPool::acquire(std::size_t bytes) {
  {
    std::lock_guard lock(mutex_);
    if (spare_ && spare_->size() >= bytes) {
      PixelBuffer buffer = std::move(*spare_);
      spare_.reset();
      return buffer;
    }
    // A spare too small for this frame is of no further use.
    spare_.reset();
  }
  if (connection_->extensions().shm) {
    auto segment = ShmSegment::create(connection_, bytes);
    if (segment) return PixelBuffer::shared(std::move(segment.value()));
  }
  return PixelBuffer::in_memory(bytes);
}

void PixelBufferPool::give_back(PixelBuffer buffer) {
  std::lock_guard lock(mutex_);
  if (!spare_ || spare_->size() < buffer.size()) spare_.emplace(std::move(buffer));
}

}  // namespace tarvix::capture::platform::x11
