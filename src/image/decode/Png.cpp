#include <spng.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "image/colour/DeepConversion.h"
#include "image/decode/Decoders.h"
#include "image/decode/DeepSamples.h"
#include "image/decode/PngHeader.h"
#include "image/decode/PngWhole.h"
#include "image/decode/Resolution.h"
#include "image/decode/SizeCheck.h"
#include "util/MemoryBudget.h"

namespace quillane {
namespace {

// The conversion of a 16-bit image's samples into the document's colours, when the request
// asks for it and the image's own differ.
std::optional<DeepConversion> deepConversion(spng_ctx* ctx, const spng_ihdr& ihdr,
                                             const DecodeRequest& request) {
  if (ihdr.bit_depth != 16 || !request.documentProfile) return std::nullopt;
  const bool grey = ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE ||
                    ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA;
  return DeepConversion::into(*request.documentProfile, profileOf(ctx), grey);
}

// Neither an alpha channel nor a tRNS chunk: every decoded alpha is 255.
bool hasNoTransparency(spng_ctx* ctx, const spng_ihdr& ihdr) {
  const bool alphaChannel = ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                            ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  spng_trns trns{};
  return !alphaChannel && spng_get_trns(ctx, &trns) == SPNG_ECHUNKAVAIL;
}

DecodeFailure failureOf(int spngError) {
  switch (spngError) {
    case SPNG_IO_EOF:
    case SPNG_EOF:
    case SPNG_EIDAT_TOO_SHORT:
      return DecodeFailure::CutShort;
    case SPNG_EMEM:
      return DecodeFailure::OutOfMemory;
    case SPNG_ECHUNK_LIMITS:
      return DecodeFailure::Unsupported;
    default:
      return DecodeFailure::Unreadable;
  }
}

// Decoded rows, RGBA of 8 or 16 bits a sample, put into the bitmap: the kept columns,
// reduced to 8 bits, with their extremes; 16-bit ones converted first when a conversion is
// given, after their extremes are taken from the samples as stored.
class RowPutter {
 public:
  RowPutter(Bitmap& bitmap, bool deep, const DeepConversion* conversion)
      : bitmap_(bitmap), deep_(deep), conversion_(conversion) {
    if (deep) samples_.resize(bitmap.rowBytes());
  }

  std::size_t sampleBytes() const { return deep_ ? 2 : 1; }

  void put(const std::uint8_t* decoded, int y) {
    std::uint8_t* out = bitmap_.row(y);
    if (!deep_) {
      std::copy_n(decoded, bitmap_.rowBytes(), out);
      return;
    }
    std::uint8_t* extremes = bitmap_.extremes.data() + static_cast<std::size_t>(y) * bitmap_.width;
    std::uint16_t* samples = samples_.data();
    std::memcpy(samples, decoded, samples_.size() * 2);  // host order, as libspng gives them
    for (int x = 0; x < bitmap_.width; ++x) {
      const std::uint16_t* pixel = samples + 4 * x;
      extremes[x] = extremesOf(pixel[0], pixel[1], pixel[2], 0xFFFF);
    }
    if (conversion_ != nullptr) conversion_->convert(samples, bitmap_.width);
    for (std::size_t i = 0; i < samples_.size(); ++i) out[i] = eightBitsOf(samples[i]);
  }

 private:
  Bitmap& bitmap_;
  bool deep_;
  const DeepConversion* conversion_;
  std::vector<std::uint16_t> samples_;  // the kept part of a 16-bit row
};

// The kept rows of an interlaced image, gathered whole until its last pass ends: each pass
// writes some pixels of some rows. Raster memory, not filled first, so that a file that
// ends early costs only the rows its passes reached. Rows of 8-bit samples as wide as the
// bitmap's are gathered in the bitmap itself.
class InterlacedRows {
 public:
  InterlacedRows(Bitmap& bitmap, std::size_t rowBytes, int keptRows) : rowBytes_(rowBytes) {
    if (rowBytes == bitmap.rowBytes()) {
      rows_ = bitmap.pixels.data();
      return;
    }
    gathered_.resize(rowBytes * static_cast<std::size_t>(keptRows));
    rows_ = gathered_.data();
  }

  bool inBitmap() const { return gathered_.empty(); }
  std::uint8_t* row(int y) { return rows_ + rowBytes_ * static_cast<std::size_t>(y); }

