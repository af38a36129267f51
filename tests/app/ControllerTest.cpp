// The controller through the fakes: settings, the source folder, the save panel, the job's states.

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>

#include "app/FakeToolkit.h"
#include "support/BmpBytes.h"
#include "support/TempFolder.h"
#include "util/Error.h"

namespace quillane::fakes {
namespace {

using A = AppDelegate::Action;

std::string text(const char* key) { return localizedString(key); }

TEST(Launch, FirstLaunchShowsTheDefaultsAndTheNextRestoresWhatWasChosen) {
  testsupport::TempFolder home;
  const std::string pictures = home.makeFolder("Pictures");
  MemorySettingsStore store;
  {
    AppHarness h(store);
    h.toolkit.home = home.path();
    h.app.applicationDidFinishLaunching();
    EXPECT_EQ(h.pathSource.text, pictures);
    EXPECT_EQ(h.folderSummary(), text("SUMMARY_NO_IMAGES"));
    EXPECT_EQ((std::vector{h.radio0.value, h.radio1.value, h.radio2.value, h.orient.value,
                           h.upDown.value}),
              (std::vector{1, 0, 0, 0, 1}));
    EXPECT_TRUE(h.window.changes.empty()) << "the expanded form keeps the restored frame";
    EXPECT_TRUE(store.values.empty()) << "registering the defaults stores nothing";
    h.app.onRawSelected(h.radio2);
    h.orient.value = 1;
    h.app.onOrientClick();
    h.upDown.value = 0;
    h.app.onBtnUpDownClick();
  }
  EXPECT_EQ(store.values,
            (std::map<std::string, std::string>{
                {"EXPAND_WINDOW", "NO"}, {"OPTION_TRANS", "2"}, {"ORIENT_PHOTOS", "YES"}}));
  AppHarness h(store);
  h.toolkit.home = home.path();
  h.app.applicationDidFinishLaunching();
  EXPECT_EQ((std::vector{h.app.optionTransparent, h.radio2.value, h.orient.value,
                         int(h.app.optionOrient)}),
            (std::vector{2, 1, 1, 1}));
  // Shrunk without animation, the bottom edge kept; the toggle expands keeping the top edge.
  EXPECT_EQ(h.window.changes, (decltype(h.window.changes){{{100, 200, 480, 194}, false}}));
  h.upDown.value = 1;
  h.app.onBtnUpDownClick();
  EXPECT_EQ(h.window.changes.back(), std::pair(WindowFrame{100, 61, 480, 333}, true));
}

TEST(SourceFolder, OnlyAReadableFolderBecomesTheSource) {
  testsupport::TempFolder temp;
  const std::string folder = temp.makeFolder("pictures");
  const std::string file = temp.write("a.png", "x");
  const std::string gone = temp.file("gone");
  MemorySettingsStore store;
  store.values["SRC_DIR"] = gone;               // deleted since the last run: not shown
  store.values["OPTION_TRANS"] = "4294967297";  // no choice: it must not wrap round to 1
  AppHarness h(store);
  h.app.applicationDidFinishLaunching();
  EXPECT_EQ(h.app.srcPath, "");
  EXPECT_EQ(h.summary.text, text("SUMMARY_NO_FOLDER"));
  EXPECT_EQ((std::vector{h.radio0.value, h.radio1.value, h.radio2.value}), (std::vector{0, 0, 0}));

  const std::pair<std::string, bool> opened[] = {{gone, false}, {file, false}, {folder, true}};
  for (const auto& [path, accepted] : opened) {
    h.toolkit.alerts.clear();
    EXPECT_EQ(h.app.applicationOpenFile(path), accepted) << path;
    const std::vector<Alert> refused{{text("NOT_A_FOLDER"), path}};
    EXPECT_EQ(h.toolkit.alerts, accepted ? std::vector<Alert>{} : refused);
  }
  EXPECT_EQ(h.app.srcPath, folder);
  EXPECT_EQ(store.values["SRC_DIR"], folder);

  // The folder panel starts in the source; a cancel, a URL that is no file's, or a folder that
  // is gone leave the source as it is.
  const std::pair<int, ChosenUrl> chosen[] = {{kPanelCancel, {"", true, temp.path()}},
                                              {kPanelOK, {"https://example.com/", false, ""}},
                                              {kPanelOK, {"", true, gone}}};
  for (const auto& [result, url] : chosen) {
    h.toolkit.openResult = result;
    h.toolkit.openUrls = {url};
    h.app.onBtnSourceSelectClick();
  }
  EXPECT_EQ(h.toolkit.openPanels.front().directory, folder);
  EXPECT_EQ(h.app.srcPath, folder);
  EXPECT_TRUE(h.toolkit.recent.paths.empty());
}

TEST(SourceFolder, SummaryLineSaysWhatTheFolderHolds) {
  testsupport::TempFolder temp;
  const std::string one = temp.makeFolder("one"), broken = temp.makeFolder("broken");
  temp.write("a-frame.bmp", testsupport::solidBmp(32, 24, {1, 2, 3}));
  for (const char* name : {"one/only.bmp", "broken/b.bmp", "b-frame.bmp"})
    temp.write(name, testsupport::solidBmp(20, 10, {1, 2, 3}));
  temp.write("broken/a.png", "not an image");
  MemorySettingsStore store;
  AppHarness h(store);
  h.app.applicationDidFinishLaunching();
  const std::pair<std::string, std::string> cases[] = {
      {temp.path(), "2 images · 32 × 24 canvas, from a-frame.bmp"},
      {one, "1 image · 20 × 10 canvas, from only.bmp"},
      {broken, "The first image, a.png, cannot be read"}};
  for (const auto& [folder, summary] : cases) {
    h.app.applicationOpenFile(folder);
    EXPECT_EQ(h.folderSummary(), summary);
  }
}

// What the user sees, per state of the job launch: the sheet, its timer, the Stop item, the
// job flag, and which commands the menus allow.
struct Snapshot {
  bool sheetOnScreen, timerRunning, stopEnabled, progressFinished;
  bool sourceCommand, processCommand, stopCommand, optionCommand;
  friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

constexpr Snapshot kIdle{false, false, false, true, true, true, false, true};
constexpr Snapshot kRunning{true, true, true, false, false, false, true, false};
constexpr Snapshot kJobOverSheetUp{true, true, false, true, false, false, false, false};
// The sheet is gone but the worker finishes its file, reading the option.
constexpr Snapshot kCancelling{false, false, false, false, true, false, false, false};

// A launched controller over a folder with two (fake) image files.
struct JobFixture : ::testing::Test {
  JobFixture() : h(store) {
    temp.write("a.png", "not really");
    temp.write("b.png", "not really");
    h.app.applicationDidFinishLaunching();
    h.app.applicationOpenFile(temp.path());
    h.toolkit.saveAnswer = {kPanelOK, temp.file("out")};
  }
  Snapshot snapshot() {
    const auto allows = [this](A action) { return h.app.validateMenuItem(action); };
    return {h.sheet.onScreen,       h.toolkit.timerRunning(),          h.stop.enabled,
            h.app.progressFinished, allows(A::onBtnSourceSelectClick), allows(A::onProcessClick),
            allows(A::onMenuStop),  allows(A::onRawSelected)};
  }
  // The worker has ended and its posted blocks have run.
  void settle() {
    h.app.waitForWorker();
    h.toolkit.queue.drain();
  }
  void tick() {
    h.toolkit.fireTimers();
    h.toolkit.queue.drain();
  }

