#include <tiffio.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "image/Premultiply.h"
#include "image/decode/Decoders.h"
#include "image/decode/Resolution.h"
#include "image/decode/SizeCheck.h"
#include "image/decode/TiffMemory.h"
#include "image/decode/TiffSamples.h"

namespace quillane {
namespace {

struct RgbaImageEnd {
  void operator()(TIFFRGBAImage* image) const { TIFFRGBAImageEnd(image); }
};

// The file, the handle reading it and a buffer lent to libtiff: the handle goes first.
struct TiffReading {
  explicit TiffReading(std::span<const std::uint8_t> bytes) : file{bytes} {}
  TiffMemoryFile file;
  RasterBytes rawTile;
  TiffHandle tif{openTiffMemory(file)};
};

// libtiff's RGBA reader refuses the first tile of an uncompressed tiled image unless its raw
// buffer holds exactly one tile, and rounds the buffer it makes itself up to 1 KiB: every
// tile whose size is not a multiple of that (16 x 16 RGB, 768 bytes) would be refused. It
// is given a buffer of the right size.
tmsize_t exactTileBufferBytes(TIFF* tif) {
  std::uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  const tmsize_t tileBytes = TIFFIsTiled(tif) ? TIFFTileSize(tif) : 0;
  return compression == COMPRESSION_NONE ? std::max<tmsize_t>(tileBytes, 0) : 0;
}

void lendExactTileBuffer(TiffReading& reading) {
  TIFF* tif = reading.tif.get();
  const tmsize_t tileBytes = exactTileBufferBytes(tif);
  if (tileBytes == 0) return;
  reading.rawTile.resize(static_cast<std::size_t>(tileBytes));
  TIFFReadBufferSetup(tif, reading.rawTile.data(), tileBytes);
}

// libtiff hands out ABGR words (R, G, B, A bytes on a little-endian machine). Its RGB paths
// premultiply colour whenever there is alpha (unassociated alpha too); its grey paths hand
// the samples out as stored. The bitmap wants straight R, G, B, A bytes.
void toStraightRgba(Bitmap& bitmap, const TIFFRGBAImage& image) {
  if constexpr (std::endian::native != std::endian::little) {
    std::uint8_t* p = bitmap.pixels.data();
    for (std::size_t i = 0; i < bitmap.pixels.size(); i += 4) {
      std::uint32_t abgr = 0;
      std::memcpy(&abgr, p + i, 4);
      const std::uint8_t rgba[4] = {std::uint8_t(TIFFGetR(abgr)), std::uint8_t(TIFFGetG(abgr)),
                                    std::uint8_t(TIFFGetB(abgr)), std::uint8_t(TIFFGetA(abgr))};
      std::memcpy(p + i, rgba, 4);
    }
  }
  const bool grey =
      image.photometric == PHOTOMETRIC_MINISBLACK || image.photometric == PHOTOMETRIC_MINISWHITE;
  if (image.alpha != 0 && !grey) {
    unpremultiplyPixelsRounded(bitmap.pixels.data(),
                               std::size_t(bitmap.width) * std::size_t(bitmap.height));
  }
  bitmap.knownOpaque = image.alpha == 0;
}

// The bitmap's buffer is aligned for 32-bit words (the heap's or a mapped page).
std::uint32_t* asRaster(Bitmap& bitmap) {
  return reinterpret_cast<std::uint32_t*>(bitmap.pixels.data());
}

// libtiff's RGBA reader steps wrongly over the columns right of a raster narrower than the
// image in some layouts (grey with extra samples skips pixels, not samples). A part narrower
// than the image, or below its top, is read in bands of whole rows, a strip's or a tile
// row's height at a time where that fits 16 MiB, and each kept row's kept columns are copied
// out.
bool getKeptPart(TIFFRGBAImage& image, Bitmap& bitmap, std::uint32_t left, std::uint32_t top) {
  constexpr std::size_t kBandBytes = std::size_t{16} << 20;
  std::uint32_t bandRows = 0;
  if (TIFFIsTiled(image.tif)) {
    TIFFGetField(image.tif, TIFFTAG_TILELENGTH, &bandRows);
  } else {
    TIFFGetFieldDefaulted(image.tif, TIFFTAG_ROWSPERSTRIP, &bandRows);
  }
  const std::size_t rowPixels = image.width;
  // Bands start at multiples of 8 rows, so subsampled YCbCr rows are never split.
  const std::uint32_t first = top / 8 * 8;
  const std::uint32_t end = top + static_cast<std::uint32_t>(bitmap.height);
  const std::size_t fitting = std::max<std::size_t>(8, kBandBytes / (4 * rowPixels) / 8 * 8);
  bandRows = static_cast<std::uint32_t>(
      std::clamp<std::size_t>(bandRows, 1, std::min<std::size_t>(fitting, end - first)));
  std::vector<std::uint32_t> band(rowPixels * bandRows);
  const std::size_t keptBytes = 4 * static_cast<std::size_t>(bitmap.width);
  for (std::uint32_t bandTop = first; bandTop < end; bandTop += bandRows) {
    const std::uint32_t rows = std::min<std::uint32_t>(bandRows, end - bandTop);
    image.row_offset = static_cast<int>(bandTop);
    if (!TIFFRGBAImageGet(&image, band.data(), image.width, rows)) return false;
    for (std::uint32_t y = std::max(bandTop, top); y < bandTop + rows; ++y) {
      std::memcpy(bitmap.row(static_cast<int>(y - top)),
                  band.data() + (y - bandTop) * rowPixels + left, keptBytes);
    }
  }
  return true;
}

// Bytes libtiff's RGBA reader decodes into at once, besides the raster: a strip or a tile,
// in every plane, and the raw tile lent to it.
std::uint64_t rgbaWorkingBytes(TIFF* tif) {
  std::uint16_t planar = PLANARCONFIG_CONTIG, samples = 1;
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  const tmsize_t block = TIFFIsTiled(tif) ? TIFFTileSize(tif) : TIFFStripSize(tif);
  const std::uint64_t planes = planar == PLANARCONFIG_SEPARATE ? samples : 1;
  return planes * static_cast<std::uint64_t>(std::max<tmsize_t>(block, 0)) +
         static_cast<std::uint64_t>(exactTileBufferBytes(tif));
}

// Images the sample reader does not take (palettes, CMYK, YCbCr, fewer than 8 bits a
// sample...), through libtiff's RGBA reader: the rows as stored, first row at the top, and
// only the strips or tiles that meet the rows of the kept part from (left, top).
bool readRgba(TiffReading& reading, Bitmap& bitmap, std::uint32_t left, std::uint32_t top) {
  TIFF* tif = reading.tif.get();
  char message[1024] = {};
  TIFFRGBAImage image{};
  if (!TIFFRGBAImageBegin(&image, tif, 1, message)) return false;
  std::unique_ptr<TIFFRGBAImage, RgbaImageEnd> ending(&image);
  image.req_orientation = image.orientation;  // no flip: the stored order
  lendExactTileBuffer(reading);
  const bool read = std::uint32_t(bitmap.width) < image.width || top > 0
                        ? getKeptPart(image, bitmap, left, top)
                        : TIFFRGBAImageGet(&image, asRaster(bitmap), image.width,
                                           static_cast<std::uint32_t>(bitmap.height));
  if (!read) return false;
  toStraightRgba(bitmap, image);
  return true;
}

// libtiff inflates a whole strip with libdeflate and part of one with zlib, and the two read
// a damaged stream differently: zlib alone makes a strip's rows the same however many of
// them the kept part needs.
void inflateWithZlib(TIFF* tif) {
  std::uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  if (compression == COMPRESSION_ADOBE_DEFLATE || compression == COMPRESSION_DEFLATE)
    TIFFSetField(tif, TIFFTAG_DEFLATE_SUBCODEC, DEFLATE_SUBCODEC_ZLIB);
}

// Whether libtiff's RGBA reader converts the image. TIFFRGBAImageOK refuses most variants it
// cannot; RGB of other than 8 or 16 bits a sample passes it and fails later, like corrupt data.
bool rgbaReaderTakes(TIFF* tif) {
  std::uint16_t photometric = 0, bits = 1;
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  if (TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) && photometric == PHOTOMETRIC_RGB &&
      bits != 8 && bits != 16)
    return false;
  char message[1024] = {};
  return TIFFRGBAImageOK(tif, message) != 0;
}

std::vector<std::uint8_t> profileOf(TIFF* tif) {
  std::uint32_t length = 0;
  const std::uint8_t* profile = nullptr;
  if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &length, &profile) && profile != nullptr)
    return {profile, profile + length};
  return {};
}

