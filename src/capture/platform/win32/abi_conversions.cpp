#include "capture/platform/win32/abi_conversions.h"

namespace tarvix::capture::platform::win32 {

D3D11_TEXTURE2D_DESC to_d3d(const TextureDesc& desc) {
  D3D11_TEXTURE2D_DESC out{};
  out.Width = desc.width;
  out.Height = desc.height;
  out.MipLevels = desc.mip_levels;
  out.ArraySize = desc.array_size;
  out.Format = static_cast<DXGI_FORMAT>(desc.format);
  out.SampleDesc.Count = desc.sample_count;
  out.SampleDesc.Quality = desc.sample_quality;
  out.Usage = static_cast<D3D11_USAGE>(desc.usage);
  out.BindFlags = desc.bind_flags;
  out.CPUAccessFlags = desc.cpu_access_flags;
  out.MiscFlags = desc.misc_flags;
  return out;
}

TextureDesc from_d3d(const D3D11_TEXTURE2D_DESC& desc) {
  return TextureDesc{
      .width = desc.Width,
      .height = desc.Height,
      .mip_levels = desc.MipLevels,
      .array_size = desc.ArraySize,
      .format = static_cast<std::uint32_t>(desc.Format),
      .sample_count = desc.SampleDesc.Count,
      .sample_quality = desc.SampleDesc.Quality,
      .usage = static_cast<std::uint32_t>(desc.Usage),
      .bind_flags = desc.BindFlags,
      .cpu_access_flags = desc.CPUAccessFlags,
      .misc_flags = desc.MiscFlags,
  };
}

std::vector<D3D_FEATURE_LEVEL> to_d3d(std::span<const FeatureLevel> levels) {
  std::vector<D3D_FEATURE_LEVEL> out;
  out.reserve(levels.size());
  for (FeatureLevel level : levels)
    out.push_back(static_cast<D3D_FEATURE_LEVEL>(static_cast<std::uint32_t>(level)));
  return out;
}

FeatureLevel from_d3d(D3D_FEATURE_LEVEL level) {
  return static_cast<FeatureLevel>(static_cast<std::uint32_t>(level));
}

Message from_win32(const MSG& msg) {
  Message message;
  message.window = reinterpret_cast<std::uintptr_t>(msg.hwnd);
  message.id = msg.message;
  message.wparam = msg.wParam;
  message.lparam = msg.lParam;
  return message;
}

MSG to_win32(const Message& message) {
  MSG msg{};
  msg.hwnd = reinterpret_cast<HWND>(message.window);
  msg.message = message.id;
  msg.wParam = message.wparam;
  msg.lParam = message.lparam;
  return msg;
}

}  // namespace tarvix::capture::platform::win32