 private:
  std::size_t rowBytes_;
  RasterBytes gathered_;
  std::uint8_t* rows_ = nullptr;
};

// Rows one at a time, up to the last kept one; an interlaced image's kept rows in every pass.
int decodeRows(spng_ctx* ctx, const spng_ihdr& ihdr, RowPutter& putter, Bitmap& bitmap) {
  const std::size_t rowBytes = std::size_t{ihdr.width} * 4 * putter.sampleBytes();
  const int keptRows = bitmap.height;
  const bool interlaced = ihdr.interlace_method != SPNG_INTERLACE_NONE;
  std::optional<InterlacedRows> gathered;
  if (interlaced) gathered.emplace(bitmap, rowBytes, keptRows);
  std::vector<std::uint8_t> scratch(rowBytes);
  int error = 0;
  while (error == 0) {
    spng_row_info info{};
    error = spng_get_row_info(ctx, &info);
    if (error != 0) break;
    const auto y = static_cast<int>(info.row_num);
    if (!interlaced && y >= keptRows) return 0;
    std::uint8_t* row = interlaced && y < keptRows ? gathered->row(y) : scratch.data();
    error = spng_decode_row(ctx, row, rowBytes);
    if ((error == 0 || error == SPNG_EOI) && !interlaced) putter.put(row, y);
  }
  if (error != SPNG_EOI) return error;
  for (int y = 0; interlaced && !gathered->inBitmap() && y < keptRows; ++y)
    putter.put(gathered->row(y), y);
  return 0;
}

// The raster of an image that is inflated at once, with room for its rows' filter bytes: a
// non-interlaced image of 8-bit RGBA samples, kept whole. Nothing when that way does not serve
// or the room cannot be had; the image is then decoded row by row.
std::optional<Bitmap> rasterForWholeImage(const spng_ihdr& ihdr, const DecodeRequest& request) {
  if (ihdr.interlace_method != SPNG_INTERLACE_NONE || ihdr.bit_depth != 8 ||
      ihdr.color_type != SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ||
      request.keptWidth(ihdr.width) != ihdr.width || request.keptHeight(ihdr.height) != ihdr.height)
    return std::nullopt;
  const auto width = static_cast<int>(ihdr.width);
  auto raster = createBitmap(width, rowsWithFilterBytes(width, static_cast<int>(ihdr.height)),
                             BitmapFill::Nothing);
  if (!raster) return std::nullopt;
  return std::move(*raster);
}

// The image's rows inflated at once into a raster with room for them: true when they all
// are, and either way the raster cut to the image's own rows.
bool decodedWhole(std::span<const std::uint8_t> bytes, Bitmap& raster, const spng_ihdr& ihdr) {
  const auto height = static_cast<int>(ihdr.height);
  const bool decoded = decodeWholeRgba8Png(bytes, raster, height);
  raster.height = height;
  raster.pixels.resize(raster.rowBytes() * ihdr.height);
  return decoded;
}

}  // namespace

Decoded<DecodedImage> decodePng(std::span<const std::uint8_t> bytes, const DecodeRequest& request) {
  if (const auto refused = checkDeclaredSize(bytes, request)) return *refused;
  SpngCtx ctx(spng_ctx_new(0), &spng_ctx_free);
  if (!ctx) return DecodeFailure::OutOfMemory;
  int error = setPngLimits(ctx.get());
  if (error == 0) error = spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size());
  spng_ihdr ihdr{};
  if (error == 0) error = spng_get_ihdr(ctx.get(), &ihdr);
  if (error != 0) return failureOf(error);

  const bool deep = ihdr.bit_depth == 16;
  std::optional<Bitmap> whole = rasterForWholeImage(ihdr, request);
  const bool inflateWhole = whole.has_value();
  // Every byte of the kept part is written, or the image is refused.
  auto bitmap = inflateWhole ? Decoded<Bitmap>(std::move(*whole))
                             : createBitmap(request.keptWidth(ihdr.width),
                                            request.keptHeight(ihdr.height), BitmapFill::Nothing);
  if (!bitmap) return bitmap.error();
  // The kept rows of an interlaced image are gathered whole first.
  const bool interlaced = ihdr.interlace_method != SPNG_INTERLACE_NONE;
  if (interlaced && !fitsImageByteBudget(std::int64_t{ihdr.width} * (deep ? 2 : 1), bitmap->height))
    return DecodeError{DecodeFailure::OutOfMemory, ihdr.width, ihdr.height};
  bool converted = false;
  try {
    if (deep) bitmap->extremes.resize(bitmap->pixels.size() / 4);
    // SPNG_DECODE_TRNS turns a tRNS colour key or palette alpha into the alpha channel.
    error = spng_decode_image(ctx.get(), nullptr, 0, deep ? SPNG_FMT_RGBA16 : SPNG_FMT_RGBA8,
                              SPNG_DECODE_TRNS | SPNG_DECODE_PROGRESSIVE);
    std::optional<DeepConversion> conversion;
    if (error == 0) conversion = deepConversion(ctx.get(), ihdr, request);
    RowPutter putter(*bitmap, deep, conversion ? &*conversion : nullptr);
    if (error == 0 && !(inflateWhole && decodedWhole(bytes, *bitmap, ihdr)))
      error = decodeRows(ctx.get(), ihdr, putter, *bitmap);
    converted = conversion.has_value();
  } catch (const std::bad_alloc&) {
    return DecodeError{DecodeFailure::OutOfMemory, ihdr.width, ihdr.height};
  }
  if (error != 0) return failureOf(error);

  bitmap->knownOpaque = hasNoTransparency(ctx.get(), ihdr);
  DecodedImage decoded{std::move(*bitmap), {}};
  readResolution(ctx.get(), decoded);
  decoded.iccProfile = profileOf(ctx.get());
  decoded.inDocumentColours = converted;
  return decoded;
}

}  // namespace quillane
