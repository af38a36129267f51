// Decoding only the part of an image its caller keeps: the same pixels as a whole decode cut
// to that part, at the cost of the part.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "image/DecodePatterns.h"
#include "image/PictFile.h"
#include "image/decode/Decode.h"
#include "util/MemoryBudget.h"

namespace quillane {
namespace {

using testing::dataBytes;

Decoded<Image> decodeFile(const std::string& file, const DecodeRequest& request = {}) {
  auto bytes = dataBytes(file);
  if (file.starts_with("pict/")) return createPictImage(bytes, request);
  return decodeImage(bytes, request);
}

TEST(Region, APartDecodesAsTheWholeCutToIt) {
  const char* files[] = {
      "images/jpeg-160x96-420.jpg", "images/jpeg-160x96-422-progressive.jpg",
      "images/jpeg-rgb.jpg",        "images/jpeg-cmyk-adobe.jpg",
      "images/png-rgba8.png",       "images/png-rgba8-interlaced.png",
      "images/gif-interlaced.gif",  "images/gif-offset-frame-local-palette.gif",
      "images/bmp-rgb24.bmp",       "images/bmp-rgb24-topdown.bmp",
      "images/tiff-rgb8-lzw.tif",   "images/tiff-rgba8-associated-tiled.tif",
      "pict/im-direct.pict",        "pict/im-jpeg.pict",
      "pict/built-clip.pict",       "pict/built-mask.pict",
      "pict/built-placement.pict",  "pict/built-quicktime.pict",
  };
  const DecodeRequest regions[] = {{1, 1}, {5, 4}, {7, 1000}, {1000, 3}, {90, 50}, {1000, 1000}};
  for (const char* file : files) {
    const auto whole = decodeFile(file);
    ASSERT_TRUE(whole) << file;
    for (const DecodeRequest& region : regions) {
      SCOPED_TRACE(::testing::Message() << file << " within " << region.keepWidth << " x "
                                        << region.keepHeight);
      Bitmap cut = *whole->renderBitmap();
      cut.keepTopLeft(region.keepWidth, region.keepHeight);
      const auto part = decodeFile(file, region);
      ASSERT_TRUE(part);
      const auto bitmap = part->renderBitmap();
      ASSERT_EQ(bitmap->width, cut.width);
      ASSERT_EQ(bitmap->height, cut.height);
      EXPECT_TRUE(bitmap->pixels == cut.pixels);
    }
  }
}

// A version-1 picture of 525 bytes whose frame claims 24867 x 18135 pixels and that draws
// nothing.
std::vector<std::uint8_t> emptyPictureWithAHugeFrame() {
  const std::uint8_t picture[] = {0, 0, 0, 0, 0, 0, 0x46, 0xD7, 0x61, 0x23, 0x11, 0x01, 0xFF};
  std::vector<std::uint8_t> bytes(512 + std::size(picture), 0);
  std::copy(std::begin(picture), std::end(picture), bytes.begin() + 512);
  return bytes;
}

// A 13 x 11 baseline JPEG whose frame header claims 60000 rows; its data ends after the
// eleventh.
std::vector<std::uint8_t> jpegClaimingHugeHeight() {
  auto bytes = dataBytes("images/jpeg-rgb.jpg");
  const std::uint8_t startOfFrame[] = {0xFF, 0xC0};
  const auto frame = std::search(bytes.begin(), bytes.end(), std::begin(startOfFrame),
                                 std::end(startOfFrame));
  frame[5] = 0xEA;  // the height, after the marker, the length and the precision
  frame[6] = 0x60;
  return bytes;
}

// What the file claims is refused by a small budget (which holds the kept part and libjpeg's
// working memory), and the kept part then decodes.
TEST(Region, AHugeClaimCostsOnlyThePartKept) {
  const DecodeRequest canvas{16, 9};
  const ThreadImageByteLimit budget(std::size_t{1} << 20);
  auto pict = emptyPictureWithAHugeFrame();
  auto gif = dataBytes("bad/gif-65535-square-screen.gif");
  auto jpeg = jpegClaimingHugeHeight();
  const std::pair<const char*, std::function<Decoded<Image>(const DecodeRequest&)>> decoders[] = {
      {"pict", [&](const DecodeRequest& request) { return createPictImage(pict, request); }},
      {"gif", [&](const DecodeRequest& request) { return decodeImage(gif, request); }},
      {"jpeg", [&](const DecodeRequest& request) { return decodeImage(jpeg, request); }},
  };
  for (const auto& [format, decode] : decoders) {
    SCOPED_TRACE(format);
    const auto whole = decode({});
    ASSERT_FALSE(whole);
    EXPECT_EQ(whole.error().kind, DecodeFailure::OutOfMemory);
    EXPECT_TRUE(decode(canvas));
  }
}

}  // namespace
}  // namespace quillane
