#include <bit>
#include <cstdlib>
#include <cstring>

#include "job/Keying.h"
#include "util/Log.h"

namespace quillane {
namespace {

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

// One row keyed with a tolerance: a pixel whose red, green and blue all lie within
// tolerance of the key's sample becomes fully transparent.
bool keyRowWithin(const std::uint8_t* in, std::uint8_t* out, int width, std::uint8_t key,
                  int tolerance) {
  bool keyed = false;
  for (int x = 0; x < width; ++x, in += 4, out += 4) {
    bool match = true;
    for (int c = 0; c < 3; ++c) match &= std::abs(int{in[c]} - int{key}) <= tolerance;
    const std::uint32_t kept = match ? 0 : pixelWord(in);
    std::memcpy(out, &kept, 4);
    keyed |= match;
  }
  return keyed;
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

// The rows of `source` keyed into `out` (which may be the source itself), from row `first`
// to `end`; whether any pixel was keyed.
bool keyRows(const Bitmap& source, Bitmap& out, KeyColour key, int tolerance, int first, int end) {
  const int width = source.width;
  const std::uint8_t sample = key == KeyColour::White ? 255 : 0;
  const std::uint8_t keyPixel[4] = {sample, sample, sample, 0};
  const std::uint32_t keyWord = pixelWord(keyPixel) & kColourMask;
  // A source deeper than 8 bits says at its own precision which pixels are the extremes.
  // With a tolerance, deep sources are keyed by their 8-bit samples: within tolerance steps
  // of 8 bits, each 257 steps of 16.
  const bool byExtremes = !source.extremes.empty() && tolerance == 0;
  const std::uint8_t extreme = key == KeyColour::White ? Bitmap::kAllMaximum : Bitmap::kAllZero;
  bool anyKeyed = false;
  for (int y = first; y < end; ++y) {
    if (tolerance > 0) {
      anyKeyed |= keyRowWithin(source.row(y), out.row(y), width, sample, tolerance);
    } else if (byExtremes) {
      const std::uint8_t* extremes = source.extremes.data() + static_cast<std::size_t>(y) * width;
      anyKeyed |= keyRowByExtremes(source.row(y), extremes, out.row(y), width, extreme);
    } else {
      anyKeyed |= keyRow(source.row(y), out.row(y), width, keyWord);
    }
  }
  return anyKeyed;
}

}  // namespace

std::optional<DecodedImage> keyOut(DecodedImage image, KeyColour key, int tolerance,
                                   ProgressUtility& steps) {
  if (key == KeyColour::None) return image;
  const Bitmap* source = &image.bitmap;
  if (source->width < 1 || source->height < 1) return std::nullopt;
  const int W = source->width;
  const int H = source->height;
  logLine("inBitImage: %d , %d", W, H);
  Decoded<Bitmap> output = createBitmap(W, H, BitmapFill::Nothing);
  if (!output) return std::nullopt;

  steps.setMinorStepMax(static_cast<double>(W) * static_cast<double>(H));
  bool anyKeyed = false;
  std::int64_t visited = 0;  // an integer count: no chain of floating-point additions
  for (int y = 0; y < H; ++y) {
    anyKeyed |= keyRows(*source, *output, key, tolerance, y, y + 1);
    // The minor step advances once for every pixel of the row (a relaxed store: a plain move
    // on the processors we build for).
    for (int x = 0; x < W; ++x) steps.setMinorStep(static_cast<double>(++visited));
  }
  output->knownOpaque = source->knownOpaque && !anyKeyed;
  image.bitmap = std::move(*output);
  return image;
}

bool keyRowsInPlace(Bitmap& rows, KeyColour key, int tolerance) {
  if (key == KeyColour::None) return false;
  return keyRows(rows, rows, key, tolerance, 0, rows.height);
}

}  // namespace quillane
