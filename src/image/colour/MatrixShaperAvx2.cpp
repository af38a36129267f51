// DeepMatrixShaper's loop eight pixels at a time, for processors with AVX2; the build targets
// plain x86-64, so only this function is compiled for AVX2, and it runs only where the
// processor has it. No fused multiply-add: each product and sum rounds as convertScalar's do,
// so both give the same samples.
#include "image/colour/MatrixShaper.h"

#if defined(__x86_64__)
#include <immintrin.h>

namespace quillane {

__attribute__((target("avx2"))) void DeepMatrixShaper::convertAvx2(std::uint16_t* rgba,
                                                                   int width) const {
  const float* linear[] = {linear_.data() + linearAt_[0], linear_.data() + linearAt_[1],
                           linear_.data() + linearAt_[2]};
  const float* encoded[] = {encoded_.data() + encodedAt_[0], encoded_.data() + encodedAt_[1],
                            encoded_.data() + encodedAt_[2]};
  __m256 m[3][3];
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) m[r][c] = _mm256_set1_ps(matrix_[r][c]);
  }
  // Four pixels are eight 32-bit words, red and green then blue and alpha; these orders
  // gather the red-green words before the blue-alpha ones, and back.
  const __m256i toPlanes = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  const __m256i toPixels = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  const __m256i lowHalf = _mm256_set1_epi32(0xFFFF);
  const __m256i lastStep = _mm256_set1_epi32(kSteps - 1);
  const __m256 zero = _mm256_setzero_ps(), one = _mm256_set1_ps(1.0f);
  const __m256 steps = _mm256_set1_ps(kSteps), half = _mm256_set1_ps(0.5f);

  int x = 0;
  for (; x + 8 <= width; x += 8, rgba += 32) {
    auto* words = reinterpret_cast<__m256i*>(rgba);
    const __m256i first = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(words), toPlanes);
    const __m256i second = _mm256_permutevar8x32_epi32(_mm256_loadu_si256(words + 1), toPlanes);
    const __m256i redGreen = _mm256_permute2x128_si256(first, second, 0x20);
    const __m256i blueAlpha = _mm256_permute2x128_si256(first, second, 0x31);

    const __m256 r = _mm256_i32gather_ps(linear[0], _mm256_and_si256(redGreen, lowHalf), 4);
    const __m256 g = _mm256_i32gather_ps(linear[1], _mm256_srli_epi32(redGreen, 16), 4);
    const __m256 b = _mm256_i32gather_ps(linear[2], _mm256_and_si256(blueAlpha, lowHalf), 4);
    __m256i out[3];
    for (int c = 0; c < 3; ++c) {
      const __m256 sum =
          _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(m[c][0], r), _mm256_mul_ps(m[c][1], g)),
                        _mm256_mul_ps(m[c][2], b));
      const __m256 at = _mm256_mul_ps(_mm256_min_ps(_mm256_max_ps(sum, zero), one), steps);
      const __m256i step = _mm256_min_epi32(_mm256_cvttps_epi32(at), lastStep);
      // Each pixel's pair of steps as one 64-bit load, four pixels a gather.
      const auto* pairs = reinterpret_cast<const long long*>(encoded[c]);
      const __m256i doubled = _mm256_add_epi32(step, step);
      const __m256 low =
          _mm256_castsi256_ps(_mm256_i32gather_epi64(pairs, _mm256_castsi256_si128(doubled), 4));
      const __m256 high = _mm256_castsi256_ps(
          _mm256_i32gather_epi64(pairs, _mm256_extracti128_si256(doubled, 1), 4));
      // Pixels 0 1 4 5 | 2 3 6 7, into order.
      const __m256 below = _mm256_castpd_ps(_mm256_permute4x64_pd(
          _mm256_castps_pd(_mm256_shuffle_ps(low, high, _MM_SHUFFLE(2, 0, 2, 0))), 0xD8));
      const __m256 above = _mm256_castpd_ps(_mm256_permute4x64_pd(
          _mm256_castps_pd(_mm256_shuffle_ps(low, high, _MM_SHUFFLE(3, 1, 3, 1))), 0xD8));
      const __m256 value = _mm256_add_ps(
          below,
          _mm256_mul_ps(_mm256_sub_ps(above, below), _mm256_sub_ps(at, _mm256_cvtepi32_ps(step))));
      out[c] = _mm256_cvttps_epi32(_mm256_add_ps(value, half));
    }

    // A transparent pixel becomes all zeros; the others keep their alpha.
    const __m256i transparent =
        _mm256_cmpeq_epi32(_mm256_srli_epi32(blueAlpha, 16), _mm256_setzero_si256());
    const __m256i newRedGreen =
        _mm256_andnot_si256(transparent, _mm256_or_si256(out[0], _mm256_slli_epi32(out[1], 16)));
    const __m256i newBlueAlpha = _mm256_andnot_si256(
        transparent, _mm256_or_si256(out[2], _mm256_andnot_si256(lowHalf, blueAlpha)));
    _mm256_storeu_si256(words,
                        _mm256_permutevar8x32_epi32(
                            _mm256_permute2x128_si256(newRedGreen, newBlueAlpha, 0x20), toPixels));
    _mm256_storeu_si256(words + 1,
                        _mm256_permutevar8x32_epi32(
                            _mm256_permute2x128_si256(newRedGreen, newBlueAlpha, 0x31), toPixels));
  }
  convertScalar(rgba, width - x);
}

}  // namespace quillane

#endif
