#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "image/Bitmap.h"
#include "image/colour/ColourProfile.h"

namespace quillane {

// The conversion between two RGB profiles that are each three curves and a matrix (sRGB,
// Adobe RGB, Display P3, ProPhoto), relative colorimetric with black-point compensation, for
// 8-bit pixels. Its tables are the ones Little CMS builds for its own 8-bit transform (linear
// light in 1.14 fixed point, 16385 output steps), so it gives the same bytes, several times
// faster: no per-pixel packing through 16-bit words.
class MatrixShaper {
 public:
  // Nothing when either profile has tables beyond its curves and matrix, when black-point
  // compensation moves black (the two black points differ), or when the numbers would not fit
  // its fixed point: Little CMS converts those.
  static std::optional<MatrixShaper> between(const ColourProfile& from, const ColourProfile& into);

  // Converts the bitmap's RGBA pixels in place; alpha is kept, and a fully transparent pixel
  // becomes all zeros.
  void convert(Bitmap& bitmap) const;

 private:
  MatrixShaper() = default;

  // Each 8-bit value of each channel in linear light, 1.0 = 1 << 14.
  std::array<std::array<std::int32_t, 256>, 3> linear_{};
  // Linear red, green and blue into the document's, 1.0 = 1 << 14; rows are output channels.
  // No offset: black-point compensation between equal black points changes nothing.
  std::array<std::array<std::int32_t, 3>, 3> matrix_{};
  // Each linear step 0 ... 1 << 14 in the document's encoding.
  std::array<std::array<std::uint8_t, (1 << 14) + 1>, 3> encoded_{};
};

// The same conversion for pixels of 16 bits a sample, in floating point: each profile's
// curves sampled at every 16-bit value, and the document's reversed curves at 2^14 + 1 steps
// of linear light, interpolated. Little CMS's own 16-bit transforms of such pairs go through
// an interpolated table, several times slower. Channels with the same curve share one table,
// so that the usual profiles' tables stay in a core's cache.
class DeepMatrixShaper {
 public:
  // Nothing in the cases MatrixShaper::between refuses.
  static std::optional<DeepMatrixShaper> between(const ColourProfile& from,
                                                 const ColourProfile& into);

  // Converts a row of RGBA pixels of 16 bits a sample (host order) in place; alpha is kept,
  // and a fully transparent pixel becomes all zeros. Eight pixels at a time where the
  // processor has AVX2, with the same results as convertScalar.
  void convert(std::uint16_t* rgba, int width) const;
  // The same, a pixel at a time.
  void convertScalar(std::uint16_t* rgba, int width) const;

 private:
  static constexpr int kValues = 1 << 16;
  static constexpr int kSteps = 1 << 14;

  DeepMatrixShaper() = default;
  void convertAvx2(std::uint16_t* rgba, int width) const;

  std::vector<float> linear_;  // tables of 16-bit values in linear light, kValues entries each
  std::array<std::size_t, 3> linearAt_{};  // where each channel's table starts in linear_
  std::array<std::array<float, 3>, 3> matrix_{};
  // Tables of steps of linear light in 16-bit units, each step's value beside the next's.
  std::vector<float> encoded_;
  std::array<std::size_t, 3> encodedAt_{};  // where each channel's table starts in encoded_
};

}  // namespace quillane
