#include <libheif/heif.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "image/decode/Decoders.h"
#include "image/decode/DeepSamples.h"
#include "image/decode/SizeCheck.h"
#include "util/MemoryBudget.h"

namespace quillane {
namespace {

using HeifContext = std::unique_ptr<heif_context, decltype(&heif_context_free)>;
using HeifHandle = std::unique_ptr<const heif_image_handle, decltype(&heif_image_handle_release)>;
using HeifImage = std::unique_ptr<const heif_image, decltype(&heif_image_release)>;
using HeifOptions = std::unique_ptr<heif_decoding_options, decltype(&heif_decoding_options_free)>;

DecodeFailure failureOf(const heif_error& error) {
  if (error.code == heif_error_Memory_allocation_error) return DecodeFailure::OutOfMemory;
  if (error.subcode == heif_suberror_End_of_data) return DecodeFailure::CutShort;
  if (error.subcode == heif_suberror_Security_limit_exceeded) return DecodeFailure::TooLarge;
  if (error.code == heif_error_Unsupported_feature) return DecodeFailure::Unsupported;
  return DecodeFailure::Unreadable;
}

// The failure with the image's sides, but for one too large: what libheif refuses then is a
// part it claims (a grid of too many tiles), not the sides.
DecodeError errorOf(const heif_error& error, Size size) {
  const DecodeFailure kind = failureOf(error);
  if (kind == DecodeFailure::TooLarge) return {kind};
  return {kind, size.width, size.height};
}

// The ICC profile of a 'prof' or 'rICC' colour box. Colour given only as code points
// (nclx) is taken as sRGB, which is what most such files hold.
std::vector<std::uint8_t> profileOf(const heif_image_handle* handle) {
  std::vector<std::uint8_t> profile(heif_image_handle_get_raw_color_profile_size(handle));
  if (profile.empty() ||
      heif_image_handle_get_raw_color_profile(handle, profile.data()).code != heif_error_Ok)
    return {};
  return profile;
}

// The sides of what is decoded: as stored, or turned (and cropped) by the file's own
// transformations.
Size decodedSize(const heif_image_handle* handle, bool upright) {
  if (!upright && heif_image_handle_get_ispe_width(handle) > 0)
    return {heif_image_handle_get_ispe_width(handle), heif_image_handle_get_ispe_height(handle)};
  return {heif_image_handle_get_width(handle), heif_image_handle_get_height(handle)};
}

// The coded image may be a little larger than the container says: a codec pads to its
// blocks, and a crop or a grid's edge tiles cut the padding off.
constexpr int kCodedMargin = 256;

// The largest side the container declares for the image, before or after its transforms.
int largestSide(const heif_image_handle* handle) {
  return std::max({heif_image_handle_get_ispe_width(handle),
                   heif_image_handle_get_ispe_height(handle), heif_image_handle_get_width(handle),
                   heif_image_handle_get_height(handle)});
}

// The largest coded side libheif may decode: a little past the container's, and never past
// what the budget holds as a square (libheif limits sides, not areas), though at least
// 16384 for a small budget's sake.
int codedSideLimit(const heif_image_handle* handle) {
  constexpr double kLeastBound = 16384;
  const double budgetSide = std::sqrt(static_cast<double>(imageByteBudget()) / 4);
  const double bound = std::clamp(budgetSide, kLeastBound, static_cast<double>(kMaxImageSide));
  return std::min(largestSide(handle) + kCodedMargin, static_cast<int>(bound));
}

// The kept part of a decoded interleaved image, of 8 bits a sample, or of more in 16-bit
// little-endian units whose largest value is `maximum`.
void copyKept(const std::uint8_t* plane, int stride, int channels, int maximum, Bitmap& bitmap) {
  const bool deep = maximum > 0xFF;
  if (deep) bitmap.extremes.resize(bitmap.pixels.size() / 4);
  const auto eightBits = [maximum](std::uint32_t v) {
    return static_cast<std::uint8_t>((v * 255 + maximum / 2) / maximum);
  };
  for (int y = 0; y < bitmap.height; ++y) {
    const std::uint8_t* in = plane + static_cast<std::ptrdiff_t>(stride) * y;
    std::uint8_t* out = bitmap.row(y);
    for (int x = 0; x < bitmap.width; ++x, out += 4) {
      std::uint32_t samples[4] = {0, 0, 0, static_cast<std::uint32_t>(maximum)};
      for (int c = 0; c < channels; ++c, in += deep ? 2 : 1)
        samples[c] = deep ? in[0] | in[1] << 8 : in[0];
      for (int c = 0; c < 4; ++c)
        out[c] = deep ? eightBits(samples[c]) : static_cast<std::uint8_t>(samples[c]);
      if (deep)
        bitmap.extremes[static_cast<std::size_t>(y) * bitmap.width + x] =
            extremesOf(samples[0], samples[1], samples[2], static_cast<std::uint32_t>(maximum));
    }
  }
}

// The primary image decoded whole (libheif decodes no less), as RGB(A) of its own depth.
Decoded<Bitmap> decodePrimary(const heif_image_handle* handle, Size size,
                              const DecodeRequest& request) {
  const bool alpha = heif_image_handle_has_alpha_channel(handle) != 0;
  const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle) > 8;
  const DecodeError refused{DecodeFailure::OutOfMemory, size.width, size.height};
  if (!fitsImageByteBudget(std::int64_t{size.width} * (deep ? 2 : 1), size.height)) return refused;
  const HeifOptions options(heif_decoding_options_alloc(), &heif_decoding_options_free);
  if (!options) return DecodeFailure::OutOfMemory;
  options->ignore_transformations = request.upright ? 0 : 1;
  const heif_chroma chroma =
      deep ? (alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE)
           : (alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB);
  heif_image* decoded = nullptr;
  const heif_error error =
      heif_decode_image(handle, &decoded, heif_colorspace_RGB, chroma, options.get());
  const HeifImage image(decoded, &heif_image_release);
  if (error.code != heif_error_Ok || !image) return errorOf(error, size);

