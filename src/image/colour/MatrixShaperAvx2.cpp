// DeepMatrixShaper's loop eight pixels at a time, for processors with AVX2; the build targets
// plain x86-64, so only these functions are compiled for AVX2, and they run only where the
// processor has it. No fused multiply-add: each product and sum rounds as convertScalar's do,
// so both give the same samples.
#include "image/colour/MatrixShaper.h"

#if defined(__x86_64__)
#include <immintrin.h>

#include <algorithm>

namespace quillane {
namespace {

// Two pairs of floats, each from its own address, as one vector: the first pair low.
__attribute__((target("avx2"), always_inline)) inline __m128 twoPairs(const float* first,
                                                                      const float* second) {
  // __m64 loads may alias any type.
  return _mm_loadh_pi(_mm_loadl_pi(_mm_setzero_ps(), reinterpret_cast<const __m64*>(first)),
                      reinterpret_cast<const __m64*>(second));
}

// Where eight pixels' linear red, green and blue fall on a reversed curve of `steps` steps,
// through the matrix row `m`.
__attribute__((target("avx2"), always_inline)) inline __m256 placeOnCurve(const float* m, int steps,
                                                                          __m256 r, __m256 g,
                                                                          __m256 b) {
  const __m256 sum = _mm256_add_ps(
      _mm256_add_ps(_mm256_mul_ps(_mm256_set1_ps(m[0]), r), _mm256_mul_ps(_mm256_set1_ps(m[1]), g)),
      _mm256_mul_ps(_mm256_set1_ps(m[2]), b));
  return _mm256_mul_ps(_mm256_min_ps(_mm256_max_ps(sum, _mm256_setzero_ps()), _mm256_set1_ps(1.0f)),
                       _mm256_set1_ps(static_cast<float>(steps)));
}

// The reversed curve of `steps` steps in `pairs` (each step's value beside the next's) at
// eight places, interpolated, in 16-bit units.
__attribute__((target("avx2"), always_inline)) inline __m256i encoded(const float* pairs, int steps,
                                                                      __m256 at) {
  const __m256i step = _mm256_min_epi32(_mm256_cvttps_epi32(at), _mm256_set1_epi32(steps - 1));
  // Loads of one pair each beat gathers, which are slow on some processors.
  alignas(32) int index[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(index), _mm256_add_epi32(step, step));
  const auto pair = [pairs, &index](int pixel) { return pairs + index[pixel]; };
  const __m256 low = _mm256_set_m128(twoPairs(pair(4), pair(5)), twoPairs(pair(0), pair(1)));
  const __m256 high = _mm256_set_m128(twoPairs(pair(6), pair(7)), twoPairs(pair(2), pair(3)));
  const __m256 below = _mm256_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0));
  const __m256 above = _mm256_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1));
  const __m256 value = _mm256_add_ps(
      below,
      _mm256_mul_ps(_mm256_sub_ps(above, below), _mm256_sub_ps(at, _mm256_cvtepi32_ps(step))));
  return _mm256_cvttps_epi32(_mm256_add_ps(value, _mm256_set1_ps(0.5f)));
}

// One channel of eight RGBA pixels, `samples` pointing at the first one's, in linear light.
__attribute__((target("avx2"), always_inline)) inline __m256 linearOf(
    const float* table, const std::uint16_t* samples) {
  return _mm256_setr_ps(table[samples[0]], table[samples[4]], table[samples[8]], table[samples[12]],
                        table[samples[16]], table[samples[20]], table[samples[24]],
                        table[samples[28]]);
}

}  // namespace

__attribute__((target("avx2"))) void DeepMatrixShaper::convertAvx2(std::uint16_t* rgba,
                                                                   int width) const {
  const float* linear[] = {linear_.data() + linearAt_[0], linear_.data() + linearAt_[1],
                           linear_.data() + linearAt_[2]};
  const float* curve[] = {encoded_.data() + encodedAt_[0], encoded_.data() + encodedAt_[1],
                          encoded_.data() + encodedAt_[2]};
  // Four pixels are eight 32-bit words, red and green then blue and alpha; these orders
  // gather the red-green words before the blue-alpha ones, and back.
  const __m256i toPlanes = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  const __m256i toPixels = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  const __m256i lowHalf = _mm256_set1_epi32(0xFFFF);

  // In runs of pixels, two passes: the matrix, then the reversed curves. Shorter chains of
  // dependent loads let the processor overlap more pixels.
  constexpr int kRun = 256;
  alignas(32) float at[3][kRun];
  int x = 0;
  while (width - x >= 8) {
    const int count = std::min(kRun, (width - x) / 8 * 8);
    for (int i = 0; i < count; i += 8) {
      const std::uint16_t* pixels = rgba + 4 * i;
      const __m256 r = linearOf(linear[0], pixels), g = linearOf(linear[1], pixels + 1),
                   b = linearOf(linear[2], pixels + 2);
      for (std::size_t c = 0; c < 3; ++c)
        _mm256_store_ps(at[c] + i, placeOnCurve(matrix_[c].data(), kSteps, r, g, b));
    }
    for (int i = 0; i < count; i += 8) {
      auto* words = reinterpret_cast<__m256i*>(rgba + 4 * i);
      const __m256i first = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(words), toPlanes);
      const __m256i second = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(words + 1), toPlanes);
      const __m256i blueAlpha = _mm256_permute2x128_si256(first, second, 0x31);
      const __m256i red = encoded(curve[0], kSteps, _mm256_load_ps(at[0] + i));
      const __m256i green = encoded(curve[1], kSteps, _mm256_load_ps(at[1] + i));
      const __m256i blue = encoded(curve[2], kSteps, _mm256_load_ps(at[2] + i));

      // A transparent pixel becomes all zeros; the others keep their alpha.
      const __m256i transparent =
          _mm256_cmpeq_epi32(_mm256_srli_epi32(blueAlpha, 16), _mm256_setzero_si256());
      const __m256i newRedGreen =
          _mm256_andnot_si256(transparent, _mm256_or_si256(red, _mm256_slli_epi32(green, 16)));
      const __m256i newBlueAlpha = _mm256_andnot_si256(
          transparent, _mm256_or_si256(blue, _mm256_andnot_si256(lowHalf, blueAlpha)));
      _mm256_storeu_si256(
          words, _mm256_permutevar8x32_epi32(
                     _mm256_permute2x128_si256(newRedGreen, newBlueAlpha, 0x20), toPixels));
      _mm256_storeu_si256(
          words + 1, _mm256_permutevar8x32_epi32(
                         _mm256_permute2x128_si256(newRedGreen, newBlueAlpha, 0x31), toPixels));
    }
    x += count;
    rgba += 4 * count;
  }
  convertScalar(rgba, width - x);
}

}  // namespace quillane

#endif
