// The threads of a streamed job: the next file decoded while the current one is added, the
// channels of each layer and of the composite packed side by side. Run under
// ThreadSanitizer; the document must also come out whole.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "job/JobRecord.h"
#include "psd/PSDStreamWriter.h"

namespace quillane {
namespace {

namespace fs = std::filesystem;

// A 24-bit BMP of width x height: a colour that changes with seed, white stripes.
std::string stripedBmp(int width, int height, int seed) {
  const int rowBytes = (width * 3 + 3) / 4 * 4;
  std::string bytes = "BM";
  const auto put = [&bytes](std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(14 + 40 + rowBytes * height, 4);
  put(0, 4);
  put(54, 4);
  put(40, 4);
  put(std::uint32_t(width), 4);
  put(std::uint32_t(height), 4);
  put(1, 2);
  put(24, 2);
  for (int i = 0; i < 6; ++i) put(0, 4);
  for (int y = 0; y < height; ++y) {
    std::string row;
    for (int x = 0; x < width; ++x) {
      if ((x / 3 + y + seed * 40) % 7 == 0) {
        row += "\xff\xff\xff";  // white stripes: keyed out with the white option
      } else {
        row += {static_cast<char>(seed * 30), static_cast<char>(x), static_cast<char>(y)};
      }
    }
    row.resize(std::size_t(rowBytes), '\0');
    bytes += row;
  }
  return bytes;
}

TEST(StreamedJobThread, DecodeAheadAndChannelThreadsMakeAWholeDocument) {
  std::string pattern = (fs::temp_directory_path() / "quillane-thread-XXXXXX").string();
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  const fs::path folder = pattern;
  for (int i = 0; i < 6; ++i) {
    std::ofstream(folder / ("f" + std::to_string(i) + ".bmp"), std::ios::binary)
        << stripedBmp(90 - i * 7, 60 + i * 5, i);
  }
  for (const std::int32_t option : {0, 1}) {
    JobRecord record;
    record.optionTransparent = option;
    const fs::path output = folder / "out.psd";
    record.createPSDFile(record.makeImageFileList(folder.string()), output.string());
    std::ifstream in(output, std::ios::binary);
    char signature[4] = {};
    in.read(signature, 4);
    EXPECT_EQ(std::string(signature, 4), "8BPS");
    EXPECT_GT(fs::file_size(output), 6u * 4u * 60u);
    fs::remove(output);
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace quillane
