#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/decode/Decoders.h"

namespace quillane {
namespace {

// A GIF of a 1 x 1 screen and count frames of its one pixel, each with a control block.
std::vector<std::uint8_t> gifOfFrames(int count) {
  std::vector<std::uint8_t> gif = {
      'G',  'I', 'F', '8',  '9', 'a', 1, 0,    1, 0,
      0x80, 0,   0,   0xFF, 0,   0,   0, 0xFF, 0};  // a red and green colour map
  const std::uint8_t frame[] = {
      0x21, 0xF9, 4, 0, 0, 0, 0, 0, 0x2C, 0,    0, 0,
      0,    1,    0, 1, 0, 0, 2, 2, 0x44, 0x01, 0};  // 3-bit codes clear, 0, end
  for (int i = 0; i < count; ++i) gif.insert(gif.end(), std::begin(frame), std::end(frame));
  gif.push_back(0x3B);
  return gif;
}

TEST(Frames, CountsStopAtWholeFramesAndTheCap) {
  const auto three = gifOfFrames(3);
  EXPECT_EQ(countFrames(three), 3);
  EXPECT_EQ(countFrames(std::vector<std::uint8_t>(three.begin(), three.end() - 4)), 2);
  EXPECT_EQ(countFrames(gifOfFrames(kMaxFramesPerFile + 5)), kMaxFramesPerFile);
  EXPECT_EQ(countFrames(std::vector<std::uint8_t>{'n', 'o', 'n', 'e'}), 1);
  EXPECT_EQ(decodeImage(three, {.frame = 3}).error().kind, DecodeFailure::Unreadable);
}

}  // namespace
}  // namespace quillane
