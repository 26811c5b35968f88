#include "ndi/straight_alpha.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace tarvix::ndi {
namespace {

// Bytes that end exactly where an inaccessible page starts, so reading or
// writing one byte too far faults.
class GuardedBuffer {
 public:
  explicit GuardedBuffer(std::size_t size) : size_(size) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    mapped_ = (size + page - 1) / page * page + page;
    void* base = mmap(nullptr, mapped_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) std::abort();
    base_ = static_cast<std::uint8_t*>(base);
    if (mprotect(base_ + mapped_ - page, page, PROT_NONE) != 0) std::abort();
    data_ = base_ + mapped_ - page - size;
  }
  ~GuardedBuffer() { munmap(base_, mapped_); }
  GuardedBuffer(const GuardedBuffer&) = delete;
  GuardedBuffer& operator=(const GuardedBuffer&) = delete;

  std::uint8_t* data() { return data_; }
  std::size_t size() const { return size_; }
  std::vector<std::uint8_t> bytes() const { return {data_, data_ + size_}; }

 private:
  std::size_t size_;
  std::size_t mapped_ = 0;
  std::uint8_t* base_ = nullptr;
  std::uint8_t* data_ = nullptr;
};

// The conversion written out independently, in 64-bit arithmetic.
std::uint8_t expected_channel(std::uint32_t alpha, std::uint32_t colour) {
  if (alpha == 0) return 0;
  const std::uint64_t factor = (255ull * 65536 + alpha / 2) / alpha;
  return static_cast<std::uint8_t>(std::min<std::uint64_t>(255, (colour * factor + 32768) >> 16));
}

std::vector<StraightAlphaKernel> supported_kernels() {
  std::vector<StraightAlphaKernel> kernels;
  for (auto kernel :
       {StraightAlphaKernel::Scalar, StraightAlphaKernel::Sse2, StraightAlphaKernel::Avx2}) {
    if (straight_alpha_kernel_supported(kernel)) kernels.push_back(kernel);
  }
  return kernels;
}

// Pixels in runs of transparent, opaque and translucent ones, so that both
// the vector fast paths and blocks that mix kinds are met.
void fill_frame(std::uint8_t* data, std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::size_t i = 0;
  while (i < size) {
    const std::uint32_t kind = random() % 3;
    const std::size_t run = 4 * (1 + random() % 24);
    for (std::size_t end = std::min(size, i + run); i < end; ++i) {
      const bool alpha_byte = i % 4 == 3;
      const std::uint8_t byte = static_cast<std::uint8_t>(random());
      data[i] = !alpha_byte ? byte : kind == 0 ? 0 : kind == 1 ? 255 : byte;
    }
  }
}

class StraightAlphaKernelTest : public testing::TestWithParam<StraightAlphaKernel> {
 protected:
  void copy(const std::uint8_t* src, std::size_t pitch, std::uint8_t* dst, std::size_t stride,
            std::size_t row_bytes, std::uint32_t rows) {
    copy_straight_alpha_with(GetParam(), src, pitch, dst, stride, row_bytes, rows);
  }
  std::vector<std::uint8_t> convert_pixel(std::vector<std::uint8_t> bgra) {
    std::vector<std::uint8_t> out(4, 0xCD);
    copy(bgra.data(), 4, out.data(), 4, 4, 1);
    return out;
  }
};

