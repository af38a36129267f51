#include "image/decode/PngFilters.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <cstdlib>
#include <cstring>

namespace quillane {
namespace {

// A pixel of B bytes (3 or 4) in the low bytes of a word, the others zero.
template <std::size_t B>
std::uint32_t loadPixel(const std::uint8_t* at) {
  std::uint32_t pixel = 0;
  std::memcpy(&pixel, at, B);
  return pixel;
}
template <std::size_t B>
void storePixel(std::uint8_t* at, std::uint32_t pixel) {
  std::memcpy(at, &pixel, B);
}

// The four bytes' sums and rounded-down means, each byte on its own (no carry between them).
std::uint32_t addBytes(std::uint32_t a, std::uint32_t b) {
  return ((a & 0x7F7F7F7Fu) + (b & 0x7F7F7F7Fu)) ^ ((a ^ b) & 0x80808080u);
}
std::uint32_t meanBytes(std::uint32_t a, std::uint32_t b) {
  return (a & b) + (((a ^ b) & 0xFEFEFEFEu) >> 1);
}

#if defined(__SSE2__)
// The Paeth filter a pixel at a time, its samples in 16-bit lanes: the prediction is the
// left, upper or upper-left neighbour nearest to left + up - upLeft, in that order on ties.
__m128i absolute(__m128i x) { return _mm_max_epi16(x, _mm_sub_epi16(_mm_setzero_si128(), x)); }

template <std::size_t B>
void unpaethRow(std::uint8_t* row, const std::uint8_t* up, std::size_t n) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lowBytes = _mm_set1_epi16(0xFF);
  __m128i left = zero;
  __m128i upLeft = zero;
  for (std::size_t i = 0; i < n; i += B) {
    const __m128i above =
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(loadPixel<B>(up + i))), zero);
    const __m128i stored =
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(loadPixel<B>(row + i))), zero);
    const __m128i towardsUp = _mm_sub_epi16(above, upLeft);
    const __m128i towardsLeft = _mm_sub_epi16(left, upLeft);
    const __m128i fromLeft = absolute(towardsUp);
    const __m128i fromUp = absolute(towardsLeft);
    const __m128i fromUpLeft = absolute(_mm_add_epi16(towardsUp, towardsLeft));
    const __m128i notLeft =
        _mm_or_si128(_mm_cmpgt_epi16(fromLeft, fromUp), _mm_cmpgt_epi16(fromLeft, fromUpLeft));
    const __m128i notUp = _mm_cmpgt_epi16(fromUp, fromUpLeft);
    const __m128i upOrUpLeft =
        _mm_or_si128(_mm_and_si128(notUp, upLeft), _mm_andnot_si128(notUp, above));
    const __m128i predicted =
        _mm_or_si128(_mm_and_si128(notLeft, upOrUpLeft), _mm_andnot_si128(notLeft, left));
    left = _mm_and_si128(_mm_add_epi16(stored, predicted), lowBytes);
    storePixel<B>(row + i,
                  static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(left, left))));
    upLeft = above;
  }
}
#else
std::uint8_t paeth(int left, int up, int upLeft) {
  const int fromLeft = std::abs(up - upLeft);
  const int fromUp = std::abs(left - upLeft);
  const int fromUpLeft = std::abs(left + up - 2 * upLeft);
  if (fromLeft <= fromUp && fromLeft <= fromUpLeft) return static_cast<std::uint8_t>(left);
  return static_cast<std::uint8_t>(fromUp <= fromUpLeft ? up : upLeft);
}

template <std::size_t B>
void unpaethRow(std::uint8_t* row, const std::uint8_t* up, std::size_t n) {
  for (std::size_t i = 0; i < B; ++i) row[i] = static_cast<std::uint8_t>(row[i] + up[i]);
  for (std::size_t i = B; i < n; ++i)
    row[i] = static_cast<std::uint8_t>(row[i] + paeth(row[i - B], up[i], up[i - B]));
}
#endif

// Up: each byte plus the one above it, 16 at a time where SSE2 is there (the rows never
// overlap, which the compiler cannot see through the caller).
void unfilterUp(std::uint8_t* row, const std::uint8_t* up, std::size_t n) {
  std::size_t i = 0;
#if defined(__SSE2__)
  for (; i + 16 <= n; i += 16) {
    const __m128i above = _mm_loadu_si128(reinterpret_cast<const __m128i*>(up + i));
    const __m128i stored = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_add_epi8(stored, above));
  }
#endif
  for (; i < n; ++i) row[i] = static_cast<std::uint8_t>(row[i] + up[i]);
}

// A pixel of B bytes at a time.
template <std::size_t B>
bool unfilterPixels(std::uint8_t filter, std::uint8_t* __restrict row,
                    const std::uint8_t* __restrict up, std::size_t n) {
  std::uint32_t left = 0;
  switch (filter) {
    case 0:
      return true;
    case 1:
      for (std::size_t i = 0; i < n; i += B)
        storePixel<B>(row + i, left = addBytes(loadPixel<B>(row + i), left));
      return true;
    case 2:
      unfilterUp(row, up, n);
      return true;
    case 3:
      for (std::size_t i = 0; i < n; i += B)
        storePixel<B>(
            row + i, left = addBytes(loadPixel<B>(row + i), meanBytes(left, loadPixel<B>(up + i))));
      return true;
    case 4:
      unpaethRow<B>(row, up, n);
      return true;
    default:
      return false;
  }
}

}  // namespace

bool unfilterRow(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* up, std::size_t n,
                 std::size_t pixelBytes) {
  return pixelBytes == 4 ? unfilterPixels<4>(filter, row, up, n)
                         : unfilterPixels<3>(filter, row, up, n);
}

}  // namespace quillane
