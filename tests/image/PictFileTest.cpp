// The PICT reader: recognising and measuring pictures, and decoding every picture
// of tests/data/pict/ (written by ImageMagick and netpbm, or byte by byte by
// scripts/make-test-picts) to the pixels stored beside it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "image/DecodePatterns.h"
#include "image/decode/Decoders.h"
#include "image/decode/pict/OpcodeLengths.h"
#include "image/decode/pict/PixelRows.h"

namespace quillane {
namespace {

using testing::dataBytes;

TEST(PictFile, RecognisesTheThreeExtensionsInLowerCaseOnly) {
  const std::pair<const char*, bool> cases[] = {
      {"/a/b.pict", true},  {"/a/b.pct", true},
      {"b.pic", true},      {"/a/b.jpg.pct", true},
      {"/a/b.PICT", false}, {"/a/b.pict.png", false},
      {"/a/pict", false},   {"/a.pict/b", false},
      {"/a/b.", false},     {"", false},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(isPictFile(path), expected) << path;
}

// A version-2 picture file: file header, picture size, frame, 00 11 02 FF, then the header
// opcode at 526 with the given header version, 300 dpi and the source rectangle.
std::vector<std::uint8_t> version2File(std::uint16_t headerVersion = 0xFFFE,
                                       std::array<std::uint16_t, 4> source = {10, 20, 110, 220},
                                       std::array<std::uint16_t, 4> frame = {0, 0, 50, 60}) {
  std::vector<std::uint8_t> bytes(512, 0);
  std::vector<std::uint16_t> words = {0,      frame[0], frame[1],      frame[2], frame[3], 0x0011,
                                      0x02FF, 0x0C00,   headerVersion, 0,        0x012C,   0,
                                      0x012C, 0};
  words.insert(words.end(), source.begin(), source.end());
  words.insert(words.end(), {0, 0, 0x00FF});
  for (const std::uint16_t word : words)
    bytes.insert(bytes.end(), {std::uint8_t(word >> 8), std::uint8_t(word)});
  return bytes;
}

TEST(PictFile, TheExtendedHeaderGivesTheSize) {
  auto bytes = version2File();
  EXPECT_EQ(pictSize(bytes), (Size{220, 110}));  // right and bottom, top and left not subtracted
  bytes.insert(bytes.begin() + 526, 0x77);       // the header opcode is searched for, at any offset
  EXPECT_EQ(pictSize(bytes), (Size{220, 110}));
  bytes.resize(527 + 14);  // room for the resolutions, not the source rectangle
  EXPECT_EQ(pictSize(bytes), Size{});
}

TEST(PictFile, OtherHeadersAreMeasuredByTheFrameOrNotAtAll) {
  const auto whole = version2File();
  auto wrongVersion = whole;
  wrongVersion[525] = 0xFE;
  auto noHeaderOpcode = whole;
  noHeaderOpcode[526] = 0x0B;
  auto noFileHeader = whole;
  noFileHeader.erase(noFileHeader.begin(), noFileHeader.begin() + 512);
  const std::pair<std::vector<std::uint8_t>, Size> cases[] = {
      // netpbm's version -1 header: a fixed-point rectangle where the resolutions would be.
      {version2File(0xFFFF, {0, 0, 0, 0}, {5, 7, 105, 207}), {207, 105}},
      {wrongVersion, {}},
      {noHeaderOpcode, {}},
      {noFileHeader, {}},  // decoded, but measured only after a file header
      {{whole.begin(), whole.begin() + 525}, {}},
      {{whole.begin(), whole.begin() + 527}, {}},
      {{whole.begin(), whole.begin() + 526 + 3}, {}},  // no room for the header's version
  };
  for (const auto& [bytes, size] : cases) {
    SCOPED_TRACE(bytes.size());
    EXPECT_EQ(pictSize(bytes), size);
  }
}

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;
};

// A binary PPM (P6) or PAM (P7, RGB_ALPHA), of samples up to 255, as RGBA.
Pixels readNetpbm(const std::string& name) {
  std::ifstream in(testing::dataPath(name), std::ios::binary);
  std::string word;
  Pixels pixels;
  int depth = 3;
  in >> word;
  const bool pam = word == "P7";
  if (!pam) in >> pixels.width >> pixels.height >> word;
  while (pam && in >> word && word != "ENDHDR") {
    if (word == "WIDTH") in >> pixels.width;
    if (word == "HEIGHT") in >> pixels.height;
    if (word == "DEPTH") in >> depth;
  }
  in.get();
  const std::vector<std::uint8_t> samples(std::istreambuf_iterator<char>(in), {});
  for (std::size_t i = 0; i + depth <= samples.size(); i += depth) {
    pixels.rgba.insert(pixels.rgba.end(), samples.begin() + i, samples.begin() + i + 3);
    pixels.rgba.push_back(depth == 4 ? samples[i + 3] : 255);
  }
  return pixels;
}

TEST(PictFile, EveryPictureDecodesToThePixelsBesideIt) {
  const std::pair<const char*, int> cases[] = {
      // the picture, and the largest colour difference
      {"im-indexed", 0},       // 8-bit PackBitsRect
      {"im-wide-indexed", 0},  // word byte counts
      {"im-direct", 0},
      {"im-wide", 0},   // 32-bit DirectBitsRect, 3 planes
      {"im-alpha", 0},  // 4 planes, alpha first
      {"netpbm-indexed", 0},
      {"netpbm-wide", 0},  // version -1 header
      {"im-jpeg", 8},
      {"im-jpeg-progressive", 8},  // QuickTime JPEG, lossy
      {"built-indexed", 0},
      {"built-short-row", 0},
      {"built-direct", 0},
      {"built-placement", 0},
      {"built-clip", 0},
      {"built-mask", 0},
      {"built-version-1", 0},
      {"built-skipped-opcodes", 0},
      {"built-unknown-opcode", 0},
      {"built-small-polygon", 0},
      {"built-quicktime", 8},
      {"built-redraw-64", 0},
      {"built-empty", 0},
      {"built-tiny-rows-raw", 0},
      {"built-tiny-rows-packed", 0},
  };
  for (const auto& [name, tolerance] : cases) {
    SCOPED_TRACE(name);
    const std::string picture = std::string("pict/") + name;
    const auto bytes = dataBytes(picture + ".pict");
    const auto image = decodePict(bytes);
    ASSERT_TRUE(image) << int(image.error().kind);
    const bool built = picture.starts_with("pict/built");
    const Pixels expected = readNetpbm(
        built ? picture + ".pam" : picture.substr(0, picture.find("-progressive")) + ".ppm");
    const Size size{expected.width, expected.height};
    const Bitmap& bitmap = image->bitmap;
    EXPECT_EQ((Size{bitmap.width, bitmap.height}), size);
    EXPECT_EQ(image->resolution, Resolution{});
    if (!built) {
      EXPECT_EQ(pictSize(bytes), size);
    }
    ASSERT_EQ(bitmap.pixels.size(), expected.rgba.size());
    int worst = 0;
    for (std::size_t i = 0; i < expected.rgba.size(); i += 4) {
      ASSERT_EQ(bitmap.pixels[i + 3], expected.rgba[i + 3]) << "alpha of pixel " << i / 4;
      for (std::size_t c = i; c < i + 3 && expected.rgba[i + 3] != 0; ++c)
        worst = std::max(worst, std::abs(bitmap.pixels[c] - expected.rgba[c]));
    }
    EXPECT_LE(worst, tolerance);
  }
}

// Every prefix of a picture is cut short, and read no further than its end (the sanitizers
// watch).
TEST(PictFile, EveryPrefixOfAPictureIsCutShort) {
  for (const char* name : {"im-indexed", "im-direct", "im-jpeg", "netpbm-wide", "built-direct"}) {
    SCOPED_TRACE(name);
    const auto bytes = dataBytes(std::string("pict/") + name + ".pict");
    for (std::size_t length = 1; length < bytes.size(); ++length) {
      const auto rep = decodePict(std::span(bytes).first(length));
      ASSERT_FALSE(rep) << length;
      EXPECT_EQ(rep.error().kind, DecodeFailure::CutShort) << length;
    }
  }
}

// PackBits rows fill their row exactly: runs that go past it are cut off, short data
// leaves zeros, and nothing is written beyond the row.
TEST(PictFile, PackedRowsFillExactlyTheirRow) {
  using Bytes = std::vector<std::uint8_t>;
  struct Case {
    Bytes packed;
    std::size_t unitBytes;
    Bytes row;
  };
  const Case cases[] = {
      {{0x02, 1, 2, 3, 0xFF, 9}, 1, {1, 2, 3, 9, 9}},
      {{0x05, 1, 2, 3, 4, 5, 6}, 1, {1, 2, 3, 4}},     // a literal longer than the row
      {{0xFF, 9, 0x03, 1, 2, 3, 4}, 1, {9, 9, 1, 2}},  // longer than what a run left of it
      {{0xFB, 7}, 1, {7, 7, 7, 7}},                    // a repeat longer than the row
      {{0xFE, 1, 2}, 2, {1, 2, 1, 2, 1}},              // word runs, cut inside a word
      {{0x80, 0x00, 5}, 1, {5, 0, 0}},                 // a no-op, then data that stops early
      {{0x03, 1}, 1, {1, 0, 0}},                       // a literal cut off by the data's end
  };
  for (const auto& [packed, unitBytes, row] : cases) {
    Bytes out(row.size() + 4, 0xEE);
    unpackBits(packed, std::span(out).first(row.size()), unitBytes);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + std::ptrdiff_t(row.size())), row);
    EXPECT_EQ(Bytes(out.end() - 4, out.end()), Bytes(4, 0xEE)) << "written past the row";
  }
}

// The data lengths of version-2 opcodes that are skipped, at the edges of their ranges.
TEST(PictFile, SkippedOpcodesSkipTheirDefinedLength) {
  const std::pair<std::uint16_t, std::size_t> cases[] = {
      {0x00AF, 2 + 3}, {0x00B0, 0},        {0x00CF, 0}, {0x00D0, 4 + 3}, {0x00FE, 4 + 3},
      {0x0100, 2},     {0x7FFF, 0x7F * 2}, {0x8000, 0}, {0x80FF, 0},     {0x8100, 4 + 3},
  };
  // Word- and long-sized data hold a length of 3 here.
  for (const auto& [opcode, skipped] : cases) {
    std::vector<std::uint8_t> data(0x200, 0);
    const bool word = skipped == 5;
    data[word ? 1 : 3] = 3;
    ByteReader bytes(data);
    EXPECT_TRUE(skipOpcodeData(bytes, opcode, PictVersion::Two)) << std::hex << opcode;
    EXPECT_EQ(bytes.position(), skipped) << std::hex << opcode;
  }
}

}  // namespace
}  // namespace quillane
