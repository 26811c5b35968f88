#include "capture/platform/win32/runtime_class.h"

#include <roapi.h>
#include <winstring.h>

#include <utility>

#include "capture/platform/win32/hresult_error.h"

namespace tarvix::capture::platform::win32 {

PlatformResult<RuntimeString> RuntimeString::create(std::wstring_view text) {
  HSTRING handle = nullptr;
  const HRESULT hr = WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), &handle);
  if (FAILED(hr)) return Err{error_from(hr)};
  return RuntimeString(handle);
}

PlatformResult<RuntimeString> RuntimeString::from_utf8(std::string_view text) {
  if (text.empty()) return create({});
  const int length = static_cast<int>(text.size());
  const int size =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
  if (size <= 0) return Err{last_error()};
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), size);
  return create(wide);
}

RuntimeString::RuntimeString(RuntimeString&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

RuntimeString::~RuntimeString() {
  if (handle_) WindowsDeleteString(handle_);
}

PlatformResult<ComPtr<IUnknown>> activation_factory_unknown(const wchar_t* class_name,
                                                            const GUID& iid) {
  auto name = RuntimeString::create(class_name);
  if (!name) return Err{std::move(name).error()};
  ComPtr<IUnknown> factory;
  const HRESULT hr = RoGetActivationFactory(name->get(), iid, factory.put_void());
  if (FAILED(hr)) return Err{error_from(hr)};
  if (!factory) return Err{PlatformError{kPointer, {}}};
  return factory;
}

}  // namespace tarvix::capture::platform::win32
