#include "image/Canvas.h"

#include <pixman.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

#include "image/Premultiply.h"
#include "util/CheckedSize.h"

namespace quillane {
namespace {

using PixmanImage = std::unique_ptr<pixman_image_t, decltype(&pixman_image_unref)>;

// Bytes R, G, B, A in memory: pixman names formats by 32-bit words, so the name depends on
// the byte order.
constexpr pixman_format_code_t kRgbaBytes =
    std::endian::native == std::endian::little ? PIXMAN_a8b8g8r8 : PIXMAN_r8g8b8a8;
// The same bytes with the alpha byte ignored: an opaque image drawn this way lets pixman copy
// instead of blending.
constexpr pixman_format_code_t kRgbxBytes =
    std::endian::native == std::endian::little ? PIXMAN_x8b8g8r8 : PIXMAN_r8g8b8x8;

// Rows drawn at a time: a translucent strip is premultiplied into a small scratch buffer
// instead of a premultiplied copy of the whole image.
constexpr int kStripRows = 64;

PixmanImage wrapPixels(const std::uint8_t* pixels, int width, int height, std::size_t rowBytes,
                       pixman_format_code_t format = kRgbaBytes) {
  // pixman only reads a source image; the cast is for its C interface.
  auto* bits = reinterpret_cast<std::uint32_t*>(const_cast<std::uint8_t*>(pixels));
  return PixmanImage(
      pixman_image_create_bits(format, width, height, bits, static_cast<int>(rowBytes)),
      &pixman_image_unref);
}

bool isOpaque(const Bitmap& bitmap, int x0, int x1, int y0, int y1) {
  for (int y = y0; y < y1; ++y) {
    const std::uint8_t* row = bitmap.row(y);
    for (int x = x0; x < x1; ++x) {
      if (row[4 * x + 3] != 255) return false;
    }
  }
  return true;
}

bool isWhole(float value) { return std::floor(value) == value; }

}  // namespace

struct Canvas::State {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
  PixmanImage image{nullptr, &pixman_image_unref};
  float alpha = 1.0f;

  // The global alpha as a solid mask, or none when the image is drawn at full strength.
  PixmanImage alphaMask() const {
    if (alpha >= 1.0f) return PixmanImage(nullptr, &pixman_image_unref);
    const pixman_color_t color{0, 0, 0, static_cast<std::uint16_t>(std::lround(alpha * 0xffff))};
    return PixmanImage(pixman_image_create_solid_fill(&color), &pixman_image_unref);
  }

  void composite(pixman_image_t* source, int sourceX, int sourceY, int x, int y, int w, int h) {
    const PixmanImage mask = alphaMask();
    pixman_image_composite32(PIXMAN_OP_OVER, source, mask.get(), image.get(), sourceX, sourceY, 0,
                             0, x, y, w, h);
  }

