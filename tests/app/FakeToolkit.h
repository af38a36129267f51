#pragma once

// Fakes of the toolkit interfaces: they record what the controller asks of them, answer the
// panels as the test sets them up, and run the main queue and the timer when the test says so.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/AppDelegate.h"
#include "app/Toolkit.h"
#include "support/LogCapture.h"
#include "util/Log.h"

namespace quillane::fakes {

using namespace quillane::toolkit;

struct FakeWindow : Window {
  std::string autosaveName;
  WindowFrame current{100, 200, 480, AppDelegate::kExpandedHeight};
  struct Change {
    WindowFrame frame;
    bool animate;
  };
  std::vector<Change> changes;

  void setFrameAutosaveName(const std::string& name) override { autosaveName = name; }
  WindowFrame frame() const override { return current; }
  void setFrame(const WindowFrame& frame, bool animate) override {
    current = frame;
    changes.push_back({frame, animate});
  }
};

struct FakePathControl : PathControl {
  std::string path;
  void setPath(const std::string& value) override { path = value; }
};

struct FakeButton : Button {
  int value = 0;
  int state() const override { return value; }
  void setState(int state) override { value = state; }
};

struct FakeRadio : RadioCell {
  explicit FakeRadio(int cellTag, int initial = 0) : cellTag(cellTag), value(initial) {}
  int cellTag;
  int value;
  int state() const override { return value; }
  void setState(int state) override { value = state; }
  int tag() const override { return cellTag; }
};

struct FakeProgressBar : ProgressBar {
  double value = -1.0;
  int redisplays = 0;
  void setDoubleValue(double v) override { value = v; }
  void setNeedsDisplay() override { ++redisplays; }
};

struct FakeMenuItem : MenuItem {
  bool enabled = true;
  void setEnabled(bool value) override { enabled = value; }
};

struct FakeSheet : Sheet {
  bool up = false;        // begun and not yet ended
  bool onScreen = false;  // shown and not yet ordered out
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

struct FakeTimer : Timer {
  explicit FakeTimer(std::function<void()> fire) : fire(std::move(fire)) {}
  std::function<void()> fire;
  bool valid = true;
  void invalidate() override { valid = false; }
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
    for (;;) {
      std::function<void()> block;
      {
        std::lock_guard lock(mutex);
        if (blocks.empty()) return;
        block = std::move(blocks.front());
        blocks.pop_front();
      }
      block();
    }
  }
};

struct MemorySettingsStore : SettingsStore {
  std::map<std::string, std::string> values;
  int synchronizations = 0;

  std::optional<std::string> value(const std::string& key) const override {
    auto found = values.find(key);
    if (found == values.end()) return std::nullopt;
    return found->second;
  }
  void setValue(const std::string& key, const std::string& value) override { values[key] = value; }
  void remove(const std::string& key) override { values.erase(key); }
  void synchronize() override { ++synchronizations; }
};

struct FakeRecentList : RecentList {
  std::vector<std::string> paths;
  void noteNewRecentDocument(const std::string& path) override { paths.push_back(path); }
  void clearRecentDocuments() override { paths.clear(); }
};

struct Alert {
  std::string message;
  std::string detail;
};

struct FakeToolkit : Toolkit {
  FakeMainQueue queue;
  MemorySettingsStore* store = nullptr;
  FakeRecentList recent;
  std::string home = "/home/tester";

  // Panel answers and what the panels were asked.
  int openResult = kPanelOK;
  std::vector<ChosenUrl> openUrls;
  std::vector<OpenPanelOptions> openPanels;
  SavePanelResult saveAnswer{kPanelOK, "/tmp/out.psd"};
  std::vector<SavePanelOptions> savePanels;
  std::vector<Alert> alerts;
  // Runs while an alert is up (as a modal loop would run the timer).
  std::function<void()> duringAlert;
  std::vector<std::weak_ptr<FakeTimer>> timers;
  int commandChanges = 0;
  bool terminated = false;

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
    auto timer = std::make_shared<FakeTimer>(std::move(fire));
    timers.push_back(timer);
    // The controller owns the timer: once it drops it, the timer is gone for the test too.
    struct Handle : Timer {
      explicit Handle(std::shared_ptr<FakeTimer> timer) : timer(std::move(timer)) {}
      void invalidate() override { timer->invalidate(); }
      std::shared_ptr<FakeTimer> timer;
    };
    return std::make_unique<Handle>(std::move(timer));
  }
  MainQueue& mainQueue() override { return queue; }
  SettingsStore& settings() override { return *store; }
  RecentList& recentList() override { return recent; }
  std::string localizedString(const std::string& key) override { return key; }
  std::string homeDirectory() override { return home; }
  void commandsChanged() override { ++commandChanges; }
  void terminate() override { terminated = true; }

  // Fires every live, valid timer once.
  void fireTimers() {
    const std::vector<std::weak_ptr<FakeTimer>> all = timers;
    for (const auto& each : all)
      if (auto timer = each.lock(); timer && timer->valid) timer->fire();
  }
  // The timers that the controller still holds and has not invalidated.
  int liveTimers() const {
    int count = 0;
    for (const auto& each : timers)
      if (auto timer = each.lock(); timer && timer->valid) ++count;
    return count;
  }
};

using testsupport::LogCapture;

// A controller wired to fakes. The settings store is passed in, so that a test can launch a
// second time over what the first launch stored.
struct AppHarness {
  explicit AppHarness(MemorySettingsStore& store) {
    toolkit.store = &store;
    app.toolkit = &toolkit;
    app.window = &window;
    app.pathCtrlSource = &pathSource;
    app.radio0 = &radio0;
    app.radio1 = &radio1;
    app.radio2 = &radio2;
    app.btnUpDown = &upDown;
    app.panelProgress = &sheet;
    app.progressBar = &bar;
    app.pathCtrlProgressSrc = &progressSrc;
    app.pathCtrlProgressDst = &progressDst;
    app.menuOpenRecent = &openRecent;
    app.menuItemStop = &stop;
  }

  FakeToolkit toolkit;
  FakeWindow window;
  FakePathControl pathSource, progressSrc, progressDst;
  FakeRadio radio0{0}, radio1{1}, radio2{2};
  FakeButton upDown;
  FakeSheet sheet;
  FakeProgressBar bar;
  FakeMenuItem openRecent, stop;
  // Declared last: destroyed first, while the fakes it points to still live.
  AppDelegate app;
};

}  // namespace quillane::fakes
