// Row functions behind copy_straight_alpha. Each converts the complete pixels
// among `bytes` bytes and copies a trailing partial pixel unchanged.
#pragma once

#include <cstddef>
#include <cstdint>

// The vector kernels need x86-64 and the GCC-style target attribute (GCC,
// clang, mingw); elsewhere only the scalar kernel exists.
#if !defined(TARVIX_NO_SIMD) && defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define TARVIX_STRAIGHT_ALPHA_X86 1
#else
#define TARVIX_STRAIGHT_ALPHA_X86 0
#endif

namespace tarvix::ndi::detail {

using StraightAlphaRow = void (*)(const std::uint8_t* src, std::uint8_t* dst, std::size_t bytes);

void straight_alpha_row_scalar(const std::uint8_t* src, std::uint8_t* dst, std::size_t bytes);

#if TARVIX_STRAIGHT_ALPHA_X86
void straight_alpha_row_sse2(const std::uint8_t* src, std::uint8_t* dst, std::size_t bytes);
void straight_alpha_row_avx2(const std::uint8_t* src, std::uint8_t* dst, std::size_t bytes);
#endif

}  // namespace tarvix::ndi::detail