  void drawAtWholePixel(const Bitmap& bitmap, long long ox, long long oy);
  void drawBetweenPixels(const Bitmap& bitmap, Point origin);
};

// Only the part inside the canvas is touched, a strip of rows at a time: an opaque strip is
// drawn from the image's own pixels, a translucent one is premultiplied into a small buffer
// first.
void Canvas::State::drawAtWholePixel(const Bitmap& bitmap, long long ox, long long oy) {
  const int x0 = static_cast<int>(std::max(0LL, -ox));
  const int y0 = static_cast<int>(std::max(0LL, -oy));
  const int x1 = static_cast<int>(std::min<long long>(bitmap.width, width - ox));
  const int y1 = static_cast<int>(std::min<long long>(bitmap.height, height - oy));
  if (x0 >= x1 || y0 >= y1) return;
  const int columns = x1 - x0;
  const auto destX = static_cast<int>(ox + x0);
  const std::size_t stripRowBytes = static_cast<std::size_t>(columns) * 4;
  std::vector<std::uint8_t> strip;

  for (int top = y0; top < y1; top += kStripRows) {
    const int rows = std::min(kStripRows, y1 - top);
    const auto destY = static_cast<int>(oy + top);
    if (bitmap.knownOpaque || isOpaque(bitmap, x0, x1, top, top + rows)) {
      const PixmanImage source =
          wrapPixels(bitmap.row(top), bitmap.width, rows, bitmap.rowBytes(), kRgbxBytes);
      if (source) composite(source.get(), x0, 0, destX, destY, columns, rows);
      continue;
    }
    strip.resize(stripRowBytes * kStripRows);
    for (int r = 0; r < rows; ++r) {
      premultiplyPixels(bitmap.row(top + r) + 4 * static_cast<std::size_t>(x0),
                        strip.data() + r * stripRowBytes, static_cast<std::size_t>(columns));
    }
    const PixmanImage source = wrapPixels(strip.data(), columns, rows, stripRowBytes);
    if (source) composite(source.get(), 0, 0, destX, destY, columns, rows);
  }
}

// A fractional origin: the premultiplied image is sampled bilinearly, shifted by the fraction.
void Canvas::State::drawBetweenPixels(const Bitmap& bitmap, Point origin) {
  std::vector<std::uint8_t> premultiplied(bitmap.pixels.size());
  premultiplyPixels(bitmap.pixels.data(), premultiplied.data(),
                    static_cast<std::size_t>(bitmap.width) * bitmap.height);
  const PixmanImage source =
      wrapPixels(premultiplied.data(), bitmap.width, bitmap.height, bitmap.rowBytes());
  if (!source) return;
  const double floorX = std::floor(origin.x);
  const double floorY = std::floor(origin.y);
  pixman_transform_t shift;
  pixman_transform_init_translate(&shift, pixman_double_to_fixed(floorX - origin.x),
                                  pixman_double_to_fixed(floorY - origin.y));
  pixman_image_set_transform(source.get(), &shift);
  pixman_image_set_filter(source.get(), PIXMAN_FILTER_BILINEAR, nullptr, 0);
  composite(source.get(), 0, 0, static_cast<int>(floorX), static_cast<int>(floorY),
            bitmap.width + 1, bitmap.height + 1);
}

std::optional<Canvas> Canvas::create(int width, int height) {
  if (width < 1 || height < 1 || width > kMaxPsdSide || height > kMaxPsdSide) return std::nullopt;
  const auto bytes = rgbaByteCount(width, height);
  if (!bytes) return std::nullopt;
  auto state = std::make_unique<State>();
  state->width = width;
  state->height = height;
  try {
    state->pixels.assign(*bytes, 0);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
  state->image =
      wrapPixels(state->pixels.data(), width, height, static_cast<std::size_t>(width) * 4);
  if (!state->image) return std::nullopt;
  return Canvas(std::move(state));
}

Canvas::Canvas(std::unique_ptr<State> state) : state_(std::move(state)) {}
Canvas::Canvas(Canvas&&) noexcept = default;
Canvas& Canvas::operator=(Canvas&&) noexcept = default;
Canvas::~Canvas() = default;

int Canvas::width() const { return state_->width; }
int Canvas::height() const { return state_->height; }

void Canvas::fillOpaqueWhite() { std::fill(state_->pixels.begin(), state_->pixels.end(), 0xff); }

void Canvas::setAlpha(float alpha) { state_->alpha = std::clamp(alpha, 0.0f, 1.0f); }

void Canvas::drawBitmap(const Bitmap& bitmap, Point origin) {
  if (bitmap.width < 1 || bitmap.height < 1 || !(state_->alpha > 0.0f)) return;
  // An image wholly off the canvas draws nothing; this also keeps the coordinates in range.
  const bool overlaps = origin.x < state_->width && origin.x + bitmap.width > 0 &&
                        origin.y < state_->height && origin.y + bitmap.height > 0;
  if (!overlaps) return;
  if (isWhole(origin.x) && isWhole(origin.y)) {
    state_->drawAtWholePixel(bitmap, static_cast<long long>(origin.x),
                             static_cast<long long>(origin.y));
  } else {
    state_->drawBetweenPixels(bitmap, origin);
  }
}

const std::uint8_t* Canvas::data() const { return state_->pixels.data(); }
std::vector<std::uint8_t> Canvas::snapshot() const { return state_->pixels; }

std::vector<std::uint8_t> Canvas::takePixels() && {
  state_->image.reset();
  return std::move(state_->pixels);
}

}  // namespace quillane
