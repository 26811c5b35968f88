#include "napi/buffer.h"

#include <mutex>
#include <string>

#include "napi/binding_table.h"
#include "napi/throw_error.h"
#include "support/fatal.h"

namespace tarvix::napi {
namespace {

// What an empty Buffer's view points at, so that data() is never null.
constexpr std::byte kEmpty{0};

void release_here(napi_env env, napi_ref reference) noexcept {
  std::uint32_t remaining = 0;
  napi_status status = api().napi_reference_unref(env, reference, &remaining);
  if (status != napi_ok) {
    throw_error(env, StatusError::from(status, "Failed to unref Buffer reference in drop"));
  }
  status = api().napi_delete_reference(env, reference);
  if (status != napi_ok) {
    throw_error(env, StatusError::from(status, "Failed to delete Buffer reference in drop"));
  }
}

}  // namespace

Buffer::Buffer(napi_env env, napi_ref reference, const std::byte* data, std::size_t size,
               std::shared_ptr<CustomGcState> custom_gc) noexcept
    : env_(env),
      reference_(reference),
      data_(data),
      size_(size),
      custom_gc_(std::move(custom_gc)) {}

Buffer::Buffer(Buffer&& other) noexcept
    : env_(other.env_),
      reference_(other.reference_),
      data_(other.data_),
      size_(other.size_),
      custom_gc_(std::move(other.custom_gc_)) {
  other.reference_ = nullptr;
}

Buffer::~Buffer() {
  if (reference_) release();
}

void Buffer::release() noexcept {
  if (!custom_gc_) return release_here(env_, reference_);
  std::shared_lock lock(custom_gc_->lock);
  if (custom_gc_->aborted) return;  // its environment is gone, and the reference with it
  if (current_custom_gc() == custom_gc_) return release_here(env_, reference_);
  // Another thread: the environment's own thread must release it.
  const napi_status status =
      api().napi_call_threadsafe_function(custom_gc_->function, reference_, napi_tsfn_blocking);
  if (status != napi_ok && status != napi_closing) {
    fatal("Call custom GC in Buffer release failed " +
          std::string(status_name(status_from_raw(static_cast<int>(status)))));
  }
}

NapiResult<Buffer> to_buffer(napi_env env, napi_value value) {
  napi_ref reference = nullptr;
  napi_status status = api().napi_create_reference(env, value, 1, &reference);
  if (status != napi_ok) {
    return Err{StatusError::from(status, "Failed to create reference from Buffer")};
  }
  void* data = nullptr;
  std::size_t size = 0;
  status = api().napi_get_buffer_info(env, value, &data, &size);
  if (status != napi_ok) {
    api().napi_delete_reference(env, reference);
    return Err{StatusError::from(status, "Failed to get Buffer pointer and length")};
  }
  const auto* bytes = data && size ? static_cast<const std::byte*>(data) : &kEmpty;
  return Buffer(env, reference, bytes, size, current_custom_gc());
}

}  // namespace tarvix::napi
