// A native view of a script Buffer argument. A Node-API reference keeps the
// Buffer alive while the view exists; destroying the view gives it back.
#pragma once

#include <cstddef>
#include <memory>
#include <span>

#include "napi/custom_gc.h"
#include "napi/node_api.h"
#include "napi/status_error.h"

namespace tarvix::napi {

class Buffer {
 public:
  Buffer(Buffer&& other) noexcept;
  Buffer& operator=(Buffer&&) = delete;
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  ~Buffer();

  // Never null, even for an empty Buffer.
  const std::byte* data() const noexcept { return data_; }
  std::size_t size() const noexcept { return size_; }
  std::span<const std::byte> bytes() const noexcept { return {data_, size_}; }

 private:
  friend NapiResult<Buffer> to_buffer(napi_env env, napi_value value);
  Buffer(napi_env env, napi_ref reference, const std::byte* data, std::size_t size,
         std::shared_ptr<CustomGcState> custom_gc) noexcept;

  void release() noexcept;

  napi_env env_;
  napi_ref reference_;
  const std::byte* data_;
  std::size_t size_;
  std::shared_ptr<CustomGcState> custom_gc_;
};

// Fails with "Failed to create reference from Buffer" or "Failed to get
// Buffer pointer and length"; a failure leaves no reference behind.
NapiResult<Buffer> to_buffer(napi_env env, napi_value value);

}  // namespace tarvix::napi
