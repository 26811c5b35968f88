// Failures of Direct3D device creation and of a frame's read-back.
#pragma once

#include <string>
#include <string_view>

#include "capture/platform/platform_error.h"

namespace tarvix::capture {

struct DeviceError {
  enum class Kind { FeatureLevelNotSatisfied, UnexpectedNullResult, WindowsError };

  Kind kind = Kind::WindowsError;
  std::string_view missing;          // UnexpectedNullResult: what the call did not return
  platform::PlatformError platform;  // WindowsError

  static DeviceError feature_level() { return {Kind::FeatureLevelNotSatisfied, {}, {}}; }
  static DeviceError null_result(std::string_view what) {
    return {Kind::UnexpectedNullResult, what, {}};
  }
  static DeviceError windows(platform::PlatformError error) {
    return {Kind::WindowsError, {}, std::move(error)};
  }
};

inline constexpr std::string_view kMissingDevice = "an `ID3D11Device`";
inline constexpr std::string_view kMissingContext = "an `ID3D11DeviceContext`";
inline constexpr std::string_view kMissingTexture = "an `ID3D11Texture2D`";

std::string display(const DeviceError& error);

}  // namespace tarvix::capture
