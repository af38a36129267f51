#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "job/JobRecord.h"
#include "support/BmpBytes.h"
#include "support/JobSupport.h"
#include "support/TempFolder.h"
#include "util/Exception.h"

namespace quillane {
namespace {

using testsupport::TempFolder;

constexpr int kCycles = 60;
constexpr int kFiles = 6;

// Many jobs started and stopped at varying moments (at once, part-way, never), some of them
// failing on an unreadable file, while a poller reads every shared field each millisecond as
// the progress display does. ThreadSanitizer checks every access; after each cycle the
// output folder holds nothing or one whole document.
TEST(CancelCyclesThread, PollerAndStopRequestsAcrossManyJobs) {
  TempFolder folder;
  for (int i = 0; i < kFiles; ++i) {
    folder.write("image" + std::to_string(i) + ".bmp",
                 testsupport::bmpBytes(48, 32, [i](int x, int y) {
                   return testsupport::Rgb{static_cast<std::uint8_t>(x * 5),
                                       static_cast<std::uint8_t>(y * 7),
                                       static_cast<std::uint8_t>(i * 40)};
                 }));
  }
  JobRecord record;
  record.optionTransparent = 2;
  const std::vector<std::string> good = record.makeImageFileList(folder.path());
  std::vector<std::string> withBadFile = good;
  withBadFile.insert(withBadFile.begin() + 3, folder.write("broken.bmp", "not an image"));

  int written = 0, stopped = 0, failed = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    TempFolder out;
    const bool failing = cycle % 5 == 4;
    const int stopAfterPolls = cycle % 4 == 3 ? -1 : cycle % 7;  // -1: never
    record.resetProgress();

    bool raised = false;
    std::thread worker([&] {
      try {
        record.createPSDFile(failing ? withBadFile : good, out.file("out.psd"));
      } catch (const Exception&) {
        raised = true;
      }
      record.progressFinished = true;
    });
    for (int polls = 0; !record.progressFinished; ++polls) {
      (void)record.progressUtil.load()->value();
      (void)record.progressFilename.load()->size();
      (void)record.progressErrorOccured.load();
      if (polls == stopAfterPolls) record.progressCancelled = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker.join();

    const auto entries = out.entries();
    if (raised) {
      ++failed;
      EXPECT_TRUE(record.progressErrorOccured);
      EXPECT_TRUE(entries.empty());
    } else if (entries.empty()) {
      ++stopped;
    } else {
      ++written;
      EXPECT_EQ(entries, std::vector<std::string>{"out.psd"});
    }
  }
  EXPECT_EQ(written + stopped + failed, kCycles);
  EXPECT_GT(written, 0);
  EXPECT_GT(stopped, 0);
}

}  // namespace
}  // namespace quillane
