#include "image/decode/pict/RowPlacer.h"

#include <algorithm>

namespace quillane {
namespace {

// The source coordinate that destination coordinate d samples, by nearest neighbour.
long long mapCoordinate(int d, int dstStart, int dstLength, int srcStart, int srcLength) {
  return srcStart + static_cast<long long>(d - dstStart) * srcLength / dstLength;
}

}  // namespace

RowPlacer::RowPlacer(DrawTarget& target, const PictRect& sourceBounds, const PictRect& srcRect,
                     const PictRect& dstRect, const Region* mask)
    : target_(target), sourceBounds_(sourceBounds), srcRect_(srcRect), dstRect_(dstRect) {
  visible_ = dstRect.intersected(target.rasterRect());
  if (target.clip) visible_ = visible_.intersected(target.clip->bounds);
  if (mask) visible_ = visible_.intersected(mask->bounds);
  if (visible_.isEmpty() || srcRect.isEmpty()) {
    visible_ = {};
    return;
  }
  const auto area =
      static_cast<std::uint64_t>(visible_.width()) * static_cast<std::uint64_t>(visible_.height());
  if (area > target.pixelBudget) {
    withinBudget_ = false;
    visible_ = {};
    return;
  }
  target.pixelBudget -= area;

  sourceColumns_.resize(static_cast<std::size_t>(visible_.width()));
  for (int x = visible_.left; x < visible_.right; ++x) {
    const long long column =
        mapCoordinate(x, dstRect.left, dstRect.width(), srcRect.left, srcRect.width()) -
        sourceBounds.left;
    const bool inSource = column >= 0 && column < sourceBounds.width();
    sourceColumns_[static_cast<std::size_t>(x - visible_.left)] =
        inSource ? static_cast<int>(column) : -1;
  }
  if (target.clip && !target.clip->isRectangular()) {
    clipScanner_.emplace(*target.clip, visible_.left, visible_.right);
  }
  if (mask && !mask->isRectangular()) maskScanner_.emplace(*mask, visible_.left, visible_.right);
  nextY_ = visible_.top;
}

int RowPlacer::sourceRowFor(int y) const {
  const long long row =
      mapCoordinate(y, dstRect_.top, dstRect_.height(), srcRect_.top, srcRect_.height()) -
      sourceBounds_.top;
  return static_cast<int>(std::clamp<long long>(row, -1, sourceBounds_.height()));
}

DecodeRequest RowPlacer::sourceNeeded() const {
  if (visible_.isEmpty()) return {0, 0};
  const int lastColumn = *std::max_element(sourceColumns_.begin(), sourceColumns_.end());
  const int lastRow = sourceRowFor(visible_.bottom - 1);
  return {lastColumn + 1, std::clamp(lastRow + 1, 0, sourceBounds_.height())};
}

bool RowPlacer::wantsRow(int row) {
  // Destination rows map to source rows in increasing order: pass those already behind.
  while (nextY_ < visible_.bottom && sourceRowFor(nextY_) < row) ++nextY_;
  return nextY_ < visible_.bottom && sourceRowFor(nextY_) == row;
}

void RowPlacer::placeRow(int row, const std::uint8_t* rgba) {
  while (nextY_ < visible_.bottom) {
    const int source = sourceRowFor(nextY_);
    if (source > row) return;
    if (source == row) drawRow(nextY_, rgba);
    ++nextY_;
  }
}

void RowPlacer::drawRow(int y, const std::uint8_t* rgba) {
  static const std::vector<std::uint8_t> kEverywhere;
  const auto& clip = clipScanner_ ? clipScanner_->row(y) : kEverywhere;
  const auto& mask = maskScanner_ ? maskScanner_->row(y) : kEverywhere;
  std::uint8_t* out = target_.raster.row(y - target_.frame.top);
  for (std::size_t c = 0; c < sourceColumns_.size(); ++c) {
    const int column = sourceColumns_[c];
    if (column < 0) continue;
    if (!clip.empty() && !clip[c]) continue;
    if (!mask.empty() && !mask[c]) continue;
    const std::uint8_t* pixel = rgba + 4 * static_cast<std::size_t>(column);
    std::copy(pixel, pixel + 4,
              out + 4 * (static_cast<std::size_t>(visible_.left - target_.frame.left) + c));
  }
}

}  // namespace quillane
