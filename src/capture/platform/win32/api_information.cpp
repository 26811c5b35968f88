#include "capture/platform/win32/api_information.h"

#include "capture/platform/win32/hresult_error.h"
#include "capture/platform/win32/runtime_class.h"
#include "capture/platform/win32/winrt_abi.h"

namespace tarvix::capture::platform::win32 {
namespace {

PlatformResult<ComPtr<abi::IApiInformationStatics>> api_information() {
  return activation_factory<abi::IApiInformationStatics>(abi::kClassApiInformation,
                                                         abi::kIidApiInformationStatics);
}

PlatformResult<bool> answer(HRESULT hr, abi::Boolean result) {
  if (FAILED(hr)) return Err{error_from(hr)};
  return result != 0;
}

}  // namespace

PlatformResult<bool> api_contract_present(std::string_view contract, std::uint16_t major) {
  auto statics = api_information();
  if (!statics) return Err{std::move(statics).error()};
  auto name = RuntimeString::from_utf8(contract);
  if (!name) return Err{std::move(name).error()};
  abi::Boolean result = 0;
  const HRESULT hr = statics.value()->IsApiContractPresentByMajor(name->get(), major, &result);
  return answer(hr, result);
}

PlatformResult<bool> property_present(std::string_view type, std::string_view property) {
  auto statics = api_information();
  if (!statics) return Err{std::move(statics).error()};
  auto type_name = RuntimeString::from_utf8(type);
  if (!type_name) return Err{std::move(type_name).error()};
  auto property_name = RuntimeString::from_utf8(property);
  if (!property_name) return Err{std::move(property_name).error()};
  abi::Boolean result = 0;
  const HRESULT hr =
      statics.value()->IsPropertyPresent(type_name->get(), property_name->get(), &result);
  return answer(hr, result);
}

PlatformResult<bool> capture_supported() {
  auto statics = activation_factory<abi::IGraphicsCaptureSessionStatics>(
      abi::kClassCaptureSession, abi::kIidCaptureSessionStatics);
  if (!statics) return Err{std::move(statics).error()};
  abi::Boolean result = 0;
  const HRESULT hr = statics.value()->IsSupported(&result);
  return answer(hr, result);
}

}  // namespace tarvix::capture::platform::win32
