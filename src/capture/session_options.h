// The options a capture asks the service for: which ones are requested, and
// whether the platform offers them.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "capture/capture_service_error.h"
#include "capture/capture_settings.h"
#include "capture/platform/platform.h"
#include "support/result.h"

namespace tarvix::capture {

struct OptionRequest {
  std::string_view property;  // the session property the option drives
  CaptureServiceError::Kind unsupported;
  // A system without the property behaves as before the property existed
  // (border drawn, cursor shown): the option is then skipped, not refused.
  bool skip_when_absent = false;
  std::function<platform::PlatformResult<void>(platform::ServiceSession&)> apply;
};

// The options that are not Default, in the fixed order cursor, border,
// secondary windows, minimum update interval, dirty region.
std::vector<OptionRequest> requested_options(const CaptureSettings& settings);

// Unsupported when the capture service is missing; PlatformFailed when a
// check itself fails.
Result<void, CaptureServiceError> check_service_supported(platform::Platform& platform);

// True when the option is to be set; false when its property is absent and
// the option may be skipped. The option's own Unsupported kind when the
// property (or the service) is missing otherwise.
Result<bool, CaptureServiceError> check_option_supported(platform::Platform& platform,
                                                         const OptionRequest& option);

}  // namespace tarvix::capture
