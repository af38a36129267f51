#include "image/decode/Orientation.h"

#include <libexif/exif-data.h>
#include <tiffio.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "image/decode/Decoders.h"
#include "image/decode/SizeCheck.h"
#include "image/decode/TiffMemory.h"

namespace quillane {
namespace {

constexpr int kLastOrientation = 8;

int validOrDefault(unsigned value) {
  return value >= 1 && value <= kLastOrientation ? static_cast<int>(value) : kUprightOrientation;
}

using ExifDataHandle = std::unique_ptr<ExifData, decltype(&exif_data_unref)>;

int jpegOrientation(std::span<const std::uint8_t> bytes) {
  // libexif finds the EXIF segment among the JPEG's markers.
  ExifDataHandle exif(exif_data_new_from_data(bytes.data(), static_cast<unsigned>(bytes.size())),
                      &exif_data_unref);
  if (!exif) return kUprightOrientation;
  ExifEntry* entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
  if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || entry->size < 2)
    return kUprightOrientation;
  return validOrDefault(exif_get_short(entry->data, exif_data_get_byte_order(exif.get())));
}

int tiffOrientation(std::span<const std::uint8_t> bytes) {
  TiffMemoryFile file{bytes};
  const TiffHandle tif = openTiffMemory(file);
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
  if (!tif || !TIFFGetField(tif.get(), TIFFTAG_ORIENTATION, &orientation))
    return kUprightOrientation;
  return validOrDefault(orientation);
}

// The sides of the image the bytes store, from its header; nothing when it cannot be read.
std::optional<Size> storedSize(std::span<const std::uint8_t> bytes) {
  if (sniffImageFormat(bytes) == ImageFormat::Jpeg) return jpegPixelSize(bytes);
  TiffMemoryFile file{bytes};
  const TiffHandle tif = openTiffMemory(file);
  std::uint32_t width = 0, height = 0;
  if (!tif || !TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) || width > kMaxImageSide ||
      height > kMaxImageSide)
    return std::nullopt;
  return Size{static_cast<int>(width), static_cast<int>(height)};
}

struct StoredPoint {
  int x;
  int y;
};

// Where the upright pixel (u, v) is stored, in an image stored width x height.
struct StoredPlace {
  int orientation;
  int width;
  int height;

  StoredPoint at(int u, int v) const {
    switch (orientation) {
      case 2:
        return {width - 1 - u, v};
      case 3:
        return {width - 1 - u, height - 1 - v};
      case 4:
        return {u, height - 1 - v};
      case 5:
        return {v, u};
      case 6:
        return {v, height - 1 - u};
      case 7:
        return {width - 1 - v, height - 1 - u};
      case 8:
        return {width - 1 - v, u};
      default:
        return {u, v};
    }
  }
};

// Moves units of unitBytes from their stored places (rows of storedRowPixels from `origin`)
// to their upright ones.
void turn(const std::uint8_t* stored, std::size_t storedRowPixels, StoredPoint origin,
          std::uint8_t* upright, std::size_t unitBytes, const StoredPlace& place, int uprightWidth,
          int uprightHeight) {
  for (int v = 0; v < uprightHeight; ++v) {
    for (int u = 0; u < uprightWidth; ++u, upright += unitBytes) {
      const StoredPoint p = place.at(u, v);
      const std::size_t index =
          static_cast<std::size_t>(p.y - origin.y) * storedRowPixels + (p.x - origin.x);
      std::memcpy(upright, stored + index * unitBytes, unitBytes);
    }
  }
}

// The upright top-left uprightWidth x uprightHeight pixels of an image stored as place
// says, from `stored`: the stored rectangle from `origin` that holds them.
Decoded<Bitmap> turnedPart(const Bitmap& stored, StoredPoint origin, const StoredPlace& place,
                           int uprightWidth, int uprightHeight) {
  auto upright = createBitmap(uprightWidth, uprightHeight, BitmapFill::Nothing);
  if (!upright) return upright;
  const auto rowPixels = static_cast<std::size_t>(stored.width);
  turn(stored.pixels.data(), rowPixels, origin, upright->pixels.data(), 4, place, uprightWidth,
       uprightHeight);
  if (!stored.extremes.empty()) {
    upright->extremes.resize(upright->pixels.size() / 4);
    turn(stored.extremes.data(), rowPixels, origin, upright->extremes.data(), 1, place,
         uprightWidth, uprightHeight);
  }
  upright->knownOpaque = stored.knownOpaque;
  return upright;
}