// The conversion of a 16-bit image's samples into the document's colours, when the request
// asks for it and the image's own differ.
std::optional<DeepConversion> deepConversion(const TiffSampleLayout& layout,
                                             std::span<const std::uint8_t> profile,
                                             const DecodeRequest& request) {
  if (layout.bits != 16 || !request.documentProfile) return std::nullopt;
  return DeepConversion::into(*request.documentProfile, profile, layout.colourSamples == 1);
}

Decoded<DecodedImage> readImage(TiffReading& reading, const DecodeRequest& request) {
  TIFF* tif = reading.tif.get();
  inflateWithZlib(tif);
  std::uint32_t width = 0, height = 0;
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
    return DecodeError{DecodeFailure::Unreadable, width, height};
  if (const auto refused = checkImageSize(width, height, request)) return *refused;
  const auto layout = tiffSampleLayout(tif);
  if (!layout && !rgbaReaderTakes(tif))
    return DecodeError{DecodeFailure::Unsupported, width, height};

  const auto keptWidth = static_cast<int>(request.keptWidth(width));
  const auto keptHeight = static_cast<int>(request.keptHeight(height));
  const auto left = static_cast<std::uint32_t>(std::min<long long>(request.keepLeft, width));
  const auto top = static_cast<std::uint32_t>(std::min<long long>(request.keepTop, height));
  const std::uint64_t working =
      layout ? tiffSampleWorkingBytes(tif, *layout, keptWidth, keptHeight) : rgbaWorkingBytes(tif);
  if (const auto refused = checkWorkingBytes(working, keptWidth, keptHeight)) return *refused;
  // Every pixel of the kept part is written, or the image is refused.
  auto bitmap = createBitmap(keptWidth, keptHeight, BitmapFill::Nothing);
  if (!bitmap) return bitmap.error();
  DecodedImage decoded{std::move(*bitmap), {}, profileOf(tif)};
  if (decoded.bitmap.pixels.empty()) return decoded;  // an origin past the image keeps none
  bool read = false;
  if (layout) {
    Bitmap& pixels = decoded.bitmap;
    if (layout->bits > 8) pixels.extremes.resize(pixels.pixels.size() / 4);
    const auto conversion = deepConversion(*layout, decoded.iccProfile, request);
    read = readTiffSamples(tif, *layout, pixels, left, top, conversion ? &*conversion : nullptr);
    pixels.knownOpaque = layout->alphaSample == kNoAlpha;
    decoded.inDocumentColours = conversion.has_value();
  } else {
    read = readRgba(reading, decoded.bitmap, left, top);
  }
  if (!read || reading.file.failed) return DecodeError{DecodeFailure::Unreadable, width, height};
  return decoded;
}

