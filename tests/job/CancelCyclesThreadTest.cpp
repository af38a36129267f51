#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "job/Job.h"
#include "support/BmpBytes.h"
#include "support/JobSupport.h"
#include "support/TempFolder.h"

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
  const std::vector<std::string> good = listImageFiles(folder.path());
  std::vector<std::string> withBadFile = good;
  withBadFile.insert(withBadFile.begin() + 3, folder.write("broken.bmp", "not an image"));

  JobProgress progress;  // one for every job, as the app keeps it
  int written = 0, stopped = 0, failed = 0;
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    TempFolder out;
    const bool failing = cycle % 5 == 4;
    const int stopAfterPolls = cycle % 4 == 3 ? -1 : cycle % 7;  // -1: never
    const JobRequest request{folder.path(), failing ? withBadFile : good, out.file("out.psd"),
                             KeyColour::Black};

    std::atomic<bool> over{false};
    JobResult result;
    std::jthread worker([&](std::stop_token stop) {
      result = runJob(request, progress, stop);
      over = true;
    });
    for (int polls = 0; !over; ++polls) {
      const JobProgress::Snapshot now = progress.snapshot();
      EXPECT_LE(now.percent, 100.0);
      if (polls == stopAfterPolls) worker.request_stop();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker.join();

    const auto entries = out.entries();
    if (std::holds_alternative<Error>(result)) {
      ++failed;
      EXPECT_TRUE(entries.empty());
    } else if (std::get<JobOutcome>(result).stopped) {
      ++stopped;
      EXPECT_TRUE(entries.empty());
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
