#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include "app/FakeToolkit.h"
#include "support/BmpBytes.h"
#include "support/TempFolder.h"
#include "util/Exception.h"

namespace quillane::fakes {
namespace {

using testsupport::TempFolder;

// Holds a job on its worker until the test lets it go on.
class Gate {
 public:
  void open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

// What the user sees, per state of the job launch.
struct Snapshot {
  bool sheetOnScreen;
  bool timerRunning;
  bool stopEnabled;
  bool progressFinished;
  bool sourceCommand;
  bool processCommand;
  bool stopCommand;
  friend bool operator==(const Snapshot&, const Snapshot&) = default;
  friend std::ostream& operator<<(std::ostream& out, const Snapshot& s) {
    return out << "sheet " << s.sheetOnScreen << " timer " << s.timerRunning << " stop "
               << s.stopEnabled << " finished " << s.progressFinished << " | source "
               << s.sourceCommand << " process " << s.processCommand << " stop "
               << s.stopCommand;
  }
};

Snapshot snapshot(AppHarness& h) {
  using A = AppDelegate::Action;
  return {h.sheet.onScreen,
          h.toolkit.liveTimers() > 0,
          h.stop.enabled,
          h.app.progressFinished.load(),
          h.app.validateMenuItem(A::onBtnSourceSelectClick),
          h.app.validateMenuItem(A::onProcessClick),
          h.app.validateMenuItem(A::onMenuStop)};
}

constexpr Snapshot kIdle{false, false, false, true, true, true, false};
constexpr Snapshot kRunning{true, true, true, false, false, false, true};
constexpr Snapshot kJobOverSheetUp{true, true, false, true, false, false, false};

// A launched controller over a folder with two (fake) image files.
struct JobFixture : ::testing::Test {
  JobFixture() : h(store) {
    temp.write("a.png", "not really");
    temp.write("b.png", "not really");
    h.app.applicationDidFinishLaunching();
    h.app.applicationOpenFile(temp.path());
    h.toolkit.saveAnswer = {kPanelOK, temp.file("out.psd")};
  }
  // The worker has ended and its posted blocks have run.
  void settle() {
    h.app.waitForWorker();
    h.toolkit.queue.drain();
  }
  // The controller's log lines, without those of the file list (which name the files).
  std::vector<std::string> controllerLines(const LogCapture& log) const {
    std::vector<std::string> lines;
    for (const std::string& line : log.lines())
      if (line.rfind(temp.path(), 0) != 0) lines.push_back(line);
    return lines;
  }
  void tick() {
    h.toolkit.fireTimers();
    h.toolkit.queue.drain();
  }

