// The decoder on pictures built byte by byte: every depth and packing, placement, regions,
// skipped and unknown opcodes, and what is not a picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "image/FileRead.h"
#include "image/pict/PictDecoder.h"
#include "image/PictBuilder.h"

namespace quillane {
namespace {

using test::PictBuilder;
using Rgba = std::array<std::uint8_t, 4>;

constexpr Rgba kTransparent = {0, 0, 0, 0};
constexpr Rgba kWhite = {255, 255, 255, 255};
constexpr Rgba kBlack = {0, 0, 0, 255};

std::shared_ptr<const Bitmap> render(const std::vector<std::uint8_t>& bytes) {
  const auto rep = decodePict(bytes);
  if (!rep) return nullptr;
  return rep->render();
}

Rgba pixel(const Bitmap& bitmap, int x, int y) {
  const std::uint8_t* p = bitmap.row(y) + 4 * x;
  return {p[0], p[1], p[2], p[3]};
}

// Checks every pixel of the bitmap against expected(x, y).
void expectPixels(const Bitmap& bitmap, const std::function<Rgba(int, int)>& expected) {
  int mismatches = 0;
  for (int y = 0; y < bitmap.height; ++y) {
    for (int x = 0; x < bitmap.width; ++x) {
      if (pixel(bitmap, x, y) != expected(x, y) && ++mismatches <= 3) {
        ADD_FAILURE() << "pixel " << x << "," << y;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// Packs pixel values of `depth` bits, most significant first, into rows of rowBytes.
std::vector<std::uint8_t> indexedRow(int width, int depth, int rowBytes, int y) {
  std::vector<std::uint8_t> row(static_cast<std::size_t>(rowBytes), 0);
  for (int x = 0; x < width; ++x) {
    const int value = (x + 3 * y) % (1 << depth);
    const int bit = x * depth;
    row[bit / 8] |= static_cast<std::uint8_t>(value << (8 - depth - bit % 8));
  }
  return row;
}

Rgba paletteColour(int index) {
  return {static_cast<std::uint8_t>(index * 17), static_cast<std::uint8_t>(255 - index),
          static_cast<std::uint8_t>(index * 5), 255};
}

TEST(PictDecoder, IndexedPixelMapsOfEveryDepthPackedAndNot) {
  for (const int depth : {1, 2, 4, 8}) {
    for (const unsigned opcode : {0x0090u, 0x0098u}) {
      SCOPED_TRACE(testing::Message() << depth << "-bit, opcode " << opcode);
      const int width = 64;  // rows of 8 bytes and more: packed by PackBitsRect
      const int height = 3;
      const int rowBytes = width * depth / 8;
      const PictRect frame{0, 0, height, width};
      std::vector<std::array<std::uint8_t, 3>> colours;
      for (int i = 0; i < (1 << depth); ++i) {
        const Rgba c = paletteColour(i);
        colours.push_back({c[0], c[1], c[2]});
      }
      PictBuilder pict(frame);
      pict.op(opcode).pixMap(static_cast<unsigned>(rowBytes), frame, 0,
                             static_cast<unsigned>(depth), 1);
      pict.colourTable(colours).rect(frame).rect(frame).u16(0);
      for (int y = 0; y < height; ++y) {
        const auto row = indexedRow(width, depth, rowBytes, y);
        if (opcode == 0x0098) {
          pict.packedRow(row, static_cast<unsigned>(rowBytes));
        } else {
          pict.data(row);
        }
      }
      const auto bitmap = render(pict.finish());
      ASSERT_TRUE(bitmap);
      expectPixels(*bitmap,
                   [&](int x, int y) { return paletteColour((x + 3 * y) % (1 << depth)); });
    }
  }
}

TEST(PictDecoder, OneBitBitmapsAreBlackOnWhite) {
  const PictRect frame{0, 0, 2, 10};
  PictBuilder pict(frame);
  pict.op(0x0090).u16(2).rect(frame).rect(frame).rect(frame).u16(0);
  pict.data({0b10100000, 0b01000000, 0b00000000, 0b11000000});
  const auto bitmap = render(pict.finish());
  ASSERT_TRUE(bitmap);
  const bool black[2][10] = {{1, 0, 1, 0, 0, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 1, 1}};
  expectPixels(*bitmap, [&](int x, int y) { return black[y][x] ? kBlack : kWhite; });
}

Rgba directColour(int x, int y) {
  return {static_cast<std::uint8_t>(x * 8), static_cast<std::uint8_t>(y * 40),
          static_cast<std::uint8_t>(200 - x), 255};
}

// 16-bit pixels hold five bits a component; the decoder widens v to v << 3 | v >> 2.
Rgba rgb555Colour(int x, int y) {
  const auto widen = [](unsigned v) { return static_cast<std::uint8_t>(v << 3 | v >> 2); };
  const Rgba c = directColour(x, y);
  return {widen(c[0] >> 3u), widen(c[1] >> 3u), widen(c[2] >> 3u), 255};
}

std::vector<std::uint8_t> rgb555Row(int width, int y) {
  std::vector<std::uint8_t> row;
  for (int x = 0; x < width; ++x) {
    const Rgba c = directColour(x, y);
    const unsigned word = (c[0] >> 3u) << 10 | (c[1] >> 3u) << 5 | c[2] >> 3u;
    row.push_back(static_cast<std::uint8_t>(word >> 8));
    row.push_back(static_cast<std::uint8_t>(word));
  }
  return row;
}

TEST(PictDecoder, SixteenBitPixelsInEveryPacking) {
  struct Case {
    int width;
    unsigned packType;
    bool packed;
  };
  // Word runs (types 0 and 3), no packing (type 1), and rows under 8 bytes, never packed.
  for (const Case c : {Case{20, 0, true}, Case{20, 3, true}, Case{20, 1, false},
                       Case{3, 0, false}, Case{130, 0, true}}) {
    SCOPED_TRACE(testing::Message() << c.width << " wide, packing " << c.packType);
    const PictRect frame{0, 0, 4, c.width};
    const unsigned rowBytes = 2u * static_cast<unsigned>(c.width);
    PictBuilder pict(frame);
    pict.op(0x009A).u32(0xFF).pixMap(rowBytes, frame, c.packType, 16, 3);
    pict.rect(frame).rect(frame).u16(0);
    for (int y = 0; y < 4; ++y) {
      const auto row = rgb555Row(c.width, y);
      if (c.packed) {
        pict.packedRow(row, rowBytes, 2);
      } else {
        pict.data(row);
      }
    }
    const auto bitmap = render(pict.finish());
    ASSERT_TRUE(bitmap);
    expectPixels(*bitmap, rgb555Colour);
  }
}

TEST(PictDecoder, SixteenBitWordRunsRepeatWholeWords) {
  const PictRect frame{0, 0, 1, 8};
  PictBuilder pict(frame);
  pict.op(0x009A).u32(0xFF).pixMap(16, frame, 3, 16, 3).rect(frame).rect(frame).u16(0);
  // A run of 6 words 7C00 (red), then 2 literal words 001F (blue) and 03E0 (green).
  pict.u8(9).data({0xFB, 0x7C, 0x00, 0x01, 0x00, 0x1F, 0x03, 0xE0});
  const auto bitmap = render(pict.finish());
  ASSERT_TRUE(bitmap);
  expectPixels(*bitmap, [](int x, int) -> Rgba {
    if (x < 6) return {255, 0, 0, 255};
    return x == 6 ? Rgba{0, 0, 255, 255} : Rgba{0, 255, 0, 255};
  });
}

std::vector<std::uint8_t> directRow(int width, int y, unsigned packType, unsigned cmpCount) {
  std::vector<std::uint8_t> row;
  if (packType == 4 || packType == 0) {  // planes: (alpha,) red, green, blue
    if (cmpCount == 4) row.insert(row.end(), static_cast<std::size_t>(width), 0x00);
    for (int c = 0; c < 3; ++c) {
      for (int x = 0; x < width; ++x) {
        row.push_back(directColour(x, y)[static_cast<std::size_t>(c)]);
      }
    }
    return row;
  }
  for (int x = 0; x < width; ++x) {
    const Rgba colour = directColour(x, y);
    if (packType == 1) row.push_back(0);  // the unused byte of xRGB
    row.insert(row.end(), colour.begin(), colour.begin() + 3);
  }
  return row;
}

TEST(PictDecoder, ThirtyTwoBitPixelsInEveryPacking) {
  struct Case {
    int width;
    unsigned packType;
    unsigned cmpCount;
  };
  // Component planes (types 0 and 4, with and without the alpha plane, which QuickDraw does
  // not draw), xRGB (type 1, and rows under 8 bytes), RGB without the pad (type 2).
  for (const Case c : {Case{20, 4, 3}, Case{20, 0, 3}, Case{20, 4, 4}, Case{70, 4, 3},
                       Case{20, 1, 3}, Case{1, 0, 3}, Case{20, 2, 3}}) {
    SCOPED_TRACE(testing::Message() << c.width << " wide, packing " << c.packType << ", "
                                    << c.cmpCount << " components");
    const PictRect frame{0, 0, 3, c.width};
    const unsigned rowBytes = 4u * static_cast<unsigned>(c.width);
    PictBuilder pict(frame);
    pict.op(0x009A).u32(0xFF).pixMap(rowBytes, frame, c.packType, 32, c.cmpCount);
    pict.rect(frame).rect(frame).u16(0);
    const bool packed = rowBytes >= 8 && (c.packType == 0 || c.packType == 4);
    for (int y = 0; y < 3; ++y) {
      const auto row = directRow(c.width, y, rowBytes < 8 ? 1 : c.packType, c.cmpCount);
      if (packed) {
        pict.packedRow(row, rowBytes);
      } else {
        pict.data(row);
      }
    }
    const auto bitmap = render(pict.finish());
    ASSERT_TRUE(bitmap);
    expectPixels(*bitmap, directColour);
  }
}

// A 2 x 2 bitmap: black, white / white, black.
PictBuilder& checkerBits(PictBuilder& pict, unsigned opcode, const PictRect& bounds,
                         const PictRect& src, const PictRect& dst) {
  pict.op(opcode).u16(2).rect(bounds).rect(src).rect(dst).u16(0);
  return pict;
}
PictBuilder& checkerRows(PictBuilder& pict) { return pict.data({0x80, 0x00, 0x40, 0x00}); }

TEST(PictDecoder, BitmapsArePlacedAndScaledToTheirDestination) {
  // The frame starts at (20, 10): the raster's origin. The 2 x 2 checker lands at (22, 12)
  // scaled to 4 x 4; the rest of the frame stays transparent.
  const PictRect frame{10, 20, 20, 30};
  const PictRect bounds{0, 0, 2, 2};
  PictBuilder pict(frame);
  checkerRows(checkerBits(pict, 0x0090, bounds, bounds, {12, 22, 16, 26}));
  auto bitmap = render(pict.finish());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(bitmap->width, 10);
  EXPECT_EQ(bitmap->height, 10);
  expectPixels(*bitmap, [](int x, int y) {
    if (x < 2 || x >= 6 || y < 2 || y >= 6) return kTransparent;
    return ((x - 2) / 2 == (y - 2) / 2) ? kBlack : kWhite;
  });

  // Only the source rectangle's part is drawn: its right column, stretched to 1 x 2.
  PictBuilder part(frame);
  checkerRows(checkerBits(part, 0x0090, bounds, {0, 1, 2, 2}, {10, 20, 12, 21}));
  bitmap = render(part.finish());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(pixel(*bitmap, 0, 0), kWhite);
  EXPECT_EQ(pixel(*bitmap, 0, 1), kBlack);
  EXPECT_EQ(pixel(*bitmap, 1, 0), kTransparent);

  // A destination reaching outside the frame is cut at its edges.
  PictBuilder outside(frame);
  checkerRows(checkerBits(outside, 0x0090, bounds, bounds, {9, 19, 11, 21}));
  bitmap = render(outside.finish());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(pixel(*bitmap, 0, 0), kBlack);
  EXPECT_EQ(pixel(*bitmap, 1, 0), kTransparent);
}

TEST(PictDecoder, RegionsMaskTheirBitmapsAndClipTheDrawing) {
  const PictRect frame{0, 0, 4, 4};
  const PictRect bounds{0, 0, 2, 2};
  // An L-shaped mask: row 0 columns 0-3, rows 1-3 columns 0-1 (inversion lines at y 0 and 1).
  PictBuilder masked(frame);
  masked.op(0x0091).u16(2).rect(bounds).rect(bounds).rect(frame).u16(0);
  masked.u16(10 + 18).rect(frame);
  masked.u16(0).u16(0).u16(4).u16(0x7FFF).u16(1).u16(2).u16(4).u16(0x7FFF).u16(0x7FFF);
  checkerRows(masked);
  auto bitmap = render(masked.finish());
  ASSERT_TRUE(bitmap);
  expectPixels(*bitmap, [](int x, int y) {
    if (y > 0 && x >= 2) return kTransparent;
    return (x / 2 == y / 2) ? kBlack : kWhite;
  });

  // A clip rectangle set before the drawing keeps it to the top-left 1 x 3.
  PictBuilder clipped(frame);
  clipped.op(0x0001).region({0, 0, 3, 1});
  checkerRows(checkerBits(clipped, 0x0090, bounds, bounds, frame));
  bitmap = render(clipped.finish());
  ASSERT_TRUE(bitmap);
  expectPixels(*bitmap, [](int x, int y) {
    if (x >= 1 || y >= 3) return kTransparent;
    return y < 2 ? kBlack : kWhite;
  });
}

TEST(PictDecoder, VersionOnePicturesWithoutFileHeader) {
  const PictRect frame{0, 0, 2, 2};
  PictBuilder pict(frame, PictVersion::One, false);
  // Opcodes are single bytes, unaligned: a TxFace byte puts the bitmap on an odd offset.
  pict.op(0x04).u8(1);
  checkerRows(checkerBits(pict, 0x90, frame, frame, frame));
  const auto bitmap = render(pict.finish());
  ASSERT_TRUE(bitmap);
  expectPixels(*bitmap, [](int x, int y) { return x == y ? kBlack : kWhite; });
}

TEST(PictDecoder, SkipsEveryOtherKnownOpcodeByItsLength) {
  const PictRect frame{0, 0, 2, 2};
  PictBuilder pict(frame);
  pict.op(0x0028).u32(0).u8(3).data({'a', 'b', 'c'});       // LongText, odd length
  pict.op(0x00A1).u16(100).u16(3).data({1, 2, 3});           // LongComment
  pict.op(0x0070).u16(10 + 4).rect(frame).u32(0);            // polygon
  pict.op(0x0012).u16(2).u32(0).u32(0).u16(1).u16(2).u16(3);  // dither BkPixPat
  pict.op(0x0013).u16(1).u32(0).u32(0);                      // colour PnPixPat, 2 x 2 8-bit
  pict.pixMap(2, frame, 0, 8, 1).colourTable({{1, 2, 3}}).data({0, 0, 0, 0});
  pict.op(0x0031).rect(frame);                               // paintRect
  pict.op(0x00A2).u16(3).data({1, 2, 3});                    // reserved, word length
  pict.op(0x00D0).u32(2).u16(0);                             // reserved, long length
  pict.op(0x0200).u32(0);                                    // reserved, 4 bytes
  pict.op(0x8000);                                           // reserved, no data
  pict.op(0x8100).u32(1).u8(9);                              // reserved, long length
  pict.op(0x8200).u32(68 + 8).data(std::vector<std::uint8_t>(68, 0));  // QuickTime, not JPEG
  pict.u32(8).data({'r', 'a', 'w', ' '});
  checkerRows(checkerBits(pict, 0x0090, frame, frame, frame));
  const auto bitmap = render(pict.finish());
  ASSERT_TRUE(bitmap);
  expectPixels(*bitmap, [](int x, int y) { return x == y ? kBlack : kWhite; });
}

// The JPEG inside the ImageMagick fixture (32 x 24, orange at the top, navy at the bottom).
std::vector<std::uint8_t> fixtureJpeg() {
  const auto pict = readWholeFile(std::string(QUILLANE_TEST_DATA_DIR) + "/pict/im-jpeg.pict");
  if (!pict) return {};
  const std::array<std::uint8_t, 3> soi = {0xFF, 0xD8, 0xFF};
  const std::array<std::uint8_t, 2> eoi = {0xFF, 0xD9};
  const auto start = std::search(pict->begin(), pict->end(), soi.begin(), soi.end());
  const auto end = std::search(start, pict->end(), eoi.begin(), eoi.end());
  if (end == pict->end()) return {};
  return {start, end + 2};
}

// A compressed QuickTime opcode holding the JPEG, placed by the matrix's translation.
void addQuickTimeJpeg(PictBuilder& pict, const std::vector<std::uint8_t>& jpeg, int dx, int dy) {
  constexpr std::uint32_t kOne = 0x10000;
  const PictRect source{0, 0, 24, 32};
  pict.op(0x8200).u32(static_cast<std::uint32_t>(68 + 86 + jpeg.size())).u16(0);
  pict.u32(kOne).u32(0).u32(0).u32(0).u32(kOne).u32(0);
  pict.u32(static_cast<std::uint32_t>(dx) << 16).u32(static_cast<std::uint32_t>(dy) << 16);
  pict.u32(0x40000000).u32(0).rect({}).u16(0).rect(source).u32(0).u32(0);
  // Image description: size, codec, reserved fields, 32 x 24, resolutions, data size, rest.
  pict.u32(86).data({'j', 'p', 'e', 'g'}).data(std::vector<std::uint8_t>(24, 0));
  pict.u16(32).u16(24).u32(0x00480000).u32(0x00480000);
  pict.u32(static_cast<std::uint32_t>(jpeg.size())).data(std::vector<std::uint8_t>(38, 0));
  pict.data(jpeg);
}

TEST(PictDecoder, QuickTimeJpegsArePlacedByTheirMatrixAndHideTheirFallback) {
  const auto jpeg = fixtureJpeg();
  ASSERT_FALSE(jpeg.empty());
  const PictRect frame{0, 0, 48, 64};
  PictBuilder pict(frame);
  addQuickTimeJpeg(pict, jpeg, 32, 24);
  // The fallback bitmap after it is not drawn; a later one is.
  const PictRect one{0, 0, 1, 1};
  pict.op(0x0090).u16(1).rect(one).rect(one).rect(frame).u16(0).u8(0x80);
  pict.op(0x0090).u16(1).rect(one).rect(one).rect({0, 0, 1, 1}).u16(0).u8(0x80);
  const auto bitmap = render(pict.finish());
  ASSERT_TRUE(bitmap);
  EXPECT_EQ(pixel(*bitmap, 0, 0), kBlack);
  EXPECT_EQ(pixel(*bitmap, 1, 1), kTransparent);
  EXPECT_EQ(pixel(*bitmap, 31, 23), kTransparent);
  const Rgba top = pixel(*bitmap, 40, 24);     // orange
  const Rgba bottom = pixel(*bitmap, 40, 47);  // navy
  EXPECT_GT(top[0], 200);
  EXPECT_LT(top[2], 40);
  EXPECT_LT(bottom[0], 40);
  EXPECT_GT(bottom[2], 90);
  EXPECT_EQ(top[3], 255);

  // A damaged JPEG makes the picture corrupt.
  auto damaged = jpeg;
  damaged.resize(damaged.size() / 2);
  PictBuilder broken(frame);
  addQuickTimeJpeg(broken, damaged, 0, 0);
  broken.op(0x0090).u16(1).rect(one).rect(one).rect({47, 63, 48, 64}).u16(0).u8(0x80);
  EXPECT_FALSE(decodePict(broken.finish()));
}

TEST(PictDecoder, UnknownOpcodesEndTheDrawingAndCorruptOnesAnswerNothing) {
  const PictRect frame{0, 0, 2, 2};
  const PictRect left{0, 0, 2, 1};
  const PictRect right{0, 1, 2, 2};
  struct Case {
    const char* name;
    std::function<void(PictBuilder&)> stop;
    bool keepsWhatWasDrawn;
  };
  const Case cases[] = {
      {"unknown version-1 opcode", [](PictBuilder& p) { p.op(0xA5); }, true},
      {"polygon of size 0", [](PictBuilder& p) { p.op(0x70).u16(0); }, true},
      {"rowBytes too small", [&](PictBuilder& p) {
         p.op(0x98).u16(0).rect(right).rect(right).rect(right).u16(0);
       }, false},
      {"3 bits a pixel", [&](PictBuilder& p) {
         p.op(0x98).pixMap(1, right, 0, 3, 1).colourTable({{0, 0, 0}});
         p.rect(right).rect(right).u16(0).u8(0).u8(0);
       }, false},
      {"region smaller than its box", [](PictBuilder& p) { p.op(0x01).u16(9); }, false},
      {"index beyond the colour table", [&](PictBuilder& p) {
         p.op(0x98).pixMap(1, right, 0, 2, 1).colourTable({{0, 0, 0}});
         p.rect(right).rect(right).u16(0).u8(0xF0).u8(0);
       }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PictBuilder pict(frame, PictVersion::One, false);
    pict.op(0x90).u16(1).rect(left).rect(left).rect(left).u16(0).u8(0x80).u8(0x00);
    c.stop(pict);
    // Never drawn: a black right column.
    pict.op(0x90).u16(1).rect(right).rect(right).rect(right).u16(0).u8(0x80).u8(0x80);
    const auto bitmap = render(pict.finish());
    if (!c.keepsWhatWasDrawn) {
      EXPECT_FALSE(bitmap);
      continue;
    }
    ASSERT_TRUE(bitmap);
    expectPixels(*bitmap, [](int x, int y) {
      if (x == 1) return kTransparent;
      return y == 0 ? kBlack : kWhite;
    });
  }
}

TEST(PictDecoder, RedrawingIsBoundedByABudget) {
  // 100 bitmaps each stretch one pixel over the whole frame: past 64 frames' worth of
  // pixels the picture is refused instead of drawn on.
  const PictRect frame{0, 0, 50, 50};
  const PictRect one{0, 0, 1, 1};
  PictBuilder pict(frame);
  for (int i = 0; i < 100; ++i) {
    pict.op(0x0090).u16(1).rect(one).rect(one).rect(frame).u16(0).u8(i % 2 == 0 ? 0x80 : 0);
  }
  EXPECT_FALSE(decodePict(pict.finish()));
  PictBuilder within(frame);
  for (int i = 0; i < 64; ++i) within.op(0x0090).u16(1).rect(one).rect(one).rect(frame).u16(0).u8(0);
  EXPECT_TRUE(decodePict(within.finish()));
}

TEST(PictDecoder, AnswersNothingForBytesThatHoldNoPicture) {
  const auto withFrame = [](PictRect frame) { return PictBuilder(frame).finish(); };
  std::vector<std::uint8_t> noVersion = withFrame({0, 0, 2, 2});
  noVersion[512 + 11] = 0x12;
  const std::vector<std::vector<std::uint8_t>> cases = {
      {},
      std::vector<std::uint8_t>(600, 0),
      noVersion,
      withFrame({0, 0, 0, 5}),          // empty frame
      withFrame({5, 5, 2, 8}),          // upside down
      withFrame({0, 0, 30001, 10}),     // taller than a document can be
      withFrame({-20000, 0, 20000, 1}), // 40000 high
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_FALSE(decodePict(cases[i])) << i;
  }
  // A well-formed picture without a single drawing opcode is a transparent frame.
  const auto empty = decodePict(withFrame({0, 0, 3, 4}));
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->size(), (Size{4, 3}));
  const auto raster = empty->render();
  for (const std::uint8_t byte : raster->pixels) EXPECT_EQ(byte, 0);
}

}  // namespace
}  // namespace quillane
