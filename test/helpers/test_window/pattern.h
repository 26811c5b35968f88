// The picture the test window draws, shared with the tests that check what a
// capture delivered. Pixels are given as the bytes a capture yields: B, G, R, A.
#pragma once

#include <array>
#include <cstdint>

namespace tarvix::test_window {

struct Bgra {
  std::uint8_t b = 0, g = 0, r = 0, a = 0;
  bool operator==(const Bgra&) const = default;
};

// Premultiplied translucent pixels the ARGB variant mixes into its picture:
// a transparent one with colour, colour above alpha, and ordinary ones.
inline constexpr std::array<Bgra, 5> kTranslucent{{
    {7, 7, 7, 0},
    {2, 2, 2, 1},
    {64, 64, 64, 128},
    {100, 100, 100, 200},
    {1, 1, 1, 2},
}};

// An opaque gradient that differs in every channel along both axes, so a
// shifted, flipped or channel-swapped read shows up at once.
inline Bgra opaque_pixel(std::uint32_t x, std::uint32_t y, std::uint32_t phase) {
  return {static_cast<std::uint8_t>(x + phase), static_cast<std::uint8_t>(y * 3),
          static_cast<std::uint8_t>((x >> 8) * 16 + (y >> 8) * 4 + 1), 255};
}

// The ARGB variant interleaves translucent 4 x 4 cells with opaque ones.
inline Bgra argb_pixel(std::uint32_t x, std::uint32_t y, std::uint32_t phase) {
  const std::uint32_t cell = (x / 4 + y / 4 + phase) % (kTranslucent.size() + 1);
  if (cell < kTranslucent.size()) return kTranslucent[cell];
  return opaque_pixel(x, y, phase);
}

inline Bgra pattern_pixel(bool argb, std::uint32_t x, std::uint32_t y, std::uint32_t phase) {
  return argb ? argb_pixel(x, y, phase) : opaque_pixel(x, y, phase);
}

}  // namespace tarvix::test_window
