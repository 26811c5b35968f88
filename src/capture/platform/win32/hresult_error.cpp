#include "capture/platform/win32/hresult_error.h"

#include <oleauto.h>

#include "capture/platform/win32/com_ptr.h"

namespace tarvix::capture::platform::win32 {
namespace {

// IErrorInfo, spelled out so the link needs no uuid library.
constexpr GUID kIidErrorInfo = {
    0x1cf2b120, 0x547d, 0x101b, {0x8e, 0x65, 0x08, 0x00, 0x2b, 0x2b, 0xd1, 0x19}};

bool is_blank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\0';
}

std::string utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.data(), size, nullptr, nullptr);
  return out;
}

// The description of the error object a failed call left on this thread.
std::string take_error_info() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.put()) != S_OK || !info) return {};
  BSTR description = nullptr;
  std::string text;
  if (SUCCEEDED(info->GetDescription(&description)) && description) {
    text = tidy_system_text(std::wstring_view(description, SysStringLen(description)));
  }
  SysFreeString(description);
  return text;
}

void leave_error_info(const std::string& message) {
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, message.data(), static_cast<int>(message.size()), nullptr, 0);
  if (size <= 0) return;
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, message.data(), static_cast<int>(message.size()), wide.data(),
                      size);
  ComPtr<ICreateErrorInfo> created;
  if (FAILED(CreateErrorInfo(created.put())) || !created) return;
  if (FAILED(created->SetDescription(wide.data()))) return;
  ComPtr<IErrorInfo> info;
  if (FAILED(created.query(kIidErrorInfo, info))) return;
  SetErrorInfo(0, info.get());
}

}  // namespace

std::string tidy_system_text(std::wstring_view text) {
  while (!text.empty() && is_blank(text.back()))
    text.remove_suffix(1);
  while (!text.empty() && is_blank(text.front()))
    text.remove_prefix(1);
  return utf8(text);
}

std::string system_message(HRESULT code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = length ? tidy_system_text(std::wstring_view(buffer, length)) : std::string();
  if (buffer) LocalFree(buffer);
  return text;
}

PlatformError error_from(HRESULT code) {
  std::string message = take_error_info();
  if (message.empty()) message = system_message(code);
  return PlatformError{static_cast<Hresult>(code), std::move(message)};
}

PlatformError last_error() {
  const DWORD error = GetLastError();
  // A failure that left no code still has to read as a failure.
  return error_from(error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error));
}

HRESULT report(const EventResult& result) noexcept {
  if (result) return S_OK;
  const PlatformError& error = result.error();
  try {
    if (!error.message.empty()) leave_error_info(error.message);
  } catch (...) {
    // Out of memory while describing: the code alone still goes back.
  }
  // A code that makes the source drop the handler is never handed back.
  if (error.code >= 0 || unregisters_handler(error.code)) return E_FAIL;
  return static_cast<HRESULT>(error.code);
}

}  // namespace tarvix::capture::platform::win32