void readResolution(TIFF* tif, DecodedImage& decoded) {
  float x = 0.0f, y = 0.0f;
  std::uint16_t unit = RESUNIT_INCH;
  if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) || !TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y))
    return;
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (unit == RESUNIT_INCH) {
    decoded.resolution = Resolution::declared(x, y);
  } else if (unit == RESUNIT_CENTIMETER) {
    decoded.resolution = Resolution::fromDotsPerCentimetre(x, y);
  }
}

bool selectPage(TiffReading& reading, int page) {
  return page > 0 && page < kMaxFramesPerFile &&
         TIFFSetDirectory(reading.tif.get(), static_cast<tdir_t>(page)) != 0;
}

}  // namespace

int countTiffPages(std::span<const std::uint8_t> bytes) {
  TiffReading reading(bytes);
  if (!reading.tif) return 1;
  const tdir_t pages = TIFFNumberOfDirectories(reading.tif.get());
  return std::clamp<int>(static_cast<int>(pages), 1, kMaxFramesPerFile);
}

Decoded<DecodedImage> decodeTiff(std::span<const std::uint8_t> bytes,
                                 const DecodeRequest& request) {
  TiffReading reading(bytes);
  const bool onPage = reading.tif && (request.frame == 0 || selectPage(reading, request.frame));
  auto decoded =
      onPage ? readImage(reading, request) : Decoded<DecodedImage>(DecodeFailure::Unreadable);
  if (!decoded) {
    DecodeError error = decoded.error();
    if (error.kind == DecodeFailure::Unreadable && reading.file.ranOut)
      error.kind = DecodeFailure::CutShort;
    return error;
  }
  readResolution(reading.tif.get(), *decoded);
  return decoded;
}

}  // namespace quillane
