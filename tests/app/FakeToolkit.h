#pragma once

// Fakes of the toolkit interfaces: they record what the controller asks of them, answer the
// panels as the test sets them up, and run the main queue and the timer when the test says so.
// Texts are the real English ones, as a user reads them.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/AppDelegate.h"
#include "util/Strings.h"

namespace quillane::fakes {

using namespace quillane::toolkit;

struct FakeWindow : Window {
  std::string autosaveName;
  std::vector<std::pair<WindowFrame, bool>> changes;  // frame, animated
  void setFrameAutosaveName(const std::string& name) override { autosaveName = name; }
  WindowFrame frame() const override {
    return changes.empty() ? WindowFrame{100, 200, 480, AppDelegate::kExpandedHeight}
                           : changes.back().first;
  }
  void setFrame(const WindowFrame& frame, bool animate) override {
    changes.emplace_back(frame, animate);
  }
};

struct FakeText : PathControl, TextLine, ResultLine {
  std::string text;
  bool canReveal = false;
  void setPath(const std::string& value) override { text = value; }
  void setText(const std::string& value) override { text = value; }
  void setResult(const std::string& value, bool reveal) override {
    text = value, canReveal = reveal;
  }
};

struct FakeButton : RadioCell {
  explicit FakeButton(int cellTag = 0) : cellTag(cellTag) {}
  int cellTag, value = 0;
  int state() const override { return value; }
  void setState(int state) override { value = state; }
  int tag() const override { return cellTag; }
};

// A progress bar or a menu item.
struct FakeIndicator : ProgressBar, MenuItem {
  double value = -1.0;
  bool enabled = true;
  void setDoubleValue(double v) override { value = v; }
  void setNeedsDisplay() override {}
  void setEnabled(bool value) override { enabled = value; }
};

struct FakeSheet : Sheet {
  bool up = false, onScreen = false;
  std::vector<int> endCodes;
  std::function<void(int)> didEnd;
  void begin(std::function<void(int)> callback) override {
    didEnd = std::move(callback);
    up = onScreen = true;
  }
  void end(int code) override {
    if (!up) return;
    up = false;
    endCodes.push_back(code);
    didEnd(code);
  }
  void orderOut() override { onScreen = false; }
};

// The toolkit keeps each timer's action; invalidating or dropping the timer clears it.
struct FakeTimer : Timer {
  std::shared_ptr<std::function<void()>> fire;
  ~FakeTimer() override { invalidate(); }
  void invalidate() override { *fire = nullptr; }
};

// Any thread may post; the test drains on its own (the main) thread.
struct FakeMainQueue : MainQueue {
  std::mutex mutex;
  std::deque<std::function<void()>> blocks;
  void post(std::function<void()> block) override {
    std::lock_guard lock(mutex);
    blocks.push_back(std::move(block));
  }
  // Runs the blocks posted so far and those they post, in order.
  void drain() {
    for (std::unique_lock lock(mutex); !blocks.empty(); lock.lock()) {
      std::function<void()> block = std::move(blocks.front());
      blocks.pop_front();
      lock.unlock();
      block();
    }
  }
};

// What was written through, and what was set since: nothing, by the time the next is set.
struct MemorySettingsStore : SettingsStore {
  std::map<std::string, std::string> values, unsaved;
  std::optional<std::string> value(const std::string& key) const override {
    for (const auto* map : {&unsaved, &values})
      if (auto found = map->find(key); found != map->end()) return found->second;
    return std::nullopt;
  }
  void setValue(const std::string& key, const std::string& value) override {
    EXPECT_TRUE(unsaved.empty()) << unsaved.begin()->first << " was not written through";
    unsaved[key] = value;
  }
  void synchronize() override {
    for (auto& [key, value] : unsaved) values[key] = value;
    unsaved.clear();
  }
};

struct FakeRecentList : RecentList {
  std::vector<std::string> paths;
  void noteNewRecentDocument(const std::string& path) override { paths.push_back(path); }
  void removeRecentDocument(const std::string& path) override { std::erase(paths, path); }
  void clearRecentDocuments() override { paths.clear(); }
};

using Alert = std::pair<std::string, std::string>;  // message, detail

struct FakeToolkit : Toolkit {
  FakeMainQueue queue;
  MemorySettingsStore* store = nullptr;
  FakeRecentList recent;
  std::string home = "/home/tester";
  int openResult = kPanelOK;
  std::vector<ChosenUrl> openUrls;
  std::vector<OpenPanelOptions> openPanels;
  SavePanelResult saveAnswer{kPanelOK, "/tmp/out.psd"};
  std::vector<SavePanelOptions> savePanels;
  std::vector<Alert> alerts;
  std::function<void()> duringAlert;  // runs while an alert is up, as a modal loop would
  std::vector<std::shared_ptr<std::function<void()>>> timers;
  std::string watchedFolder, revealed;
  bool terminated = false;

