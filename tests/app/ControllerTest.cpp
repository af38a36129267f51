// The controller through a fake view: settings, the source folder, the save panel, the job's
// states.

#include <gtest/gtest.h>

#include <future>
#include <tuple>

#include "app/FakeView.h"
#include "support/BmpBytes.h"
#include "support/ProfileBytes.h"
#include "support/TempFolder.h"
#include "util/PathNames.h"

namespace quillane::fakes {
namespace {

std::string text(const char* key) { return localizedString(key); }

TEST(Settings, LaunchShowsTheDefaultsThenWhatWasChosenStoredTyped) {
  testsupport::TempFolder home;
  const std::string pictures = home.makeFolder("Pictures");
  MemoryStore store;
  {
    AppHarness h(store, home.path());
    EXPECT_EQ(h.view.folder, pictures);
    EXPECT_EQ(h.folderSummary(), text("NO_IMAGE_FILE"));
    EXPECT_FALSE(h.view.commands.process) << "nothing to process";
    EXPECT_EQ(h.view.key, KeyColour::None);
    EXPECT_FALSE(h.view.orient);
    EXPECT_TRUE(h.view.expanded);
    EXPECT_TRUE(store.values.empty()) << "the defaults are not stored";
    h.app.setKeyColour(KeyColour::Black);
    h.app.setOrient(true);
    h.app.setIgnoreProfiles(true);
    h.app.setNaturalOrder(true);
    h.app.toggleOptions();
  }
  EXPECT_EQ(store.values, (std::map<std::string, SettingValue>{{"EXPAND_WINDOW", false},
                                                               {"OPTION_TRANS", 2},
                                                               {"ORIENT_PHOTOS", true},
                                                               {"IGNORE_COLOUR_PROFILES", true},
                                                               {"NATURAL_ORDER", true}}));
  AppHarness h(store, home.path());
  EXPECT_EQ(h.view.key, KeyColour::Black);
  EXPECT_TRUE(h.view.orient);
  EXPECT_TRUE(h.view.ignoreProfiles);
  EXPECT_TRUE(h.view.options.naturalOrder);
  EXPECT_FALSE(h.view.expanded);
}

// Values of earlier versions, and of QSettings' files, come as text.
TEST(Settings, TextValuesAreReadAsTheirTypesAndOldBooleansRewritten) {
  testsupport::TempFolder temp;
  MemoryStore store;
  store.values = {{"SRC_DIR", temp.file("gone")},  // deleted since the last run: not shown
                  {"OPTION_TRANS", "4294967297"},  // no choice: it must not wrap round to 1
                  {"EXPAND_WINDOW", "NO"},
                  {"ORIENT_PHOTOS", "YES"}};
  AppHarness h(store);
  EXPECT_EQ(h.view.folder, "");
  EXPECT_EQ(h.view.summary, text("SUMMARY_NO_FOLDER"));
  EXPECT_FALSE(h.view.commands.process);
  EXPECT_EQ(h.view.key, std::nullopt);
  EXPECT_EQ((std::pair{h.view.expanded, h.view.orient}), std::pair(false, true));
  EXPECT_EQ(store.values["EXPAND_WINDOW"], SettingValue(false));
  EXPECT_EQ(store.values["ORIENT_PHOTOS"], SettingValue(true));
  store.values = {{"OPTION_TRANS", "1"}, {"EXPAND_WINDOW", "true"}, {"RecentFolders", "/a"}};
  AppHarness again(store);
  EXPECT_EQ(again.view.key, KeyColour::White);
  EXPECT_TRUE(again.view.expanded);
  EXPECT_EQ(again.view.recent, std::vector<std::string>{"/a"}) << "a list of one comes as its text";
}

TEST(SourceFolder, OnlyAReadableFolderBecomesTheSourceAndAChosenOneARecentFolder) {
  testsupport::TempFolder temp;
  const std::string folder = temp.makeFolder("pictures"), other = temp.makeFolder("other");
  const std::string file = temp.write("a.png", "x"), gone = temp.file("gone");
  MemoryStore store;
  AppHarness h(store);
  for (const auto& [path, accepted] : {std::pair{gone, false}, {file, false}, {folder, true}}) {
    h.view.alerts.clear();
    EXPECT_EQ(h.app.openFolder(path), accepted) << path;
    const std::vector<Alert> refused{{text("NOT_A_FOLDER"), path}};
    EXPECT_EQ(h.view.alerts, accepted ? std::vector<Alert>() : refused);
  }
  EXPECT_EQ(h.view.folder, folder);
  EXPECT_EQ(h.services.watched, folder);
  EXPECT_TRUE(h.app.openDropped(file)) << "a dropped image file opens its folder";
  EXPECT_EQ(h.app.sourceFolder(), temp.path());
  h.app.openFolder(folder);
  EXPECT_EQ(store.values["SRC_DIR"], SettingValue(folder));

  // The folder panel starts in the source; a cancel or a folder that is gone change nothing.
  for (const std::optional<std::string>& answer : {std::optional<std::string>(), {gone}, {other}}) {
    h.app.chooseSourceFolder();
    h.view.answerFolder(answer);
  }
  EXPECT_EQ(h.view.folderStart, folder);
  EXPECT_EQ(h.app.sourceFolder(), other);
  EXPECT_EQ(h.view.recent, std::vector<std::string>{other});
  std::filesystem::remove(other);
  EXPECT_FALSE(h.app.openFolder(other));
  EXPECT_TRUE(h.view.recent.empty()) << "a folder that is gone leaves the menu";
  store.values["RecentFolders"] = std::vector<std::string>{folder};
  h.app.clearRecentFolders();
  EXPECT_TRUE(h.view.recent.empty());
  EXPECT_FALSE(store.values.contains("RecentFolders"));
}

TEST(SourceFolder, SummaryLineSaysWhatTheFolderHoldsAndFollowsItAndTheRotation) {
  testsupport::TempFolder temp;
  const std::string one = temp.makeFolder("one"), broken = temp.makeFolder("broken");
  const std::string photo = temp.makeFolder("photo");
  temp.write("a-frame.bmp", testsupport::solidBmp(32, 24, {1, 2, 3}));
  for (const char* name : {"one/only.bmp", "broken/b.bmp", "b-frame.bmp"})
    temp.write(name, testsupport::solidBmp(20, 10, {1, 2, 3}));
  temp.write("broken/a.png", "not an image");
  std::filesystem::copy(QUILLANE_TEST_DATA_DIR "/images/orient-6.jpg", photo + "/a.jpg");
  MemoryStore store;
  AppHarness h(store);
  const std::pair<std::string, std::string> cases[] = {
      {temp.path(), "2 images · 32 × 24 canvas, from a-frame.bmp"},
      {one, "1 image · 20 × 10 canvas, from only.bmp"},
      {broken, "The first image, a.png, cannot be read"},
      {photo, "1 image · 11 × 13 canvas, from a.jpg"}};
  for (const auto& [folder, summary] : cases) {
    h.app.openFolder(folder);
    EXPECT_EQ(h.folderSummary(), summary);
  }
  h.app.setOrient(true);
  EXPECT_EQ(h.summaryChangedFrom("1 image · 11 × 13 canvas, from a.jpg"),
            "1 image · 13 × 11 canvas, from a.jpg");
  h.app.openFolder(temp.path());
  h.folderSummary();
  h.app.setGroups(true);  // one, broken, photo: the subfolders' images count too
  EXPECT_EQ(h.summaryChangedFrom("2 images · 32 × 24 canvas, from a-frame.bmp"),
            "6 layers in 3 groups · 32 × 24 canvas, from a-frame.bmp");
  h.app.setGroups(false);

  // A change in the folder is summarized once it has settled.
  h.app.openFolder(broken);
  h.folderSummary();
  temp.write("broken/a.png", testsupport::solidBmp(8, 6, {1, 2, 3}));
  h.services.folderChanged();
  h.services.tick();
  EXPECT_EQ(h.summaryChangedFrom("The first image, a.png, cannot be read"),
            "2 images · 8 × 6 canvas, from a.png");
  std::filesystem::remove_all(broken);
  h.services.folderChanged();
  h.services.tick();
  EXPECT_EQ(h.summaryChangedFrom("2 images · 8 × 6 canvas, from a.png"),
            text("SUMMARY_FOLDER_GONE"));
  EXPECT_FALSE(h.view.commands.process);
}

TEST(SourceFolder, WithFramesAsLayersTheSummaryCountsTheLayers) {
  testsupport::TempFolder temp;
  temp.write("a.bmp", testsupport::solidBmp(2, 1, {1, 2, 3}));
  const std::string frame("\x2C\0\0\0\0\1\0\1\0\0\2\2\x44\x01\0", 15);
  temp.write("b.gif",
             std::string("GIF89a\1\0\1\0\x80\0\0\xFF\0\0\0\xFF\0", 19) + frame + frame + ";");
  MemoryStore store;
  AppHarness h(store);
  h.app.openFolder(temp.path());
  EXPECT_EQ(h.folderSummary(), "2 images · 2 × 1 canvas, from a.bmp");
  h.app.setAllFrames(true);
  EXPECT_EQ(h.summaryChangedFrom("2 images · 2 × 1 canvas, from a.bmp"),
            "2 images · 2 × 1 canvas, from a.bmp · 3 layers");
}

TEST(SourceFolder, TheSummaryNamesTheProfileTakenAndCountsTheFilesConvertedUnlessIgnored) {
  testsupport::TempFolder temp;
  const std::string wide = temp.makeFolder("wide"), plain = temp.makeFolder("plain");
  const std::string wideBmp = testsupport::bmpWithProfile(testsupport::wideProfile("Wide"));
  for (const char* name : {"wide/a.bmp", "wide/d.bmp", "plain/b.bmp"}) temp.write(name, wideBmp);
  for (const char* name : {"wide/b.bmp", "wide/c.bmp", "plain/a.bmp"})
    temp.write(name, testsupport::solidBmp(2, 1, {1, 2, 3}));
  MemoryStore store;
  AppHarness h(store);
  h.app.openFolder(wide);
  const std::string wideLine = "4 images · 2 × 1 canvas, from a.bmp · Wide profile";
  EXPECT_EQ(h.folderSummary(), wideLine + " · 2 files converted");
  h.app.openFolder(plain);
  const std::string plainLine = "2 images · 2 × 1 canvas, from a.bmp";
  EXPECT_EQ(h.folderSummary(), plainLine + " · 1 file converted");
  h.app.setIgnoreProfiles(true);
  EXPECT_EQ(h.summaryChangedFrom(plainLine + " · 1 file converted"), plainLine);
}

// What the user sees, per state of the job: the panel, its timer and the commands allowed.
struct Snapshot {
  bool panelShown, timerRunning;
  Commands commands;
  friend bool operator==(const Snapshot&, const Snapshot&) = default;
};

constexpr Snapshot kIdle{false, false, {true, true, false, true}};
constexpr Snapshot kRunning{true, true, {false, false, true, false}};
// The panel is gone but the worker finishes its file, with the options it was given.
constexpr Snapshot kStopping{false, false, {true, false, false, false}};

// A controller over a folder with two (fake) image files, and a job the test holds.
struct JobFixture : ::testing::Test {
  JobFixture()
      : h(store, "/home/tester", [this](JobRequest r, JobProgress& p, std::stop_token s) {
          return job(std::move(r), p, s);
        }) {
    temp.write("a.png", "not really");
    temp.write("b.png", "not really");
    h.app.openFolder(temp.path());
  }
  Snapshot snapshot() {
    EXPECT_EQ(h.view.commands, h.app.commands());
    return {h.view.panelShown, h.services.timerRunning(), h.view.commands};
  }
  void process(const std::string& output, DocumentType type = DocumentType::Psd) {
    h.app.process();
    std::exchange(h.view.answerOutput, nullptr)(View::OutputChoice{output, type});
  }
  // The worker has ended and the main thread has acted on it.
  void settle() {
    while (!h.app.commands().process) h.services.runPosted();
  }

