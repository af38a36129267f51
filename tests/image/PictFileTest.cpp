// The PICT reader's rules: recognising, measuring, patching and loading pictures.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image/FileRead.h"
#include "image/PictFile.h"
#include "support/LogCapture.h"
#include "util/Log.h"

namespace quillane {
namespace {

using testsupport::LogCapture;

// A version-2 picture file: 512-byte file header, picture size, frame, 00 11 02 FF, then the
// header opcode at 526 with the given header version, resolutions and source rectangle.
std::vector<std::uint8_t> version2File(std::uint16_t headerVersion = 0xFFFE,
                                       std::array<std::uint16_t, 4> source = {10, 20, 110, 220},
                                       std::array<std::uint16_t, 4> frame = {0, 0, 50, 60}) {
  std::vector<std::uint8_t> bytes(512, 0);
  const auto put16 = [&](std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value));
  };
  put16(0);
  for (const auto v : frame) put16(v);
  for (const auto v : {0x0011, 0x02FF, 0x0C00}) put16(static_cast<std::uint16_t>(v));
  put16(headerVersion);
  put16(0);
  for (const auto v : {0x012C, 0x0000, 0x012C, 0x0000}) put16(static_cast<std::uint16_t>(v));
  for (const auto v : source) put16(v);
  put16(0);
  put16(0);
  put16(0x00FF);
  return bytes;
}

std::vector<std::uint8_t> sized(std::size_t size) {
  std::vector<std::uint8_t> bytes(size, 0);
  if (size >= 526) {
    bytes[522] = 0x00;
    bytes[523] = 0x11;
    bytes[524] = 0x02;
    bytes[525] = 0xFF;
  }
  return bytes;
}

TEST(PictFile, RecognisesTheThreeExtensionsInLowerCaseOnly) {
  const std::pair<const char*, bool> cases[] = {
      {"/a/b.pict", true},       {"/a/b.pct", true},        {"b.pic", true},
      {"/a/b.PICT", false},      {"/a/b.Pct", false},       {"/a/b.pict.png", false},
      {"/a/pict", false},        {"/a.pict/b", false},      {"/a/b.", false},
      {"/a/b.jpg.pct", true},    {"", false},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(isPictFile(path), expected) << path;
}

TEST(PictFile, ShortBuffersAreRefusedQuietly) {
  LogCapture log;
  EXPECT_FALSE(isPictVersionOptCode(sized(525)));
  for (const std::size_t size : {526u, 527u}) {
    auto bytes = sized(size);
    EXPECT_TRUE(isPictVersionOptCode(bytes)) << size;
    EXPECT_EQ(pictV2OptHeaderIndex(bytes), kPictHeaderNotFound) << size;
    EXPECT_EQ(pictSize(bytes), Size{}) << size;
    const auto before = bytes;
    EXPECT_FALSE(pictChangeDPI(bytes)) << size;
    EXPECT_EQ(bytes, before);
  }
  EXPECT_TRUE(log.lines().empty());
}

TEST(PictFile, WellFormedVersion2IsMeasuredAndPatched) {
  auto bytes = version2File();
  EXPECT_EQ(pictV2OptHeaderIndex(bytes), 526u);
  // The source rectangle's right and bottom; top and left are not subtracted.
  EXPECT_EQ(pictSize(bytes), (Size{220, 110}));
  auto expected = bytes;
  const std::uint8_t dpi72[] = {0x00, 0x48, 0x00, 0x00, 0x00, 0x48, 0x00, 0x00};
  std::copy(std::begin(dpi72), std::end(dpi72), expected.begin() + 532);
  EXPECT_TRUE(pictChangeDPI(bytes));
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(pictSize(version2File(0xFFFE, {0, 0, 0xFFFF, 0xFFFF})), (Size{65535, 65535}));
}

TEST(PictFile, HeaderSearchAcceptsAnOddOffsetAndLogsWhenNothingIsFound) {
  auto odd = version2File();
  odd.insert(odd.begin() + 526, 0x77);
  EXPECT_EQ(pictV2OptHeaderIndex(odd), 527u);
  EXPECT_EQ(pictSize(odd), (Size{220, 110}));

  auto none = sized(600);
  LogCapture log;
  EXPECT_EQ(pictSize(none), Size{});
  EXPECT_FALSE(pictChangeDPI(none));
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"VERSION2 OPT CODE NOT FOUND",
                                                 "VERSION2 OPT CODE NOT FOUND"}));
}

