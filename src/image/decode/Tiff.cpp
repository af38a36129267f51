#include <tiffio.h>

#include <algorithm>
#include <bit>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <mutex>

#include "image/Premultiply.h"
#include "image/decode/Decode.h"
#include "image/decode/Resolution.h"
#include "image/decode/SizeCheck.h"

namespace quillane {
namespace {

// No single buffer libtiff makes for us (a strip or tile, a tag array) may exceed this. An
// honest strip of an image within kMaxImageSide fits; a crafted sample count or tag length
// asks for far more from a file of a few bytes.
constexpr tmsize_t kMaxTiffSingleAllocation = tmsize_t{2} << 30;

struct MemoryFile {
  std::span<const std::uint8_t> bytes;
  toff_t offset = 0;
  bool failed = false;  // libtiff reported an error, even one it carried on after
  bool ranOut = false;  // libtiff asked for bytes past the end
};

MemoryFile& fileOf(thandle_t handle) { return *static_cast<MemoryFile*>(handle); }

tmsize_t readMemory(thandle_t handle, void* out, tmsize_t wanted) {
  MemoryFile& file = fileOf(handle);
  if (wanted <= 0) return 0;
  const toff_t left = file.offset < file.bytes.size() ? file.bytes.size() - file.offset : 0;
  const auto count = std::min<toff_t>(static_cast<toff_t>(wanted), left);
  if (count < static_cast<toff_t>(wanted)) file.ranOut = true;
  if (count == 0) return 0;
  std::memcpy(out, file.bytes.data() + file.offset, count);
  file.offset += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t refuseWrite(thandle_t, void*, tmsize_t) { return -1; }

toff_t seekMemory(thandle_t handle, toff_t offset, int whence) {
  MemoryFile& file = fileOf(handle);
  toff_t base = 0;
  if (whence == SEEK_CUR) base = file.offset;
  if (whence == SEEK_END) base = file.bytes.size();
  // Offsets are unsigned: a backwards seek arrives as a wrapped value and wraps back.
  file.offset = base + offset;
  return file.offset;
}

int closeMemory(thandle_t) { return 0; }
toff_t sizeOfMemory(thandle_t handle) { return fileOf(handle).bytes.size(); }
int noMapping(thandle_t, void**, toff_t*) { return 0; }
void noUnmapping(thandle_t, void*, toff_t) {}

// Per-handle handlers: messages are dropped (they would go to stderr), errors remembered.
int recordError(TIFF*, void* userData, const char*, const char*, va_list) {
  static_cast<MemoryFile*>(userData)->failed = true;
  return 1;
}
int dropWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// libtiff's process-wide handlers print to stderr; a few messages bypass the per-handle ones.
void silenceGlobalHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
  });
}

using TiffOptions = std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)>;
using TiffHandle = std::unique_ptr<TIFF, decltype(&TIFFClose)>;

TiffHandle openMemory(MemoryFile& file) {
  TiffOptions options(TIFFOpenOptionsAlloc(), &TIFFOpenOptionsFree);
  if (!options) return {nullptr, &TIFFClose};
  TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), kMaxTiffSingleAllocation);
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), recordError, &file);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), dropWarning, &file);
  // "m": never map the file; it is in memory already.
  return {TIFFClientOpenExt("memory", "rm", &file, readMemory, refuseWrite, seekMemory,
                            closeMemory, sizeOfMemory, noMapping, noUnmapping, options.get()),
          &TIFFClose};
}

struct RgbaImageEnd {
  void operator()(TIFFRGBAImage* image) const { TIFFRGBAImageEnd(image); }
};

// libtiff hands out ABGR words (R, G, B, A bytes on a little-endian machine) with colour
// premultiplied whenever there is alpha (it premultiplies unassociated alpha itself), and
// alpha 255 when there is none; the bitmap wants straight R, G, B, A bytes.
void toStraightRgba(Bitmap& bitmap, bool hasAlpha) {
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
  if (hasAlpha) {
    unpremultiplyPixelsRounded(bitmap.pixels.data(),
                               std::size_t(bitmap.width) * std::size_t(bitmap.height));
  }
  bitmap.knownOpaque = !hasAlpha;
}

Decoded<Bitmap> readRgba(TIFF* tif, const MemoryFile& file) {
  std::uint32_t width = 0, height = 0;
  if (!TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) || width == 0 || height == 0)
    return DecodeError{DecodeFailure::Unreadable, width, height};
  if (const auto refused = checkImageSize(width, height)) return *refused;

  // TIFFRGBAImageOK refuses the variants TIFFRGBAImage cannot convert.
  char message[1024] = {};
  if (!TIFFRGBAImageOK(tif, message)) return DecodeError{DecodeFailure::Unsupported, width, height};
  TIFFRGBAImage image{};
  if (!TIFFRGBAImageBegin(&image, tif, 1, message))
    return DecodeError{DecodeFailure::Unreadable, width, height};
  std::unique_ptr<TIFFRGBAImage, RgbaImageEnd> ending(&image);
  image.req_orientation = ORIENTATION_TOPLEFT;

  // TIFFRGBAImageGet fills every pixel, or the image is refused.
  auto bitmap = Bitmap::create(width, height, Bitmap::Fill::Nothing);
  if (!bitmap) return bitmap;
  // The bitmap's buffer is aligned for 32-bit words (the heap's or a mapped page).
  auto* raster = reinterpret_cast<std::uint32_t*>(bitmap->pixels.data());
  if (!TIFFRGBAImageGet(&image, raster, width, height) || file.failed)
    return DecodeError{DecodeFailure::Unreadable, width, height};
  toStraightRgba(*bitmap, image.alpha != 0);
  return bitmap;
}

void readResolution(TIFF* tif, DecodedBitmap& decoded) {
  float x = 0.0f, y = 0.0f;
  std::uint16_t unit = RESUNIT_INCH;
  if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) || !TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y))
    return;
  TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
  if (unit == RESUNIT_INCH) {
    decoded.dpiX = x;
    decoded.dpiY = y;
  } else if (unit == RESUNIT_CENTIMETER) {
    decoded.dpiX = resolution::fromDotsPerCentimetre(x);
    decoded.dpiY = resolution::fromDotsPerCentimetre(y);
  }
}

}  // namespace

Decoded<DecodedBitmap> decodeTiff(std::span<const std::uint8_t> bytes) {
  silenceGlobalHandlers();
  MemoryFile file{bytes};
  TiffHandle tif = openMemory(file);
  auto bitmap = tif ? readRgba(tif.get(), file) : Decoded<Bitmap>(DecodeFailure::Unreadable);
  if (!bitmap) {
    DecodeError error = bitmap.error();
    if (error.kind == DecodeFailure::Unreadable && file.ranOut)
      error.kind = DecodeFailure::CutShort;
    return error;
  }
  DecodedBitmap decoded{std::move(*bitmap)};
  readResolution(tif.get(), decoded);
  return decoded;
}

}  // namespace quillane
