// The controller and the real job on their threads, for ThreadSanitizer.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "app/FakeView.h"
#include "support/BmpBytes.h"
#include "support/TempFolder.h"

namespace quillane::fakes {
namespace {

// A controller over a folder of small real images, running the real job.
struct RealJob {
  explicit RealJob(int files) : h(store) {
    for (int i = 0; i < files; ++i)
      temp.write("img" + std::to_string(i) + ".bmp", testsupport::solidBmp(64, 48, {255, 255, 0}));
    h.app.openFolder(temp.path());
    h.app.setKeyColour(KeyColour::White);  // keying advances the progress pixel by pixel
  }
  void process() {
    h.app.process();
    h.view.answerOutput(View::OutputChoice{temp.file("result.psd")});
  }
  // Ticks and runs posted tasks, as the event loop would, until the job is over.
  void runUntilTheJobEnds() {
    while (!h.app.commands().process) {
      h.services.tick();
      h.services.runPosted();
    }
  }

  testsupport::TempFolder temp;
  MemoryStore store;
  AppHarness h;
};

TEST(AppThread, StopRacingTheLastFileWritesTheFileOnlyWhenTheLineSaysSo) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    RealJob run(2);
    run.process();
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    run.h.app.stop();
    run.runUntilTheJobEnds();
    const bool written = std::filesystem::exists(run.temp.file("result.psd"));
    EXPECT_EQ(run.h.view.result,
              written ? "Saved result.psd — 2 layers, 64 × 48" : "Stopped — nothing was written")
        << round;
    // The next job starts clean, whatever the stop left, and runs to its end.
    run.process();
    run.runUntilTheJobEnds();
    EXPECT_EQ(run.h.view.result, "Saved result.psd — 2 layers, 64 × 48") << round;
    EXPECT_TRUE(run.h.view.alerts.empty());
  }
}

TEST(AppThread, QuitDuringARealJobWaitsForItsWorker) {
  RealJob run(4);
  run.process();
  run.h.app.quit();
  EXPECT_NE(run.h.view.result, "") << "the worker ended before Quit returned";
  EXPECT_TRUE(run.h.app.commands().process);
  EXPECT_TRUE(run.h.services.quitCalled);
}

}  // namespace
}  // namespace quillane::fakes
