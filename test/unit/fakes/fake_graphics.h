// Fake graphics objects: textures are byte arrays with a row pitch, the
// context copies and maps them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "capture/platform/graphics.h"

namespace tarvix::capture::fakes {

class FakePlatform;

// A plain 2D texture: one mip level, one sample.
platform::TextureDesc texture_desc(std::uint32_t width, std::uint32_t height,
                                   platform::PixelFormat format);

class FakeTexture final : public platform::Texture {
 public:
  FakeTexture(FakePlatform& platform, platform::TextureDesc desc, std::uint32_t row_pitch);
  ~FakeTexture() override;
  FakeTexture(const FakeTexture&) = delete;
  FakeTexture& operator=(const FakeTexture&) = delete;

  platform::TextureDesc desc() const override { return desc_; }
  std::uint32_t row_pitch() const { return row_pitch_; }
  std::vector<std::uint8_t>& bytes() { return bytes_; }
  bool mapped = false;

 private:
  FakePlatform& platform_;
  platform::TextureDesc desc_;
  std::uint32_t row_pitch_;
  std::vector<std::uint8_t> bytes_;
};

class FakeCaptureDevice final : public platform::CaptureDevice {};

class FakeContext final : public platform::DeviceContext {
 public:
  explicit FakeContext(FakePlatform& platform) : platform_(platform) {}
  void copy_resource(platform::Texture& destination, platform::Texture& source) override;
  platform::PlatformResult<platform::MappedSubresource> map(platform::Texture& texture,
                                                            std::uint32_t subresource,
                                                            std::uint32_t map_type,
                                                            std::uint32_t flags) override;
  void unmap(platform::Texture& texture, std::uint32_t subresource) override;

 private:
  FakePlatform& platform_;
};

class FakeDevice final : public platform::Device {
 public:
  explicit FakeDevice(FakePlatform& platform) : platform_(platform) {}
  platform::PlatformResult<std::shared_ptr<platform::Texture>> create_texture_2d(
      const platform::TextureDesc& desc) override;
  platform::PlatformResult<std::shared_ptr<platform::CaptureDevice>> create_capture_device()
      override;

 private:
  FakePlatform& platform_;
};

}  // namespace tarvix::capture::fakes
