#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "image/Bitmap.h"
#include "image/decode/DecodeRequest.h"
#include "image/decode/pict/PictRect.h"
#include "image/decode/pict/Region.h"

namespace quillane {

// Where the opcodes draw: the raster (the top-left part of the frame that the caller keeps,
// or the whole frame), the picture's frame (its origin is the raster's top-left), the clip
// region when the picture set one, and what is left of the drawing budget.
struct DrawTarget {
  Bitmap& raster;
  PictRect frame;
  const Region* clip = nullptr;
  // Pixels the opcodes may still write; a picture cannot make the decoder redraw its raster
  // without end.
  std::uint64_t pixelBudget = 0;

  // The part of the picture's plane that the raster holds: nothing is drawn outside it.
  PictRect rasterRect() const {
    return {frame.top, frame.left, frame.top + raster.height, frame.left + raster.width};
  }
};

// Every opcode together may write this many times the raster's pixels: real pictures cover
// their frame about once, in one piece or in bands.
inline constexpr std::uint64_t kDrawnFramesBudget = 64;

// Draws the rows of a source image into the target: the part srcRect of the source (in the
// source's own coordinates, whose first row and column are sourceBounds' top and left) goes to
// dstRect of the picture, scaled by nearest neighbour when the sizes differ, clipped by the
// raster, the clip region and the opcode's mask region. Rows arrive in order, top first.
class RowPlacer {
 public:
  RowPlacer(DrawTarget& target, const PictRect& sourceBounds, const PictRect& srcRect,
            const PictRect& dstRect, const Region* mask);

  // False when drawing this would overrun the target's budget (nothing is then drawn).
  bool withinBudget() const { return withinBudget_; }
  // Whether source row `row` (0 for the first row) lands anywhere; rows are asked in order.
  bool wantsRow(int row);
  // The top-left part of the source that the drawing reads: the columns and rows up to the
  // last one it samples.
  DecodeRequest sourceNeeded() const;
  // Whether every destination row has been drawn or passed.
  bool finished() const { return nextY_ >= visible_.bottom; }
  // Draws source row `row`, given as RGBA8 pixels of the whole source width.
  void placeRow(int row, const std::uint8_t* rgba);

 private:
  int sourceRowFor(int y) const;
  void drawRow(int y, const std::uint8_t* rgba);

  DrawTarget& target_;
  PictRect sourceBounds_;
  PictRect srcRect_;
  PictRect dstRect_;
  PictRect visible_;
  std::vector<int> sourceColumns_;  // per visible column, the source column or -1
  std::optional<RegionScanner> clipScanner_;
  std::optional<RegionScanner> maskScanner_;
  int nextY_ = 0;
  bool withinBudget_ = true;
};

}  // namespace quillane
