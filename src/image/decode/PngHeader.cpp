#include "image/decode/PngHeader.h"

#include <algorithm>
#include <iterator>

#include "image/decode/ByteReader.h"
#include "image/decode/Resolution.h"
#include "image/decode/SizeCheck.h"

namespace quillane {
namespace {

// libspng keeps ancillary chunks (text, ICC profile, EXIF) in memory, inflating compressed
// text; a small file can declare or inflate to gigabytes of them. Real metadata stays far
// below these sizes. Image data is streamed, never cached, so the limits do not touch it.
constexpr std::size_t kMaxPngChunkBytes = std::size_t{8} << 20;
constexpr std::size_t kMaxPngChunkCacheBytes = std::size_t{16} << 20;  // must be >= the above

constexpr std::uint8_t kPhysUnitMetre = 1;

}  // namespace

int setPngLimits(spng_ctx* ctx) {
  const int error = spng_set_image_limits(ctx, kMaxImageSide, kMaxImageSide);
  if (error != 0) return error;
  return spng_set_chunk_limits(ctx, kMaxPngChunkBytes, kMaxPngChunkCacheBytes);
}

std::optional<DecodeError> checkDeclaredSize(std::span<const std::uint8_t> bytes,
                                             const DecodeRequest& request) {
  constexpr std::size_t kTypeOffset = 12;
  constexpr std::size_t kWidthOffset = 16;
  constexpr std::uint8_t kIhdr[] = {'I', 'H', 'D', 'R'};
  if (bytes.size() < kWidthOffset + 8 ||
      !std::equal(std::begin(kIhdr), std::end(kIhdr), bytes.begin() + kTypeOffset))
    return std::nullopt;
  ByteReader sides(bytes, kWidthOffset);
  const std::uint32_t width = sides.u32be();
  return checkImageSize(width, sides.u32be(), request);
}

void readResolution(spng_ctx* ctx, DecodedImage& decoded) {
  spng_phys phys{};
  if (spng_get_phys(ctx, &phys) != 0 || phys.unit_specifier != kPhysUnitMetre) return;
  decoded.resolution =
      Resolution::fromDotsPerMetre(static_cast<float>(phys.ppu_x), static_cast<float>(phys.ppu_y));
}

std::vector<std::uint8_t> profileOf(spng_ctx* ctx) {
  std::uint8_t intent = 0;
  spng_iccp iccp{};
  if (spng_get_srgb(ctx, &intent) == 0 || spng_get_iccp(ctx, &iccp) != 0) return {};
  const auto* profile = reinterpret_cast<const std::uint8_t*>(iccp.profile);
  return {profile, profile + iccp.profile_len};
}

}  // namespace quillane
