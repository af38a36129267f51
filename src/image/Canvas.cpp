#include "image/Canvas.h"

#include <pixman.h>

#include <algorithm>
#include <bit>
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

bool isOpaque(const Bitmap& bitmap, int columns, int y0, int y1) {
  for (int y = y0; y < y1; ++y) {
    const std::uint8_t* row = bitmap.row(y);
    for (int x = 0; x < columns; ++x) {
      if (row[4 * x + 3] != 255) return false;
    }
  }
  return true;
}

}  // namespace

struct Canvas::State {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;
  PixmanImage image{nullptr, &pixman_image_unref};
};

std::optional<Canvas> Canvas::create(int width, int height) {
  if (width < 1 || height < 1) return std::nullopt;
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

// Only the part inside the canvas is touched, a strip of rows at a time: an opaque strip is
// drawn from the image's own pixels, a translucent one is premultiplied into a small buffer
// first.
void Canvas::drawBitmap(const Bitmap& bitmap, Blend blend, int top) {
  const pixman_op_t op = blend == Blend::Multiply ? PIXMAN_OP_MULTIPLY : PIXMAN_OP_OVER;
  const int columns = std::min(bitmap.width, state_->width);
  const int rows = top < 0 ? 0 : std::min(bitmap.height, state_->height - top);
  if (columns < 1 || rows < 1) return;
  const std::size_t stripRowBytes = static_cast<std::size_t>(columns) * 4;
  std::vector<std::uint8_t> strip;
  for (int first = 0; first < rows; first += kStripRows) {
    const int stripRows = std::min(kStripRows, rows - first);
    PixmanImage source(nullptr, &pixman_image_unref);
    if (bitmap.knownOpaque || isOpaque(bitmap, columns, first, first + stripRows)) {
      source = wrapPixels(bitmap.row(first), columns, stripRows, bitmap.rowBytes(), kRgbxBytes);
    } else {
      strip.resize(stripRowBytes * kStripRows);
      for (int r = 0; r < stripRows; ++r) {
        premultiplyPixels(bitmap.row(first + r), strip.data() + r * stripRowBytes,
                          static_cast<std::size_t>(columns));
      }
      source = wrapPixels(strip.data(), columns, stripRows, stripRowBytes);
    }
    if (source) {
      pixman_image_composite32(op, source.get(), nullptr, state_->image.get(), 0, 0, 0, 0, 0,
                               top + first, columns, stripRows);
    }
  }
}

const std::uint8_t* Canvas::data() const { return state_->pixels.data(); }

}  // namespace quillane
