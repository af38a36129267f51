#include "job/ScaleBitmap.h"

#include <pixman.h>

#include <cstdlib>
#include <memory>

#include "image/Premultiply.h"

namespace quillane {
namespace {

using PixmanImage = std::unique_ptr<pixman_image_t, decltype(&pixman_image_unref)>;
using FilterParams = std::unique_ptr<pixman_fixed_t, decltype(&std::free)>;

// Below this shrink factor bilinear filtering samples every source pixel well enough; above
// it, a box-sampled filter averages the pixels that bilinear sampling would skip.
constexpr double kBilinearLimit = 1.35;
// Sub-pixel phases of the convolution filter: 2^4 is visually exact for 8-bit samples.
constexpr int kFilterSubsampleBits = 4;

// Bytes R, G, B, A in memory are one 32-bit a8b8g8r8 word on a little-endian machine.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__);
constexpr pixman_format_code_t kRgbaFormat = PIXMAN_a8b8g8r8;

PixmanImage wrap(Bitmap& bitmap) {
  return PixmanImage(
      pixman_image_create_bits(kRgbaFormat, bitmap.width, bitmap.height,
                               reinterpret_cast<std::uint32_t*>(bitmap.pixels.data()),
                               static_cast<int>(bitmap.rowBytes())),
      &pixman_image_unref);
}

bool setScaleFilter(pixman_image_t* image, double shrinkX, double shrinkY) {
  if (shrinkX < kBilinearLimit && shrinkY < kBilinearLimit)
    return pixman_image_set_filter(image, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  int count = 0;
  FilterParams params(pixman_filter_create_separable_convolution(
                          &count, pixman_double_to_fixed(shrinkX), pixman_double_to_fixed(shrinkY),
                          PIXMAN_KERNEL_LINEAR, PIXMAN_KERNEL_LINEAR, PIXMAN_KERNEL_BOX,
                          PIXMAN_KERNEL_BOX, kFilterSubsampleBits, kFilterSubsampleBits),
                      &std::free);
  return params && pixman_image_set_filter(image, PIXMAN_FILTER_SEPARABLE_CONVOLUTION,
                                           params.get(), count);
}

}  // namespace

std::optional<Bitmap> scaleBitmap(const Bitmap& source, int width, int height) {
  if (width < 1 || height < 1 || source.width < 1 || source.height < 1) return std::nullopt;
  auto target = Bitmap::allocate(width, height);
  if (!target) return std::nullopt;
  auto input = Bitmap::allocateUninitialized(source.width, source.height);
  if (!input) return std::nullopt;
  premultiplyPixels(source.pixels.data(), input->pixels.data(),
                    std::size_t(source.width) * std::size_t(source.height));

  PixmanImage from = wrap(*input);
  PixmanImage to = wrap(*target);
  if (!from || !to) return std::nullopt;

  const double shrinkX = static_cast<double>(source.width) / width;
  const double shrinkY = static_cast<double>(source.height) / height;
  pixman_transform_t transform;
  pixman_transform_init_scale(&transform, pixman_double_to_fixed(shrinkX),
                              pixman_double_to_fixed(shrinkY));
  if (!pixman_image_set_transform(from.get(), &transform)) return std::nullopt;
  if (!setScaleFilter(from.get(), shrinkX, shrinkY)) return std::nullopt;
  pixman_image_set_repeat(from.get(), PIXMAN_REPEAT_PAD);  // edges do not fade to transparent

  pixman_image_composite32(PIXMAN_OP_SRC, from.get(), nullptr, to.get(), 0, 0, 0, 0, 0, 0, width,
                           height);
  unpremultiplyPixelsRounded(target->pixels.data(),
                             std::size_t(target->width) * std::size_t(target->height));
  return target;
}

}  // namespace quillane
