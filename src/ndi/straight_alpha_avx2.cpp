// Eight pixels per step. The same exact 16-bit split of the table factor as
// the SSE2 kernel; the factors are fetched per pixel with plain loads (a
// gather is much slower) and spread over the colour lanes with byte shuffles.
#include "ndi/straight_alpha_kernels.h"

#if TARVIX_STRAIGHT_ALPHA_X86

#include <immintrin.h>

#include <cstring>

#include "ndi/unpremultiply_table.h"

#define TARVIX_AVX2 __attribute__((target("avx2")))

namespace tarvix::ndi::detail {
namespace {

constexpr std::size_t kBlock = 32;
constexpr char kZ = static_cast<char>(0x80);  // shuffle index that yields a zero byte

// Factor bytes of pixels 0 and 1 of each 128-bit half, and of pixels 2 and 3,
// spread over the 16-bit blue, green and red lanes; alpha lanes get 0.
TARVIX_AVX2 inline __m256i spread_high_first() {
  return _mm256_setr_epi8(2, kZ, 2, kZ, 2, kZ, kZ, kZ, 6, kZ, 6, kZ, 6, kZ, kZ, kZ,  //
                          2, kZ, 2, kZ, 2, kZ, kZ, kZ, 6, kZ, 6, kZ, 6, kZ, kZ, kZ);
}
TARVIX_AVX2 inline __m256i spread_low_first() {
  return _mm256_setr_epi8(0, 1, 0, 1, 0, 1, kZ, kZ, 4, 5, 4, 5, 4, 5, kZ, kZ,  //
                          0, 1, 0, 1, 0, 1, kZ, kZ, 4, 5, 4, 5, 4, 5, kZ, kZ);
}
TARVIX_AVX2 inline __m256i spread_high_second() {
  return _mm256_setr_epi8(10, kZ, 10, kZ, 10, kZ, kZ, kZ, 14, kZ, 14, kZ, 14, kZ, kZ, kZ,  //
                          10, kZ, 10, kZ, 10, kZ, kZ, kZ, 14, kZ, 14, kZ, 14, kZ, kZ, kZ);
}
TARVIX_AVX2 inline __m256i spread_low_second() {
  return _mm256_setr_epi8(8, 9, 8, 9, 8, 9, kZ, kZ, 12, 13, 12, 13, 12, 13, kZ, kZ,  //
                          8, 9, 8, 9, 8, 9, kZ, kZ, 12, 13, 12, 13, 12, 13, kZ, kZ);
}

TARVIX_AVX2 inline __m256i unpremultiply_lanes(__m256i colour, __m256i high, __m256i low) {
  const __m256i sum = _mm256_add_epi16(
      _mm256_add_epi16(_mm256_mullo_epi16(colour, high), _mm256_mulhi_epu16(colour, low)),
      _mm256_srli_epi16(_mm256_mullo_epi16(colour, low), 15));
  return _mm256_min_epu16(sum, _mm256_set1_epi16(255));
}

// The table factors of four pixels, one per 32-bit lane.
TARVIX_AVX2 inline __m128i factors_of_four(const std::uint8_t* src,
                                           const UnpremultiplyTable& table) {
  __m128i factors = _mm_cvtsi32_si128(static_cast<int>(table[src[3]]));
  factors = _mm_insert_epi32(factors, static_cast<int>(table[src[7]]), 1);
  factors = _mm_insert_epi32(factors, static_cast<int>(table[src[11]]), 2);
  return _mm_insert_epi32(factors, static_cast<int>(table[src[15]]), 3);
}

TARVIX_AVX2 inline __m256i load_factors(const std::uint8_t* src, const UnpremultiplyTable& table) {
  return _mm256_inserti128_si256(_mm256_castsi128_si256(factors_of_four(src, table)),
                                 factors_of_four(src + 16, table), 1);
}

TARVIX_AVX2 inline void convert_block(const std::uint8_t* src, std::uint8_t* dst,
                                      const UnpremultiplyTable& table) {
  const __m256i pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src));
  const __m256i alpha_mask = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  if (_mm256_testz_si256(pixels, alpha_mask)) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_setzero_si256());
    return;
  }
  if (_mm256_testc_si256(pixels, alpha_mask)) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), pixels);
    return;
  }
  const __m256i factors = load_factors(src, table);
  const __m256i zero = _mm256_setzero_si256();
  // Unpacking works within 128-bit halves, as do the shuffles of the factors.
  const __m256i first = unpremultiply_lanes(_mm256_unpacklo_epi8(pixels, zero),
                                            _mm256_shuffle_epi8(factors, spread_high_first()),
                                            _mm256_shuffle_epi8(factors, spread_low_first()));
  const __m256i second = unpremultiply_lanes(_mm256_unpackhi_epi8(pixels, zero),
                                             _mm256_shuffle_epi8(factors, spread_high_second()),
                                             _mm256_shuffle_epi8(factors, spread_low_second()));
  const __m256i converted =
      _mm256_or_si256(_mm256_packus_epi16(first, second), _mm256_and_si256(pixels, alpha_mask));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), converted);
}

}  // namespace

TARVIX_AVX2 void straight_alpha_row_avx2(const std::uint8_t* src, std::uint8_t* dst,
                                         std::size_t bytes) {
  const std::size_t whole = bytes & ~std::size_t{3};
  if (whole < kBlock) {
    straight_alpha_row_sse2(src, dst, bytes);
    return;
  }
  const UnpremultiplyTable& table = unpremultiply_table();
  std::size_t i = 0;
  for (; i + kBlock <= whole; i += kBlock)
    convert_block(src + i, dst + i, table);
  // One block overlapping the previous one finishes the row; it reads the
  // source again, so the bytes written twice are the same.
  if (i < whole) convert_block(src + whole - kBlock, dst + whole - kBlock, table);
  std::memcpy(dst + whole, src + whole, bytes - whole);
}

}  // namespace tarvix::ndi::detail

#endif
