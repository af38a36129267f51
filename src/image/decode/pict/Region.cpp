#include "image/decode/pict/Region.h"

#include <algorithm>

namespace quillane {
namespace {

constexpr std::uint16_t kRegionHeaderBytes = 10;  // size word and bounding box
constexpr std::int16_t kEndOfRegionData = 0x7FFF;

}  // namespace

std::optional<Region> readRegion(ByteReader& bytes) {
  const std::uint16_t size = bytes.u16be();
  if (!bytes.ok() || size < kRegionHeaderBytes) return std::nullopt;
  Region region;
  region.bounds = readPictRect(bytes);
  ByteReader data(bytes.take(size - kRegionHeaderBytes));
  if (!bytes.ok()) return std::nullopt;
  while (data.remaining() >= 2) {
    const std::int16_t y = data.s16be();
    if (y == kEndOfRegionData) break;
    Region::Line line{y, region.xs.size(), 0};
    while (data.remaining() >= 2) {
      const std::int16_t x = data.s16be();
      if (x == kEndOfRegionData) break;
      region.xs.push_back(x);
      ++line.count;
    }
    region.lines.push_back(line);
  }
  return region;
}

RegionScanner::RegionScanner(const Region& region, int left, int right)
    : region_(region), left_(left) {
  const std::size_t width = right > left ? static_cast<std::size_t>(right - left) : 0;
  flips_.assign(width, 0);
  membership_.assign(width, 0);
  outside_.assign(width, 0);
}

void RegionScanner::applyLinesThrough(int y) {
  while (nextLine_ < region_.lines.size() && region_.lines[nextLine_].y <= y) {
    const Region::Line& line = region_.lines[nextLine_++];
    for (std::size_t i = 0; i < line.count; ++i) {
      const long column = static_cast<long>(region_.xs[line.first + i]) - left_;
      if (column <= 0) {
        parityBefore_ ^= 1;
      } else if (static_cast<std::size_t>(column) < flips_.size()) {
        flips_[static_cast<std::size_t>(column)] ^= 1;
      }
    }
    stale_ = true;
  }
}

void RegionScanner::rebuildMembership() {
  std::uint8_t inside = parityBefore_;
  for (std::size_t c = 0; c < flips_.size(); ++c) {
    if (c > 0) inside ^= flips_[c];
    const int x = left_ + static_cast<int>(c);
    const bool inBox = x >= region_.bounds.left && x < region_.bounds.right;
    membership_[c] = inBox ? inside : 0;
  }
  stale_ = false;
}

const std::vector<std::uint8_t>& RegionScanner::row(int y) {
  if (y < region_.bounds.top || y >= region_.bounds.bottom) return outside_;
  if (region_.isRectangular()) {
    if (stale_) {
      for (std::size_t c = 0; c < membership_.size(); ++c) {
        const int x = left_ + static_cast<int>(c);
        membership_[c] = x >= region_.bounds.left && x < region_.bounds.right;
      }
      stale_ = false;
    }
    return membership_;
  }
  applyLinesThrough(y);
  if (stale_) rebuildMembership();
  return membership_;
}

}  // namespace quillane
