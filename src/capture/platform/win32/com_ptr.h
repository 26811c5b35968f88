// The one owner of a COM reference: released when the holder goes.
#pragma once

#include <unknwn.h>

#include <utility>

namespace tarvix::capture::platform::win32 {

template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  // Takes over a reference the caller already holds.
  static ComPtr adopt(T* pointer) noexcept {
    ComPtr owner;
    owner.pointer_ = pointer;
    return owner;
  }
  // Adds a reference of its own.
  static ComPtr share(T* pointer) noexcept {
    if (pointer) pointer->AddRef();
    return adopt(pointer);
  }

  ComPtr(const ComPtr& other) noexcept : pointer_(other.pointer_) {
    if (pointer_) pointer_->AddRef();
  }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { reset(); }

  void reset() noexcept {
    if (T* old = std::exchange(pointer_, nullptr)) old->Release();
  }
  T* get() const noexcept { return pointer_; }
  T* operator->() const noexcept { return pointer_; }
  explicit operator bool() const noexcept { return pointer_ != nullptr; }

  // For out-parameters: drops what is held and lends the slot.
  T** put() noexcept {
    reset();
    return &pointer_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  // QueryInterface into another holder; the HRESULT of the call.
  template <class U>
  HRESULT query(const GUID& iid, ComPtr<U>& out) const noexcept {
    if (!pointer_) return E_POINTER;
    return pointer_->QueryInterface(iid, out.put_void());
  }

 private:
  T* pointer_ = nullptr;
};

}  // namespace tarvix::capture::platform::win32
