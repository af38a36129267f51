#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "image/decode/ByteReader.h"
#include "image/decode/pict/PictRect.h"

namespace quillane {

// A QuickDraw region: a bounding box, and for a region that is not a rectangle, inversion
// lines. Each line has a y and the x positions where membership flips; a row's membership
// is that of the lines at or above it combined.
struct Region {
  struct Line {
    int y = 0;
    std::size_t first = 0;  // index of its first x in xs
    std::size_t count = 0;
  };

  PictRect bounds;
  std::vector<Line> lines;
  std::vector<int> xs;

  bool isRectangular() const { return lines.empty(); }
};

// Reads a region (its size word, box and inversion lines). Nothing when the size is too
// small for the box or the data runs out; inversion data without its end mark is kept as far
// as it goes.
std::optional<Region> readRegion(ByteReader& bytes);

// Answers a region's membership for columns [left, right), row after row.
class RegionScanner {
 public:
  RegionScanner(const Region& region, int left, int right);

  // 1 for each column inside the region on row y, else 0. Rows are asked in increasing order.
  const std::vector<std::uint8_t>& row(int y);

 private:
  void applyLinesThrough(int y);
  void rebuildMembership();

  const Region& region_;
  int left_;
  std::size_t nextLine_ = 0;
  // Flips at each column, and the parity of the flips left of the first column.
  std::vector<std::uint8_t> flips_;
  std::uint8_t parityBefore_ = 0;
  std::vector<std::uint8_t> membership_;
  std::vector<std::uint8_t> outside_;
  bool stale_ = true;
};

}  // namespace quillane
