// The threads of a streamed job: the next file decoded while the current one is added, the
// channels of each layer and of the composite packed side by side. Run under
// ThreadSanitizer; the document must also come out whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "job/Job.h"
#include "support/BmpBytes.h"
#include "support/JobSupport.h"
#include "support/TempFolder.h"

namespace quillane {
namespace {

namespace fs = std::filesystem;

// A colour that changes with seed, and white stripes that the white option keys out.
std::string stripedBmp(int width, int height, int seed) {
  return testsupport::bmpBytes(width, height, [seed](int x, int y) -> testsupport::Rgb {
    if ((x / 3 + y + seed * 40) % 7 == 0) return {255, 255, 255};
    return {std::uint8_t(seed * 30), std::uint8_t(x), std::uint8_t(y)};
  });
}

// The first image is large enough for the writer to pack on its helper thread too.
TEST(StreamedJobThread, DecodeAheadAndChannelThreadsMakeAWholeDocument) {
  testsupport::TempFolder folder;
  for (int i = 0; i < 6; ++i) {
    folder.write("f" + std::to_string(i) + ".bmp", stripedBmp(640 - i * 70, 480 - i * 50, i));
  }
  for (const KeyColour key : {KeyColour::None, KeyColour::White}) {
    const std::string output = folder.file("out.psd");
    JobProgress progress;
    runJob({folder.path(), listImageFiles(folder.path()), output, key}, progress, {});
    EXPECT_EQ(testsupport::readFile(output).substr(0, 4), "8BPS");
    EXPECT_GT(fs::file_size(output), 6u * 4u * 480u);
    fs::remove(output);
  }
}

}  // namespace
}  // namespace quillane
