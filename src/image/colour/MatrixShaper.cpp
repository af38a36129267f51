#include "image/colour/MatrixShaper.h"

#include <lcms2.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace quillane {
namespace {

constexpr int kOne = 1 << 14;  // 1.0 in the fixed point of linear light
// Curves that rise above this, or matrices with entries beyond this, are left to Little CMS:
// no real profile comes near (gamut matrices stay within about 2.5). fitsInt32 checks the
// sums each pixel makes.
constexpr double kMaxLinear = 2.0;
constexpr double kMaxMatrixEntry = 64.0;

using Matrix = std::array<std::array<double, 3>, 3>;
using Curve = std::unique_ptr<cmsToneCurve, decltype(&cmsFreeToneCurve)>;

constexpr cmsTagSignature kTrcTags[] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};

std::int32_t fixed(double value) {
  return static_cast<std::int32_t>(std::floor(value * kOne + 0.5));
}

// Whether Little CMS converts through the profile's curves and matrix alone: it prefers any
// table-based tag it finds, and a Lab connection adds stages.
bool onlyCurvesAndMatrix(cmsHPROFILE profile) {
  if (!cmsIsMatrixShaper(profile) || cmsGetPCS(profile) != cmsSigXYZData) return false;
  for (const cmsTagSignature table :
       {cmsSigAToB0Tag, cmsSigAToB1Tag, cmsSigAToB2Tag, cmsSigBToA0Tag, cmsSigBToA1Tag,
        cmsSigBToA2Tag, cmsSigDToB0Tag, cmsSigDToB1Tag, cmsSigDToB2Tag, cmsSigBToD0Tag,
        cmsSigBToD1Tag, cmsSigBToD2Tag}) {
    if (cmsIsTag(profile, table)) return false;
  }
  return true;
}

// The profile's matrix from linear RGB to XYZ: its colorants are the columns.
std::optional<Matrix> colorants(cmsHPROFILE profile) {
  Matrix m{};
  const cmsTagSignature tags[] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                  cmsSigBlueColorantTag};
  for (int column = 0; column < 3; ++column) {
    const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(profile, tags[column]));
    if (xyz == nullptr) return std::nullopt;
    m[0][column] = xyz->X;
    m[1][column] = xyz->Y;
    m[2][column] = xyz->Z;
  }
  return m;
}

std::optional<Matrix> inverse(const Matrix& m) {
  const auto minor = [&m](int r0, int r1, int c0, int c1) {
    return m[r0][c0] * m[r1][c1] - m[r0][c1] * m[r1][c0];
  };
  const double det =
      m[0][0] * minor(1, 2, 1, 2) - m[0][1] * minor(1, 2, 0, 2) + m[0][2] * minor(1, 2, 0, 1);
  if (!std::isfinite(det) || std::abs(det) < 1e-12) return std::nullopt;
  Matrix inv{};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      // The cofactor of (c, r), transposed.
      const int r0 = c == 0 ? 1 : 0, r1 = c == 2 ? 1 : 2;
      const int c0 = r == 0 ? 1 : 0, c1 = r == 2 ? 1 : 2;
      const double sign = (r + c) % 2 == 0 ? 1.0 : -1.0;
      inv[r][c] = sign * minor(r0, r1, c0, c1) / det;
    }
  }
  return inv;
}

Matrix product(const Matrix& a, const Matrix& b) {
  Matrix p{};
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      for (int k = 0; k < 3; ++k) p[r][c] += a[r][k] * b[k][c];
    }
  }
  return p;
}

bool sameBlack(cmsHPROFILE from, cmsHPROFILE into) {
  cmsCIEXYZ fromBlack{}, intoBlack{};
  if (!cmsDetectBlackPoint(&fromBlack, from, INTENT_RELATIVE_COLORIMETRIC, 0) ||
      !cmsDetectDestinationBlackPoint(&intoBlack, into, INTENT_RELATIVE_COLORIMETRIC, 0))
    return false;
  return fromBlack.X == intoBlack.X && fromBlack.Y == intoBlack.Y && fromBlack.Z == intoBlack.Z;
}

// Whether every sum of three products the conversion makes fits 32 bits.
bool fitsInt32(const std::array<std::array<std::int32_t, 3>, 3>& matrix,
               const std::array<std::array<std::int32_t, 256>, 3>& linear) {
  std::int64_t largest = 0;
  for (const auto& table : linear) {
    for (const std::int32_t value : table)
      largest = std::max<std::int64_t>(largest, std::abs(value));
  }
  for (const auto& row : matrix) {
    const std::int64_t sum = std::int64_t{std::abs(row[0])} + std::abs(row[1]) + std::abs(row[2]);
    if (sum * largest + kOne > std::numeric_limits<std::int32_t>::max()) return false;
  }
  return true;
}

// The 8-bit value a 16-bit one rounds to, as Little CMS rounds it.
std::uint8_t eightBits(double unit) {
  const double word =
      std::clamp(std::floor(std::clamp(unit, 0.0, 1.0) * 65535.0 + 0.5), 0.0, 65535.0);
  return static_cast<std::uint8_t>((static_cast<std::uint32_t>(word) * 65281u + 8388608u) >> 24);
}

