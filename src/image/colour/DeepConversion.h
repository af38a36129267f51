#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace quillane {

class DeepMatrixShaper;

// A conversion of 16-bit RGBA pixels into a document's colours, made while a source of 16
// bits a sample is decoded, before its samples are reduced to 8 bits. Relative colorimetric
// with black-point compensation, as the 8-bit conversion of whole layers makes it. Each
// decode builds its own Little CMS transform (they are not shared between threads); the
// tables between two matrix-shaper profiles are kept for the next decode with the same pair.
class DeepConversion {
 public:
  // The conversion of an image with the profile `source` (empty: untagged, which counts as
  // sRGB) into the document's profile `document` (empty: sRGB). Nothing when none is needed
  // (the same profile, or sRGB on both sides) or when the source's profile cannot be used as
  // it is (unreadable, CMYK, or grey on a colour image): the 8-bit path then does what it
  // does for any image. greyImage: every pixel has equal red, green and blue.
  static std::optional<DeepConversion> into(std::span<const std::uint8_t> document,
                                            std::span<const std::uint8_t> source, bool greyImage);

  // Converts a row of RGBA pixels of 16 bits a sample (host order) in place. Alpha is kept;
  // a fully transparent pixel becomes all zeros.
  void convert(std::uint16_t* rgba, int width) const;

 private:
  DeepConversion(std::shared_ptr<void> transform, std::shared_ptr<const DeepMatrixShaper> shaper)
      : transform_(std::move(transform)), shaper_(std::move(shaper)) {}

  // Little CMS's transform, or the faster one between two matrix-shaper profiles.
  std::shared_ptr<void> transform_;
  std::shared_ptr<const DeepMatrixShaper> shaper_;
};

}  // namespace quillane
