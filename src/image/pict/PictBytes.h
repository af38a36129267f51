#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace quillane {

// A cursor over picture bytes that never reads past the end: a read beyond it answers zero,
// moves to the end and marks the cursor failed, so a parser checks ok() once per step.
class PictBytes {
 public:
  explicit PictBytes(std::span<const std::uint8_t> bytes, std::size_t position = 0)
      : bytes_(bytes), position_(position <= bytes.size() ? position : bytes.size()),
        ok_(position <= bytes.size()) {}

  bool ok() const { return ok_; }
  std::size_t position() const { return position_; }
  std::size_t remaining() const { return bytes_.size() - position_; }

  std::uint8_t u8() {
    if (!require(1)) return 0;
    return bytes_[position_++];
  }
  std::uint16_t u16() {
    if (!require(2)) return 0;
    const auto value = static_cast<std::uint16_t>(bytes_[position_] << 8 | bytes_[position_ + 1]);
    position_ += 2;
    return value;
  }
  std::int16_t s16() { return static_cast<std::int16_t>(u16()); }
  std::uint32_t u32() {
    const std::uint32_t high = u16();
    return high << 16 | u16();
  }
  std::int32_t s32() { return static_cast<std::int32_t>(u32()); }

  // The next count bytes, or an empty span (and a failed cursor) when fewer remain.
  std::span<const std::uint8_t> take(std::size_t count) {
    if (!require(count)) return {};
    const auto taken = bytes_.subspan(position_, count);
    position_ += count;
    return taken;
  }
  bool skip(std::size_t count) { return take(count).size() == count; }

 private:
  bool require(std::size_t count) {
    if (ok_ && count <= remaining()) return true;
    ok_ = false;
    position_ = bytes_.size();
    return false;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t position_;
  bool ok_;
};

}  // namespace quillane
