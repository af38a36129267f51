#include <spng.h>

#include <algorithm>
#include <iterator>
#include <memory>

#include "image/decode/Decode.h"
#include "image/decode/Resolution.h"
#include "image/decode/SizeCheck.h"

namespace quillane {
namespace {

// libspng keeps ancillary chunks (text, ICC profile, EXIF) in memory, inflating compressed
// text; a small file can declare or inflate to gigabytes of them. Real metadata stays far
// below these sizes. Image data is streamed, never cached, so the limits do not touch it.
constexpr std::size_t kMaxPngChunkBytes = std::size_t{8} << 20;
constexpr std::size_t kMaxPngChunkCacheBytes = std::size_t{16} << 20;  // must be >= the above

using SpngCtx = std::unique_ptr<spng_ctx, decltype(&spng_ctx_free)>;

constexpr std::uint8_t kPhysUnitMetre = 1;

void readResolution(spng_ctx* ctx, DecodedBitmap& decoded) {
  spng_phys phys{};
  if (spng_get_phys(ctx, &phys) != 0 || phys.unit_specifier != kPhysUnitMetre) return;
  decoded.dpiX = resolution::fromDotsPerMetre(static_cast<float>(phys.ppu_x));
  decoded.dpiY = resolution::fromDotsPerMetre(static_cast<float>(phys.ppu_y));
}

// Neither an alpha channel nor a tRNS chunk: every decoded alpha is 255.
bool hasNoTransparency(spng_ctx* ctx, const spng_ihdr& ihdr) {
  const bool alphaChannel = ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                            ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
  spng_trns trns{};
  return !alphaChannel && spng_get_trns(ctx, &trns) == SPNG_ECHUNKAVAIL;
}

// The size IHDR declares, read before libspng sees the file: its own limits would refuse a
// large image as invalid before our size check could name it. IHDR is the first chunk.
std::optional<DecodeError> checkDeclaredSize(std::span<const std::uint8_t> bytes) {
  constexpr std::size_t kTypeOffset = 12;
  constexpr std::size_t kWidthOffset = 16;
  constexpr std::uint8_t kIhdr[] = {'I', 'H', 'D', 'R'};
  if (bytes.size() < kWidthOffset + 8 ||
      !std::equal(std::begin(kIhdr), std::end(kIhdr), bytes.begin() + kTypeOffset))
    return std::nullopt;
  const auto readU32 = [&](std::size_t at) {
    return std::uint32_t{bytes[at]} << 24 | std::uint32_t{bytes[at + 1]} << 16 |
           std::uint32_t{bytes[at + 2]} << 8 | std::uint32_t{bytes[at + 3]};
  };
  return checkImageSize(readU32(kWidthOffset), readU32(kWidthOffset + 4));
}

DecodeFailure failureOf(int spngError) {
  switch (spngError) {
    case SPNG_IO_EOF:
    case SPNG_EOF:
    case SPNG_EIDAT_TOO_SHORT: return DecodeFailure::CutShort;
    case SPNG_EMEM: return DecodeFailure::OutOfMemory;
    case SPNG_ECHUNK_LIMITS: return DecodeFailure::Unsupported;
    default: return DecodeFailure::Unreadable;
  }
}

}  // namespace

Decoded<DecodedBitmap> decodePng(std::span<const std::uint8_t> bytes) {
  if (const auto refused = checkDeclaredSize(bytes)) return *refused;
  SpngCtx ctx(spng_ctx_new(0), &spng_ctx_free);
  if (!ctx) return DecodeFailure::OutOfMemory;
  int error = spng_set_image_limits(ctx.get(), kMaxImageSide, kMaxImageSide);
  if (error == 0)
    error = spng_set_chunk_limits(ctx.get(), kMaxPngChunkBytes, kMaxPngChunkCacheBytes);
  if (error == 0) error = spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size());
  spng_ihdr ihdr{};
  if (error == 0) error = spng_get_ihdr(ctx.get(), &ihdr);
  if (error != 0) return failureOf(error);

  // spng_decode_image fills every byte, or the image is refused.
  auto bitmap = Bitmap::create(ihdr.width, ihdr.height, Bitmap::Fill::Nothing);
  if (!bitmap) return bitmap.error();
  std::size_t decodedBytes = 0;
  error = spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &decodedBytes);
  if (error != 0 || decodedBytes != bitmap->pixels.size()) return failureOf(error);
  // SPNG_DECODE_TRNS turns a tRNS colour key or palette alpha into the alpha channel.
  error = spng_decode_image(ctx.get(), bitmap->pixels.data(), decodedBytes, SPNG_FMT_RGBA8,
                            SPNG_DECODE_TRNS);
  if (error != 0) return failureOf(error);

  bitmap->knownOpaque = hasNoTransparency(ctx.get(), ihdr);
  DecodedBitmap decoded{std::move(*bitmap)};
  readResolution(ctx.get(), decoded);
  return decoded;
}

}  // namespace quillane
