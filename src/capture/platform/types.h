// Plain values that cross the platform interface.
#pragma once

#include <cstdint>
#include <functional>

#include "capture/platform/platform_error.h"

namespace tarvix::capture::platform {

// The native window handle: an HWND on Windows, an X11 window id on Linux.
using WindowHandle = std::uint64_t;

// A thread id as the message functions know it. 0 is never a valid id, and
// ids are not reused while the process runs.
using ThreadId = std::uint32_t;

// Registration of an event handler, given back to remove it.
using EventToken = std::int64_t;

// What an event procedure reports to the platform. A failure is returned to
// the raiser as its code; backends that keep per-thread error information
// store the message there.
using EventResult = Result<void, PlatformError>;

struct SizeInt32 {
  std::int32_t width = 0;
  std::int32_t height = 0;
  friend bool operator==(const SizeInt32&, const SizeInt32&) = default;
};

struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Direct3D feature levels, by their published values.
enum class FeatureLevel : std::uint32_t {
  Level9_1 = 0x9100,
  Level9_2 = 0x9200,
  Level9_3 = 0x9300,
  Level10_0 = 0xA000,
  Level10_1 = 0xA100,
  Level11_0 = 0xB000,
  Level11_1 = 0xB100,
};

// Texture usage, bind, access and map values keep their Direct3D 11 numbers.
inline constexpr std::uint32_t kUsageStaging = 3;
inline constexpr std::uint32_t kCpuAccessWrite = 0x10000;
inline constexpr std::uint32_t kCpuAccessRead = 0x20000;
inline constexpr std::uint32_t kMapReadWrite = 3;
inline constexpr std::uint32_t kCreateDeviceBgraSupport = 0x20;

// A DXGI pixel format number. 87 is B8G8R8A8 unsigned normalised.
using PixelFormat = std::int32_t;
inline constexpr PixelFormat kPixelFormatBgra8 = 87;
// DXGI_FORMAT_B8G8R8X8_UNORM: the same bytes with the fourth one padding. A
// backend's frame texture may have it when the window has no alpha.
inline constexpr PixelFormat kPixelFormatBgrx8 = 88;

struct TextureDesc {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t mip_levels = 0;
  std::uint32_t array_size = 0;
  std::uint32_t format = 0;
  std::uint32_t sample_count = 0;
  std::uint32_t sample_quality = 0;
  std::uint32_t usage = 0;
  std::uint32_t bind_flags = 0;
  std::uint32_t cpu_access_flags = 0;
  std::uint32_t misc_flags = 0;
  friend bool operator==(const TextureDesc&, const TextureDesc&) = default;
};

// A mapped subresource: data stays valid until the matching unmap.
struct MappedSubresource {
  std::uint8_t* data = nullptr;
  std::uint32_t row_pitch = 0;
  std::uint32_t depth_pitch = 0;
};

// How the capture service reports changed regions (DirtyRegionMode values).
enum class DirtyRegionMode : std::int32_t { ReportOnly = 0, ReportAndRender = 1 };

// Durations on the capture service are counted in 100 ns ticks.
using TimeSpanTicks = std::int64_t;

inline constexpr std::uint32_t kWmNull = 0x0000;
inline constexpr std::uint32_t kWmQuit = 0x0012;

// One message taken from a thread's queue.
struct Message {
  std::uintptr_t window = 0;
  std::uint32_t id = kWmNull;
  std::uintptr_t wparam = 0;
  std::intptr_t lparam = 0;
  // Work a dispatcher queue attached; dispatching the message runs it.
  // Backends that dispatch through window procedures leave it empty.
  std::function<void()> work;
};

}  // namespace tarvix::capture::platform
