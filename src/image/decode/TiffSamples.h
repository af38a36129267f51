#pragma once

#include <tiffio.h>

#include <cstdint>
#include <optional>

#include "image/Bitmap.h"
#include "image/colour/DeepConversion.h"

namespace quillane {

inline constexpr int kNoAlpha = -1;

struct TiffSampleLayout {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t bits = 8;
  std::uint16_t samplesPerPixel = 1;
  std::uint16_t colourSamples = 1;  // 1 grey, 3 RGB
  bool minIsWhite = false;
  bool planes = false;  // one plane a sample
  int alphaSample = kNoAlpha;
  bool associatedAlpha = false;
  bool tiled = false;
  std::uint32_t tileWidth = 0;
  std::uint32_t tileHeight = 0;
  std::uint32_t rowsPerStrip = 0;

  std::uint16_t planeCount() const { return planes ? samplesPerPixel : 1; }
  std::uint16_t samplesInPlane() const { return planes ? 1 : samplesPerPixel; }
  std::uint32_t maxValue() const { return (1u << bits) - 1; }
};

// Grey and RGB images of 8 or 16 unsigned bits a sample, in strips or tiles of any size,
// samples interleaved or in planes, compressed any way libtiff decodes, are read sample by
// sample, so that alpha is taken for what the file says it is (associated alpha divided out
// at the source's depth, unassociated kept, an extra sample of no declared meaning ignored)
// and 16-bit extremes are known exactly. Their layout, or nothing for other images, which
// go through libtiff's RGBA reader.
std::optional<TiffSampleLayout> tiffSampleLayout(TIFF* tif);

// Bytes readTiffSamples decodes into at once for a bitmap of keepWidth x keepHeight.
std::uint64_t tiffSampleWorkingBytes(TIFF* tif, const TiffSampleLayout& layout, int keepWidth,
                                     int keepHeight);

// Fills the bitmap with the image's part of its size from (left, top) (and its extremes,
// when they are allocated), reading only the strips or tiles that meet it; false when
// libtiff cannot read one of them. conversion: converts 16-bit samples before they are
// reduced (nothing: kept as stored).
bool readTiffSamples(TIFF* tif, const TiffSampleLayout& layout, Bitmap& bitmap, std::uint32_t left,
                     std::uint32_t top, const DeepConversion* conversion = nullptr);

}  // namespace quillane
