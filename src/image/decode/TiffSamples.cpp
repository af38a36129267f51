#include "image/decode/TiffSamples.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "image/decode/DeepSamples.h"

namespace quillane {

std::optional<TiffSampleLayout> tiffSampleLayout(TIFF* tif) {
  using SampleLayout = TiffSampleLayout;
  SampleLayout l;
  std::uint16_t photometric = 0, format = 0, planar = 0, compression = 0;
  if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)) return std::nullopt;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samplesPerPixel);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  const bool grey = photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE;
  if (!grey && photometric != PHOTOMETRIC_RGB) return std::nullopt;
  if ((l.bits != 8 && l.bits != 16) || format != SAMPLEFORMAT_UINT) return std::nullopt;
  // Old-style JPEG needs libtiff's own colour handling; a codec not built in, its refusal.
  if (compression == COMPRESSION_OJPEG || !TIFFIsCODECConfigured(compression)) return std::nullopt;
  l.colourSamples = grey ? 1 : 3;
  if (l.samplesPerPixel < l.colourSamples) return std::nullopt;
  l.minIsWhite = photometric == PHOTOMETRIC_MINISWHITE;
  l.planes = planar == PLANARCONFIG_SEPARATE && l.samplesPerPixel > 1;

  std::uint16_t extraCount = 0;
  std::uint16_t* extraKinds = nullptr;
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraKinds);
  for (int i = 0; i < extraCount && l.colourSamples + i < l.samplesPerPixel; ++i) {
    if (extraKinds[i] == EXTRASAMPLE_ASSOCALPHA || extraKinds[i] == EXTRASAMPLE_UNASSALPHA) {
      l.alphaSample = l.colourSamples + i;
      l.associatedAlpha = extraKinds[i] == EXTRASAMPLE_ASSOCALPHA;
      break;
    }
  }
  l.tiled = TIFFIsTiled(tif) != 0;
  if (l.tiled) {
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &l.tileWidth);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &l.tileHeight);
    if (l.tileWidth == 0 || l.tileHeight == 0) return std::nullopt;
  } else {
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &l.rowsPerStrip);
    l.rowsPerStrip = std::clamp<std::uint32_t>(l.rowsPerStrip, 1, std::max(l.height, 1u));
  }
  return l;
}

namespace {

using SampleLayout = TiffSampleLayout;

// One block of decoded samples (a tile, or a band of rows of a strip image) in each plane,
// placed in the image.
struct Block {
  std::uint32_t left = 0;
  std::uint32_t top = 0;
  std::uint32_t width = 0;  // pixels a row of each plane
  std::vector<RasterBytes> planes;
};

std::size_t sampleBytes(const SampleLayout& l) { return l.bits / 8; }

// Rows of a strip image held at once in each plane: one; from planes, a strip's kept rows
// (their kept columns), so that no strip is decoded twice.
std::uint32_t bandRows(const SampleLayout& l, std::uint32_t keepHeight) {
  return l.planes ? std::min(l.rowsPerStrip, keepHeight) : 1;
}

// Bytes a row of a plane holds in a strip image's band.
std::size_t bandRowBytes(const SampleLayout& l, std::size_t rowBytes, std::uint32_t keepWidth) {
  return l.planes ? keepWidth * sampleBytes(l) : rowBytes;
}

// The part of the image the bitmap holds.
struct Part {
  std::uint32_t left;
  std::uint32_t top;
  std::uint32_t right;
  std::uint32_t bottom;
};

// Turns the samples of blocks into the bitmap's straight RGBA8 pixels and extremes; with a
// conversion, each row of a block's 16-bit samples is converted into the document's colours
// after its extremes are taken and before it is reduced to 8 bits.
class PixelMaker {
 public:
  PixelMaker(const SampleLayout& layout, Bitmap& bitmap, const Part& part,
             const DeepConversion* conversion)
      : l_(layout), bitmap_(bitmap), part_(part), conversion_(conversion) {
    if (conversion != nullptr) deep_.resize(bitmap.rowBytes());
  }

