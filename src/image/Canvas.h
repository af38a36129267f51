#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "image/Bitmap.h"
#include "util/Geometry.h"

namespace quillane {

// The composite surface of a document: premultiplied RGBA8 (bytes R, G, B, A), drawn with
// pixman. Images are drawn with a global alpha, source-over, clipped at the edges.
class Canvas {
 public:
  // A canvas of width x height, or nothing when a side is not in 1..kMaxPsdSide or the
  // buffer cannot be allocated.
  static std::optional<Canvas> create(int width, int height);

  Canvas(Canvas&&) noexcept;
  Canvas& operator=(Canvas&&) noexcept;
  ~Canvas();

  int width() const;
  int height() const;

  void fillOpaqueWhite();
  // Global alpha, 0..1, applied to every later draw.
  void setAlpha(float alpha);
  // Draws the straight-alpha bitmap unscaled with its top-left corner at origin (canvas
  // pixels from the top-left), source-over with the global alpha. A fractional origin
  // places the image between pixels (bilinear).
  void drawBitmap(const Bitmap& bitmap, Point origin);

  // The premultiplied RGBA8 pixels, rows top to bottom, 4 x width bytes per row.
  const std::uint8_t* data() const;
  std::vector<std::uint8_t> snapshot() const;
  // The pixels without a copy; the canvas is spent and may only be destroyed.
  std::vector<std::uint8_t> takePixels() &&;

 private:
  struct State;
  explicit Canvas(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace quillane
