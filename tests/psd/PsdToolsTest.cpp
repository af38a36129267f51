#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "psd/PSDWriter.h"
#include "support/TempFolder.h"

namespace quillane {
namespace {

namespace fs = std::filesystem;
using Pixel = std::array<std::uint8_t, 4>;

Bitmap solid(int width, int height, Pixel colour) {
  Bitmap bitmap = *Bitmap::allocate(width, height);
  for (std::size_t i = 0; i < bitmap.pixels.size(); i += 4) {
    std::copy(colour.begin(), colour.end(), bitmap.pixels.begin() + std::ptrdiff_t(i));
  }
  return bitmap;
}


// A document as the job builds it (straight colour in the layers), read back by psd-tools:
// Japanese names, a translucent layer smaller than the canvas, a layer partly off the canvas
// with a transparent hole.
TEST(PsdTools, ReadsLayersNamesAndCompositeOfAWrittenDocument) {
  PSDWriter writer(Size{40, 30});
  writer.setShouldUnpremultiplyLayerData(true);
  writer.addLayerWithCGImage(solid(40, 30, {0, 0, 255, 255}), "背景.png", 1.0f, Point{});
  writer.addLayerWithCGImage(solid(20, 10, {255, 0, 0, 128}), "写真 1.jpg", 1.0f, Point{5, 5});
  Bitmap holed = solid(10, 10, {0, 255, 0, 255});
  holed.row(2)[4 * 2 + 3] = 0;  // image pixel (2, 2), canvas (37, 27)
  writer.addLayerWithCGImage(holed, "画像~.gif", 0.5f, Point{35, 25});
  const ByteBuffer file = writer.createPSDData();

  testsupport::TempFolder dir;
  const fs::path psd = fs::path(dir.file("out.psd"));
  std::ofstream(psd, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  const fs::path expect = fs::path(dir.file("expect.json"));
  std::ofstream(expect) << R"({
  "width": 40, "height": 30, "tolerance": 2,
  "layers": [
    {"name": "背景.png", "opacity": 255, "pixels": [[0, 0, 0, 0, 255, 255], [39, 29, 0, 0, 255, 255]]},
    {"name": "写真 1.jpg", "opacity": 255,
     "pixels": [[5, 5, 255, 0, 0, 128], [24, 14, 255, 0, 0, 128], [4, 5, 0, 0, 0, 0], [25, 14, 0, 0, 0, 0]]},
    {"name": "画像~.gif", "opacity": 128,
     "pixels": [[35, 25, 0, 255, 0, 255], [39, 29, 0, 255, 0, 255], [37, 27, 0, 0, 0, 0], [34, 25, 0, 0, 0, 0]]}
  ],
  "composite": [[0, 0, 0, 0, 255], [10, 10, 128, 0, 127], [36, 26, 0, 128, 127], [37, 27, 0, 0, 255]]
})";
  const char* python = std::getenv("QUILLANE_PYTHON");
  const std::string command = std::string(python ? python : "/usr/bin/python3") + " " +
                              QUILLANE_SOURCE_DIR "/tests/psd/check_psd.py " + psd.string() + " " +
                              expect.string() + " 2>&1";
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::array<char, 256> chunk;
  while (fgets(chunk.data(), int(chunk.size()), pipe)) output += chunk.data();
  EXPECT_EQ(pclose(pipe), 0) << output;
}

}  // namespace
}  // namespace quillane
