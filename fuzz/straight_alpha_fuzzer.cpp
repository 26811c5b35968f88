// The straight-alpha copy with random row lengths, pitches, strides and
// pixels, for every kernel this processor runs: each must give the bytes of a
// per-pixel formula written here from the definition, read and write nothing
// outside its rows (the buffers end exactly where the last row does, so
// AddressSanitizer sees any overrun), and leave row padding alone.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_check.h"
#include "ndi/straight_alpha.h"

namespace {

using tarvix::fuzz::check;
using tarvix::ndi::StraightAlphaKernel;

constexpr uint8_t kUntouched = 0xa5;

bool same(const uint8_t* a, const uint8_t* b, std::size_t n) {
  return n == 0 || std::memcmp(a, b, n) == 0;
}

struct Shape {
  std::size_t row_bytes, src_pitch, dst_stride;
  uint32_t rows;
  std::size_t src_size() const { return rows ? (rows - 1) * src_pitch + row_bytes : 0; }
  std::size_t dst_size() const { return rows ? (rows - 1) * dst_stride + row_bytes : 0; }
};

uint8_t straight(uint8_t colour, uint8_t alpha) {
  const uint32_t factor = (255u * 65536u + alpha / 2u) / alpha;
  return static_cast<uint8_t>(std::min<uint32_t>(255, (colour * factor + 32768u) >> 16));
}

std::vector<uint8_t> expected_output(const uint8_t* src, const Shape& s) {
  std::vector<uint8_t> out(s.dst_size(), kUntouched);
  for (uint32_t r = 0; r < s.rows; ++r) {
    const uint8_t* in = src + r * s.src_pitch;
    uint8_t* row = out.data() + r * s.dst_stride;
    if (s.row_bytes == 0) continue;
    std::memcpy(row, in, s.row_bytes);
    for (std::size_t p = 0; p + 4 <= s.row_bytes; p += 4) {
      const uint8_t alpha = in[p + 3];
      if (alpha == 255) continue;
      for (int c = 0; c < 3; ++c)
        row[p + c] = alpha == 0 ? 0 : straight(in[p + c], alpha);
    }
  }
  return out;
}

void check_kernel(StraightAlphaKernel kernel, const uint8_t* src, const Shape& s,
                  const std::vector<uint8_t>& expected) {
  auto dst = std::make_unique<uint8_t[]>(s.dst_size());
  std::memset(dst.get(), kUntouched, s.dst_size());
  tarvix::ndi::copy_straight_alpha_with(kernel, src, s.src_pitch, dst.get(), s.dst_stride,
                                        s.row_bytes, s.rows);
  check(same(dst.get(), expected.data(), s.dst_size()),
        "a kernel's bytes differ from the formula (or it wrote into the padding)");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  Shape s{};
  const std::size_t pixels = (data[0] | (data[1] << 8)) % 1025;
  s.row_bytes = pixels * 4 + data[2] % 4;  // a trailing partial pixel now and then
  s.rows = data[3] % 33;
  s.src_pitch = s.row_bytes + data[4] % 67;
  s.dst_stride = s.row_bytes + data[5] % 67;
  data += 6;
  size -= 6;

  // Exactly as large as the rows need; the pixel bytes repeat the input.
  auto src = std::make_unique<uint8_t[]>(s.src_size());
  for (std::size_t i = 0; i < s.src_size(); ++i)
    src[i] = size ? data[i % size] : uint8_t(i);
  const std::vector<uint8_t> expected = expected_output(src.get(), s);

  for (const auto kernel :
       {StraightAlphaKernel::Scalar, StraightAlphaKernel::Sse2, StraightAlphaKernel::Avx2}) {
    if (tarvix::ndi::straight_alpha_kernel_supported(kernel)) {
      check_kernel(kernel, src.get(), s, expected);
    }
  }
  auto dst = std::make_unique<uint8_t[]>(s.dst_size());
  std::memset(dst.get(), kUntouched, s.dst_size());
  tarvix::ndi::copy_straight_alpha_reference(src.get(), s.src_pitch, dst.get(), s.dst_stride,
                                             s.row_bytes, s.rows);
  check(same(dst.get(), expected.data(), s.dst_size()), "the reference differs from the formula");
  return 0;
}
