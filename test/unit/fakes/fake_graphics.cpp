#include "fakes/fake_graphics.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "fakes/fake_platform.h"

namespace tarvix::capture::fakes {

using platform::PlatformError;

platform::TextureDesc texture_desc(std::uint32_t width, std::uint32_t height,
                                   platform::PixelFormat format) {
  platform::TextureDesc desc{};
  desc.width = width;
  desc.height = height;
  desc.mip_levels = 1;
  desc.array_size = 1;
  desc.format = format;
  desc.sample_count = 1;
  return desc;
}

FakeTexture::FakeTexture(FakePlatform& platform, platform::TextureDesc desc,
                         std::uint32_t row_pitch)
    : platform_(platform),
      desc_(desc),
      row_pitch_(row_pitch),
      bytes_(std::size_t{row_pitch} * desc.height) {
  platform_.texture_created(1);
}

FakeTexture::~FakeTexture() {
  if (mapped) platform_.texture_mapped(-1);
  platform_.texture_created(-1);
}

void FakeContext::copy_resource(platform::Texture& destination, platform::Texture& source) {
  platform_.enter("context.copy_resource");
  auto* to = dynamic_cast<FakeTexture*>(&destination);
  auto* from = dynamic_cast<FakeTexture*>(&source);
  if (!to || !from) return;
  const auto a = to->desc();
  const auto b = from->desc();
  if (a.width != b.width || a.height != b.height || a.format != b.format) return;
  const std::size_t row = std::min(to->row_pitch(), from->row_pitch());
  for (std::uint32_t y = 0; y < a.height; ++y) {
    std::memcpy(to->bytes().data() + std::size_t{y} * to->row_pitch(),
                from->bytes().data() + std::size_t{y} * from->row_pitch(), row);
  }
}

platform::PlatformResult<platform::MappedSubresource> FakeContext::map(platform::Texture& texture,
                                                                       std::uint32_t subresource,
                                                                       std::uint32_t map_type,
                                                                       std::uint32_t) {
  if (auto failure = platform_.enter("context.map")) return Err{*failure};
  auto* fake = dynamic_cast<FakeTexture*>(&texture);
  if (!fake || subresource != 0 || fake->mapped || fake->desc().usage != platform::kUsageStaging ||
      (fake->desc().cpu_access_flags & platform::kCpuAccessRead) == 0 ||
      map_type != platform::kMapReadWrite) {
    return Err{PlatformError{platform::kInvalidArg, "not a mappable staging texture"}};
  }
  fake->mapped = true;
  platform_.texture_mapped(1);
  return platform::MappedSubresource{fake->bytes().data(), fake->row_pitch(),
                                     static_cast<std::uint32_t>(fake->bytes().size())};
}

void FakeContext::unmap(platform::Texture& texture, std::uint32_t) {
  platform_.enter("context.unmap");
  auto* fake = dynamic_cast<FakeTexture*>(&texture);
  if (!fake || !fake->mapped) return;
  fake->mapped = false;
  platform_.texture_mapped(-1);
}

platform::PlatformResult<std::shared_ptr<platform::Texture>> FakeDevice::create_texture_2d(
    const platform::TextureDesc& desc) {
  if (auto failure = platform_.enter("device.create_texture_2d")) return Err{*failure};
  if (platform_.null_result("device.create_texture_2d")) {
    return std::shared_ptr<platform::Texture>();
  }
  return std::shared_ptr<platform::Texture>(
      std::make_shared<FakeTexture>(platform_, desc, platform_.staging_row_pitch(desc.width)));
}

platform::PlatformResult<std::shared_ptr<platform::CaptureDevice>>
FakeDevice::create_capture_device() {
  if (auto failure = platform_.enter("device.create_capture_device")) return Err{*failure};
  return std::shared_ptr<platform::CaptureDevice>(std::make_shared<FakeCaptureDevice>());
}

}  // namespace tarvix::capture::fakes
