#include "image/decode/BmpRunLength.h"

namespace quillane {
namespace {

constexpr std::uint8_t kEscape = 0;
constexpr std::uint8_t kEndOfLine = 0;
constexpr std::uint8_t kEndOfBitmap = 1;
constexpr std::uint8_t kDelta = 2;

// Places pixels of the stored image, from its bottom row up, into the kept part.
class IndexPlacer {
 public:
  IndexPlacer(const RunLengthImage& image, int keepWidth, int keepHeight,
              std::span<std::uint8_t> indices)
      : image_(image), keepWidth_(keepWidth), keepHeight_(keepHeight), indices_(indices) {}

  // `count` pixels from the current position on, the k-th of them index(k).
  template <class IndexOf>
  void put(long long count, IndexOf index) {
    const long long top = image_.height - 1 - row_;  // the row counted from the top
    const bool kept = top < keepHeight_;
    std::uint8_t* out = kept ? indices_.data() + top * keepWidth_ : nullptr;
    for (long long k = 0; k < count; ++k) {
      const std::uint8_t value = index(k);
      outsidePalette_ |= value >= image_.paletteSize;
      if (kept && column_ + k < keepWidth_) out[column_ + k] = value;
    }
    column_ += count;
  }
  void endLine() {
    ++row_;
    column_ = 0;
  }
  void move(long long right, long long up) {
    column_ += right;
    row_ += up;
  }
  bool finished() const { return row_ >= image_.height; }
  bool outsidePalette() const { return outsidePalette_; }

 private:
  const RunLengthImage& image_;
  const long long keepWidth_;
  const long long keepHeight_;
  std::span<std::uint8_t> indices_;
  long long row_ = 0;  // from the bottom
  long long column_ = 0;
  bool outsidePalette_ = false;
};

}  // namespace

std::optional<DecodeFailure> decodeRunLength(std::span<const std::uint8_t> data,
                                             const RunLengthImage& image, int keepWidth,
                                             int keepHeight, std::span<std::uint8_t> indices) {
  IndexPlacer placer(image, keepWidth, keepHeight, indices);
  const bool nibbles = image.bitsPerIndex == 4;
  // The k-th index of a run or literal whose bytes start at `at`.
  const auto nibbleAt = [&](std::size_t at, long long k) -> std::uint8_t {
    const std::uint8_t byte = data[at + static_cast<std::size_t>(k / 2)];
    return k % 2 == 0 ? byte >> 4 : byte & 0x0F;
  };
  std::size_t at = 0;
  while (!placer.finished()) {
    if (data.size() - at < 2) return DecodeFailure::CutShort;
    const std::uint8_t count = data[at];
    const std::uint8_t value = data[at + 1];
    at += 2;
    if (count != kEscape) {  // a run of one index, or of two alternating nibbles
      placer.put(count, [&](long long k) -> std::uint8_t {
        return nibbles ? (k % 2 == 0 ? value >> 4 : value & 0x0F) : value;
      });
    } else if (value == kEndOfLine) {
      placer.endLine();
    } else if (value == kEndOfBitmap) {
      break;
    } else if (value == kDelta) {
      if (data.size() - at < 2) return DecodeFailure::CutShort;
      placer.move(data[at], data[at + 1]);
      at += 2;
    } else {  // literal indices, padded to a 16-bit boundary
      const std::size_t bytes = nibbles ? (value + 1u) / 2 : value;
      const std::size_t padded = (bytes + 1) / 2 * 2;
      if (data.size() - at < padded) return DecodeFailure::CutShort;
      const std::size_t start = at;
      placer.put(value, [&](long long k) {
        return nibbles ? nibbleAt(start, k) : data[start + static_cast<std::size_t>(k)];
      });
      at += padded;
    }
  }
  if (placer.outsidePalette()) return DecodeFailure::Unreadable;
  return std::nullopt;
}

}  // namespace quillane
