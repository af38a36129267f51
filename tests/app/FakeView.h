#pragma once

// A fake view and fake services: they record what the controller shows and asks, keep the
// answers to its questions for the test to give, and run posted tasks and the timer when the
// test says so. Texts are the real English ones, as a user reads them.

#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "app/Controller.h"
#include "util/Strings.h"

namespace quillane::fakes {

using Alert = std::pair<std::string, std::string>;  // message, detail

struct FakeView : View {
  std::string folder, summary, panelSource, panelOutput, fileLine, result, outputStart,
      proposedName, folderStart, question;
  DocumentType proposedType = DocumentType::Psd;
  std::optional<KeyColour> key;
  OptionValues options;
  bool orient = false, ignoreProfiles = false, expanded = false, panelShown = false,
       canReveal = false;
  double percent = -1;
  Commands commands;
  std::vector<std::string> recent;
  std::vector<Alert> alerts;
  OutputAnswer answerOutput;  // the open questions
  PathAnswer answerFolder;
  Confirmation answerQuestion;

  FakeView() { setStringsLanguage("en"); }
  void showSource(const std::string& f, const std::string& s) override { folder = f, summary = s; }
  void setOptions(const OptionValues& o) override {
    options = o;
    key = o.key, orient = o.orient, ignoreProfiles = o.ignoreProfiles;
  }
  void setExpanded(bool e) override { expanded = e; }
  void showProgressPanel(const std::string& source, const std::string& output) override {
    panelShown = true, panelSource = source, panelOutput = output;
  }
  void showProgress(double p, const std::string& line) override { percent = p, fileLine = line; }
  void hideProgressPanel() override { panelShown = false; }
  void showResult(const std::string& text, bool reveal) override {
    result = text, canReveal = reveal;
  }
  void setCommandsEnabled(const Commands& c) override { commands = c; }
  void showRecentFolders(const std::vector<std::string>& folders) override { recent = folders; }
  void askOutputPath(const std::string& start, const std::string& name, DocumentType type,
                     OutputAnswer a) override {
    outputStart = start, proposedName = name, proposedType = type, answerOutput = std::move(a);
  }
  void chooseFolder(const std::string& start, PathAnswer a) override {
    folderStart = start, answerFolder = std::move(a);
  }
  void alert(const std::string& message, const std::string& detail) override {
    alerts.emplace_back(message, detail);
  }
  void askToConfirm(const std::string& q, const std::string&, const std::string&,
                    Confirmation a) override {
    question = q, answerQuestion = std::move(a);
  }
};

struct FakeServices : AppServices {
  // The timer keeps its tick here; destroying the timer clears it, and so does the one tick of
  // a single shot.
  struct FakeTimer : Timer {
    std::shared_ptr<std::function<void()>> tick;
    ~FakeTimer() override { *tick = nullptr; }
  };

  std::mutex mutex;
  std::deque<std::function<void()>> tasks;
  std::vector<std::shared_ptr<std::function<void()>>> timers;
  std::string home = "/home/tester", watched, revealed;
  std::function<void()> folderChanged;
  bool quitCalled = false;
  std::chrono::steady_clock::time_point clock;

  void postToMainThread(std::function<void()> task) override {
    std::lock_guard lock(mutex);
    tasks.push_back(std::move(task));
  }
  std::unique_ptr<Timer> startTimer(std::chrono::milliseconds,
                                    std::function<void()> tick) override {
    auto timer = std::make_unique<FakeTimer>();
    timer->tick = timers.emplace_back(std::make_shared<std::function<void()>>(std::move(tick)));
    return timer;
  }
  std::unique_ptr<Timer> startSingleShot(std::chrono::milliseconds delay,
                                         std::function<void()> task) override {
    return startTimer(delay, [task = std::move(task), done = false]() mutable {
      if (!std::exchange(done, true)) task();
    });
  }
  void watchFolder(const std::string& folder, std::function<void()> changed) override {
    watched = folder, folderChanged = std::move(changed);
  }
  bool revealInFileManager(const std::string& path) override {
    revealed = path;
    return true;
  }
  void quit() override { quitCalled = true; }
  std::string homeFolder() const override { return home; }
  std::chrono::steady_clock::time_point now() const override { return clock; }

  // Runs the tasks posted so far and those they post, in order, as the event loop would.
  void runPosted() {
    for (std::unique_lock lock(mutex); !tasks.empty(); lock.lock()) {
      std::function<void()> task = std::move(tasks.front());
      tasks.pop_front();
      lock.unlock();
      task();
    }
  }
  void tick() {
    for (const auto& tick : std::vector(timers))
      if (*tick) (*tick)();
  }
  bool timerRunning() const {
    return std::any_of(timers.begin(), timers.end(), [](const auto& tick) { return bool(*tick); });
  }
};

struct MemoryStore : SettingsStore {
  std::map<std::string, SettingValue> values;
  std::optional<SettingValue> value(const std::string& key) const override {
    const auto found = values.find(key);
    return found == values.end() ? std::nullopt : std::optional(found->second);
  }
  void setValue(const std::string& key, const SettingValue& value) override { values[key] = value; }
  void remove(const std::string& key) override { values.erase(key); }
};

// A controller over the fakes. The store is passed in, so that a test can launch a second
// time over what the first launch stored.
struct AppHarness {
  explicit AppHarness(MemoryStore& store, std::string home = "/home/tester",
                      Controller::JobFunction job = runJob)
      : services(std::move(home)), app(view, services, store, std::move(job)) {}
  // Runs posted tasks until the summary line shows what the folder holds.
  const std::string& folderSummary() {
    for (; view.summary == localizedString("SUMMARY_LOOKING"); std::this_thread::yield())
      services.runPosted();
    return view.summary;
  }
  // Runs posted tasks until the summary line says something new.
  const std::string& summaryChangedFrom(const std::string& old) {
    for (; view.summary == old; std::this_thread::yield()) services.runPosted();
    return folderSummary();
  }

  struct Services : FakeServices {
    explicit Services(std::string h) { home = std::move(h); }
  };
  FakeView view;
  Services services;
  Controller app;  // last: it goes first, while the fakes it speaks to still live
};

}  // namespace quillane::fakes
