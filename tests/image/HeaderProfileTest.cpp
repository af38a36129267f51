// The profile read from a file's headers alone against the one its decoder gives, for every
// test image and every damaged file.
#include "image/decode/HeaderProfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "image/decode/Decode.h"

namespace quillane {
namespace {

std::vector<std::uint8_t> fromMemory(std::span<const std::uint8_t> bytes) {
  return headerProfile([bytes](std::uint64_t offset, std::span<std::uint8_t> out) {
    if (offset >= bytes.size()) return std::size_t{0};
    const std::size_t count = std::min<std::uint64_t>(out.size(), bytes.size() - offset);
    std::memcpy(out.data(), bytes.data() + offset, count);
    return count;
  });
}

TEST(HeaderProfile, IsTheProfileTheDecoderGivesForEveryTestFile) {
  int compared = 0, withProfile = 0;
  for (const char* folder : {"images", "bad"}) {
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(QUILLANE_TEST_DATA_DIR "/") + folder)) {
      const std::string name = entry.path().filename().string();
      const auto file = readWholeFile(entry.path().string());
      if (!file) continue;
      const std::vector<std::uint8_t>& bytes = *file;
      const auto read = fromMemory(bytes);
      DecodeRequest corner;  // the pixels are not the point
      corner.keepWidth = corner.keepHeight = 1;
      const auto decoded = decodeImage(bytes, corner);
      if (!decoded) continue;
      EXPECT_EQ(read, decoded->iccProfile) << name;
      ++compared;
      withProfile += !read.empty();
    }
  }
  EXPECT_GT(compared, 100);
  EXPECT_GE(withProfile, 5);  // the profile-* files but for CMYK and sRGB
}

}  // namespace
}  // namespace quillane
