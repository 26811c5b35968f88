// Four pixels per step in 16-bit lanes. The table factor T is split into its
// high and low 16 bits, so (c * T + 32768) >> 16 becomes
// c * Th + ((c * Tl) >> 16) + bit 15 of (c * Tl), which is exact and stays
// below 65536 for every colour and alpha.
#include "ndi/straight_alpha_kernels.h"

#if TARVIX_STRAIGHT_ALPHA_X86

#include <emmintrin.h>

#include <cstring>

#include "ndi/unpremultiply_table.h"

#define TARVIX_SSE2 __attribute__((target("sse2")))

namespace tarvix::ndi::detail {
namespace {

constexpr std::size_t kBlock = 16;

TARVIX_SSE2 inline __m128i unpremultiply_lanes(__m128i colour, __m128i high, __m128i low) {
  const __m128i sum =
      _mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(colour, high), _mm_mulhi_epu16(colour, low)),
                    _mm_srli_epi16(_mm_mullo_epi16(colour, low), 15));
  // min(sum, 255) without SSE4.1's unsigned minimum.
  return _mm_sub_epi16(sum, _mm_subs_epu16(sum, _mm_set1_epi16(255)));
}

// The table factors of four pixels, one per 32-bit lane.
TARVIX_SSE2 inline __m128i load_factors(const std::uint8_t* src, const UnpremultiplyTable& table) {
  const auto lane = [&](int pixel) {
    return _mm_cvtsi32_si128(static_cast<int>(table[src[4 * pixel + 3]]));
  };
  return _mm_unpacklo_epi64(_mm_unpacklo_epi32(lane(0), lane(1)),
                            _mm_unpacklo_epi32(lane(2), lane(3)));
}

// From 16-bit factors f0, 0, f0, 0 | f1, 0, f1, 0 (two pixels) to three copies
// per pixel for blue, green and red, and 0 for alpha.
TARVIX_SSE2 inline __m128i spread_colours(__m128i doubled) {
  return _mm_shufflehi_epi16(_mm_shufflelo_epi16(doubled, _MM_SHUFFLE(1, 0, 0, 0)),
                             _MM_SHUFFLE(1, 0, 0, 0));
}

TARVIX_SSE2 inline void convert_block(const std::uint8_t* src, std::uint8_t* dst,
                                      const UnpremultiplyTable& table) {
  const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
  const __m128i alpha_mask = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i alpha = _mm_and_si128(pixels, alpha_mask);
  const __m128i zero = _mm_setzero_si128();
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, zero)) == 0xFFFF) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), zero);
    return;
  }
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(alpha, alpha_mask)) == 0xFFFF) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), pixels);
    return;
  }
  const __m128i factors = load_factors(src, table);
  const __m128i high = _mm_srli_epi32(factors, 16);
  const __m128i low = _mm_and_si128(factors, _mm_set1_epi32(0xFFFF));
  const __m128i first = unpremultiply_lanes(_mm_unpacklo_epi8(pixels, zero),
                                            spread_colours(_mm_unpacklo_epi32(high, high)),
                                            spread_colours(_mm_unpacklo_epi32(low, low)));
  const __m128i second = unpremultiply_lanes(_mm_unpackhi_epi8(pixels, zero),
                                             spread_colours(_mm_unpackhi_epi32(high, high)),
                                             spread_colours(_mm_unpackhi_epi32(low, low)));
  const __m128i converted = _mm_or_si128(_mm_packus_epi16(first, second), alpha);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), converted);
}

}  // namespace

TARVIX_SSE2 void straight_alpha_row_sse2(const std::uint8_t* src, std::uint8_t* dst,
                                         std::size_t bytes) {
  const std::size_t whole = bytes & ~std::size_t{3};
  if (whole < kBlock) {
    straight_alpha_row_scalar(src, dst, bytes);
    return;
  }
  const UnpremultiplyTable& table = unpremultiply_table();
  std::size_t i = 0;
  for (; i + kBlock <= whole; i += kBlock)
    convert_block(src + i, dst + i, table);
  // The last pixels are done by one block that overlaps the previous one:
  // it reads the source again, so the bytes written twice are the same.
  if (i < whole) convert_block(src + whole - kBlock, dst + whole - kBlock, table);
  std::memcpy(dst + whole, src + whole, bytes - whole);
}

}  // namespace tarvix::ndi::detail

#endif