  FakeToolkit() { setStringsLanguage("en"); }
  void beginOpenPanel(const OpenPanelOptions& options,
                      std::function<void(int, std::vector<ChosenUrl>)> done) override {
    openPanels.push_back(options);
    done(openResult, openUrls);
  }
  SavePanelResult runSavePanel(const SavePanelOptions& options) override {
    savePanels.push_back(options);
    return saveAnswer;
  }
  void runAlert(const std::string& message, const std::string& detail) override {
    alerts.push_back({message, detail});
    if (duringAlert) duringAlert();
  }
  std::unique_ptr<Timer> scheduleTimer(double, std::function<void()> fire) override {
    auto timer = std::make_unique<FakeTimer>();
    timer->fire = timers.emplace_back(std::make_shared<std::function<void()>>(std::move(fire)));
    return timer;
  }
  MainQueue& mainQueue() override { return queue; }
  SettingsStore& settings() override { return *store; }
  RecentList& recentList() override { return recent; }
  std::string localizedString(const std::string& key) override {
    return quillane::localizedString(key);
  }
  std::string homeDirectory() override { return home; }
  void watchFolder(const std::string& folder, std::function<void()>) override {
    watchedFolder = folder;
  }
  void revealInFileManager(const std::string& path) override { revealed = path; }
  void commandsChanged() override {}
  void terminate() override { terminated = true; }

  // Fires every live timer once.
  void fireTimers() {
    for (const auto& fire : std::vector(timers))
      if (*fire) (*fire)();
  }
  bool timerRunning() const {
    return std::any_of(timers.begin(), timers.end(), [](const auto& fire) { return bool(*fire); });
  }
};

// A controller wired to fakes. The settings store is passed in, so that a test can launch a
// second time over what the first launch stored.
struct AppHarness {
  explicit AppHarness(MemorySettingsStore& store) {
    toolkit.store = &store;
    app.toolkit = &toolkit, app.window = &window, app.panelProgress = &sheet;
    app.pathCtrlSource = &pathSource, app.sourceSummary = &summary, app.btnUpDown = &upDown;
    app.radio0 = &radio0, app.radio1 = &radio1, app.radio2 = &radio2, app.checkOrient = &orient;
    app.progressBar = &bar, app.pathCtrlProgressSrc = &progressSrc;
    app.pathCtrlProgressDst = &progressDst, app.progressFileLine = &progressFile;
    app.jobResultLine = &result, app.menuOpenRecent = &openRecent, app.menuItemStop = &stop;
  }
  // Runs the main queue until the summary line shows what the folder holds.
  const std::string& folderSummary() {
    for (; summary.text == localizedString("SUMMARY_LOOKING"); std::this_thread::yield())
      toolkit.queue.drain();
    return summary.text;
  }

  FakeToolkit toolkit;
  FakeWindow window;
  FakeText pathSource, summary, progressSrc, progressDst, progressFile, result;
  FakeButton radio0{0}, radio1{1}, radio2{2}, orient, upDown;
  FakeSheet sheet;
  FakeIndicator bar, openRecent, stop;
  // Declared last: destroyed first, while the fakes it points to still live.
  AppDelegate app;
};

}  // namespace quillane::fakes