// The matrix from the source's linear RGB into the target's, when both profiles are RGB
// curves and a matrix alone and black-point compensation changes nothing.
std::optional<Matrix> rgbToRgbMatrix(const ColourProfile& from, const ColourProfile& into) {
  cmsHPROFILE source = from.handle(), target = into.handle();
  if (from.data() != ColourProfile::Data::Rgb || into.data() != ColourProfile::Data::Rgb ||
      !onlyCurvesAndMatrix(source) || !onlyCurvesAndMatrix(target) || !sameBlack(source, target))
    return std::nullopt;
  const auto sourceMatrix = colorants(source), targetMatrix = colorants(target);
  if (!sourceMatrix || !targetMatrix) return std::nullopt;
  const auto targetInverse = inverse(*targetMatrix);
  if (!targetInverse) return std::nullopt;
  return product(*targetInverse, *sourceMatrix);
}

const cmsToneCurve* curveOf(const ColourProfile& profile, std::size_t channel) {
  return static_cast<const cmsToneCurve*>(cmsReadTag(profile.handle(), kTrcTags[channel]));
}

}  // namespace

std::optional<MatrixShaper> MatrixShaper::between(const ColourProfile& from,
                                                  const ColourProfile& into) {
  const auto matrix = rgbToRgbMatrix(from, into);
  if (!matrix) return std::nullopt;
  const Matrix& rgbToRgb = *matrix;

  MatrixShaper shaper;
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      if (!(std::abs(rgbToRgb[r][c]) <= kMaxMatrixEntry)) return std::nullopt;
      shaper.matrix_[r][c] = fixed(rgbToRgb[r][c]);
    }
  }
  for (std::size_t channel = 0; channel < 3; ++channel) {
    const cmsToneCurve* sourceCurve = curveOf(from, channel);
    const cmsToneCurve* targetCurve = curveOf(into, channel);
    if (sourceCurve == nullptr || targetCurve == nullptr) return std::nullopt;
    for (int i = 0; i < 256; ++i) {
      const float linear =
          cmsEvalToneCurveFloat(sourceCurve, static_cast<cmsFloat32Number>(i / 255.0));
      if (!(std::abs(linear) <= kMaxLinear)) return std::nullopt;
      shaper.linear_[channel][i] = fixed(linear);
    }
    const Curve encode(cmsReverseToneCurve(targetCurve), &cmsFreeToneCurve);
    if (!encode) return std::nullopt;
    for (int i = 0; i <= kOne; ++i) {
      const float unit =
          cmsEvalToneCurveFloat(encode.get(), static_cast<cmsFloat32Number>(i / double(kOne)));
      shaper.encoded_[channel][i] = eightBits(unit);
    }
  }
  if (!fitsInt32(shaper.matrix_, shaper.linear_)) return std::nullopt;
  return shaper;
}

void MatrixShaper::convert(Bitmap& bitmap) const {
  // Each pixel is read and written as one 32-bit word, R in its lowest byte.
  static_assert(std::endian::native == std::endian::little);
  // Everything the loop reads, in locals: a byte store may alias any member.
  const std::int32_t *red = linear_[0].data(), *green = linear_[1].data(),
                     *blue = linear_[2].data();
  const std::uint8_t *encodedRed = encoded_[0].data(), *encodedGreen = encoded_[1].data(),
                     *encodedBlue = encoded_[2].data();
  const auto m = matrix_;
  const auto step = [](std::int32_t sum) { return std::clamp((sum + kOne / 2) >> 14, 0, kOne); };
  const std::size_t count = bitmap.pixels.size() / 4;
  std::uint8_t* pixels = bitmap.pixels.data();
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t pixel = 0;
    std::memcpy(&pixel, pixels + 4 * i, 4);
    const std::uint32_t alpha = pixel & 0xFF000000u;
    if (alpha != 0) {
      const std::int32_t r = red[pixel & 0xFF], g = green[(pixel >> 8) & 0xFF],
                         b = blue[(pixel >> 16) & 0xFF];
      pixel = alpha | encodedRed[step(m[0][0] * r + m[0][1] * g + m[0][2] * b)] |
              std::uint32_t{encodedGreen[step(m[1][0] * r + m[1][1] * g + m[1][2] * b)]} << 8 |
              std::uint32_t{encodedBlue[step(m[2][0] * r + m[2][1] * g + m[2][2] * b)]} << 16;
    } else {
      pixel = 0;  // a transparent pixel becomes all zeros
    }
    std::memcpy(pixels + 4 * i, &pixel, 4);
  }
}

