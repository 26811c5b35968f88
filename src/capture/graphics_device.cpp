#include "capture/graphics_device.h"

#include <array>

namespace tarvix::capture {

Result<GraphicsDevice, DeviceError> create_graphics_device(platform::Platform& platform) {
  using platform::FeatureLevel;
  // Best first: the platform stops at the first level the adapter offers.
  static constexpr std::array kLevels{
      FeatureLevel::Level11_1, FeatureLevel::Level11_0, FeatureLevel::Level10_1,
      FeatureLevel::Level10_0, FeatureLevel::Level9_3,  FeatureLevel::Level9_2,
      FeatureLevel::Level9_1,
  };
  auto created = platform.create_device(kLevels, platform::kCreateDeviceBgraSupport);
  if (!created) return Err{DeviceError::windows(std::move(created).error())};
  platform::DeviceCreation& made = created.value();
  // The frame pool and staging copies need 11_0; lower levels are refused
  // even though the platform could make such a device.
  if (static_cast<std::uint32_t>(made.level) <
      static_cast<std::uint32_t>(FeatureLevel::Level11_0)) {
    return Err{DeviceError::feature_level()};
  }
  if (!made.device) return Err{DeviceError::null_result(kMissingDevice)};
  if (!made.context) return Err{DeviceError::null_result(kMissingContext)};
  return GraphicsDevice{std::move(made.device), std::move(made.context)};
}

}  // namespace tarvix::capture
