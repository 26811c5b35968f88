// Copies captured BGRA rows into a packed frame buffer while turning their
// premultiplied alpha into straight alpha, in one pass over the pixels.
//
// Each of `rows` rows copies `row_bytes` bytes from src + r * src_pitch to
// dst + r * dst_stride. Every complete 4-byte pixel is converted: alpha 0
// gives (0, 0, 0, 0), alpha 255 is kept, any other alpha a turns each colour
// c into min(255, (c * unpremultiply_table()[a] + 32768) >> 16); alpha never
// changes. Bytes of a trailing partial pixel are copied unchanged, and
// destination bytes past row_bytes are not written. The source and the
// destination must not overlap.
//
// row_bytes must not exceed src_pitch or dst_stride (the rows would run into
// each other or past the buffers); a caller that breaks this ends the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tarvix::ndi {

enum class StraightAlphaKernel { Scalar, Sse2, Avx2 };

// Uses the best kernel the processor runs, chosen once per process. Every
// kernel gives the same bytes; they differ only in speed.
void copy_straight_alpha(const std::uint8_t* src, std::size_t src_pitch, std::uint8_t* dst,
                         std::size_t dst_stride, std::size_t row_bytes, std::uint32_t rows);

// The same with a given kernel, for tests and benchmarks. Asking for a kernel
// the processor cannot run ends the process: check it with the function below.
void copy_straight_alpha_with(StraightAlphaKernel kernel, const std::uint8_t* src,
                              std::size_t src_pitch, std::uint8_t* dst, std::size_t dst_stride,
                              std::size_t row_bytes, std::uint32_t rows);

// The plain per-pixel version: the oracle the vector kernels are checked
// against, and the code the scalar kernel runs.
void copy_straight_alpha_reference(const std::uint8_t* src, std::size_t src_pitch,
                                   std::uint8_t* dst, std::size_t dst_stride, std::size_t row_bytes,
                                   std::uint32_t rows);

// The same copy for a source without alpha (a 24-bit window, whose fourth
// byte is padding): no arithmetic, the alpha of every complete pixel
// becomes 255. Same row rules as above.
void copy_opaque(const std::uint8_t* src, std::size_t src_pitch, std::uint8_t* dst,
                 std::size_t dst_stride, std::size_t row_bytes, std::uint32_t rows);

bool straight_alpha_kernel_supported(StraightAlphaKernel kernel) noexcept;
StraightAlphaKernel active_straight_alpha_kernel() noexcept;
std::string_view straight_alpha_kernel_name(StraightAlphaKernel kernel) noexcept;

}  // namespace tarvix::ndi
