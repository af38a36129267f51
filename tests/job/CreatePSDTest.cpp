#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "job/JobRecord.h"
#include "job/JobTestSupport.h"
#include "util/Exception.h"
#include "util/Strings.h"

namespace quillane {
namespace {

using jobtest::describePsd;
using jobtest::OnLogLine;
using jobtest::readFile;
using jobtest::Rgb;
using jobtest::ScratchFolder;
using jobtest::solidBmp;

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kRed{200, 30, 40};

// Runs the job over the folder's image list, as the front ends do.
bool runJob(JobRecord& record, const ScratchFolder& folder, const std::string& output) {
  return record.createPSDFile(record.makeImageFileList(folder.path()), output);
}

// The exception the job raises, or nothing.
std::optional<Exception> jobFailure(JobRecord& record, const ScratchFolder& folder,
                                    const std::string& output) {
  try {
    runJob(record, folder, output);
  } catch (const Exception& error) {
    return error;
  }
  return std::nullopt;
}

TEST(CreatePSD, OneFileGivesOneLayerOfItsSize) {
  ScratchFolder folder, out;
  folder.write("only.bmp", solidBmp(30, 20, kRed));
  JobRecord record;
  EXPECT_FALSE(runJob(record, folder, out.file("out.psd")));
  EXPECT_EQ(describePsd(out.file("out.psd"), "0,0;29,19"),
            "30x20\nonly.bmp\n0,0:200,30,40,255\n29,19:200,30,40,255\n");
  EXPECT_EQ(*record.progressFilename.load(), folder.file("only.bmp"));
  EXPECT_EQ(record.progressUtil.load()->majorStep(), 0.0);
  EXPECT_EQ(record.progressUtil.load()->majorStepMax(), 1.0);
}

TEST(CreatePSD, LayersFollowTheListAndKeepTheirExtensions) {
  ScratchFolder folder, out;
  folder.write("b.bmp", solidBmp(8, 6, kRed));
  std::filesystem::copy_file(std::string(QUILLANE_TEST_DATA_DIR) + "/images/jpeg-rgb.jpg",
                             folder.file("a.jpg"));
  std::filesystem::copy_file(std::string(QUILLANE_TEST_DATA_DIR) + "/images/png-rgb8.png",
                             folder.file("a.png"));
  JobRecord record;
  runJob(record, folder, out.file("out.psd"));
  const std::string description = describePsd(out.file("out.psd"));
  EXPECT_NE(description.find("\na.jpg,a.png,b.bmp\n"), std::string::npos) << description;
}

TEST(CreatePSD, LaterLargerImageIsCroppedToTheFirstImagesCanvas) {
  ScratchFolder folder, out;
  folder.write("a.bmp", solidBmp(20, 10, kRed));
  folder.write("b.bmp", solidBmp(40, 30, kWhite));
  // Small images are decoded far ahead, each then limited in size: one too large for that
  // is decoded in its turn.
  folder.write("c.bmp", solidBmp(20, 10, kRed));
  folder.write("d.bmp", solidBmp(2000, 1700, kWhite));
  JobRecord record;
  runJob(record, folder, out.file("out.psd"));
  EXPECT_EQ(describePsd(out.file("out.psd")), "20x10\na.bmp,b.bmp,c.bmp,d.bmp\n");
}

TEST(CreatePSD, OnlyOptionsOneAndTwoKeyTheImages) {
  struct Case {
    std::int32_t option;
    Rgb colour;
    int alpha;
  };
  const Case cases[] = {{0, kWhite, 255}, {3, kWhite, 255},   {-1, kWhite, 255},
                        {1, kWhite, 0},   {1, {0, 0, 0}, 255}, {2, {0, 0, 0}, 0},
                        {2, kWhite, 255}};
  for (const Case& c : cases) {
    ScratchFolder folder, out;
    folder.write("a.bmp", solidBmp(3, 2, c.colour));
    JobRecord record;
    record.optionTransparent = c.option;
    runJob(record, folder, out.file("out.psd"));
    const std::string description = describePsd(out.file("out.psd"), "1,1");
    EXPECT_EQ(description.substr(description.rfind(',') + 1), std::to_string(c.alpha) + "\n")
        << "option " << c.option << ": " << description;
  }
}

TEST(CreatePSD, StopBeforeTheFirstFileWritesNothing) {
  ScratchFolder folder, out;
  folder.write("a.bmp", solidBmp(4, 4, kRed));
  JobRecord record;
  record.progressCancelled = true;
  EXPECT_FALSE(runJob(record, folder, out.file("out.psd")));
  EXPECT_FALSE(record.progressCancelled);
  EXPECT_TRUE(out.entries().empty());
}

TEST(CreatePSD, StopDuringAnEarlierFileIsSeenAtTheNextFile) {
  ScratchFolder folder, out;
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) folder.write(name, solidBmp(4, 4, kRed));
  JobRecord record;
  record.optionTransparent = 1;
  OnLogLine stopWhileKeyingFirst("pixelsSize:", 1, [&] { record.progressCancelled = true; });
  EXPECT_FALSE(runJob(record, folder, out.file("out.psd")));
  EXPECT_FALSE(record.progressCancelled);
  EXPECT_EQ(*record.progressFilename.load(), folder.file("a.bmp"));
  EXPECT_TRUE(out.entries().empty());
}

TEST(CreatePSD, StopDuringTheLastFileIsNotSeenAndTheFileIsWritten) {
  ScratchFolder folder, out;
  for (const char* name : {"a.bmp", "b.bmp"}) folder.write(name, solidBmp(4, 4, kRed));
  JobRecord record;
  record.optionTransparent = 1;
  OnLogLine stopWhileKeyingLast("pixelsSize:", 2, [&] { record.progressCancelled = true; });
  EXPECT_FALSE(runJob(record, folder, out.file("out.psd")));
  EXPECT_TRUE(record.progressCancelled);
  EXPECT_EQ(describePsd(out.file("out.psd")), "4x4\na.bmp,b.bmp\n");
}

TEST(CreatePSD, UndecodableFileEndsTheJobWithItsPathAndKeepsTheOldOutput) {
  for (const char* broken : {"a.bmp", "b.bmp"}) {  // the first file, and one in the middle
    ScratchFolder folder, out;
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) folder.write(name, solidBmp(4, 4, kRed));
    folder.write(broken, "not an image");
    const std::string output = out.write("out.psd", "old document");
    JobRecord record;
    const auto failure = jobFailure(record, folder, output);
    ASSERT_TRUE(failure) << broken;
    EXPECT_EQ(failure->name(), localizedString("IMAGE_READ_ERROR"));
    EXPECT_EQ(failure->reason(), folder.file(broken));
    EXPECT_TRUE(record.progressErrorOccured);
    EXPECT_EQ(*record.progressFilename.load(), folder.file(broken));
    EXPECT_EQ(readFile(output), "old document");
    EXPECT_EQ(out.entries(), std::vector<std::string>{"out.psd"});
  }
}

