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

Decoded<Image> decodeFile(const std::string& file, const DecodeRequest& request = {}) {
  auto bytes = testing::dataBytes(file);
  if (file.starts_with("pict/")) return createPictImage(bytes, request);
  return decodeImage(bytes, request);
}

TEST(Region, APartDecodesAsTheWholeCutToIt) {
  const char* files[] = {
      "images/jpeg-160x96-420.jpg", "images/jpeg-160x96-422-progressive.jpg",
      "images/jpeg-rgb.jpg", "images/jpeg-cmyk-adobe.jpg", "images/png-rgba8.png",
      "images/png-rgba8-interlaced.png", "images/gif-interlaced.gif",
      "images/gif-offset-frame-local-palette.gif", "images/bmp-rgb24.bmp",
      "images/bmp-rgb24-topdown.bmp", "images/tiff-rgb8-lzw.tif",
      "images/tiff-rgba8-associated-tiled.tif", "images/tiff-palette8.tif",
      "images/tiff-cmyk8.tif", "images/tiff-1bit.tif", "images/tiff-ycbcr-jpeg.tif",
      "pict/im-direct.pict", "pict/im-jpeg.pict",
      "pict/built-clip.pict", "pict/built-mask.pict", "pict/built-placement.pict",
      "pict/built-quicktime.pict"};
  const DecodeRequest regions[] = {{1, 1}, {5, 4}, {7, 1000}, {1000, 3}, {90, 50}, {1000, 1000}};
  for (const char* file : files) {
    const auto whole = decodeFile(file);
    ASSERT_TRUE(whole) << file;
    for (const DecodeRequest& region : regions) {
      SCOPED_TRACE(std::to_string(region.keepWidth) + " x " + std::to_string(region.keepHeight));
      Bitmap cut = *whole->renderBitmap();
      cut.keepTopLeft(region.keepWidth, region.keepHeight);
      const auto part = decodeFile(file, region);
      ASSERT_TRUE(part) << file;
      const auto bitmap = part->renderBitmap();
      EXPECT_TRUE(bitmap->width == cut.width && bitmap->height == cut.height &&
                  bitmap->pixels == cut.pixels) << file;
    }
  }
}

// Each file claims far more than a small budget holds: a 525-byte picture whose frame claims
// 24867 x 18135 and that draws nothing, a GIF screen of 65535 x 65535, and a 13 x 11 JPEG whose
// frame header claims 60000 rows. Only the part kept is paid for, so that part decodes.
TEST(Region, AHugeClaimCostsOnlyThePartKept) {
  const std::uint8_t picture[] = {0, 0, 0, 0, 0, 0, 0x46, 0xD7, 0x61, 0x23, 0x11, 0x01, 0xFF};
  std::vector<std::uint8_t> pict(512 + std::size(picture));  // a file header, then the picture
  std::copy(std::begin(picture), std::end(picture), pict.begin() + 512);
  const auto gif = testing::dataBytes("bad/gif-65535-square-screen.gif");
  auto jpeg = testing::dataBytes("images/jpeg-rgb.jpg");
  const std::uint8_t startOfFrame[] = {0xFF, 0xC0};
  auto frame = std::search(jpeg.begin(), jpeg.end(), startOfFrame, std::end(startOfFrame));
  frame[5] = 0xEA;  // the height, after the marker, the length and the precision
  frame[6] = 0x60;
  const std::pair<const char*, std::function<Decoded<Image>(const DecodeRequest&)>> decoders[] = {
      {"pict", [&](const DecodeRequest& request) { return createPictImage(pict, request); }},
      {"gif", [&](const DecodeRequest& request) { return decodeImage(gif, request); }},
      {"jpeg", [&](const DecodeRequest& request) { return decodeImage(jpeg, request); }}};
  const ThreadImageByteLimit budget(std::size_t{1} << 20);  // with room for libjpeg's own
  for (const auto& [format, decode] : decoders) {
    EXPECT_EQ(decode({}).error().kind, DecodeFailure::OutOfMemory) << format;
    EXPECT_TRUE(decode({16, 9})) << format;
  }
}

}  // namespace
}  // namespace quillane
