#include "capture/platform/x11/shm_segment.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

namespace tarvix::capture::platform::x11 {

namespace {

PlatformError errno_error(const char* what) {
  return {kFail, std::string(what) + " failed: " + std::strerror(errno)};
}

}  // namespace

PlatformResult<ShmSegment> ShmSegment::create(std::shared_ptr<XConnection> connection,
                                              std::size_t bytes) {
  const int shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (shmid < 0) return Err{errno_error("shmget")};
  void* address = shmat(shmid, nullptr, 0);
  // Marked for removal at once, while we are attached: from here on the
  // segment goes with its last detach, even if this process is killed
  // before the server has attached it (Linux lets it attach all the same).
  const int removed = errno;
  shmctl(shmid, IPC_RMID, nullptr);
  if (address == reinterpret_cast<void*>(-1)) {
    errno = removed;
    return Err{errno_error("shmat")};
  }
  ShmSegment segment;
  segment.connection_ = std::move(connection);
  segment.data_ = static_cast<std::uint8_t*>(address);
  segment.size_ = bytes;
  xcb_connection_t* c = segment.connection_->raw();
  const xcb_shm_seg_t id = xcb_generate_id(c);
  // Writable: the server writes the pixels we ask for into the segment.
  auto attached = await_check(*segment.connection_,
                              xcb_shm_attach_checked(c, id, static_cast<std::uint32_t>(shmid), 0));
  if (!attached) return Err{to_platform_error(attached.error())};
  segment.id_ = id;
  return segment;
}

ShmSegment::ShmSegment(ShmSegment&& other) noexcept
    : connection_(std::move(other.connection_)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      id_(std::exchange(other.id_, 0)) {}

ShmSegment& ShmSegment::operator=(ShmSegment&& other) noexcept {
  if (this != &other) {
    release();
    connection_ = std::move(other.connection_);
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

ShmSegment::~ShmSegment() {
  release();
}

void ShmSegment::release() noexcept {
  if (id_ != 0) {
    xcb_shm_detach(connection_->raw(), id_);
    connection_->flush();
    id_ = 0;
  }
  if (data_) shmdt(data_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace tarvix::capture::platform::x11
