// The controller and the real job on their threads, for ThreadSanitizer.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "app/FakeToolkit.h"
#include "support/BmpBytes.h"
#include "support/TempFolder.h"

namespace quillane::fakes {
namespace {

// A controller over a folder of small real images, running the real job.
struct RealJob {
  explicit RealJob(int files) : h(store) {
    for (int i = 0; i < files; ++i)
      temp.write("img" + std::to_string(i) + ".bmp", testsupport::solidBmp(64, 48, {255, 255, 0}));
    h.app.applicationDidFinishLaunching();
    h.app.applicationOpenFile(temp.path());
    h.app.onRawSelected(h.radio1);  // keying advances the minor step pixel by pixel
    h.toolkit.saveAnswer = {kPanelOK, temp.file("result.psd")};
  }
  // Ticks and runs the main queue, as the event loop would, until the job and its sheet are over.
  void runUntilTheJobEnds() {
    for (bool over = false; !over; h.toolkit.queue.drain()) {
      over = h.app.progressFinished && !h.sheet.onScreen;
      h.toolkit.fireTimers();
    }
    h.app.waitForWorker();
    h.toolkit.queue.drain();
  }

  testsupport::TempFolder temp;
  MemorySettingsStore store;
  AppHarness h;
};

TEST(AppThread, StopRacingTheLastFileWritesTheFileOnlyWhenTheLineSaysSo) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    RealJob run(2);
    run.h.app.onProcessClick();
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    run.h.app.onMenuStop();
    run.runUntilTheJobEnds();
    const bool written = std::filesystem::exists(run.temp.file("result.psd"));
    EXPECT_EQ(run.h.result.text,
              written ? "Saved result.psd — 2 layers, 64 × 48" : "Stopped — nothing was written")
        << round;
    // The next job starts clean, whatever the stop left, and runs to its end.
    run.h.app.onProcessClick();
    run.runUntilTheJobEnds();
    EXPECT_EQ(run.h.result.text, "Saved result.psd — 2 layers, 64 × 48") << round;
    EXPECT_TRUE(run.h.toolkit.alerts.empty());
  }
}

TEST(AppThread, QuitDuringARealJobWaitsForItsWorker) {
  RealJob run(4);
  run.h.app.onProcessClick();
  run.h.app.onMenuQuit();
  EXPECT_TRUE(run.h.app.progressFinished) << "the worker ended before Quit returned";
  EXPECT_TRUE(run.h.toolkit.terminated);
}

}  // namespace
}  // namespace quillane::fakes
