#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "app/FakeToolkit.h"
#include "support/BmpBytes.h"
#include "support/TempFolder.h"

namespace quillane::fakes {
namespace {

using testsupport::TempFolder;

// A controller over a folder of small real images, running the real job.
struct RealJob {
  explicit RealJob(int files) : h(store) {
    for (int i = 0; i < files; ++i)
      temp.write("img" + std::to_string(i) + ".bmp", testsupport::solidBmp(64, 48, {255, 255, std::uint8_t(i * 40)}));
    output = temp.file("out/result.psd");
    std::filesystem::create_directories(temp.file("out"));
    h.app.applicationDidFinishLaunching();
    h.app.applicationOpenFile(temp.path());
    FakeRadio white(1);
    h.app.onRawSelected(white);  // keying advances the minor step pixel by pixel
    h.toolkit.saveAnswer = {kPanelOK, output};
  }
  // Ticks and runs the main queue, as the event loop would, until the worker has ended.
  void runUntilTheJobEnds() {
    while (!h.app.progressFinished) {
      h.toolkit.fireTimers();
      h.toolkit.queue.drain();
    }
    h.app.waitForWorker();
    h.toolkit.queue.drain();
  }

  TempFolder temp;
  MemorySettingsStore store;
  AppHarness h;
  std::string output;
};

TEST(AppThread, TickReadsTheSharedFieldsWhileTheJobWritesThem) {
  RealJob run(6);
  run.h.app.onProcessClick();
  ASSERT_TRUE(run.h.sheet.onScreen);
  run.runUntilTheJobEnds();
  run.h.toolkit.fireTimers();  // the finish is seen
  run.h.toolkit.queue.drain();
  EXPECT_FALSE(run.h.sheet.onScreen);
  EXPECT_EQ(run.h.sheet.endCodes, std::vector<int>{128});
  EXPECT_TRUE(run.h.toolkit.alerts.empty());
  EXPECT_TRUE(std::filesystem::exists(run.output));
  EXPECT_FALSE(run.h.stop.enabled);
  EXPECT_TRUE(run.h.app.validateMenuItem(AppDelegate::Action::onProcessClick));
}

TEST(AppThread, StopRacingTheLastFileEitherWritesOrLeavesNoFile) {
  std::mt19937 random(7);
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE(round);
    RealJob run(2);
    run.h.app.onProcessClick();
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
    run.h.app.onMenuStop();
    run.runUntilTheJobEnds();
    if (run.h.sheet.onScreen) {
      // The job had already ended: Stop did nothing and the tick closes the sheet.
      EXPECT_EQ(run.h.sheet.endCodes, std::vector<int>{});
      EXPECT_TRUE(std::filesystem::exists(run.output));
      run.h.toolkit.fireTimers();
      run.h.toolkit.queue.drain();
      EXPECT_EQ(run.h.sheet.endCodes, std::vector<int>{128});
    } else {
      // Seen at the top of a file: consumed, nothing written. Missed (the last file was
      // under way): the file is whole and the request stays set until the next job starts.
      EXPECT_EQ(run.h.sheet.endCodes, std::vector<int>{129});
      EXPECT_EQ(std::filesystem::exists(run.output), run.h.app.progressCancelled.load());
    }
    EXPECT_TRUE(run.h.toolkit.alerts.empty());

    // The next job starts clean and runs to its end.
    std::filesystem::remove(run.output);
    run.h.app.onProcessClick();
    EXPECT_FALSE(run.h.app.progressCancelled);
    run.runUntilTheJobEnds();
    run.h.toolkit.fireTimers();
    run.h.toolkit.queue.drain();
    EXPECT_TRUE(std::filesystem::exists(run.output));
    EXPECT_FALSE(run.h.sheet.onScreen);
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
