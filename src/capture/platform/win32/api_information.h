// The capture service's support checks: ApiInformation and
// GraphicsCaptureSession.IsSupported.
#pragma once

#include <cstdint>
#include <string_view>

#include "capture/platform/platform_error.h"

namespace tarvix::capture::platform::win32 {

PlatformResult<bool> api_contract_present(std::string_view contract, std::uint16_t major);
PlatformResult<bool> property_present(std::string_view type, std::string_view property);
PlatformResult<bool> capture_supported();

}  // namespace tarvix::capture::platform::win32
