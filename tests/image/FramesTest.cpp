#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "image/decode/Decoders.h"

namespace quillane {
namespace {

// A GIF of a 2 x 1 screen (a red and green colour map) whose frames are single pixels:
// {x, colour index, disposal} each.
struct Dot {
  int x;
  int index;
  int disposal;
};

std::vector<std::uint8_t> gifOfDots(const std::vector<Dot>& dots) {
  std::vector<std::uint8_t> gif = {'G',  'I', 'F', '8',  '9', 'a', 2, 0,    1, 0,
                                   0x80, 0,   0,   0xFF, 0,   0,   0, 0xFF, 0};
  for (const Dot& dot : dots) {
    const int codes = 4 | dot.index << 3 | 5 << 6;  // 3-bit clear, the index, end
    const std::vector<std::uint8_t> frame = {0x21,
                                             0xF9,
                                             4,
                                             std::uint8_t(dot.disposal << 2),
                                             0,
                                             0,
                                             0,
                                             0,  // control
                                             0x2C,
                                             std::uint8_t(dot.x),
                                             0,
                                             0,
                                             0,
                                             1,
                                             0,
                                             1,
                                             0,
                                             0,  // descriptor
                                             2,
                                             2,
                                             std::uint8_t(codes),
                                             std::uint8_t(codes >> 8),
                                             0};
    gif.insert(gif.end(), frame.begin(), frame.end());
  }
  gif.push_back(0x3B);
  return gif;
}

std::vector<std::uint8_t> pixelsOf(const Bitmap& bitmap) {
  return {bitmap.pixels.begin(), bitmap.pixels.end()};
}

TEST(Frames, CountsStopAtWholeFramesAndTheCap) {
  const auto three = gifOfDots({{0, 0, 1}, {1, 1, 1}, {0, 1, 1}});
  EXPECT_EQ(countFrames(three), 3);
  const std::vector<std::uint8_t> lastCut(three.begin(), three.end() - 4);
  EXPECT_EQ(countFrames(lastCut), 2);
  EXPECT_EQ(countFrames(gifOfDots(std::vector<Dot>(kMaxFramesPerFile + 5, {0, 0, 0}))),
            kMaxFramesPerFile);
  EXPECT_EQ(countFrames(std::vector<std::uint8_t>{'n', 'o', 'n', 'e'}), 1);
  EXPECT_EQ(decodeImage(three, {.frame = 3}).error().kind, DecodeFailure::Unreadable);
}

// Red kept at x 0, green over it that goes (disposal 2 clears, 3 restores red), green at x 1.
TEST(Frames, AFrameDrawnOnFromAnotherIsTheFrameDrawnAfresh) {
  using Pixels = std::vector<std::uint8_t>;
  const Pixels greenClear = {0, 0xFF, 0, 0xFF, 0, 0, 0, 0};
  const Pixels third[] = {{0, 0, 0, 0, 0, 0xFF, 0, 0xFF}, {0xFF, 0, 0, 0xFF, 0, 0xFF, 0, 0xFF}};
  for (const int disposal : {2, 3}) {
    const auto gif = gifOfDots({{0, 0, 1}, {0, 1, disposal}, {1, 1, 1}});
    GifFrames frames(gif);
    ASSERT_FALSE(frames.drawTo({.frame = 1}));
    ASSERT_FALSE(frames.drawTo({.frame = 2}));
    EXPECT_EQ(pixelsOf(*frames.copyScreen()), third[disposal - 2]) << disposal;
    ASSERT_FALSE(frames.drawTo({.frame = 1}));  // back: drawn again from the start
    EXPECT_EQ(pixelsOf(*frames.copyScreen()), greenClear) << disposal;
    EXPECT_EQ(pixelsOf(decodeGif(gif, {.frame = 2})->bitmap), third[disposal - 2]) << disposal;
  }
}

}  // namespace
}  // namespace quillane