TEST(PictFile, OtherVersionBytesAreLoggedInHex) {
  auto bytes = version2File();
  bytes[525] = 0xFE;
  LogCapture log;
  EXPECT_FALSE(isPictVersionOptCode(bytes));
  EXPECT_EQ(pictSize(bytes), Size{});
  const auto before = bytes;
  EXPECT_FALSE(pictChangeDPI(bytes));
  EXPECT_EQ(bytes, before);
  ASSERT_FALSE(log.lines().empty());
  EXPECT_EQ(log.lines()[0], "NOT PICT FILE Ver2: 001102fe");
}

TEST(PictFile, HeaderTooNearTheEndCountsAsNotFound) {
  // Header opcode as the last two bytes, then with room for the resolutions only.
  auto atEnd = sized(540);
  atEnd[538] = 0x0C;
  auto resolutionsOnly = sized(540);
  resolutionsOnly[526] = 0x0C;
  resolutionsOnly[528] = 0xFF;
  resolutionsOnly[529] = 0xFE;
  const auto before = atEnd;
  EXPECT_EQ(pictSize(atEnd), Size{});
  EXPECT_FALSE(pictChangeDPI(atEnd));
  EXPECT_EQ(atEnd, before);

  EXPECT_EQ(pictSize(resolutionsOnly), Size{});
  EXPECT_TRUE(pictChangeDPI(resolutionsOnly));
  EXPECT_EQ(resolutionsOnly[533], 0x48);
  EXPECT_EQ(resolutionsOnly[537], 0x48);
}

TEST(PictFile, OlderHeadersAreMeasuredByTheFrameAndLeftUnpatched) {
  // netpbm's version -1 header: a fixed-point rectangle where the resolutions would be.
  auto bytes = version2File(0xFFFF, {0, 0, 0, 0}, {5, 7, 105, 207});
  EXPECT_EQ(pictSize(bytes), (Size{207, 105}));
  const auto before = bytes;
  EXPECT_FALSE(pictChangeDPI(bytes));
  EXPECT_EQ(bytes, before);
}

class PictFileOnDisk : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("quillane-pict-" + std::to_string(::getpid()) + "-" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string write(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    const auto path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  std::filesystem::path dir_;
};

TEST_F(PictFileOnDisk, LoadsInMemoryWithoutWritingAnything) {
  const std::string name = "quillane-probe-" + std::to_string(::getpid()) + ".pict";
  const auto path = write(name, version2File());
  const auto image = createPictImage(path);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->size(), (Size{60, 50}));  // the frame
  EXPECT_EQ(readWholeFile(path), version2File());  // the source is not patched
  EXPECT_FALSE(std::filesystem::exists("/tmp/tmp_" + name));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(PictFileOnDisk, AnswersNothingForWhatCannotBeRead) {
  EXPECT_FALSE(createPictImage((dir_ / "missing.pict").string()));
  EXPECT_FALSE(createPictImage(dir_.string()));
  EXPECT_FALSE(createPictImage(write("empty.pict", {})));
  const auto emptyFrame = version2File(0xFFFE, {0, 0, 1, 1}, {0, 0, 0, 0});
  EXPECT_FALSE(createPictImage(write("frame.pict", emptyFrame)));
}

TEST_F(PictFileOnDisk, ExistsAndRemove) {
  const auto file = write("a.pict", {1});
  const auto folder = dir_ / "sub";
  std::filesystem::create_directories(folder / "deeper");
  EXPECT_TRUE(existsFileWithName(file));
  EXPECT_TRUE(existsFileWithName(folder.string()));
  removeFileWithName(file);
  removeFileWithName(folder.string());
  EXPECT_FALSE(existsFileWithName(file));
  EXPECT_FALSE(existsFileWithName(folder.string()));

  LogCapture log;
  removeFileWithName(file);
  EXPECT_EQ(log.lines(), std::vector<std::string>{"removeFileWithName: FILE NOT EXISTS: " + file});
}

}  // namespace
}  // namespace quillane