  TempFolder temp;
  MemorySettingsStore store;
  AppHarness h;
  Gate gate;
};

TEST_F(JobFixture, FinishedJobGoesFromIdleThroughRunningBackToIdle) {
  h.app.jobBody = [this](AppDelegate& app, const auto& files, const auto&) {
    app.progressFilename.store(std::make_shared<const std::string>(files.back()));
    gate.wait();
  };
  LogCapture log;
  EXPECT_EQ(snapshot(h), kIdle);
  h.app.onProcessClick();
  EXPECT_EQ(snapshot(h), kRunning);
  EXPECT_EQ(h.progressSrc.path, temp.path());
  EXPECT_EQ(h.progressDst.path, temp.file("out.psd"));
  EXPECT_EQ(h.app.dstPath, temp.file("out.psd"));
  EXPECT_EQ(store.values["DST_DIR"], temp.path());

  gate.open();
  h.app.waitForWorker();
  EXPECT_TRUE(h.stop.enabled) << "the worker leaves Stop to the main thread";
  h.toolkit.queue.drain();
  EXPECT_EQ(snapshot(h), kJobOverSheetUp);
  tick();
  EXPECT_EQ(snapshot(h), kIdle);
  EXPECT_EQ(h.sheet.endCodes, std::vector<int>{128});
  tick();  // no timer left: nothing happens
  EXPECT_EQ(h.sheet.endCodes, std::vector<int>{128});
  const std::vector<std::string> expected = {
      "saving file '" + temp.file("out.psd") + "'", "*** progress finish detected ***",
      "sheetOk:", "sheetDidEnd: OK button click"};
  EXPECT_EQ(controllerLines(log), expected);
}

TEST_F(JobFixture, TickShowsTheCurrentFileAndProgress) {
  // What an earlier job left: its last file, all of the bar.
  h.app.progressFilename.store(std::make_shared<const std::string>(temp.file("a.png")));
  auto finished = std::make_shared<ProgressUtility>();
  finished->setMajorStep(finished->majorStepMax());
  h.app.progressUtil.store(finished);
  Gate started;
  h.app.jobBody = [this, &started](AppDelegate& app, const auto& files, const auto&) {
    started.wait();
    auto progress = std::make_shared<ProgressUtility>();
    progress->setMajorStepMax(2);
    progress->setMajorStep(1);
    app.progressUtil.store(progress);
    app.progressFilename.store(std::make_shared<const std::string>(files[1]));
    gate.wait();
  };
  h.app.onProcessClick();
  tick();  // before the job names a file the sheet keeps the source folder, the bar empty
  EXPECT_EQ(h.progressSrc.path, temp.path());
  EXPECT_DOUBLE_EQ(h.bar.value, 0.0);
  started.open();
  while (!h.app.progressFilename.load() || h.app.progressFilename.load()->empty())
    std::this_thread::yield();
  tick();
  EXPECT_EQ(h.progressSrc.path, temp.file("b.png"));
  EXPECT_DOUBLE_EQ(h.bar.value, 50.0);
  EXPECT_GE(h.bar.redisplays, 1);
  gate.open();
  settle();
  tick();
  EXPECT_EQ(snapshot(h), kIdle);
}

TEST_F(JobFixture, CancelledJobKeepsProcessDisabledUntilTheWorkerEnds) {
  h.app.jobBody = [this](AppDelegate& app, const auto&, const auto&) {
    gate.wait();
    if (app.progressCancelled) app.progressCancelled = false;
  };
  LogCapture log;
  h.app.onProcessClick();
  h.app.onMenuStop();
  EXPECT_EQ(h.sheet.endCodes, std::vector<int>{129});
  const Snapshot cancelling{false, false, false, false, true, false, false};
  EXPECT_EQ(snapshot(h), cancelling);
  EXPECT_TRUE(h.app.progressCancelled);

  // The process command and the option are refused while the cancelled job finishes its
  // file (it reads the option); the source folder may change.
  h.app.onProcessClick();
  EXPECT_EQ(h.toolkit.savePanels.size(), 1u);
  h.app.onRawSelected(h.radio2);
  EXPECT_EQ(h.app.optionTransparent, 0);

  gate.open();
  settle();
  EXPECT_EQ(snapshot(h), kIdle);
  EXPECT_FALSE(h.app.progressCancelled) << "the job consumed the request";
  const std::vector<std::string> expected = {
      "saving file '" + temp.file("out.psd") + "'", "Stop", "sheetCancel:",
      "sheetDidEnd: cancel button click", "process ignored: the previous job is still running"};
  EXPECT_EQ(controllerLines(log), expected);
}

TEST_F(JobFixture, FailedJobShowsItsExceptionOfAnyType) {
  struct Case {
    std::function<void()> raise;
    Alert alert;
  };
  const Case cases[] = {
      {[] { throw Exception("IMAGE_READ_ERROR", "/src/b.png"); }, {"IMAGE_READ_ERROR", "/src/b.png"}},
      {[] { throw std::bad_alloc(); }, {"JOB_FAILED", "out of memory: the document does not fit in memory"}},
      {[] { throw std::runtime_error("disk full"); }, {"JOB_FAILED", "disk full"}},
      {[] { throw 42; }, {"JOB_FAILED", "UNKNOWN_ERROR"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.alert.detail);
    h.toolkit.alerts.clear();
    h.sheet.endCodes.clear();
    h.app.jobBody = [&c](AppDelegate& app, const auto&, const auto&) {
      app.progressErrorOccured = true;
      c.raise();
    };
    LogCapture log;
    h.app.onProcessClick();
    h.app.waitForWorker();
    h.bar.value = -1;
    // The error report runs first, over the sheet; a tick during its alert posts sheetOk
    // behind it.
    h.toolkit.duringAlert = [this] {
      EXPECT_TRUE(h.sheet.onScreen);
      EXPECT_TRUE(h.app.progressFinished);
      h.toolkit.fireTimers();
    };
    h.toolkit.queue.drain();
    h.toolkit.duringAlert = nullptr;
    ASSERT_EQ(h.toolkit.alerts.size(), 1u);
    EXPECT_EQ(h.toolkit.alerts[0].message, c.alert.message);
    EXPECT_EQ(h.toolkit.alerts[0].detail, c.alert.detail);
    EXPECT_EQ(h.sheet.endCodes, std::vector<int>{129});
    EXPECT_EQ(snapshot(h), kIdle);
    EXPECT_EQ(h.bar.value, -1) << "no display update once the job has failed";
    const std::vector<std::string> expected = {
        "saving file '" + temp.file("out.psd") + "'", "*** progress finish detected ***",
        "sheetCancel:", "sheetDidEnd: cancel button click", "sheetOk:"};
    EXPECT_EQ(controllerLines(log), expected);
  }
}

TEST_F(JobFixture, SavePanelCancelledChangesNothing) {
  store.values["DST_DIR"] = "/before";
  for (int result : {kPanelCancel, 7}) {
    h.toolkit.saveAnswer = {result, "/elsewhere/x.psd"};
    LogCapture log;
    h.app.onProcessClick();
    EXPECT_EQ(log.lines(), result == kPanelCancel
                               ? std::vector<std::string>{"Cancel button was pressed."}
                               : std::vector<std::string>{});
    EXPECT_EQ(store.values["DST_DIR"], "/before");
    EXPECT_EQ(snapshot(h), kIdle);
    EXPECT_TRUE(h.toolkit.alerts.empty());
  }
  const SavePanelOptions& panel = h.toolkit.savePanels.back();
  EXPECT_EQ(panel.title, "SAVE_TITLE");
  EXPECT_EQ(panel.prompt, "SAVE_PROMPT");
  EXPECT_EQ(panel.allowedFileTypes, std::vector<std::string>{"psd"});
}

TEST_F(JobFixture, EmptyFolderAlertsAfterStoringTheOutputFolder) {
  TempFolder empty;
  empty.write("readme.txt", "no image");
  h.app.applicationOpenFile(empty.path());
  h.toolkit.saveAnswer = {kPanelOK, "/some/where/out.psd"};
  bool ran = false;
  h.app.jobBody = [&ran](AppDelegate&, const auto&, const auto&) { ran = true; };
  h.app.onProcessClick();
  ASSERT_EQ(h.toolkit.alerts.size(), 1u);
  EXPECT_EQ(h.toolkit.alerts[0].message, "NO_IMAGE_FILE");
  EXPECT_EQ(h.toolkit.alerts[0].detail, "");
  EXPECT_EQ(store.values["DST_DIR"], "/some/where");
  EXPECT_EQ(snapshot(h), kIdle);
  h.app.waitForWorker();
  EXPECT_FALSE(ran);
}

TEST_F(JobFixture, QuitDuringAJobStopsItAndWaitsForTheWorker) {
  std::atomic<bool> jobEnded{false};
  h.app.jobBody = [&](AppDelegate& app, const auto&, const auto&) {
    while (!app.progressCancelled) std::this_thread::yield();
    app.progressCancelled = false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // finishing its file
    jobEnded = true;
  };
  h.app.onProcessClick();
  LogCapture log;
  h.app.onMenuQuit();
  EXPECT_TRUE(jobEnded) << "Quit returned before the worker ended";
  EXPECT_TRUE(h.toolkit.terminated);
  EXPECT_EQ(h.sheet.endCodes, std::vector<int>{129});
  const std::vector<std::string> expected = {"Quit", "sheetCancel:",
                                             "sheetDidEnd: cancel button click"};
  EXPECT_EQ(controllerLines(log), expected);
}

TEST_F(JobFixture, QuitWhileIdleJustTerminates) {
  LogCapture log;
  h.app.onMenuQuit();
  EXPECT_TRUE(h.toolkit.terminated);
  EXPECT_EQ(log.lines(), std::vector<std::string>{"Quit"});
  EXPECT_TRUE(h.sheet.endCodes.empty());
}

TEST(Menus, ValidationTable) {
  using A = AppDelegate::Action;
  MemorySettingsStore store;
  AppHarness h(store);
  h.app.applicationDidFinishLaunching();
  struct Row {
    bool sheetUp;
    bool finished;
    bool source, process, stop, option, other;
  };
  // A sheet with a job that runs; a sheet whose job is over; no sheet, a cancelled job still
  // running; no sheet, no job.
  const Row rows[] = {
      {true, false, false, false, true, false, true},
      {true, true, false, false, false, false, true},
      {false, false, true, false, false, false, true},
      {false, true, true, true, false, true, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "sheet " << r.sheetUp << " finished " << r.finished);
    if (r.sheetUp) h.app.showSheet();
    h.app.progressFinished = r.finished;
    EXPECT_EQ(h.app.validateMenuItem(A::onBtnSourceSelectClick), r.source);
    EXPECT_EQ(h.app.validateMenuItem(A::onProcessClick), r.process);
    EXPECT_EQ(h.app.validateMenuItem(A::onMenuStop), r.stop);
    EXPECT_EQ(h.app.validateMenuItem(A::onRawSelected), r.option);
    EXPECT_EQ(h.app.validateMenuItem(A::other), r.other);
    if (r.sheetUp) h.app.sheetOk();
  }
  h.app.progressFinished = true;
}

}  // namespace
}  // namespace quillane::fakes
