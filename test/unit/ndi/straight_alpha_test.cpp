// Every kernel, and the opaque copy, against the copy written out here from
// its definition: all (alpha, colour) pairs, then frames of many shapes whose
// buffers end where an inaccessible page starts, so that a read or a write
// past the last row faults and one into the row padding shows.
#include "ndi/straight_alpha.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace tarvix::ndi {
namespace {

using Bytes = std::shared_ptr<uint8_t>;

// `size` bytes that end where an inaccessible page starts.
Bytes guarded(std::size_t size) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  const std::size_t mapped = (size / page + 2) * page;
  auto* base = static_cast<uint8_t*>(
      mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  if (base == MAP_FAILED || mprotect(base + mapped - page, page, PROT_NONE) != 0) std::abort();
  return {base + mapped - page - size, [=](uint8_t*) { munmap(base, mapped); }};
}

struct Shape {
  std::size_t row_bytes, pitch, stride;
  uint32_t rows;
  // Bytes from the first row's start to the last row's end.
  std::size_t span(std::size_t step) const { return rows ? (rows - 1) * step + row_bytes : 0; }
};

uint8_t straight(uint64_t alpha, uint64_t colour) {
  if (alpha == 0) return 0;
  const uint64_t factor = (255 * 65536 + alpha / 2) / alpha;
  return static_cast<uint8_t>(std::min<uint64_t>(255, (colour * factor + 32768) >> 16));
}

// Bytes the copy must not write stay 0xCD; a trailing partial pixel is
// copied as it is.
std::vector<uint8_t> expected_copy(const uint8_t* src, const Shape& s, bool opaque) {
  std::vector<uint8_t> out(s.span(s.stride), 0xCD);
  for (uint32_t r = 0; r < s.rows; ++r) {
    const uint8_t* in = src + r * s.pitch;
    uint8_t* row = out.data() + r * s.stride;
    std::copy(in, in + s.row_bytes, row);
    for (std::size_t p = 0; p + 4 <= s.row_bytes; p += 4) {
      for (int c = 0; c < 3 && !opaque; ++c)
        row[p + c] = straight(in[p + 3], in[p + c]);
      if (opaque) row[p + 3] = 255;
    }
  }
  return out;
}

class StraightAlphaKernelTest : public testing::TestWithParam<StraightAlphaKernel> {
 protected:
  void SetUp() override {
    if (!straight_alpha_kernel_supported(GetParam())) GTEST_SKIP() << "not on this processor";
  }
  void check(const Bytes& src, const Shape& s) {
    const std::size_t size = s.span(s.stride);
    const Bytes dst = guarded(size);
    for (const bool opaque : {false, true}) {
      std::memset(dst.get(), 0xCD, size);
      if (opaque)
        copy_opaque(src.get(), s.pitch, dst.get(), s.stride, s.row_bytes, s.rows);
      else
        copy_straight_alpha_with(GetParam(), src.get(), s.pitch, dst.get(), s.stride, s.row_bytes,
                                 s.rows);
      ASSERT_EQ(std::vector<uint8_t>(dst.get(), dst.get() + size),
                expected_copy(src.get(), s, opaque))
          << (opaque ? "opaque" : "straight alpha");
    }
  }
};
// Row a holds alpha a with every colour in each channel position (times 1,
// 3 and 5 modulo 256 each run through all of them).
TEST_P(StraightAlphaKernelTest, EveryAlphaAndColour) {
  const Bytes src = guarded(256 * 1024);
  for (std::size_t p = 0; p < 65536; ++p) {
    for (std::size_t c = 0; c < 4; ++c)
      src.get()[4 * p + c] = static_cast<uint8_t>(c == 3 ? p >> 8 : p * (2 * c + 1));
  }
  check(src, {1024, 1024, 1024, 256});
}

// Packed, padded and odd pitches and strides, rows ending in part of a
// pixel, empty rows and no rows; the pixels come in runs of transparent,
// opaque and translucent ones, so that both the vector fast paths and
// blocks that mix kinds are met.
TEST_P(StraightAlphaKernelTest, FramesOfManyShapes) {
  const Shape shapes[] = {
      {4, 4, 4, 5},          {4, 5, 4, 3},       {7, 7, 8, 4},          {7, 7, 7, 2},
      {28, 28, 28, 3},       {32, 32, 40, 4},    {36, 37, 36, 9},       {35, 35, 36, 2},
      {50, 50, 52, 5},       {124, 127, 124, 6}, {132, 196, 132, 5},    {256, 256, 256, 8},
      {224, 224, 256, 8},    {397, 397, 400, 3}, {1028, 1092, 1028, 9}, {2557, 2557, 2564, 4},
      {7680, 7680, 7680, 3}, {0, 4, 4, 3},       {64, 64, 64, 0}};
  std::mt19937 random(1);
  for (const Shape& s : shapes) {
    SCOPED_TRACE("shape " + std::to_string(&s - shapes));
    const std::size_t size = s.span(s.pitch);
    const Bytes src = guarded(size);
    for (std::size_t i = 0, end = 0; i < size; i = end) {
      const uint32_t kind = random() % 3;
      end = std::min(size, i + 4 * (1 + random() % 24));
      for (; i < end; ++i)
        src.get()[i] = static_cast<uint8_t>(i % 4 != 3 || kind == 2 ? random() : kind * 255);
    }
    ASSERT_NO_FATAL_FAILURE(check(src, s));
  }
}

INSTANTIATE_TEST_SUITE_P(Kernels, StraightAlphaKernelTest,
                         testing::Values(StraightAlphaKernel::Scalar, StraightAlphaKernel::Sse2,
                                         StraightAlphaKernel::Avx2),
                         [](const auto& info) {
                           return std::string(straight_alpha_kernel_name(info.param));
                         });

TEST(StraightAlphaDeathTest, RowLongerThanPitchOrStrideEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::vector<uint8_t> src(64), dst(64);
  EXPECT_DEATH(copy_straight_alpha(src.data(), 16, dst.data(), 32, 20, 2), "row length");
  EXPECT_DEATH(copy_opaque(src.data(), 32, dst.data(), 16, 20, 2), "row length");
}

}  // namespace
}  // namespace tarvix::ndi
