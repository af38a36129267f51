// PackBits that scans sixteen (or eight) bytes at a time for the packets that
// appendPackedBits (ByteBuffer.h) describes.
#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "psd/ByteBuffer.h"

namespace quillane {
namespace {

constexpr std::size_t kMaxLiteral = 128;
constexpr std::size_t kMaxRun = 127;
// A triple found this far into the pending literal (or nearer) still closes it.
constexpr std::size_t kLiteralReach = kMaxLiteral - 1;
constexpr std::size_t kWord = 8;
constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;

#if defined(__SSE2__)
constexpr std::size_t kVector = 16;

__m128i loadVector(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
#endif

std::uint64_t load(const std::uint8_t* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// A word with the high bit set in exactly the bytes of word that are zero.
std::uint64_t zeroBytes(std::uint64_t word) { return ~(((word & kLow7) + kLow7) | word | kLow7); }

// Index in memory order of the first non-zero byte of word (word != 0).
std::size_t firstNonZero(std::uint64_t word) {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<std::size_t>(std::countr_zero(word)) / 8;
  } else {
    return static_cast<std::size_t>(std::countl_zero(word)) / 8;
  }
}

// The first t in from..last where b[t] == b[t + 1] == b[t + 2] (t + 2 < n), or n.
std::size_t findTriple(const std::uint8_t* b, std::size_t n, std::size_t from, std::size_t last) {
  std::size_t t = from;
#if defined(__SSE2__)
  while (t <= last && t + 2 + kVector <= n) {
    const __m128i x = loadVector(b + t);
    const __m128i y = loadVector(b + t + 1);
    const __m128i z = loadVector(b + t + 2);
    const int equal = _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, y), _mm_cmpeq_epi8(y, z)));
    if (equal != 0) {
      const std::size_t found = t + static_cast<std::size_t>(std::countr_zero(unsigned(equal)));
      return found <= last ? found : n;
    }
    t += kVector;
  }
#endif
  while (t <= last && t + 2 + kWord <= n) {
    const std::uint64_t x = load(b + t);
    const std::uint64_t y = load(b + t + 1);
    const std::uint64_t z = load(b + t + 2);
    const std::uint64_t equal = zeroBytes((x ^ y) | (y ^ z));
    if (equal != 0) {
      const std::size_t found = t + firstNonZero(equal);
      return found <= last ? found : n;
    }
    t += kWord;
  }
  for (; t <= last && t + 2 < n; ++t) {
    if (b[t] == b[t + 1] && b[t + 1] == b[t + 2]) return t;
  }
  return n;
}

// How many samples from t on equal b[t], at most limit - t.
std::size_t runLength(const std::uint8_t* b, std::size_t t, std::size_t limit) {
  const std::uint64_t pattern = b[t] * kOnes;
  std::size_t p = t + 1;
#if defined(__SSE2__)
  const __m128i repeated = _mm_set1_epi8(static_cast<char>(b[t]));
  while (p + kVector <= limit) {
    const int same = _mm_movemask_epi8(_mm_cmpeq_epi8(loadVector(b + p), repeated));
    if (same != 0xFFFF) return p + static_cast<std::size_t>(std::countr_one(unsigned(same))) - t;
    p += kVector;
  }
#endif
  while (p + kWord <= limit) {
    const std::uint64_t differs = load(b + p) ^ pattern;
    if (differs != 0) return p + firstNonZero(differs) - t;
    p += kWord;
  }
  while (p < limit && b[p] == b[t]) ++p;
  return p - t;
}

std::uint8_t* literal(std::uint8_t* out, const std::uint8_t* bytes, std::size_t count) {
  *out++ = static_cast<std::uint8_t>(count - 1);
  std::memcpy(out, bytes, count);
  return out + count;
}

// Packs n contiguous samples into out (room for the worst case); answers the bytes written.
std::size_t packContiguous(const std::uint8_t* b, std::size_t n, std::uint8_t* out) {
  std::uint8_t* const start = out;
  std::size_t s = 0;
  while (s < n) {
    const std::size_t t = findTriple(b, n, s, s + kLiteralReach);
    if (t == n) {
      const std::size_t count = std::min(kMaxLiteral, n - s);
      out = literal(out, b + s, count);
      s += count;
      continue;
    }
    if (t > s) out = literal(out, b + s, t - s);
    const std::size_t length = runLength(b, t, std::min(n, t + kMaxRun));
    *out++ = static_cast<std::uint8_t>(257 - length);
    *out++ = b[t];
    s = t + length;
  }
  return static_cast<std::size_t>(out - start);
}

}  // namespace

std::size_t appendPackedBits(ByteBuffer& out, std::span<const std::uint8_t> samples) {
  const std::size_t n = samples.size();
  if (n == 0) return 0;
  // Packed in place into room for the worst case (every sample in a literal, one header byte
  // per 128), then cut to what was written.
  const std::size_t before = out.size();
  out.resize(before + n + (n + kMaxLiteral - 1) / kMaxLiteral);
  const std::size_t written = packContiguous(samples.data(), n, out.data() + before);
  out.resize(before + written);
  return written;
}

}  // namespace quillane
