// WinRT strings and activation factories.
#pragma once

#include <windows.h>

#include <hstring.h>

#include <string>
#include <string_view>

#include "capture/platform/platform_error.h"
#include "capture/platform/win32/com_ptr.h"

namespace tarvix::capture::platform::win32 {

// An owned HSTRING.
class RuntimeString {
 public:
  static PlatformResult<RuntimeString> create(std::wstring_view text);
  // From UTF-8, as the platform interface passes names.
  static PlatformResult<RuntimeString> from_utf8(std::string_view text);

  RuntimeString(RuntimeString&& other) noexcept;
  RuntimeString& operator=(RuntimeString&&) = delete;
  RuntimeString(const RuntimeString&) = delete;
  RuntimeString& operator=(const RuntimeString&) = delete;
  ~RuntimeString();

  HSTRING get() const noexcept { return handle_; }

 private:
  explicit RuntimeString(HSTRING handle) noexcept : handle_(handle) {}
  HSTRING handle_;
};

// RoGetActivationFactory for `class_name`, as the interface `iid`.
PlatformResult<ComPtr<IUnknown>> activation_factory_unknown(const wchar_t* class_name,
                                                            const GUID& iid);

template <class Interface>
PlatformResult<ComPtr<Interface>> activation_factory(const wchar_t* class_name, const GUID& iid) {
  auto factory = activation_factory_unknown(class_name, iid);
  if (!factory) return Err{std::move(factory).error()};
  // The factory was asked for exactly this interface.
  return ComPtr<Interface>::share(static_cast<Interface*>(factory.value().get()));
}

}  // namespace tarvix::capture::platform::win32
