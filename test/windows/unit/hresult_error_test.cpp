// Failure codes as texts, and error information on the way in and out.
#include <windows.h>

#include <oleauto.h>

#include "capture/platform/win32/com_ptr.h"
#include "capture/platform/win32/hresult_error.h"
#include "check.h"

namespace tarvix::capture::platform::win32 {
namespace {

constexpr GUID kIidErrorInfo = {
    0x1cf2b120, 0x547d, 0x101b, {0x8e, 0x65, 0x08, 0x00, 0x2b, 0x2b, 0xd1, 0x19}};

void leave(const wchar_t* description) {
  ComPtr<ICreateErrorInfo> created;
  EXPECT(SUCCEEDED(CreateErrorInfo(created.put())));
  created->SetDescription(const_cast<wchar_t*>(description));
  ComPtr<IErrorInfo> info;
  EXPECT(SUCCEEDED(created.query(kIidErrorInfo, info)));
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

CHECK_CASE("system texts lose their line ends and padding and become UTF-8") {
  EXPECT_EQ(tidy_system_text(L"  The handle is invalid.\r\n"), "The handle is invalid.");
  EXPECT_EQ(tidy_system_text(std::wstring_view(L"text\0\0", 6)), "text");
  EXPECT_EQ(tidy_system_text(L"\r\n \t"), "");
  EXPECT_EQ(tidy_system_text(L"caf\u00e9 \u2713"), "caf\xc3\xa9 \xe2\x9c\x93");
  EXPECT_EQ(tidy_system_text(L"line one\r\nline two\r\n"), "line one\r\nline two");
}

CHECK_CASE("a failed call's error information is its message, taken once") {
  leave(L"the service said no");
  const PlatformError first = error_from(E_ACCESSDENIED);
  EXPECT_EQ(first.code, static_cast<Hresult>(E_ACCESSDENIED));
  EXPECT_EQ(first.message, "the service said no");
  // Taken: the next failure does not inherit it.
  const PlatformError second = error_from(E_ACCESSDENIED);
  EXPECT(second.message != "the service said no");
  EXPECT_EQ(second.message, system_message(E_ACCESSDENIED));
}

CHECK_CASE("without error information the system's message for the code is used") {
  SetErrorInfo(0, nullptr);
  const PlatformError error = error_from(HRESULT_FROM_WIN32(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT(!error.message.empty());
  EXPECT(error.message.back() != '\n');
  EXPECT(display(error).ends_with(" (0x80070578)"));
  // A code the system does not know still reads as a failure with its number.
  const PlatformError unknown = error_from(static_cast<HRESULT>(0xA0001234u));
  EXPECT(display(unknown).ends_with("(0xA0001234)"));
}

CHECK_CASE("a Win32 failure that left no last error still reads as a failure") {
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ(last_error().code, static_cast<Hresult>(E_FAIL));
  SetLastError(ERROR_INVALID_THREAD_ID);
  EXPECT_EQ(last_error().code, kInvalidThreadId);
}

CHECK_CASE("an event procedure's result becomes the code its raiser receives") {
  SetErrorInfo(0, nullptr);
  EXPECT_EQ(report(EventResult{}), S_OK);
  EXPECT_EQ(taken_description(), "");

  EXPECT_EQ(report(EventResult{Err{PlatformError{kInvalidThreadId, "no queue yet"}}}),
            static_cast<HRESULT>(kInvalidThreadId));
  EXPECT_EQ(taken_description(), "no queue yet");

  // Without a message no error information is left behind.
  EXPECT_EQ(report(EventResult{Err{PlatformError{kPointer, {}}}}), E_POINTER);
  EXPECT_EQ(taken_description(), "");
  // A "failure" whose code says success must not reach the raiser as success.
  EXPECT_EQ(report(EventResult{Err{PlatformError{0, {}}}}), E_FAIL);
  // Nor one that would make the raiser drop the handler.
  for (Hresult code : {kDisconnected, kServerUnavailable, kCantExecute})
    EXPECT_EQ(report(EventResult{Err{PlatformError{code, {}}}}), E_FAIL);
}

}  // namespace
}  // namespace tarvix::capture::platform::win32
