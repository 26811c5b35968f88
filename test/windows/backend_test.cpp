// What the capture phase under Wine cannot reach in the win32 backend: what
// its event handlers hand back to the platform, how they end, and how failed
// calls read. (Interface ids, vtable slots and value layouts are checked
// there, by the capture-service doubles.) Prints one line per case and
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

int failures = 0;
#define EXPECT(condition) \
  ((condition) ? void() : (std::printf("  line %d: %s\n", __LINE__, #condition), void(++failures)))

constexpr GUID kIidErrorInfo = {
    0x1cf2b120, 0x547d, 0x101b, {0x8e, 0x65, 0x08, 0x00, 0x2b, 0x2b, 0xd1, 0x19}};

// Leaves error information on the thread, as a failed platform call does.
void leave(const wchar_t* description) {
  ComPtr<ICreateErrorInfo> created;
  CreateErrorInfo(created.put());
  created->SetDescription(const_cast<wchar_t*>(description));
  ComPtr<IErrorInfo> info;
  created.query(kIidErrorInfo, info);
  SetErrorInfo(0, info.get());
}

std::string taken_description() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return {};
  BSTR text = nullptr;
  info->GetDescription(&text);
  std::string out;
  for (UINT i = 0; text && i < SysStringLen(text); ++i)
    out.push_back(static_cast<char>(text[i]));
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
  leave(L"the service said no");
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
  const struct {
    const char* name;
    void (*body)();
  } cases[] = {
      {"an event procedure's result becomes the code its raiser receives", procedure_results},
      {"the last release frees a handler and what its procedure holds",
       last_release_frees_the_procedure},
      {"failed calls and missing libraries read as failures, naming what failed",
       failed_calls_read_as_failures},
  };
  int failed = 0;
  for (const auto& c : cases) {
    const int before = failures;
    c.body();
    failed += failures != before;
    std::printf("%s - %s\n", failures != before ? "not ok" : "ok", c.name);
  }
  std::printf("backend: %d passed, %d failed\n", int(std::size(cases)) - failed, failed);
  return failed == 0 ? 0 : 1;
}
