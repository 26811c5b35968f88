// What the capture phase under Wine cannot reach in the win32 backend: what
// its event handlers hand back to the platform, how they end, and how failed
// calls read. (Interface ids, vtable slots and value layouts are checked
// there, by the capture-service doubles.) Prints each failed expectation and
// "backend: N passed, N failed".
#include <windows.h>

#include <oleauto.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "capture/platform/win32/event_delegates.h"
#include "capture/platform/win32/system_library.h"

namespace tarvix::capture::platform::win32 {
namespace {

int passed = 0, failed = 0;
#define EXPECT(condition)       \
  ((condition) ? void(++passed) \
               : (std::printf("not ok - line %d: %s\n", __LINE__, #condition), void(++failed)))

std::string taken_description() {
  ComPtr<IErrorInfo> info;
  BSTR text = nullptr;
  if (GetErrorInfo(0, info.put()) == S_OK && info) info->GetDescription(&text);
  std::string out(text, text + SysStringLen(text));  // ASCII only here
  SysFreeString(text);
  return out;
}

EventResult fail(Hresult code, const char* message) {
  return Err{PlatformError{code, message}};
}

void procedure_results() {
  const struct {
    ClosedHandler procedure;
    HRESULT code;
    const char* info;
  } cases[] = {
      {[] { return EventResult{}; }, S_OK, ""},
      {[] { return fail(kInvalidThreadId, "no queue yet"); }, HRESULT(kInvalidThreadId),
       "no queue yet"},
      {[] { return fail(kPointer, ""); }, E_POINTER, ""},
      // A failure never reads as success, nor as a code that makes the
      // raiser drop the handler.
      {[] { return fail(0, ""); }, E_FAIL, ""},
      {[] { return fail(kDisconnected, ""); }, E_FAIL, ""},
      {[] { return fail(kServerUnavailable, ""); }, E_FAIL, ""},
      {[] { return fail(kCantExecute, ""); }, E_FAIL, ""},
      // Nothing is thrown into the platform.
      {[]() -> EventResult { throw std::runtime_error("escaped"); }, E_UNEXPECTED, ""},
      {ClosedHandler{}, E_UNEXPECTED, ""},
  };
  for (const auto& c : cases) {
    SetErrorInfo(0, nullptr);
    auto handler = make_item_closed_delegate(c.procedure);
    EXPECT(handler.value()->Invoke(nullptr, nullptr) == c.code);
    EXPECT(taken_description() == c.info);
  }
}

void last_release_frees_the_procedure() {
  auto held = std::make_shared<int>(7);
  std::weak_ptr<int> watch = held;
  {
    auto made = make_frame_arrived_delegate([held](FramePool*) { return EventResult{}; });
    held.reset();
    ComPtr<IUnknown> extra;
    made.value()->QueryInterface(abi::kIidUnknown, extra.put_void());
    made.value().reset();
    EXPECT(!watch.expired());  // `extra` still holds it
  }
  EXPECT(watch.expired());
}

void failed_calls_read_as_failures() {
  report(fail(kPointer, "the service said no"));  // as a failed call leaves it
  EXPECT(error_from(E_ACCESSDENIED).message == "the service said no");
  // Taken: the next failure does not inherit it.
  EXPECT(error_from(E_ACCESSDENIED).message == system_message(E_ACCESSDENIED));
  SetLastError(ERROR_SUCCESS);
  EXPECT(last_error().code == E_FAIL);
  SetLastError(ERROR_INVALID_THREAD_ID);  // a thread without a queue: retried
  EXPECT(last_error().code == kInvalidThreadId);

  auto absent = SystemLibrary::load(L"tarvix-no-such-library.dll");
  EXPECT(absent.error().code == hresult_from_win32(ERROR_MOD_NOT_FOUND));
  EXPECT(absent.error().message.starts_with("tarvix-no-such-library.dll could not be loaded"));
  auto missing = SystemLibrary::load(L"kernel32.dll").value()->function<void (*)()>("TarvixNone");
  EXPECT(missing.error().code == hresult_from_win32(ERROR_PROC_NOT_FOUND));
  EXPECT(missing.error().message == "TarvixNone is not exported by kernel32.dll");
}

}  // namespace
}  // namespace tarvix::capture::platform::win32

int main() {
  using namespace tarvix::capture::platform::win32;
  procedure_results();
  last_release_frees_the_procedure();
  failed_calls_read_as_failures();
  std::printf("backend: %d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
