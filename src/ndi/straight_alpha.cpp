#include "ndi/straight_alpha.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "ndi/straight_alpha_kernels.h"
#include "ndi/unpremultiply_table.h"
#include "support/fatal.h"

namespace tarvix::ndi {
namespace detail {

void straight_alpha_row_scalar(const std::uint8_t* src, std::uint8_t* dst, std::size_t bytes) {
  const UnpremultiplyTable& table = unpremultiply_table();
  const std::size_t whole = bytes & ~std::size_t{3};
  for (std::size_t i = 0; i < whole; i += 4) {
    const std::uint32_t alpha = src[i + 3];
    if (alpha == 0) {
      std::memset(dst + i, 0, 4);
    } else if (alpha == 255) {
      std::memcpy(dst + i, src + i, 4);
    } else {
      const std::uint32_t factor = table[alpha];
      for (std::size_t c = 0; c < 3; ++c) {
        const std::uint32_t value = (src[i + c] * factor + 32768u) >> 16;
        dst[i + c] = static_cast<std::uint8_t>(value < 255u ? value : 255u);
      }
      dst[i + 3] = static_cast<std::uint8_t>(alpha);
    }
  }
  std::memcpy(dst + whole, src + whole, bytes - whole);
}

// Memory speed: sixteen bytes at a time with the alpha bytes or-ed in.
void opaque_row(const std::uint8_t* src, std::uint8_t* dst, std::size_t bytes) {
  const std::size_t whole = bytes & ~std::size_t{3};
  std::size_t i = 0;
#if defined(__SSE2__)
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (; i + 16 <= whole; i += 16) {
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_or_si128(pixels, alpha));
  }
#endif
  for (; i < whole; i += 4) {
    std::memcpy(dst + i, src + i, 3);
    dst[i + 3] = 255;
  }
  std::memcpy(dst + whole, src + whole, bytes - whole);
}

}  // namespace detail

namespace {

detail::StraightAlphaRow row_function(StraightAlphaKernel kernel) noexcept {
  if (!straight_alpha_kernel_supported(kernel)) {
    fatal("straight-alpha kernel not supported by this processor");
  }
  switch (kernel) {
#if TARVIX_STRAIGHT_ALPHA_X86
    case StraightAlphaKernel::Sse2:
      return detail::straight_alpha_row_sse2;
    case StraightAlphaKernel::Avx2:
      return detail::straight_alpha_row_avx2;
#endif
    default:
      return detail::straight_alpha_row_scalar;
  }
}

StraightAlphaKernel best_kernel() noexcept {
  if (straight_alpha_kernel_supported(StraightAlphaKernel::Avx2)) return StraightAlphaKernel::Avx2;
  if (straight_alpha_kernel_supported(StraightAlphaKernel::Sse2)) return StraightAlphaKernel::Sse2;
  return StraightAlphaKernel::Scalar;
}

void check_row_bytes(std::size_t src_pitch, std::size_t dst_stride,
                     std::size_t row_bytes) noexcept {
  if (row_bytes > src_pitch || row_bytes > dst_stride) {
    fatal("straight-alpha copy: row length exceeds the row pitch or the line stride");
  }
}

void copy_rows(detail::StraightAlphaRow row, const std::uint8_t* src, std::size_t src_pitch,
               std::uint8_t* dst, std::size_t dst_stride, std::size_t row_bytes,
               std::uint32_t rows) noexcept {
  check_row_bytes(src_pitch, dst_stride, row_bytes);
  if (rows == 0 || row_bytes == 0) return;
  // Without padding on either side and with whole pixels, the frame is one long row.
  if (src_pitch == row_bytes && dst_stride == row_bytes && row_bytes % 4 == 0) {
    row(src, dst, row_bytes * rows);
    return;
  }
  for (std::uint32_t r = 0; r < rows; ++r) {
    row(src + r * src_pitch, dst + r * dst_stride, row_bytes);
  }
}

}  // namespace

bool straight_alpha_kernel_supported(StraightAlphaKernel kernel) noexcept {
  switch (kernel) {
    case StraightAlphaKernel::Scalar:
      return true;
#if TARVIX_STRAIGHT_ALPHA_X86
    case StraightAlphaKernel::Sse2:
      return __builtin_cpu_supports("sse2");
    case StraightAlphaKernel::Avx2:
      return __builtin_cpu_supports("avx2");
#endif
    default:
      return false;
  }
}

StraightAlphaKernel active_straight_alpha_kernel() noexcept {
  static const StraightAlphaKernel active = best_kernel();
  return active;
}

std::string_view straight_alpha_kernel_name(StraightAlphaKernel kernel) noexcept {
  switch (kernel) {
    case StraightAlphaKernel::Scalar:
      return "scalar";
    case StraightAlphaKernel::Sse2:
      return "sse2";
    case StraightAlphaKernel::Avx2:
      return "avx2";
  }
  return "unknown";
}

void copy_straight_alpha(const std::uint8_t* src, std::size_t src_pitch, std::uint8_t* dst,
                         std::size_t dst_stride, std::size_t row_bytes, std::uint32_t rows) {
  static const detail::StraightAlphaRow row = row_function(active_straight_alpha_kernel());
  copy_rows(row, src, src_pitch, dst, dst_stride, row_bytes, rows);
}

void copy_opaque(const std::uint8_t* src, std::size_t src_pitch, std::uint8_t* dst,
                 std::size_t dst_stride, std::size_t row_bytes, std::uint32_t rows) {
  copy_rows(detail::opaque_row, src, src_pitch, dst, dst_stride, row_bytes, rows);
}

void copy_straight_alpha_with(StraightAlphaKernel kernel, const std::uint8_t* src,
                              std::size_t src_pitch, std::uint8_t* dst, std::size_t dst_stride,
                              std::size_t row_bytes, std::uint32_t rows) {
  copy_rows(row_function(kernel), src, src_pitch, dst, dst_stride, row_bytes, rows);
}

void copy_straight_alpha_reference(const std::uint8_t* src, std::size_t src_pitch,
                                   std::uint8_t* dst, std::size_t dst_stride, std::size_t row_bytes,
                                   std::uint32_t rows) {
  // Row by row on purpose: the oracle shares no shortcut with the kernels.
  check_row_bytes(src_pitch, dst_stride, row_bytes);
  for (std::uint32_t r = 0; r < rows; ++r) {
    detail::straight_alpha_row_scalar(src + r * src_pitch, dst + r * dst_stride, row_bytes);
  }
}

}  // namespace tarvix::ndi
