#include <gtest/gtest.h>

#include "app/FakeToolkit.h"
#include "support/BmpBytes.h"
#include "support/TempFolder.h"

namespace quillane::fakes {
namespace {

using testsupport::TempFolder;

TEST(Launch, FirstLaunchUsesTheRegisteredDefaults) {
  MemorySettingsStore store;
  AppHarness h(store);
  LogCapture log;
  h.stop.enabled = true;
  h.app.applicationDidFinishLaunching();

  EXPECT_EQ(h.window.autosaveName, "MainFrame");
  EXPECT_EQ(h.app.srcPath, "/home/tester/Pictures");
  EXPECT_EQ(h.pathSource.path, "/home/tester/Pictures");
  EXPECT_EQ(h.app.optionTransparent, 0);
  EXPECT_EQ((std::vector<int>{h.radio0.value, h.radio1.value, h.radio2.value}),
            (std::vector<int>{1, 0, 0}));
  EXPECT_EQ(h.upDown.value, 1);
  EXPECT_TRUE(h.window.changes.empty()) << "the expanded form keeps the restored frame";
  EXPECT_FALSE(h.stop.enabled);
  EXPECT_TRUE(h.app.progressFinished);
  EXPECT_EQ(h.bar.value, 0.0);
  EXPECT_TRUE(log.contains("SET RADIO 0"));
  // Registering stores nothing: both folders show through from the defaults.
  EXPECT_TRUE(store.values.empty());
  EXPECT_EQ(h.app.userDefaults().stringForKey("DST_DIR"), "/home/tester/Pictures");
  EXPECT_TRUE(h.app.userDefaults().boolForKey("EXPAND_WINDOW"));
}

TEST(Launch, StoredOptionSetsTheRadioCells) {
  struct Case {
    std::string stored;
    std::vector<int> states;
    std::string logged;
  };
  const Case cases[] = {
      {"0", {1, 0, 0}, "SET RADIO 0"},
      {"1", {0, 1, 0}, "SET RADIO 1"},
      {"2", {0, 0, 1}, "SET RADIO 2"},
      {"7", {0, 1, 0}, ""},            // out of range: the layout's states stay
      {"4294967297", {0, 1, 0}, ""},  // beyond 32 bits must not wrap round to 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    MemorySettingsStore store;
    store.values["OPTION_TRANS"] = c.stored;
    AppHarness h(store);
    h.radio1.value = 1;  // as the layout has them
    LogCapture log;
    h.app.applicationDidFinishLaunching();
    EXPECT_EQ((std::vector<int>{h.radio0.value, h.radio1.value, h.radio2.value}), c.states);
    for (const char* line : {"SET RADIO 0", "SET RADIO 1", "SET RADIO 2"})
      EXPECT_EQ(log.contains(line), c.logged == line) << line;
  }
}

TEST(Launch, LaterLaunchRestoresOptionTwoAndTheShrunkWindow) {
  MemorySettingsStore store;
  {
    AppHarness first(store);
    first.app.applicationDidFinishLaunching();
    first.app.onRawSelected(first.radio2);
    first.upDown.value = 0;
    first.app.onBtnUpDownClick();
  }
  EXPECT_EQ(store.values["OPTION_TRANS"], "2");
  EXPECT_EQ(store.values["EXPAND_WINDOW"], "NO");

  AppHarness h(store);
  h.window.current = {100, 200, 480, AppDelegate::kExpandedHeight};
  h.app.applicationDidFinishLaunching();
  EXPECT_EQ(h.app.optionTransparent, 2);
  EXPECT_EQ(h.radio2.value, 1);
  EXPECT_EQ(h.upDown.value, 0);
  // Shrunk without animation, the bottom edge kept.
  ASSERT_EQ(h.window.changes.size(), 1u);
  EXPECT_EQ(h.window.changes[0].frame, (WindowFrame{100, 200, 480, 194}));
  EXPECT_FALSE(h.window.changes[0].animate);

  // The toggle expands with animation, keeping the top edge.
  h.upDown.value = 1;
  h.app.onBtnUpDownClick();
  EXPECT_EQ(h.window.current, (WindowFrame{100, 61, 480, 333}));
  EXPECT_TRUE(h.window.changes.back().animate);
  EXPECT_EQ(store.values["EXPAND_WINDOW"], "YES");
  h.upDown.value = 0;
  h.app.onBtnUpDownClick();
  EXPECT_EQ(h.window.current, (WindowFrame{100, 200, 480, 194}));
}

TEST(Launch, OptionChoiceIsLoggedAndWrittenThrough) {
  const std::pair<int, const char*> cases[] = {
      {0, "透過処理なし"}, {1, "白を透過"}, {2, "黒を透過"}, {5, nullptr}};
  for (const auto& [tag, line] : cases) {
    MemorySettingsStore store;
    AppHarness h(store);
    h.app.applicationDidFinishLaunching();
    LogCapture log;
    const int syncs = store.synchronizations;
    FakeRadio cell(tag);
    h.app.onRawSelected(cell);
    EXPECT_EQ(h.app.optionTransparent, tag);
    EXPECT_EQ(h.app.userDefaults().integerForKey("OPTION_TRANS"), tag);
    EXPECT_EQ(store.synchronizations, syncs + 1);
    EXPECT_EQ(log.lines(), line ? std::vector<std::string>{line} : std::vector<std::string>{});
  }
}

TEST(Launch, SourceFolderChoiceTakesOnlyFolders) {
  TempFolder temp;
  const std::string folder = temp.makeFolder("pictures");
  const std::string file = temp.write("note.txt", "x");
  MemorySettingsStore store;
  AppHarness h(store);
  h.app.applicationDidFinishLaunching();
  const std::string before = h.app.srcPath;

  struct Case {
    int result;
    ChosenUrl url;
    std::string logged;  // empty: nothing logged
    bool accepted;
  };
  const Case cases[] = {
      {kPanelCancel, {"file://" + folder, true, folder}, "", false},
      {kPanelOK, {"https://example.com/x", false, ""}, "NOT FILE or DIR 'https://example.com/x'", false},
      {kPanelOK, {"file://" + file, true, file}, "NOT DIR 'file://" + file + "'", false},
      {kPanelOK, {"file:///no/such/dir", true, "/no/such/dir"}, "NOT DIR 'file:///no/such/dir'", false},
      {kPanelOK, {"file://" + folder, true, folder}, "dir selected '" + folder + "'", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url.text);
    LogCapture log;
    h.toolkit.openResult = c.result;
    h.toolkit.openUrls = {c.url};
    h.app.onBtnSourceSelectClick();
    EXPECT_EQ(log.lines(), c.logged.empty() ? std::vector<std::string>{}
                                            : std::vector<std::string>{c.logged});
    EXPECT_EQ(h.app.srcPath, c.accepted ? folder : before);
    EXPECT_EQ(h.toolkit.recent.paths.size(), c.accepted ? 1u : 0u);
  }
  EXPECT_EQ(store.values["SRC_DIR"], folder);
  EXPECT_EQ(h.pathSource.path, folder);
  const OpenPanelOptions& panel = h.toolkit.openPanels.back();
  EXPECT_FALSE(panel.canChooseFiles);
  EXPECT_TRUE(panel.canChooseDirectories && panel.canCreateDirectories);
  EXPECT_EQ(panel.prompt, "OPEN_PROMPT");
  EXPECT_EQ(h.toolkit.openPanels.front().directory, before);

  h.app.clearRecent();
  EXPECT_TRUE(h.toolkit.recent.paths.empty());
}

TEST(Launch, OpenFileFromOutsideTakesAnyPath) {
  TempFolder temp;
  const std::string file = temp.write("a.png", "x");
  MemorySettingsStore store;
  AppHarness h(store);
  h.app.applicationDidFinishLaunching();
  LogCapture log;
  EXPECT_TRUE(h.app.applicationOpenFile(file));
  EXPECT_EQ(h.app.srcPath, file);
  EXPECT_EQ(store.values["SRC_DIR"], file);
  EXPECT_EQ(h.pathSource.path, file);
  EXPECT_TRUE(h.toolkit.recent.paths.empty());
  EXPECT_EQ(log.lines(), std::vector<std::string>{"dir selected '" + file + "'"});
}

TEST(UserDefaults, RemovingStoredValuesLetsTheDefaultsShowThrough) {
  MemorySettingsStore store;
  AppHarness h(store);
  h.app.applicationDidFinishLaunching();
  FakeRadio cell(2);
  h.app.onRawSelected(cell);
  h.app.applicationOpenFile("/elsewhere");
  h.app.removeDefaultValue();
  EXPECT_EQ(h.app.userDefaults().integerForKey("OPTION_TRANS"), 0);
  EXPECT_EQ(h.app.userDefaults().stringForKey("SRC_DIR"), "/home/tester/Pictures");

  h.app.onRawSelected(cell);
  const int syncs = store.synchronizations;
  h.app.resetDefaultValue();
  EXPECT_EQ(h.app.userDefaults().integerForKey("OPTION_TRANS"), 0);
  EXPECT_EQ(store.synchronizations, syncs + 1);
}

TEST(Settings, TypedGettersReadStoredStrings) {
  MemorySettingsStore store;
  Settings settings(store);
  settings.registerDefaults({{"N", "0"}, {"B", "YES"}});
  EXPECT_EQ(settings.integerForKey("N"), 0);
  EXPECT_TRUE(settings.boolForKey("B"));
  EXPECT_EQ(settings.stringForKey("missing"), "");
  const std::tuple<std::string, std::int64_t, bool> cases[] = {
      {"2", 2, true}, {"-1", -1, true}, {"NO", 0, false}, {"yes", 0, true},
      {"true", 0, true}, {"12abc", 12, true}, {"", 0, false}, {" 3", 3, true}};
  for (const auto& [text, number, flag] : cases) {
    store.values["X"] = text;
    EXPECT_EQ(settings.integerForKey("X"), number) << text;
    EXPECT_EQ(settings.boolForKey("X"), flag) << text;
  }
  settings.registerDefaults({{"N", "5"}});
  store.values["N"] = "1";
  EXPECT_EQ(settings.integerForKey("N"), 1) << "a stored value wins over the default";
}

}  // namespace
}  // namespace quillane::fakes