namespace {

// Where `table` is in `tables`, a row of tables of its size: an equal one, or itself appended.
std::size_t placed(std::vector<float>& tables, const std::vector<float>& table) {
  for (std::size_t at = 0; at < tables.size(); at += table.size()) {
    if (std::equal(table.begin(), table.end(), tables.begin() + static_cast<std::ptrdiff_t>(at)))
      return at;
  }
  tables.insert(tables.end(), table.begin(), table.end());
  return tables.size() - table.size();
}

// The curve's value at each 16-bit value, in linear light; nothing when it leaves the bounds
// that keep every sum finite.
std::optional<std::vector<float>> linearTable(const cmsToneCurve* curve, int values) {
  std::vector<float> table(static_cast<std::size_t>(values));
  for (int i = 0; i < values; ++i) {
    const float value = cmsEvalToneCurveFloat(
        curve, static_cast<cmsFloat32Number>(i / static_cast<double>(values - 1)));
    if (!(std::abs(value) <= kMaxLinear)) return std::nullopt;
    table[static_cast<std::size_t>(i)] = value;
  }
  return table;
}

// The reversed curve's value in 16-bit units at each of `steps` + 1 steps of linear light,
// as pairs of each step's value and the next's: one load gives both ends of an interval.
std::optional<std::vector<float>> encodedTable(const cmsToneCurve* curve, int steps) {
  const Curve encode(cmsReverseToneCurve(curve), &cmsFreeToneCurve);
  if (!encode) return std::nullopt;
  std::vector<float> table(2 * static_cast<std::size_t>(steps));
  for (int i = 0; i <= steps; ++i) {
    const float unit = cmsEvalToneCurveFloat(
        encode.get(), static_cast<cmsFloat32Number>(i / static_cast<double>(steps)));
    if (!std::isfinite(unit)) return std::nullopt;
    const float value = std::clamp(unit, 0.0f, 1.0f) * 65535.0f;
    if (i < steps) table[2 * static_cast<std::size_t>(i)] = value;
    if (i > 0) table[2 * static_cast<std::size_t>(i) - 1] = value;
  }
  return table;
}

}  // namespace

std::optional<DeepMatrixShaper> DeepMatrixShaper::between(const ColourProfile& from,
                                                          const ColourProfile& into) {
  const auto matrix = rgbToRgbMatrix(from, into);
  if (!matrix) return std::nullopt;
  DeepMatrixShaper shaper;
  // Hostile curves and colorants can give anything: bounded values keep every sum finite.
  for (int r = 0; r < 3; ++r) {
    for (int c = 0; c < 3; ++c) {
      if (!(std::abs((*matrix)[r][c]) <= kMaxMatrixEntry)) return std::nullopt;
      shaper.matrix_[r][c] = static_cast<float>((*matrix)[r][c]);
    }
  }
  for (std::size_t channel = 0; channel < 3; ++channel) {
    const cmsToneCurve* sourceCurve = curveOf(from, channel);
    const cmsToneCurve* targetCurve = curveOf(into, channel);
    if (sourceCurve == nullptr || targetCurve == nullptr) return std::nullopt;
    // A curve read for an earlier channel too (a tag shared between channels) gives its table.
    if (channel > 0 && sourceCurve == curveOf(from, channel - 1)) {
      shaper.linearAt_[channel] = shaper.linearAt_[channel - 1];
    } else {
      const auto linear = linearTable(sourceCurve, kValues);
      if (!linear) return std::nullopt;
      shaper.linearAt_[channel] = placed(shaper.linear_, *linear);
    }
    if (channel > 0 && targetCurve == curveOf(into, channel - 1)) {
      shaper.encodedAt_[channel] = shaper.encodedAt_[channel - 1];
    } else {
      const auto encoded = encodedTable(targetCurve, kSteps);
      if (!encoded) return std::nullopt;
      shaper.encodedAt_[channel] = placed(shaper.encoded_, *encoded);
    }
  }
  return shaper;
}

void DeepMatrixShaper::convert(std::uint16_t* rgba, int width) const {
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    convertAvx2(rgba, width);
    return;
  }
#endif
  convertScalar(rgba, width);
}

void DeepMatrixShaper::convertScalar(std::uint16_t* rgba, int width) const {
  const float* linear[] = {linear_.data() + linearAt_[0], linear_.data() + linearAt_[1],
                           linear_.data() + linearAt_[2]};
  const float* encoded[] = {encoded_.data() + encodedAt_[0], encoded_.data() + encodedAt_[1],
                            encoded_.data() + encodedAt_[2]};
  const auto m = matrix_;
  for (int x = 0; x < width; ++x, rgba += 4) {
    if (rgba[3] == 0) {
      rgba[0] = rgba[1] = rgba[2] = 0;  // a transparent pixel becomes all zeros
      continue;
    }
    const float r = linear[0][rgba[0]], g = linear[1][rgba[1]], b = linear[2][rgba[2]];
    for (int c = 0; c < 3; ++c) {
      // Between two steps of the reversed curve, linearly: steps of 2^-14 are fine enough
      // for a whole 8-bit step even where a pure power curve is steepest, next to black.
      const float at = std::clamp(m[c][0] * r + m[c][1] * g + m[c][2] * b, 0.0f, 1.0f) * kSteps;
      const int step = std::min(static_cast<int>(at), kSteps - 1);
      const float* curve = encoded[c] + 2 * step;
      const float value = curve[0] + (curve[1] - curve[0]) * (at - static_cast<float>(step));
      rgba[c] = static_cast<std::uint16_t>(value + 0.5f);
    }
  }
}

}  // namespace quillane
