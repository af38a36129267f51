#include "image/decode/Orientation.h"

#include <libexif/exif-data.h>
#include <tiffio.h>

#include <cstring>
#include <memory>

#include "image/decode/Decoders.h"
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

// Where the upright pixel (u, v) is stored, in an image stored width x height.
struct StoredPlace {
  int orientation;
  int width;
  int height;

  std::size_t of(int u, int v) const {
    int x = u, y = v;
    switch (orientation) {
      case 2:
        x = width - 1 - u;
        break;
      case 3:
        x = width - 1 - u, y = height - 1 - v;
        break;
      case 4:
        y = height - 1 - v;
        break;
      case 5:
        x = v, y = u;
        break;
      case 6:
        x = v, y = height - 1 - u;
        break;
      case 7:
        x = width - 1 - v, y = height - 1 - u;
        break;
      case 8:
        x = width - 1 - v, y = u;
        break;
      default:
        break;
    }
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + x;
  }
};

// Moves units of unitBytes from their stored places to their upright ones.
void turn(const std::uint8_t* stored, std::uint8_t* upright, std::size_t unitBytes,
          const StoredPlace& place, int uprightWidth, int uprightHeight) {
  for (int v = 0; v < uprightHeight; ++v) {
    for (int u = 0; u < uprightWidth; ++u, upright += unitBytes) {
      std::memcpy(upright, stored + place.of(u, v) * unitBytes, unitBytes);
    }
  }
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
  auto upright = createBitmap(width, height, BitmapFill::Nothing);
  if (!upright) return upright;
  const StoredPlace place{orientation, stored.width, stored.height};
  turn(stored.pixels.data(), upright->pixels.data(), 4, place, width, height);
  if (!stored.extremes.empty()) {
    upright->extremes.resize(stored.extremes.size());
    turn(stored.extremes.data(), upright->extremes.data(), 1, place, width, height);
  }
  upright->knownOpaque = stored.knownOpaque;
  return upright;
}

Decoded<DecodedImage> decodeImageUpright(std::span<const std::uint8_t> bytes,
                                         const DecodeRequest& request) {
  const int orientation = storedOrientation(bytes);
  if (orientation == kUprightOrientation) return decodeImage(bytes, request);
  auto stored = decodeImage(bytes);
  if (!stored) return stored;
  auto upright = turnedUpright(stored->bitmap, orientation);
  if (!upright) return upright.error();
  upright->keepTopLeft(request.keepWidth, request.keepHeight);
  // The resolution turns with the sides.
  const bool swapsSides = orientation >= 5;
  const Resolution resolution = stored->resolution;
  return DecodedImage{std::move(*upright), swapsSides ? resolution.transposed() : resolution};
}

}  // namespace quillane
