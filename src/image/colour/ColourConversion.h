#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "image/Bitmap.h"
#include "image/colour/ColourProfile.h"
#include "image/colour/MatrixShaper.h"

namespace quillane {

// A conversion of pixels from one profile's colours into an RGB profile's, as image editors
// make it: relative colorimetric with black-point compensation. Alpha is kept, and a fully
// transparent pixel stays all zeros.
class ColourConversion {
 public:
  // Nothing when Little CMS cannot build it (a profile whose tables do not read).
  // invertedCmyk: CMYK as a JPEG with an Adobe marker stores it, 255 for no ink.
  static std::optional<ColourConversion> between(const ColourProfile& from,
                                                 const ColourProfile& into,
                                                 bool invertedCmyk = false);

  // Converts the bitmap's RGBA pixels in place; from an RGB or grey profile (grey pixels have
  // equal red, green and blue).
  void convert(Bitmap& bitmap) const;
  // Converts one row of CMYK pixels into opaque RGBA; from a CMYK profile.
  void convertCmykRow(const std::uint8_t* cmyk, std::uint8_t* rgba, int width) const;

 private:
  ColourConversion(std::shared_ptr<void> transform, std::vector<std::uint8_t> greys)
      : transform_(std::move(transform)), greys_(std::move(greys)) {}

  std::shared_ptr<void> transform_;
  // For a grey profile: the RGB of each of the 256 grey levels, else empty.
  std::vector<std::uint8_t> greys_;
  // Between two matrix-shaper RGB profiles: this instead of the transform.
  std::shared_ptr<const MatrixShaper> matrixShaper_;
};

}  // namespace quillane
