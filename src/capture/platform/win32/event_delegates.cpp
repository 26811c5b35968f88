#include "capture/platform/win32/event_delegates.h"

#include <utility>

#include "capture/platform/win32/frame_pool.h"

namespace tarvix::capture::platform::win32 {
namespace {

class FrameArrivedDelegate final
    : public AgileDelegate<FrameArrivedDelegate, abi::IFrameArrivedHandler,
                           abi::kIidFrameArrivedHandler> {
 public:
  explicit FrameArrivedDelegate(FrameArrivedHandler handler) : handler_(std::move(handler)) {}

  HRESULT STDMETHODCALLTYPE Invoke(abi::IDirect3D11CaptureFramePool* sender,
                                   IInspectable* /*args*/) override {
    auto procedure = [&]() -> EventResult {
      if (sender == nullptr) return handler_(nullptr);
      // A view of the sender for this call only: no lifetime is tied to
      // the pool object that registered the handler.
      Win32FramePool pool(ComPtr<abi::IDirect3D11CaptureFramePool>::share(sender));
      return handler_(&pool);
    };
    return call(procedure);
  }

 private:
  FrameArrivedHandler handler_;
};

class ItemClosedDelegate final : public AgileDelegate<ItemClosedDelegate, abi::IItemClosedHandler,
                                                      abi::kIidItemClosedHandler> {
 public:
  explicit ItemClosedDelegate(ClosedHandler handler) : handler_(std::move(handler)) {}

  HRESULT STDMETHODCALLTYPE Invoke(abi::IGraphicsCaptureItem* /*sender*/,
                                   IInspectable* /*args*/) override {
    return call(handler_);
  }

 private:
  ClosedHandler handler_;
};

class CompletedDelegate final
    : public AgileDelegate<CompletedDelegate, abi::IAsyncActionCompletedHandler,
                           abi::kIidAsyncActionCompletedHandler> {
 public:
  explicit CompletedDelegate(CompletedHandler handler) : handler_(std::move(handler)) {}

  HRESULT STDMETHODCALLTYPE Invoke(abi::IAsyncAction* /*action*/,
                                   abi::AsyncStatus /*status*/) override {
    return call(handler_);
  }

 private:
  CompletedHandler handler_;
};

}  // namespace

PlatformResult<ComPtr<abi::IFrameArrivedHandler>> make_frame_arrived_delegate(
    FrameArrivedHandler handler) {
  return FrameArrivedDelegate::make(std::move(handler));
}

PlatformResult<ComPtr<abi::IItemClosedHandler>> make_item_closed_delegate(ClosedHandler handler) {
  return ItemClosedDelegate::make(std::move(handler));
}

PlatformResult<ComPtr<abi::IAsyncActionCompletedHandler>> make_completed_delegate(
    CompletedHandler handler) {
  return CompletedDelegate::make(std::move(handler));
}

}  // namespace tarvix::capture::platform::win32