// A PICT file whose extended header declares the picture's size; nothing more of it.
std::string pictHeaderOnly(int width, int height) {
  std::string bytes(512, '\0');
  bytes += std::string("\0\0\0\0\0\0\0\0\0\0", 10);  // picture size and frame (unused)
  bytes += std::string("\x00\x11\x02\xff\x0c\x00\xff\xfe\0\0", 10);
  bytes += std::string("\x00\x48\0\0\x00\x48\0\0", 8);  // 72 dpi
  bytes += {0, 0, 0, 0};                                // source top, left
  bytes += {static_cast<char>(height >> 8), static_cast<char>(height & 0xFF),
            static_cast<char>(width >> 8), static_cast<char>(width & 0xFF)};
  return bytes + std::string(8, '\0');
}

TEST(CreatePSD, FirstFileTooLargeOrEmptyIsRefusedBeforeAnythingElse) {
  const std::tuple<int, int, std::string> cases[] = {
      {40000, 10, localizedString("DOCUMENT_TOO_LARGE")},
      {10, 30001, localizedString("DOCUMENT_TOO_LARGE")},
      {0, 0, localizedString("IMAGE_READ_ERROR")},
  };
  for (const auto& [width, height, name] : cases) {
    ScratchFolder folder, out;
    folder.write("a.pict", pictHeaderOnly(width, height));
    JobRecord record;
    EXPECT_EQ(record.imageFileSize(folder.file("a.pict")),
              (Size{static_cast<float>(width), static_cast<float>(height)}));
    const auto failure = jobFailure(record, folder, out.file("out.psd"));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->name(), name);
    EXPECT_NE(failure->reason().find(folder.file("a.pict")), std::string::npos);
    EXPECT_TRUE(out.entries().empty());
  }
}

TEST(CreatePSD, ExistingOutputIsReplacedAndFailedWriteIsAnError) {
  ScratchFolder folder, out;
  folder.write("a.bmp", solidBmp(5, 5, kRed));
  const std::string output = out.write("out.psd", "old document");
  JobRecord record;
  runJob(record, folder, output);
  EXPECT_EQ(describePsd(output), "5x5\na.bmp\n");

  const auto failure = jobFailure(record, folder, out.file("missing/out.psd"));
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->name(), localizedString("WRITE_ERROR"));
  EXPECT_EQ(failure->reason(), out.file("missing/out.psd") + ": No such file or directory");
  EXPECT_FALSE(record.progressErrorOccured);
}

TEST(CreatePSD, HalfTransparentPixelKeepsItsOwnColour) {
  ScratchFolder folder, out;
  std::filesystem::copy_file(std::string(QUILLANE_TEST_DATA_DIR) + "/images/png-rgba8.png",
                             folder.file("a.png"));
  JobRecord record;
  runJob(record, folder, out.file("out.psd"));
  // Compared with psd-tools' reading of the source PNG itself through Pillow.
  const std::string script =
      "import sys\n"
      "from PIL import Image\n"
      "from psd_tools import PSDImage\n"
      "src = Image.open(sys.argv[1]).convert('RGBA')\n"
      "layer = PSDImage.open(sys.argv[2])[0].topil().convert('RGBA')\n"
      "worst = 0\n"
      "for y in range(src.height):\n"
      "    for x in range(src.width):\n"
      "        s, l = src.getpixel((x, y)), layer.getpixel((x, y))\n"
      "        if s[3] >= 64:\n"
      "            worst = max(worst, max(abs(a - b) for a, b in zip(s, l)))\n"
      "print(worst)\n";
  const std::string worst = jobtest::runPython(script, {folder.file("a.png"), out.file("out.psd")});
  ASSERT_FALSE(worst.empty());
  EXPECT_LE(std::stoi(worst), 2) << "largest colour difference where alpha >= 64";
}

}  // namespace
}  // namespace quillane
