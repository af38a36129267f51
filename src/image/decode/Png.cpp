#include <spng.h>

#include <memory>

#include "image/decode/Decode.h"
#include "image/decode/Resolution.h"
#include "util/CheckedSize.h"

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

}  // namespace

std::optional<DecodedBitmap> decodePng(std::span<const std::uint8_t> bytes) {
  SpngCtx ctx(spng_ctx_new(0), &spng_ctx_free);
  if (!ctx) return std::nullopt;
  if (spng_set_image_limits(ctx.get(), kMaxPsdSide, kMaxPsdSide) != 0 ||
      spng_set_chunk_limits(ctx.get(), kMaxPngChunkBytes, kMaxPngChunkCacheBytes) != 0 ||
      spng_set_png_buffer(ctx.get(), bytes.data(), bytes.size()) != 0)
    return std::nullopt;

  spng_ihdr ihdr{};
  if (spng_get_ihdr(ctx.get(), &ihdr) != 0) return std::nullopt;
  // spng_decode_image fills every byte, or the image is refused.
  auto bitmap = Bitmap::allocateUninitialized(static_cast<int>(ihdr.width),
                                              static_cast<int>(ihdr.height));
  if (!bitmap) return std::nullopt;

  std::size_t decodedBytes = 0;
  if (spng_decoded_image_size(ctx.get(), SPNG_FMT_RGBA8, &decodedBytes) != 0 ||
      decodedBytes != bitmap->pixels.size())
    return std::nullopt;
  // SPNG_DECODE_TRNS turns a tRNS colour key or palette alpha into the alpha channel.
  if (spng_decode_image(ctx.get(), bitmap->pixels.data(), decodedBytes, SPNG_FMT_RGBA8,
                        SPNG_DECODE_TRNS) != 0)
    return std::nullopt;

  bitmap->knownOpaque = hasNoTransparency(ctx.get(), ihdr);
  DecodedBitmap decoded{std::move(*bitmap)};
  readResolution(ctx.get(), decoded);
  return decoded;
}

}  // namespace quillane
