#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "image/Bitmap.h"

namespace quillane {

// How an image is drawn on what is already there: source-over, or multiplied with it (the
// separable Multiply of image editors: white leaves the canvas as it is).
enum class Blend { Normal, Multiply };

// The composite surface of a document: premultiplied RGBA8 (bytes R, G, B, A), drawn with
// pixman. Images are drawn at the top-left corner, clipped at the edges.
class Canvas {
 public:
  // A canvas of width x height, or nothing when a side is below 1 or the buffer cannot be
  // allocated.
  static std::optional<Canvas> create(int width, int height);

  Canvas(Canvas&&) noexcept;
  Canvas& operator=(Canvas&&) noexcept;
  ~Canvas();

  int width() const;
  int height() const;

  void fillOpaqueWhite();
  // Draws the straight-alpha bitmap unscaled with its top-left corner at the canvas's left
  // edge and row `top` (a band of a layer's rows).
  void drawBitmap(const Bitmap& bitmap, Blend blend = Blend::Normal, int top = 0);

  // The premultiplied RGBA8 pixels, rows top to bottom, 4 x width bytes per row.
  const std::uint8_t* data() const;

 private:
  struct State;
  explicit Canvas(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace quillane