  const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
  const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
  int stride = 0;
  const std::uint8_t* plane =
      heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
  const int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
  if (!plane || width != size.width || height != size.height || bits < 8 || bits > 16)
    return DecodeError{DecodeFailure::Unreadable, size.width, size.height};
  auto bitmap =
      createBitmap(request.keptWidth(width), request.keptHeight(height), BitmapFill::Nothing);
  if (!bitmap) return bitmap;
  copyKept(plane, stride, alpha ? 4 : 3, (1 << bits) - 1, *bitmap);
  bitmap->knownOpaque = !alpha;
  return bitmap;
}

}  // namespace

Decoded<DecodedImage> decodeHeif(std::span<const std::uint8_t> bytes,
                                 const DecodeRequest& request) {
  try {
    const HeifContext context(heif_context_alloc(), &heif_context_free);
    if (!context) return DecodeFailure::OutOfMemory;
    heif_context_set_maximum_image_size_limit(context.get(), static_cast<int>(kMaxImageSide));
    heif_error error = heif_context_read_from_memory_without_copy(context.get(), bytes.data(),
                                                                  bytes.size(), nullptr);
    heif_image_handle* primary = nullptr;
    if (error.code == heif_error_Ok)
      error = heif_context_get_primary_image_handle(context.get(), &primary);
    const HeifHandle handle(primary, &heif_image_handle_release);
    if (error.code != heif_error_Ok || !handle) return failureOf(error);

    const Size size = decodedSize(handle.get(), request.upright);
    if (const auto refused = checkImageSize(size.width, size.height, request)) return *refused;
    // The coded image may declare a size of its own, far beyond the container's: libheif
    // would allocate for it before finding out.
    heif_context_set_maximum_image_size_limit(context.get(), codedSideLimit(handle.get()));
    auto bitmap = decodePrimary(handle.get(), size, request);
    if (!bitmap) return bitmap.error();
    return DecodedImage{std::move(*bitmap), {}, profileOf(handle.get())};
  } catch (const std::bad_alloc&) {
    return DecodeFailure::OutOfMemory;
  }
}

}  // namespace quillane
