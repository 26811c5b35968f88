// The common part of the event handler objects handed to the platform. They
// are agile and free-threaded: they answer IAgileObject and leave marshalling
// to a free-threaded marshaler, so the platform may call them from any
// apartment without a proxy.
#pragma once

#include <windows.h>

#include <atomic>
#include <new>

#include "capture/platform/platform_error.h"
#include "capture/platform/win32/com_ptr.h"
#include "capture/platform/win32/hresult_error.h"
#include "capture/platform/win32/winrt_abi.h"

namespace tarvix::capture::platform::win32 {

// Derived is final and implements Interface::Invoke; Interface derives from
// IUnknown and is identified by `Iid`.
template <class Derived, class Interface, const GUID& Iid>
class AgileDelegate : public Interface {
 public:
  // A new object with one reference, held by the returned pointer.
  template <class... Args>
  static PlatformResult<ComPtr<Interface>> make(Args&&... args) {
    ComPtr<Derived> object =
        ComPtr<Derived>::adopt(new (std::nothrow) Derived(std::forward<Args>(args)...));
    if (!object) return Err{PlatformError{static_cast<Hresult>(E_OUTOFMEMORY), {}}};
    const HRESULT hr = CoCreateFreeThreadedMarshaler(static_cast<IUnknown*>(object.get()),
                                                     object->marshaler_.put());
    if (FAILED(hr)) return Err{error_from(hr)};
    return ComPtr<Interface>::share(object.get());
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == abi::kIidMarshal) return marshaler_->QueryInterface(iid, out);
    if (iid != Iid && iid != abi::kIidUnknown && iid != abi::kIidAgileObject) return E_NOINTERFACE;
    this->AddRef();
    *out = static_cast<Interface*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    return count_.fetch_add(1, std::memory_order_relaxed) + 1;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete static_cast<Derived*>(this);
    return left;
  }

 protected:
  AgileDelegate() = default;
  ~AgileDelegate() = default;
  AgileDelegate(const AgileDelegate&) = delete;
  AgileDelegate& operator=(const AgileDelegate&) = delete;

  // Runs a procedure for the platform: its failure becomes the returned
  // code (with error information), and nothing is thrown back into it.
  template <class F>
  static HRESULT call(F& procedure) noexcept {
    try {
      return report(procedure());
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

 private:
  std::atomic<ULONG> count_{1};
  ComPtr<IUnknown> marshaler_;
};

}  // namespace tarvix::capture::platform::win32
