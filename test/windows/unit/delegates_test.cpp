// The handler objects the platform calls back: identity, marshalling,
// lifetime, and what their procedures' results become.
#include <windows.h>

#include <memory>
#include <stdexcept>

#include "capture/platform/win32/event_delegates.h"
#include "check.h"

namespace tarvix::capture::platform::win32 {
namespace {

constexpr GUID kIidUnrelated = {
    0x12345678, 0x1234, 0x1234, {0x12, 0x34, 0x12, 0x34, 0x56, 0x78, 0x9a, 0xbc}};

template <class Interface>
HRESULT query(Interface* object, const GUID& iid, ComPtr<IUnknown>& out) {
  return object->QueryInterface(iid, out.put_void());
}

CHECK_CASE("a handler answers its own, IUnknown and IAgileObject and nothing else") {
  auto made = make_completed_delegate([] { return EventResult{}; });
  EXPECT(made.ok());
  abi::IAsyncActionCompletedHandler* handler = made.value().get();
  ComPtr<IUnknown> out;
  EXPECT_EQ(query(handler, abi::kIidAsyncActionCompletedHandler, out), S_OK);
  EXPECT(out.get() == static_cast<IUnknown*>(handler));
  EXPECT_EQ(query(handler, abi::kIidUnknown, out), S_OK);
  EXPECT_EQ(query(handler, abi::kIidAgileObject, out), S_OK);
  // Not IInspectable: delegates are IUnknown-only.
  EXPECT_EQ(query(handler, abi::kIidInspectable, out), E_NOINTERFACE);
  EXPECT(!out);
  EXPECT_EQ(query(handler, kIidUnrelated, out), E_NOINTERFACE);
  EXPECT(!out);
  EXPECT_EQ(handler->QueryInterface(abi::kIidUnknown, nullptr), E_POINTER);
}

CHECK_CASE("a handler leaves marshalling to the free-threaded marshaler") {
  auto made = make_frame_arrived_delegate([](FramePool*) { return EventResult{}; });
  EXPECT(made.ok());
  ComPtr<IUnknown> marshal;
  EXPECT_EQ(query(made.value().get(), abi::kIidMarshal, marshal), S_OK);
  EXPECT(marshal.get() != nullptr);
  // The marshaler is aggregated: it leads back to the handler.
  ComPtr<IUnknown> back;
  EXPECT_EQ(marshal->QueryInterface(abi::kIidFrameArrivedHandler, back.put_void()), S_OK);
  EXPECT(back.get() == static_cast<IUnknown*>(made.value().get()));
}

CHECK_CASE("the last release frees the handler and what its procedure holds") {
  auto held = std::make_shared<int>(7);
  std::weak_ptr<int> watch = held;
  {
    auto made = make_item_closed_delegate([held] { return EventResult{}; });
    EXPECT(made.ok());
    held.reset();
    ComPtr<IUnknown> extra;
    EXPECT_EQ(query(made.value().get(), abi::kIidUnknown, extra), S_OK);
    made.value().reset();
    EXPECT(!watch.expired());  // `extra` still holds it
  }
  EXPECT(watch.expired());
}

CHECK_CASE("invoking a handler runs its procedure and returns its result as a code") {
  int calls = 0;
  FramePool* seen = reinterpret_cast<FramePool*>(std::uintptr_t{1});
  auto frame = make_frame_arrived_delegate([&](FramePool* sender) {
    ++calls;
    seen = sender;
    return EventResult{};
  });
  EXPECT_EQ(frame.value()->Invoke(nullptr, nullptr), S_OK);
  EXPECT_EQ(calls, 1);
  EXPECT(seen == nullptr);  // no sender from the platform: none for the procedure

  auto closed = make_item_closed_delegate([] {
    return EventResult{Err{PlatformError{kInvalidThreadId, "posting failed"}}};
  });
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(closed.value()->Invoke(nullptr, nullptr), static_cast<HRESULT>(kInvalidThreadId));
  ComPtr<IErrorInfo> info;
  EXPECT_EQ(GetErrorInfo(0, info.put()), S_OK);
  EXPECT(info.get() != nullptr);
}

CHECK_CASE("an exception from a procedure never reaches the platform") {
  auto completed =
      make_completed_delegate([]() -> EventResult { throw std::runtime_error("escaped"); });
  EXPECT_EQ(completed.value()->Invoke(nullptr, abi::AsyncCompleted), E_UNEXPECTED);
  auto empty = make_item_closed_delegate(ClosedHandler{});
  EXPECT_EQ(empty.value()->Invoke(nullptr, nullptr), E_UNEXPECTED);
}

}  // namespace
}  // namespace tarvix::capture::platform::win32
