#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "job/JobRecord.h"
#include "job/JobTestSupport.h"
#include "util/Exception.h"

namespace quillane {
namespace {

using jobtest::ScratchFolder;

// The job writes the shared fields (file name, progress model and its steps, flags) while a
// poller reads them every millisecond, as the progress display does; ThreadSanitizer checks
// every access. Some cycles are stopped part-way, the last one runs to its end.
TEST(JobThread, PollerReadsSharedFieldsWhileJobsStartAndStop) {
  ScratchFolder folder, out;
  for (int i = 0; i < 6; ++i)
    folder.write("image" + std::to_string(i) + ".bmp",
                 jobtest::bmpBytes(64, 48, [i](int x, int y) {
                   return jobtest::Rgb{static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 5),
                                       static_cast<std::uint8_t>(i * 40)};
                 }));
  JobRecord record;
  record.optionTransparent = 1;  // keying writes the minor steps pixel by pixel
  const std::vector<std::string> files = record.makeImageFileList(folder.path());

  constexpr int kCycles = 5;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    const bool stopPartWay = cycle + 1 < kCycles;
    record.progressFinished = false;
    record.progressCancelled = false;
    record.progressErrorOccured = false;

    std::thread worker([&] {
      try {
        record.createPSDFile(files, out.file("out.psd"));
      } catch (const Exception&) {
      }
      record.progressFinished = true;
    });
    double lastValue = 0.0;
    std::size_t namesSeen = 0;
    while (!record.progressFinished) {
      lastValue = record.progressUtil.load()->value();
      namesSeen += record.progressFilename.load()->size();
      if (stopPartWay && lastValue > 0.0) record.progressCancelled = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker.join();
    EXPECT_GE(lastValue, 0.0);
    EXPECT_LE(lastValue, 100.0);
    (void)namesSeen;
  }
  EXPECT_FALSE(record.progressErrorOccured);
  EXPECT_EQ(*record.progressFilename.load(), files.back());
  EXPECT_EQ(out.entries(), std::vector<std::string>{"out.psd"});
}

}  // namespace
}  // namespace quillane