  testsupport::TempFolder temp;
  MemorySettingsStore store;
  AppHarness h;
  std::promise<void> go;  // holds the job on its worker until the test lets it go on
};

TEST_F(JobFixture, FinishedJobGoesFromIdleThroughRunningBackToIdleAndSaysWhatItWrote) {
  h.app.jobBody = [held = go.get_future().share()](auto& app, auto& files, auto&) {
    app.documentSize = {40, 30};
    app.jobProgress.start(2);
    app.jobProgress.startFile(1, files[1]);
    held.wait();
  };
  EXPECT_EQ(snapshot(), kIdle);
  h.app.onProcessClick();
  EXPECT_EQ(snapshot(), kRunning);
  EXPECT_EQ(h.progressSrc.text, temp.path());
  EXPECT_EQ(h.progressDst.text, temp.file("out.psd"));
  EXPECT_EQ(store.values["DST_DIR"], temp.path());
  while (h.app.jobProgress.snapshot().file.empty()) std::this_thread::yield();
  tick();
  EXPECT_EQ(h.progressFile.text, "File 2 of 2: b.png");
  EXPECT_DOUBLE_EQ(h.bar.value, 50.0);

  go.set_value();
  h.app.waitForWorker();
  EXPECT_TRUE(h.stop.enabled) << "the worker leaves Stop to the main thread";
  h.toolkit.queue.drain();
  EXPECT_EQ(snapshot(), kJobOverSheetUp);
  tick();
  EXPECT_EQ(snapshot(), kIdle);
  EXPECT_EQ(h.sheet.endCodes, std::vector<int>{128});
  EXPECT_EQ(h.result.text, "Saved out.psd — 2 layers, 40 × 30");
  EXPECT_TRUE(h.result.canReveal);
  h.app.onRevealClick();
  EXPECT_EQ(h.toolkit.revealed, temp.file("out.psd"));
}

TEST_F(JobFixture, StoppedJobSaysWhetherItWroteAndHoldsProcessUntilItsWorkerEnds) {
  for (const bool sawTheStop : {true, false}) {
    SCOPED_TRACE(sawTheStop);
    std::promise<void> stopped;
    h.app.jobBody = [&, held = stopped.get_future().share()](auto& app, auto&, auto&) {
      app.documentSize = {40, 30};
      held.wait();
      // Seen at the top of a file it is consumed; on the last file the job writes on.
      if (sawTheStop) app.progressCancelled = false;
    };
    h.app.onProcessClick();
    h.app.onMenuStop();
    EXPECT_EQ(snapshot(), kCancelling);
    h.app.onRawSelected(h.radio2);
    EXPECT_EQ(h.app.optionTransparent, 0);
    h.app.onProcessClick();
    stopped.set_value();
    settle();
    EXPECT_EQ(snapshot(), kIdle);
    EXPECT_EQ(h.result.text,
              sawTheStop ? "Stopped — nothing was written" : "Saved out.psd — 2 layers, 40 × 30");
    EXPECT_EQ(h.result.canReveal, !sawTheStop);
  }
  EXPECT_EQ(h.toolkit.savePanels.size(), 2u);
  EXPECT_EQ(h.sheet.endCodes, (std::vector<int>{129, 129}));
}

// A failure's name and reason, or the words for one without a name, in an alert over the sheet.
TEST_F(JobFixture, FailedJobShowsItsFailureInAnAlert) {
  const std::pair<std::function<void()>, Alert> cases[] = {
      {[] { throw Error(ErrorKind::ImageUnreadable, "/src/b.png"); },
       {text("IMAGE_READ_ERROR"), "/src/b.png"}},
      {[] { throw std::runtime_error("disk full"); }, {text("JOB_FAILED"), text("UNKNOWN_ERROR")}}};
  for (const auto& [raiseIt, alert] : cases) {
    h.toolkit.alerts.clear();
    h.sheet.endCodes.clear();
    h.app.jobBody = [&raise = raiseIt](auto& app, auto&, auto&) {
      app.progressErrorOccured = true;
      raise();
    };
    h.app.onProcessClick();
    h.app.waitForWorker();
    h.bar.value = -1;
    // The alert shows over the sheet; a tick during it posts sheetOk behind it.
    h.toolkit.duringAlert = [this] {
      EXPECT_TRUE(h.sheet.onScreen);
      h.toolkit.fireTimers();
    };
    h.toolkit.queue.drain();
    h.toolkit.duringAlert = nullptr;
    EXPECT_EQ(h.toolkit.alerts, std::vector<Alert>{alert});
    EXPECT_EQ(h.sheet.endCodes, std::vector<int>{129});
    EXPECT_EQ(snapshot(), kIdle);
    EXPECT_EQ(h.bar.value, -1) << "no display update once the job has failed";
    EXPECT_EQ(h.result.text, "");
  }
}

TEST_F(JobFixture, SavePanelAddsTheExtensionStartsWhereAFolderStillIsAndStoresTheFolder) {
  const std::pair<std::string, std::string> names[] = {
      {"mine", "mine.psd"},
      {"wrongext.png", "wrongext.png.psd"},
      {"big.PSB", "big.PSB"},
      {"x.Psd", "x.Psd"},
  };
  h.app.jobBody = [](auto&, auto&, auto&) {};
  for (const auto& [typed, written] : names) {
    h.toolkit.saveAnswer = {kPanelOK, "/out/" + typed};
    h.app.onProcessClick();
    settle();
    tick();
    EXPECT_EQ(h.app.dstPath, "/out/" + written);
  }
  EXPECT_EQ(h.toolkit.savePanels.front().allowedFileTypes,
            (std::vector<std::string>{"psd", "psb"}));
  EXPECT_EQ(store.values["DST_DIR"], "/out");

  // A last output folder that is gone gives way to the default one, and that to home.
  h.toolkit.saveAnswer = {kPanelCancel, ""};
  h.app.onProcessClick();
  EXPECT_EQ(h.toolkit.savePanels.back().directory, h.toolkit.home);
  EXPECT_EQ(store.values["DST_DIR"], "/out") << "a cancelled panel stores nothing";

  // A folder without images is found out once the output is named, and that is kept.
  h.app.applicationOpenFile(temp.makeFolder("empty"));
  h.toolkit.saveAnswer = {kPanelOK, "/some/where/out.psd"};
  h.app.onProcessClick();
  EXPECT_EQ(h.toolkit.alerts, (std::vector<Alert>{{text("NO_IMAGE_FILE"), ""}}));
  EXPECT_EQ(store.values["DST_DIR"], "/some/where");
  EXPECT_EQ(snapshot(), kIdle);
}

}  // namespace
}  // namespace quillane::fakes
