#include <bit>
#include <cstring>

#include "job/JobRecord.h"
#include "util/Log.h"

namespace quillane {
namespace {

// The 8-bit sample that reads as exactly this component (s / 255 in 32-bit floats), if any:
// 1.0 is matched by 255 alone and 0.0 by 0 alone.
std::optional<std::uint8_t> sampleReadingAs(float component) {
  for (int sample = 0; sample <= 255; ++sample) {
    if (static_cast<float>(sample) / 255.0f == component) return static_cast<std::uint8_t>(sample);
  }
  return std::nullopt;
}

// The red, green and blue bytes of a pixel read as one 32-bit word.
constexpr std::uint32_t kColourMask =
    std::endian::native == std::endian::little ? 0x00FFFFFFu : 0xFFFFFF00u;

std::uint32_t pixelWord(const std::uint8_t* pixel) {
  std::uint32_t word;
  std::memcpy(&word, pixel, 4);
  return word;
}

// One row keyed: a pixel of the key's colour becomes fully transparent (all four samples 0),
// the others are copied whole; alpha is not compared. Whether any pixel was keyed.
bool keyRow(const std::uint8_t* in, std::uint8_t* out, int width, std::uint32_t key) {
  std::uint32_t keyed = 0;
  for (int x = 0; x < width; ++x, in += 4, out += 4) {
    const std::uint32_t pixel = pixelWord(in);
    const bool match = (pixel & kColourMask) == key;
    const std::uint32_t kept = match ? 0 : pixel;
    std::memcpy(out, &kept, 4);
    keyed |= match;
  }
  return keyed != 0;
}

// The same for a source deeper than 8 bits, whose extremes say which pixels match the key
// (a Bitmap::extremes flag) at the source's own precision.
bool keyRowByExtremes(const std::uint8_t* in, const std::uint8_t* extremes, std::uint8_t* out,
                      int width, std::uint8_t flag) {
  std::uint32_t keyed = 0;
  for (int x = 0; x < width; ++x, in += 4, out += 4) {
    const bool match = (extremes[x] & flag) != 0;
    const std::uint32_t kept = match ? 0 : pixelWord(in);
    std::memcpy(out, &kept, 4);
    keyed |= match;
  }
  return keyed != 0;
}

// The extremes flag that white or black keys stand for; none for other colours, which are
// compared in 8 bits.
std::optional<std::uint8_t> extremeOfKey(float red, float green, float blue) {
  if (red == 1.0f && green == 1.0f && blue == 1.0f) return Bitmap::kAllMaximum;
  if (red == 0.0f && green == 0.0f && blue == 0.0f) return Bitmap::kAllZero;
  return std::nullopt;
}

}  // namespace

std::optional<DecodedImage> JobRecord::setTransparentColorToImage(const DecodedImage& image,
                                                                  float red, float green,
                                                                  float blue) {
  const Bitmap* source = &image.bitmap;
  if (source->width < 1 || source->height < 1) return std::nullopt;
  const int W = source->width;
  const int H = source->height;
  logLine("inBitImage: %d , %d", W, H);
  Decoded<Bitmap> output = createBitmap(W, H, BitmapFill::Nothing);
  if (!output) return std::nullopt;

  const std::optional<std::uint8_t> keyRed = sampleReadingAs(red);
  const std::optional<std::uint8_t> keyGreen = sampleReadingAs(green);
  const std::optional<std::uint8_t> keyBlue = sampleReadingAs(blue);
  const bool keyCanMatch = keyRed && keyGreen && keyBlue;
  const std::optional<std::uint8_t> extreme =
      source->extremes.empty() ? std::nullopt : extremeOfKey(red, green, blue);

  const std::shared_ptr<ProgressUtility> progress = progressUtil.load();
  progress->setMinorStepMax(static_cast<double>(W) * static_cast<double>(H));
  const std::uint8_t keyPixel[4] = {keyRed.value_or(0), keyGreen.value_or(0),
                                    keyBlue.value_or(0), 0};
  const std::uint32_t key = pixelWord(keyPixel) & kColourMask;
  bool anyKeyed = false;
  std::int64_t visited = 0;  // an integer count: no chain of floating-point additions
  for (int y = 0; y < H; ++y) {
    if (extreme) {
      const std::uint8_t* extremes = source->extremes.data() + static_cast<std::size_t>(y) * W;
      anyKeyed |= keyRowByExtremes(source->row(y), extremes, output->row(y), W, *extreme);
    } else if (keyCanMatch) {
      anyKeyed |= keyRow(source->row(y), output->row(y), W, key);
    } else {
      std::memcpy(output->row(y), source->row(y), output->rowBytes());
    }
    // The minor step advances once for every pixel of the row (a relaxed store: a plain move
    // on the processors we build for).
    for (int x = 0; x < W; ++x) progress->setMinorStep(static_cast<double>(++visited));
  }
  output->knownOpaque = source->knownOpaque && !anyKeyed;
  return DecodedImage{std::move(*output), image.resolution};
}

Decoded<DecodedImage> JobRecord::keyedImage(DecodedImage image) {
  if (optionTransparent != kKeyOutWhite && optionTransparent != kKeyOutBlack) return image;
  const float key = optionTransparent == kKeyOutWhite ? 1.0f : 0.0f;
  std::optional<DecodedImage> keyed = setTransparentColorToImage(image, key, key, key);
  if (keyed) return std::move(*keyed);
  // Only the keyed copy's memory can fail: the image itself is decoded already.
  return DecodeError{DecodeFailure::OutOfMemory, image.bitmap.width, image.bitmap.height};
}

}  // namespace quillane