  void put(const Block& block, std::uint32_t rows) {
    const std::uint32_t left = std::max(block.left, part_.left);
    const std::uint32_t right = std::min(block.left + block.width, part_.right);
    const std::uint32_t bottom = std::min(block.top + rows, part_.bottom);
    for (std::uint32_t y = std::max(block.top, part_.top); y < bottom; ++y) {
      const std::size_t rowStart = static_cast<std::size_t>(y - block.top) * block.width;
      const int row = static_cast<int>(y - part_.top);
      for (std::uint32_t x = left; x < right; ++x)
        putPixel(block, rowStart + (x - block.left), x - part_.left, row);
      if (conversion_ != nullptr && right > left) convertRow(left - part_.left, right - left, row);
    }
  }

 private:
  std::uint32_t sample(const Block& block, std::size_t pixel, int s) const {
    const RasterBytes& plane = block.planes[l_.planes ? s : 0];
    const std::size_t index = pixel * l_.samplesInPlane() + (l_.planes ? 0 : s);
    if (l_.bits == 8) return plane[index];
    std::uint16_t value;
    std::memcpy(&value, plane.data() + 2 * index, 2);  // in host order, as libtiff gives it
    return value;
  }

  std::uint8_t to8Bits(std::uint32_t value) const {
    return l_.bits == 8 ? static_cast<std::uint8_t>(value) : eightBitsOf(value);
  }

  void putPixel(const Block& block, std::size_t pixel, std::uint32_t x, int y) {
    const std::uint32_t max = l_.maxValue();
    std::uint32_t colour[3];
    for (int c = 0; c < 3; ++c) {
      const std::uint32_t value = sample(block, pixel, l_.colourSamples == 3 ? c : 0);
      colour[c] = l_.minIsWhite ? max - value : value;
    }
    const std::uint32_t alpha =
        l_.alphaSample == kNoAlpha ? max : sample(block, pixel, l_.alphaSample);
    if (l_.associatedAlpha) {  // divided out at the source's depth (65535² fits 32 bits)
      for (std::uint32_t& c : colour) {
        c = alpha == 0 ? 0 : std::min(max, (c * max + alpha / 2) / alpha);
      }
    }
    if (!bitmap_.extremes.empty()) {
      bitmap_.extremes[static_cast<std::size_t>(y) * bitmap_.width + x] =
          extremesOf(colour[0], colour[1], colour[2], max);
    }
    if (conversion_ != nullptr) {  // reduced once its row is converted
      std::uint16_t* deep = deep_.data() + 4 * static_cast<std::size_t>(x);
      for (int c = 0; c < 3; ++c) deep[c] = static_cast<std::uint16_t>(colour[c]);
      deep[3] = static_cast<std::uint16_t>(alpha);
      return;
    }
    std::uint8_t* out = bitmap_.row(y) + 4 * static_cast<std::size_t>(x);
    for (int c = 0; c < 3; ++c) out[c] = to8Bits(colour[c]);
    out[3] = to8Bits(alpha);
  }

  // Converts the row's pixels from column x, count of them, and reduces them to 8 bits.
  void convertRow(std::uint32_t x, std::uint32_t count, int y) {
    std::uint16_t* deep = deep_.data() + 4 * static_cast<std::size_t>(x);
    conversion_->convert(deep, static_cast<int>(count));
    std::uint8_t* out = bitmap_.row(y) + 4 * static_cast<std::size_t>(x);
    for (std::size_t i = 0; i < 4 * std::size_t{count}; ++i) out[i] = eightBitsOf(deep[i]);
  }

