#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace quillane {

// Unchecked loads of integers stored in either byte order, for loops that have checked
// their bounds already (pixel rows).
inline std::uint32_t loadBigEndian(const std::uint8_t* p, std::size_t count) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < count; ++i) value = value << 8 | p[i];
  return value;
}
inline std::uint32_t loadLittleEndian(const std::uint8_t* p, std::size_t count) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < count; ++i) value |= std::uint32_t{p[i]} << (8 * i);
  return value;
}

// A cursor over bytes that never reads past the end: a read beyond it answers zero, moves to
// the end and marks the cursor failed, so a parser checks ok() once per step.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes, std::size_t position = 0)
      : bytes_(bytes),
        position_(position <= bytes.size() ? position : bytes.size()),
        ok_(position <= bytes.size()) {}

  bool ok() const { return ok_; }
  std::size_t position() const { return position_; }
  std::size_t remaining() const {
    return position_ < bytes_.size() ? bytes_.size() - position_ : 0;
  }

  std::uint8_t u8() {
    if (!require(1)) return 0;
    return bytes_[position_++];
  }
  std::uint16_t u16be() { return static_cast<std::uint16_t>(load(2, loadBigEndian)); }
  std::uint32_t u32be() { return load(4, loadBigEndian); }
  std::int16_t s16be() { return static_cast<std::int16_t>(u16be()); }
  std::int32_t s32be() { return static_cast<std::int32_t>(u32be()); }
  std::uint16_t u16le() { return static_cast<std::uint16_t>(load(2, loadLittleEndian)); }
  std::uint32_t u32le() { return load(4, loadLittleEndian); }

  // The next count bytes, or an empty span (and a failed cursor) when fewer remain.
  std::span<const std::uint8_t> take(std::size_t count) {
    if (!require(count)) return {};
    const auto taken = bytes_.subspan(position_, count);
    position_ += count;
    return taken;
  }
  bool skip(std::size_t count) { return take(count).size() == count; }

  // For the read callbacks of C libraries: copies as many of the next `wanted` bytes as
  // there are to `out` and moves past them; how many. Never marks the cursor failed.
  std::size_t copyOut(void* out, std::size_t wanted) {
    const std::size_t count = wanted < remaining() ? wanted : remaining();
    if (count > 0) std::memcpy(out, bytes_.data() + position_, count);
    position_ += count;
    return count;
  }
  // Moves to any position, past the end too (where nothing more can be read).
  void seek(std::size_t position) { position_ = position; }
  std::size_t size() const { return bytes_.size(); }

 private:
  bool require(std::size_t count) {
    if (ok_ && count <= remaining()) return true;
    ok_ = false;
    position_ = bytes_.size();
    return false;
  }
  template <class Load>
  std::uint32_t load(std::size_t count, Load loadFrom) {
    if (!require(count)) return 0;
    const std::uint32_t value = loadFrom(bytes_.data() + position_, count);
    position_ += count;
    return value;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t position_;
  bool ok_;
};

}  // namespace quillane
