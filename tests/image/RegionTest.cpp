// Decoding only the part of an image its caller keeps: the same pixels as a whole decode cut
// to that part, at the cost of the part.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "image/DecodePatterns.h"
#include "image/decode/Decoders.h"
#include "util/MemoryBudget.h"

namespace quillane {
namespace {

Decoded<DecodedImage> decodeFile(const std::string& file, const DecodeRequest& request = {}) {
  auto bytes = testing::dataBytes(file);
  if (file.starts_with("pict/")) return decodePict(bytes, request);
  return decodeImage(bytes, request);
}

// The part of `whole` the region keeps: its pixels and extremes from the region's origin.
Bitmap cutTo(const Bitmap& whole, const DecodeRequest& region) {
  Bitmap cut;
  cut.width = static_cast<int>(region.keptWidth(whole.width));
  cut.height = static_cast<int>(region.keptHeight(whole.height));
  for (int y = 0; y < cut.height; ++y) {
    const auto from = static_cast<std::size_t>(y + region.keepTop) * whole.width + region.keepLeft;
    const auto* pixels = whole.pixels.data() + 4 * from;
    cut.pixels.insert(cut.pixels.end(), pixels, pixels + cut.rowBytes());
    if (whole.extremes.empty()) continue;
    const auto* extremes = whole.extremes.data() + from;
    cut.extremes.insert(cut.extremes.end(), extremes, extremes + cut.width);
  }
  return cut;
}

// Every format, and every row layout a decoder reads only part of: the pixels and the 16-bit
// extremes of the part are those of the whole cut to it. JPEG and TIFF parts are also taken
// away from the top-left corner: one inside the image, one at its right and bottom (past the
// 13 x 11 pictures, which keep nothing), and the bottom-right pixel of 160 x 96.
TEST(Region, APartDecodesAsTheWholeCutToIt) {
  const char* files[] = {"images/jpeg-160x96-420.jpg",
                         "images/jpeg-160x96-422-progressive.jpg",
                         "images/jpeg-rgb.jpg",
                         "images/jpeg-cmyk-adobe.jpg",
                         "images/png-rgba8.png",
                         "images/png-rgba8-filters.png",
                         "images/png-rgba8-interlaced.png",
                         "images/png-rgba16.png",
                         "images/extremes16.png",
                         "images/gif-interlaced.gif",
                         "images/gif-offset-frame-local-palette.gif",
                         "images/bmp-rle8.bmp",
                         "images/bmp-rle4.bmp",
                         "images/bmp-rgb24.bmp",
                         "images/bmp-rgb24-topdown.bmp",
                         "images/bmp-os2-palette4.bmp",
                         "images/bmp-rgba32.bmp",
                         "images/tiff-rgb8-lzw.tif",
                         "images/tiff-rgba8-associated-tiled.tif",
                         "images/extremes16.tif",
                         "images/tiff-matrix/rgba-unassociated-planes-zip.tif",
                         "images/tiff-matrix/rgb-none-tiles16.tif",
                         "images/tiff-matrix/greyalpha-associated-strips-16bit.tif",
                         "images/tiff-palette8.tif",
                         "images/tiff-cmyk8.tif",
                         "images/tiff-1bit.tif",
                         "images/tiff-ycbcr-jpeg.tif",
                         "pict/im-direct.pict",
                         "pict/im-jpeg.pict",
                         "pict/built-clip.pict",
                         "pict/built-mask.pict",
                         "pict/built-placement.pict",
                         "pict/built-quicktime.pict"};
  const std::vector<DecodeRequest> regions = {{1, 1},    {5, 4},   {7, 1000},
                                              {1000, 3}, {90, 50}, {1000, 1000}};
  // width, height, left, top
  const std::vector<DecodeRequest> awayFromTheCorner = {
      {5, 4, 3, 2}, {30, 20, 100, 70}, {1000, 1000, 7, 5}, {1, 1, 159, 95}};
  for (const std::string file : files) {
    const auto whole = decodeFile(file);
    ASSERT_TRUE(whole) << file;
    auto tried = regions;
    if (file.ends_with(".jpg") || file.ends_with(".tif"))
      tried.insert(tried.end(), awayFromTheCorner.begin(), awayFromTheCorner.end());
    for (const DecodeRequest& region : tried) {
      SCOPED_TRACE(std::to_string(region.keepWidth) + " x " + std::to_string(region.keepHeight) +
                   " from " + std::to_string(region.keepLeft) + ", " +
                   std::to_string(region.keepTop));
      const Bitmap cut = cutTo(whole->bitmap, region);
      const auto part = decodeFile(file, region);
      ASSERT_TRUE(part) << file;
      const Bitmap* bitmap = &part->bitmap;
      EXPECT_TRUE(bitmap->width == cut.width && bitmap->height == cut.height &&
                  bitmap->pixels == cut.pixels && bitmap->extremes == cut.extremes)
          << file;
    }
  }
}

// Each file claims far more than a small budget holds: a 525-byte picture whose frame claims
// 24867 x 18135 and that draws nothing, a GIF screen of 65535 x 65535, a 13 x 11 JPEG whose
// frame header claims 60000 rows, and a BMP, PNG and TIFF whose rasters would take 40 GB with
// data for a corner. Only the part kept is paid for, so that part decodes.
TEST(Region, AHugeClaimCostsOnlyThePartKept) {
  const std::uint8_t picture[] = {0, 0, 0, 0, 0, 0, 0x46, 0xD7, 0x61, 0x23, 0x11, 0x01, 0xFF};
  std::vector<std::uint8_t> pict(512 + std::size(picture));  // a file header, then the picture
  std::copy(std::begin(picture), std::end(picture), pict.begin() + 512);
  auto jpeg = testing::dataBytes("images/jpeg-rgb.jpg");
  const std::uint8_t startOfFrame[] = {0xFF, 0xC0};
  auto frame = std::search(jpeg.begin(), jpeg.end(), startOfFrame, std::end(startOfFrame));
  frame[5] = 0xEA;  // the height, after the marker, the length and the precision
  frame[6] = 0x60;
  using Decode = std::function<Decoded<DecodedImage>(const DecodeRequest&)>;
  std::vector<std::pair<std::string, Decode>> decoders = {
      {"pict", [&](const DecodeRequest& request) { return decodePict(pict, request); }},
      {"jpeg", [&](const DecodeRequest& request) { return decodeImage(jpeg, request); }}};
  for (const char* file : {"bad/gif-65535-square-screen.gif", "images/huge-rle8.bmp",
                           "images/huge-grey.png", "images/huge-tiled.tif"}) {
    decoders.emplace_back(file, [bytes = testing::dataBytes(file)](const DecodeRequest& request) {
      return decodeImage(bytes, request);
    });
  }
  const ThreadImageByteLimit budget(std::size_t{1} << 20);  // with room for libjpeg's own
  for (const auto& [name, decode] : decoders) {
    EXPECT_EQ(decode({}).error().kind, DecodeFailure::OutOfMemory) << name;
    EXPECT_TRUE(decode({16, 9})) << name;
  }
}

}  // namespace
}  // namespace quillane
