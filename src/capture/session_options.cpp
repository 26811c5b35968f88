#include "capture/session_options.h"

namespace tarvix::capture {
namespace {

using Kind = CaptureServiceError::Kind;
using platform::ServiceSession;

template <class Setting>
bool is_on(Setting setting) {
  return setting == Setting::On;
}

platform::PlatformResult<bool> service_supported(platform::Platform& platform) {
  auto contract = platform.is_api_contract_present(platform::kUniversalApiContract, 8);
  if (!contract || !contract.value()) return contract;
  return platform.is_capture_supported();
}

}  // namespace

std::vector<OptionRequest> requested_options(const CaptureSettings& settings) {
  std::vector<OptionRequest> options;
  if (settings.cursor != CursorSetting::Default) {
    const bool on = is_on(settings.cursor);
    options.push_back({"IsCursorCaptureEnabled", Kind::CursorUnsupported, true,
                       [on](ServiceSession& s) { return s.set_cursor_capture_enabled(on); }});
  }
  if (settings.border != BorderSetting::Default) {
    const bool on = is_on(settings.border);
    options.push_back({"IsBorderRequired", Kind::BorderUnsupported, true,
                       [on](ServiceSession& s) { return s.set_border_required(on); }});
  }
  if (settings.secondary_windows != SecondaryWindowsSetting::Default) {
    const bool on = is_on(settings.secondary_windows);
    options.push_back({"IncludeSecondaryWindows", Kind::SecondaryWindowsUnsupported, false,
                       [on](ServiceSession& s) { return s.set_include_secondary_windows(on); }});
  }
  if (settings.min_update_interval.custom) {
    const platform::TimeSpanTicks ticks = to_ticks(*settings.min_update_interval.custom);
    options.push_back({"MinUpdateInterval", Kind::MinUpdateIntervalUnsupported, false,
                       [ticks](ServiceSession& s) { return s.set_min_update_interval(ticks); }});
  }
  if (settings.dirty_region != DirtyRegionSetting::Default) {
    const auto mode = settings.dirty_region == DirtyRegionSetting::ReportOnly
                          ? platform::DirtyRegionMode::ReportOnly
                          : platform::DirtyRegionMode::ReportAndRender;
    options.push_back({"DirtyRegionMode", Kind::DirtyRegionUnsupported, false,
                       [mode](ServiceSession& s) { return s.set_dirty_region_mode(mode); }});
  }
  return options;
}

Result<void, CaptureServiceError> check_service_supported(platform::Platform& platform) {
  auto supported = service_supported(platform);
  if (!supported) return Err{CaptureServiceError::platform_failed(std::move(supported).error())};
  if (!supported.value()) return Err{CaptureServiceError::of(Kind::Unsupported)};
  return {};
}

Result<bool, CaptureServiceError> check_option_supported(platform::Platform& platform,
                                                         const OptionRequest& option) {
  auto present = platform.is_property_present(platform::kCaptureSessionType, option.property);
  if (!present) return Err{CaptureServiceError::platform_failed(std::move(present).error())};
  if (!present.value()) {
    if (option.skip_when_absent) return false;
    return Err{CaptureServiceError::of(option.unsupported)};
  }
  auto supported = service_supported(platform);
  if (!supported) return Err{CaptureServiceError::platform_failed(std::move(supported).error())};
  if (!supported.value()) return Err{CaptureServiceError::of(option.unsupported)};
  return true;
}

}  // namespace tarvix::capture