  testsupport::TempFolder temp;
  MemoryStore store;
  Controller::JobFunction job = [](JobRequest r, JobProgress&, std::stop_token) -> JobResult {
    return JobOutcome{false, r.outputPath, r.files.size(), {40, 30}};
  };
  AppHarness h;
};

TEST_F(JobFixture, TheOptionsReachTheJobAndAreRemembered) {
  temp.write("a10.png", "not really");
  temp.write("a9.png", "not really");
  JobRequest seen;
  job = [&seen](JobRequest r, JobProgress&, std::stop_token) {
    seen = r;
    return JobResult(JobOutcome{false, r.outputPath, r.files.size(), {40, 30}});
  };
  h.app.setNaturalOrder(true);
  h.app.setTolerance(10);  // not a step: the one below
  h.app.setKeepResolution(true);
  h.app.setMultiply(true);
  h.app.setGroups(true);
  process(temp.file("out"));
  settle();
  std::vector<std::string> names;
  for (const std::string& file : seen.files) names.emplace_back(lastPathComponent(file));
  EXPECT_EQ(names, (std::vector<std::string>{"a.png", "a9.png", "a10.png", "b.png"}));
  EXPECT_EQ((std::tuple{seen.tolerance, seen.keepResolution, seen.multiply, seen.fileFolders}),
            (std::tuple{8, true, true, std::vector<std::string>(4)}));
  EXPECT_EQ(store.values["SUBFOLDERS_AS_GROUPS"], SettingValue(true));
  EXPECT_EQ(
      (std::tuple{store.values["NATURAL_ORDER"], store.values["KEY_TOLERANCE"],
                  store.values["KEEP_RESOLUTION"], store.values["BLEND_MULTIPLY"]}),
      (std::tuple{SettingValue(true), SettingValue(8), SettingValue(true), SettingValue(true)}));
}

TEST_F(JobFixture, FinishedJobGoesFromIdleThroughRunningBackToIdleAndSaysWhatItWrote) {
  std::promise<void> reported, go;
  job = [&, held = go.get_future().share()](JobRequest r, JobProgress& progress, std::stop_token) {
    EXPECT_EQ(r.key, KeyColour::White);
    progress.start(2);
    progress.startFile(1, r.files[1]);
    reported.set_value();
    held.wait();
    return JobResult(JobOutcome{false, r.outputPath, 2, {40, 30}});
  };
  h.app.setKeyColour(KeyColour::White);
  EXPECT_EQ(snapshot(), kIdle);
  process(temp.file("out"));
  EXPECT_EQ(snapshot(), kRunning);
  EXPECT_EQ(h.view.panelSource, temp.path());
  EXPECT_EQ(h.view.panelOutput, temp.file("out.psd"));
  EXPECT_EQ(store.values["DST_DIR"], SettingValue(temp.path()));
  reported.get_future().wait();
  h.services.tick();
  EXPECT_EQ(h.view.fileLine, "File 2 of 2: b.png");
  EXPECT_DOUBLE_EQ(h.view.percent, 50.0);

  go.set_value();
  settle();
  EXPECT_EQ(snapshot(), kIdle);
  EXPECT_EQ(h.view.result, "Saved out.psd — 2 layers, 40 × 30");
  EXPECT_TRUE(h.view.canReveal);
  h.app.revealResult();
  EXPECT_EQ(h.services.revealed, temp.file("out.psd"));
}

TEST_F(JobFixture, StoppedJobSaysWhetherItWroteAndHoldsProcessAndOptionsUntilItsWorkerEnds) {
  for (const bool seenInTime : {true, false}) {
    SCOPED_TRACE(seenInTime);
    std::promise<void> go;
    job = [&, held = go.get_future().share()](JobRequest r, JobProgress&, std::stop_token stop) {
      held.wait();
      // Seen at the top of a file, a stop writes nothing; during the last file it comes late.
      return JobResult(JobOutcome{stop.stop_requested() && seenInTime, r.outputPath, 2, {40, 30}});
    };
    process(temp.file("out"));
    h.app.stop();
    EXPECT_EQ(snapshot(), kStopping);
    h.app.setKeyColour(KeyColour::Black);
    h.app.process();
    EXPECT_FALSE(h.view.answerOutput) << "no save panel while the worker runs";
    go.set_value();
    settle();
    EXPECT_EQ(snapshot(), kIdle);
    EXPECT_EQ(h.view.result,
              seenInTime ? "Stopped — nothing was written" : "Saved out.psd — 2 layers, 40 × 30");
    EXPECT_EQ(h.view.canReveal, !seenInTime);
  }
  EXPECT_FALSE(store.values.contains("OPTION_TRANS"));
}

// A short job ends at once (AppThread's test); one that has run for a while asks first.
TEST_F(JobFixture, QuitAsksFirstWhenTheJobHasRunForAWhile) {
  job = [](JobRequest r, JobProgress&, std::stop_token stop) {
    while (!stop.stop_requested()) std::this_thread::yield();
    return JobResult(JobOutcome{true, r.outputPath, 0, {}});
  };
  process(temp.file("out"));
  h.services.clock += Controller::kQuitQuestionAfter + std::chrono::seconds(1);
  h.app.quit();
  EXPECT_EQ(h.view.question, text("QUIT_QUESTION"));
  std::exchange(h.view.answerQuestion, nullptr)(false);
  EXPECT_EQ(snapshot(), kRunning);
  EXPECT_FALSE(h.services.quitCalled);
  h.app.quit();
  h.view.answerQuestion(true);
  EXPECT_TRUE(h.services.quitCalled);
  EXPECT_EQ(h.view.result, "Stopped — nothing was written");
}

TEST_F(JobFixture, FailedJobShowsItsErrorInWordsAndWhyItSavedNothing) {
  Error internal(ErrorKind::Internal);
  internal.detail = "std::logic_error: vector";
  const std::tuple<Error, Alert, std::string> cases[] = {
      {Error(ErrorKind::ImageCutShort, "/src/b.png"),
       {text("IMAGE_CUT_SHORT"), "/src/b.png\n\n" + text("REPLACE_FILE_ADVICE")},
       "Not saved — b.png is incomplete"},
      {internal, {text("JOB_FAILED"), text("UNKNOWN_ERROR")}, "Not saved — an unknown error"}};
  for (const auto& [error, alert, line] : cases) {
    h.view.alerts.clear();
    job = [&error = error](JobRequest, JobProgress&, std::stop_token) { return JobResult(error); };
    process(temp.file("broken"));
    settle();
    EXPECT_EQ(h.view.alerts, std::vector<Alert>{alert});
    EXPECT_EQ(snapshot(), kIdle);
    EXPECT_EQ(h.view.result, line);
  }
}

TEST_F(JobFixture, SavePanelAddsTheExtensionStartsWhereAFolderStillIsAndStoresTheFolder) {
  EXPECT_EQ(h.view.proposedName, "");
  h.app.process();
  EXPECT_EQ(h.view.proposedName, std::filesystem::path(temp.path()).filename().string() + ".psd");
  h.view.answerOutput(std::nullopt);
  EXPECT_FALSE(store.values.contains("DST_DIR")) << "a cancelled panel stores nothing";
  EXPECT_EQ(snapshot(), kIdle);
  const std::tuple<const char*, DocumentType, const char*> names[] = {
      {"mine", DocumentType::Psd, "mine.psd"},
      {"wrongext.png", DocumentType::Psd, "wrongext.png.psd"},
      {"big", DocumentType::Psb, "big.psb"},
      {"big.PSB", DocumentType::Psd, "big.PSB"},
      {"x.Psd", DocumentType::Psb, "x.Psd"}};
  for (const auto& [typed, type, written] : names) {
    process("/out/" + std::string(typed), type);
    settle();
    EXPECT_EQ(h.view.result, "Saved " + std::string(written) + " — 2 layers, 40 × 30");
  }
  EXPECT_EQ(store.values["DST_DIR"], SettingValue("/out"));
  EXPECT_EQ(h.view.question, "") << "the panel asked about the names it confirmed";

  // A last output folder that is gone gives way to the default one, and that to home.
  h.app.process();
  EXPECT_EQ(h.view.outputStart, h.services.home);
  process(temp.path() + "/out.psd");
  settle();
  h.app.process();
  EXPECT_EQ(h.view.outputStart, temp.path());

  // A name that the extension turns into an existing file's is asked about.
  temp.write("taken.psd", "old");
  for (const bool replace : {false, true}) {
    process(temp.file("taken"));
    EXPECT_EQ(h.view.question, "“taken.psd” already exists. Do you want to replace it?");
    std::exchange(h.view.answerQuestion, nullptr)(replace);
    settle();
    EXPECT_EQ(h.view.result, replace ? "Saved taken.psd — 2 layers, 40 × 30"
                                     : "Saved out.psd — 2 layers, 40 × 30");
  }

  // A first image wider than a PSD holds proposes a PSB.
  const std::string wide = temp.makeFolder("wide");
  temp.write("wide/a.bmp", testsupport::solidBmp(30001, 2, {1, 2, 3}));
  h.app.openFolder(wide);
  h.folderSummary();
  h.app.process();
  EXPECT_EQ(h.view.proposedName, "wide.psb");
  EXPECT_EQ(h.view.proposedType, DocumentType::Psb);
  h.view.answerOutput(std::nullopt);

  // A folder without images is found out once the output is named, and that is kept.
  const std::string empty = temp.makeFolder("empty");
  h.app.openFolder(empty);
  process("/some/where/out.psd");
  EXPECT_EQ(h.view.alerts, (std::vector<Alert>{{text("NO_IMAGE_FILE"), empty}}));
  EXPECT_EQ(h.view.result, "Not saved — no image file in the folder");
  EXPECT_EQ(store.values["DST_DIR"], SettingValue("/some/where"));
  EXPECT_EQ(snapshot(), kIdle);
}

}  // namespace
}  // namespace quillane::fakes