// The sides of the upright part the request keeps.
Size uprightKept(const StoredPlace& place, const DecodeRequest& request) {
  const bool swapsSides = place.orientation >= 5;
  return {static_cast<int>(request.keptWidth(swapsSides ? place.height : place.width)),
          static_cast<int>(request.keptHeight(swapsSides ? place.width : place.height))};
}

// Makes part keep the stored rectangle the kept upright part comes from: between the stored places
// of its near and far corners (a pixel at least).
void keepStoredRectangle(const StoredPlace& place, Size kept, DecodeRequest& part) {
  const StoredPoint near = place.at(0, 0);
  const StoredPoint far = place.at(std::max(kept.width - 1, 0), std::max(kept.height - 1, 0));
  part.keepWidth = std::abs(far.x - near.x) + 1;
  part.keepHeight = std::abs(far.y - near.y) + 1;
  part.keepLeft = std::min(near.x, far.x);
  part.keepTop = std::min(near.y, far.y);
}

}  // namespace

int storedOrientation(std::span<const std::uint8_t> bytes) {
  switch (sniffImageFormat(bytes)) {
    case ImageFormat::Jpeg:
      return jpegOrientation(bytes);
    case ImageFormat::Tiff:
      return tiffOrientation(bytes);
    default:
      return kUprightOrientation;
  }
}

Decoded<Bitmap> turnedUpright(const Bitmap& stored, int orientation) {
  const bool swapsSides = orientation >= 5;
  const int width = swapsSides ? stored.height : stored.width;
  const int height = swapsSides ? stored.width : stored.height;
  return turnedPart(stored, {0, 0}, {orientation, stored.width, stored.height}, width, height);
}

Decoded<DecodedImage> decodeImageUpright(std::span<const std::uint8_t> bytes,
                                         const DecodeRequest& request) {
  const int orientation = storedOrientation(bytes);
  // HEIF and JPEG XL carry no tag read here: their decoders turn them, once, as asked.
  if (orientation == kUprightOrientation) return decodeImage(bytes, request);
  // The kept upright corner comes from a rectangle of the stored image: only that rectangle
  // is decoded (the whole image when its header gives no size), and turned.
  const auto size = storedSize(bytes);
  // Everything else the request asks (its side limit, CMYK through the profile) holds.
  DecodeRequest storedPart = request;
  storedPart.upright = false;
  storedPart.keepWidth = storedPart.keepHeight = LLONG_MAX;
  storedPart.keepLeft = storedPart.keepTop = 0;
  if (size) {
    const StoredPlace place{orientation, size->width, size->height};
    keepStoredRectangle(place, uprightKept(place, request), storedPart);
  }
  auto stored = decodeImage(bytes, storedPart);
  if (!stored) return stored;
  const Bitmap& part = stored->bitmap;
  const StoredPlace place{orientation, size ? size->width : part.width,
                          size ? size->height : part.height};
  if (part.width != storedPart.keptWidth(place.width) ||
      part.height != storedPart.keptHeight(place.height))
    return DecodeFailure::Unreadable;  // the header said otherwise
  const Size kept = uprightKept(place, request);
  const StoredPoint origin{static_cast<int>(storedPart.keepLeft),
                           static_cast<int>(storedPart.keepTop)};
  auto upright = turnedPart(part, origin, place, kept.width, kept.height);
  if (!upright) return upright.error();
  // The resolution turns with the sides; the rest of what was decoded holds.
  stored->bitmap = std::move(*upright);
  if (orientation >= 5) stored->resolution = stored->resolution.transposed();
  return stored;
}

}  // namespace quillane