TEST_P(StraightAlphaKernelTest, ConvertsTellingPixels) {
  using Bytes = std::vector<std::uint8_t>;
  EXPECT_EQ(convert_pixel({10, 20, 30, 0}), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(convert_pixel({10, 200, 255, 255}), (Bytes{10, 200, 255, 255}));
  EXPECT_EQ(convert_pixel({64, 64, 64, 128}), (Bytes{128, 128, 128, 128}));
  EXPECT_EQ(convert_pixel({100, 100, 100, 200}), (Bytes{127, 127, 127, 200}));
  EXPECT_EQ(convert_pixel({1, 1, 1, 2}), (Bytes{128, 128, 128, 2}));
  // Colour above alpha is not validly premultiplied: it clamps.
  EXPECT_EQ(convert_pixel({2, 2, 255, 1}), (Bytes{255, 255, 255, 1}));
  EXPECT_EQ(convert_pixel({0, 1, 2, 1}), (Bytes{0, 255, 255, 1}));
}

// Every (alpha, colour) pair in each channel position, in one frame whose
// pixels fill vector blocks of every width.
TEST_P(StraightAlphaKernelTest, MatchesTheFormulaForEveryAlphaAndColour) {
  constexpr std::size_t kPixels = 65536;
  GuardedBuffer src(kPixels * 4);
  GuardedBuffer dst(kPixels * 4);
  for (std::size_t p = 0; p < kPixels; ++p) {
    const auto alpha = static_cast<std::uint8_t>(p >> 8);
    const auto colour = static_cast<std::uint8_t>(p);
    src.data()[4 * p + 0] = colour;
    src.data()[4 * p + 1] = static_cast<std::uint8_t>(255 - colour);
    src.data()[4 * p + 2] = static_cast<std::uint8_t>(colour * 7);
    src.data()[4 * p + 3] = alpha;
  }
  copy(src.data(), 1024, dst.data(), 1024, 1024, kPixels / 256);
  for (std::size_t p = 0; p < kPixels; ++p) {
    const std::uint8_t* in = src.data() + 4 * p;
    const std::uint8_t* out = dst.data() + 4 * p;
    for (int c = 0; c < 3; ++c) {
      ASSERT_EQ(out[c], expected_channel(in[3], in[c]))
          << "alpha " << +in[3] << " colour " << +in[c];
    }
    ASSERT_EQ(out[3], in[3]);
  }
}

struct FrameShape {
  std::size_t width;
  std::uint32_t height;
  std::ptrdiff_t pitch_extra;  // row pitch minus 4 * width
};

// Frames of odd and even widths with packed, padded, odd and short row
// pitches; source and destination end at a guard page, the destination is
// prefilled so bytes a short row must not write are seen.
TEST_P(StraightAlphaKernelTest, MatchesTheReferenceOnRandomFrames) {
  const FrameShape shapes[] = {{1, 5, 0},    {1, 3, 1},   {2, 4, -1},   {3, 7, -5},   {7, 3, 0},
                               {8, 4, 0},    {9, 9, 1},   {9, 2, -1},   {13, 5, -2},  {31, 6, 3},
                               {33, 5, 64},  {64, 8, 0},  {64, 8, -32}, {100, 3, -3}, {257, 9, 64},
                               {641, 4, -7}, {1920, 3, 0}};
  std::uint32_t seed = 1;
  for (const FrameShape& shape : shapes) {
    const std::size_t stride = 4 * shape.width;
    const std::size_t pitch =
        static_cast<std::size_t>(static_cast<std::ptrdiff_t>(stride) + shape.pitch_extra);
    const std::size_t row_bytes = std::min(stride, pitch);
    SCOPED_TRACE(testing::Message() << "width " << shape.width << " pitch " << pitch);
    GuardedBuffer src(pitch * shape.height);
    fill_frame(src.data(), src.size(), seed++);
    GuardedBuffer dst(stride * shape.height);
    std::vector<std::uint8_t> expected(dst.size(), 0xCD);
    std::memset(dst.data(), 0xCD, dst.size());
    copy_straight_alpha_reference(src.data(), pitch, expected.data(), stride, row_bytes,
                                  shape.height);
    copy(src.data(), pitch, dst.data(), stride, row_bytes, shape.height);
    ASSERT_EQ(dst.bytes(), expected);

    // The opaque copy of the same rows: each whole pixel's alpha forced,
    // nothing else changed.
    for (std::uint32_t r = 0; r < shape.height; ++r) {
      std::memcpy(expected.data() + r * stride, src.data() + r * pitch, row_bytes);
      for (std::size_t i = 3; i < row_bytes; i += 4)
        expected[r * stride + i] = 255;
    }
    copy_opaque(src.data(), pitch, dst.data(), stride, row_bytes, shape.height);
    ASSERT_EQ(dst.bytes(), expected) << "opaque";
  }
}

TEST_P(StraightAlphaKernelTest, CopiesTrailingPartialPixelAndNothingPastTheRow) {
  // 40 bytes of source per row: ten translucent pixels then three bytes of an
  // eleventh; the destination stride is four bytes longer.
  const std::size_t row_bytes = 43;
  const std::size_t stride = 44;
  std::vector<std::uint8_t> src(row_bytes * 2, 0x80);
  std::vector<std::uint8_t> dst(stride * 2, 0xCD);
  copy(src.data(), row_bytes, dst.data(), stride, row_bytes, 2);
  for (std::size_t row = 0; row < 2; ++row) {
    const std::uint8_t* out = dst.data() + row * stride;
    EXPECT_EQ(out[0], 255) << "converted: 128 * 255 / 128";
    EXPECT_EQ(out[39], 0x80);
    EXPECT_EQ(out[40], 0x80) << "partial pixel copied unchanged";
    EXPECT_EQ(out[42], 0x80);
    EXPECT_EQ(out[43], 0xCD) << "byte past the row written";
  }
  // Empty copies write nothing at all.
  const std::vector<std::uint8_t> before = dst;
  copy(src.data(), row_bytes, dst.data(), stride, 0, 2);
  copy(src.data(), row_bytes, dst.data(), stride, row_bytes, 0);
  EXPECT_EQ(dst, before);
}

std::string kernel_test_name(const testing::TestParamInfo<StraightAlphaKernel>& info) {
  return std::string(straight_alpha_kernel_name(info.param));
}

INSTANTIATE_TEST_SUITE_P(SupportedKernels, StraightAlphaKernelTest,
                         testing::ValuesIn(supported_kernels()), kernel_test_name);

TEST(StraightAlphaKernelSelection, ActiveKernelIsSupportedAndUsed) {
  const StraightAlphaKernel active = active_straight_alpha_kernel();
  EXPECT_TRUE(straight_alpha_kernel_supported(active));
  EXPECT_TRUE(straight_alpha_kernel_supported(StraightAlphaKernel::Scalar));

  const std::size_t stride = 4 * 77;
  std::vector<std::uint8_t> src((stride + 16) * 3);
  fill_frame(src.data(), src.size(), 99);
  std::vector<std::uint8_t> expected(stride * 3);
  std::vector<std::uint8_t> actual(stride * 3);
  copy_straight_alpha_reference(src.data(), stride + 16, expected.data(), stride, stride, 3);
  copy_straight_alpha(src.data(), stride + 16, actual.data(), stride, stride, 3);
  EXPECT_EQ(actual, expected);
}

TEST(StraightAlphaDeathTest, RowLongerThanPitchOrStrideEndsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  std::vector<std::uint8_t> src(64);
  std::vector<std::uint8_t> dst(64);
  EXPECT_DEATH(copy_straight_alpha(src.data(), 16, dst.data(), 32, 20, 2), "row length");
  EXPECT_DEATH(copy_straight_alpha(src.data(), 32, dst.data(), 16, 20, 2), "row length");
}

}  // namespace
}  // namespace tarvix::ndi