  const SampleLayout& l_;
  Bitmap& bitmap_;
  Part part_;
  const DeepConversion* conversion_;
  std::vector<std::uint16_t> deep_;  // a row of 16-bit samples, for a conversion
};

// The planes' buffers, each allocated once and left unfilled: every byte is decoded into.
std::vector<RasterBytes> planeBuffers(const SampleLayout& l, std::size_t bytes) {
  std::vector<RasterBytes> planes(l.planeCount());
  for (RasterBytes& plane : planes) plane.resize(bytes);
  return planes;
}

bool readTiles(TIFF* tif, const SampleLayout& l, PixelMaker& maker, const Part& part) {
  const tmsize_t tileBytes = TIFFTileSize(tif);
  if (tileBytes <= 0) return false;
  Block block;
  block.width = l.tileWidth;
  block.planes = planeBuffers(l, static_cast<std::size_t>(tileBytes));
  const std::uint32_t firstLeft = part.left / l.tileWidth * l.tileWidth;
  for (std::uint32_t top = part.top / l.tileHeight * l.tileHeight; top < part.bottom;
       top += l.tileHeight) {
    for (std::uint32_t left = firstLeft; left < part.right; left += l.tileWidth) {
      for (std::uint16_t p = 0; p < l.planeCount(); ++p) {
        const std::uint32_t tile = TIFFComputeTile(tif, left, top, 0, p);
        if (TIFFReadEncodedTile(tif, tile, block.planes[p].data(), tileBytes) < 0) return false;
      }
      block.left = left;
      block.top = top;
      maker.put(block, l.tileHeight);
    }
  }
  return true;
}

// Rows are read one at a time, from planes into a scratch row whose kept columns are kept. A
// band of planes ends with its strip. libtiff decodes most codecs' rows only in order from
// the start of their strip: the rows above the first kept one in its strip are read and
// dropped (into the scratch row, or the band's own row).
bool readStrips(TIFF* tif, const SampleLayout& l, PixelMaker& maker, const Part& part) {
  const tmsize_t rowBytes = TIFFScanlineSize(tif);
  if (rowBytes <= 0) return false;
  const std::uint32_t keepWidth = part.right - part.left;
  const std::uint32_t band = bandRows(l, part.bottom - part.top);
  const std::size_t keptRowBytes = bandRowBytes(l, static_cast<std::size_t>(rowBytes), keepWidth);
  const std::size_t skippedBytes = l.planes ? part.left * sampleBytes(l) : 0;
  Block block;
  block.left = l.planes ? part.left : 0;
  block.width = l.planes ? keepWidth : l.width;
  block.planes = planeBuffers(l, keptRowBytes * band);
  RasterBytes scratch;
  if (l.planes) scratch.resize(static_cast<std::size_t>(rowBytes));
  const std::uint32_t stripStart = part.top - part.top % l.rowsPerStrip;
  for (std::uint32_t top = part.top, rows = 0; top < part.bottom; top += rows) {
    rows = std::min({band, part.bottom - top, l.rowsPerStrip - top % l.rowsPerStrip});
    for (std::uint16_t p = 0; p < l.planeCount(); ++p) {
      for (std::uint32_t y = top == part.top ? stripStart : top; y < top; ++y) {
        if (TIFFReadScanline(tif, l.planes ? scratch.data() : block.planes[p].data(), y, p) < 0)
          return false;
      }
      for (std::uint32_t r = 0; r < rows; ++r) {
        std::uint8_t* row = block.planes[p].data() + keptRowBytes * r;
        if (TIFFReadScanline(tif, l.planes ? scratch.data() : row, top + r, p) < 0) return false;
        if (l.planes) std::memcpy(row, scratch.data() + skippedBytes, keptRowBytes);
      }
    }
    block.top = top;
    maker.put(block, rows);
  }
  return true;
}

}  // namespace

std::uint64_t tiffSampleWorkingBytes(TIFF* tif, const TiffSampleLayout& layout, int keepWidth,
                                     int keepHeight) {
  const auto planes = static_cast<std::uint64_t>(layout.planeCount());
  if (layout.tiled)
    return planes * static_cast<std::uint64_t>(std::max<tmsize_t>(TIFFTileSize(tif), 0));
  const auto rowBytes = static_cast<std::size_t>(std::max<tmsize_t>(TIFFScanlineSize(tif), 0));
  const std::uint64_t band =
      bandRows(layout, static_cast<std::uint32_t>(keepHeight)) *
      std::uint64_t{bandRowBytes(layout, rowBytes, static_cast<std::uint32_t>(keepWidth))};
  return planes * band + (layout.planes ? rowBytes : 0);
}

bool readTiffSamples(TIFF* tif, const TiffSampleLayout& layout, Bitmap& bitmap, std::uint32_t left,
                     std::uint32_t top, const DeepConversion* conversion) {
  const Part part{left, top, left + static_cast<std::uint32_t>(bitmap.width),
                  top + static_cast<std::uint32_t>(bitmap.height)};
  PixelMaker maker(layout, bitmap, part, conversion);
  return layout.tiled ? readTiles(tif, layout, maker, part) : readStrips(tif, layout, maker, part);
}

}  // namespace quillane
