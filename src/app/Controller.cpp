#include "app/Controller.h"

#include "app/Paths.h"
#include "util/Log.h"
#include "util/Strings.h"

namespace quillane {
namespace {

// The step of tolerance a stored value gives: the largest step not above it.
int toleranceFromSetting(std::optional<int> stored) {
  int tolerance = 0;
  for (const int step : kToleranceSteps) {
    if (step <= stored.value_or(0)) tolerance = step;
  }
  return tolerance;
}

std::optional<KeyColour> keyColourFromSetting(std::optional<int> stored) {
  switch (stored.value_or(-1)) {
    case 0:
      return KeyColour::None;
    case 1:
      return KeyColour::White;
    case 2:
      return KeyColour::Black;
    default:
      return std::nullopt;
  }
}

}  // namespace

Controller::Controller(View& view, AppServices& services, SettingsStore& store, JobFunction job)
    : view_(view),
      services_(services),
      settings_(store, services.homeFolder()),
      recent_(settings_),
      job_(std::move(job)),
      summarizer_(std::make_unique<FolderSummarizer>([this](FolderSummary summary) {
        services_.postToMainThread([this, summary = std::move(summary)] { showSummary(summary); });
      })) {
  // A stored folder that is gone (or no longer readable) is not shown: processing it could
  // only fail.
  source_ = settings_.stringValue(kSourceFolderKey);
  if (!isReadableFolder(source_)) source_.clear();
  options_.key = keyColourFromSetting(settings_.intValue(kKeyColourKey));
  options_.orient = settings_.boolValue(kOrientKey);
  options_.ignoreProfiles = settings_.boolValue(kIgnoreProfilesKey);
  options_.naturalOrder = settings_.boolValue(kNaturalOrderKey);
  options_.tolerance = toleranceFromSetting(settings_.intValue(kToleranceKey));
  options_.keepResolution = settings_.boolValue(kKeepResolutionKey);
  options_.multiply = settings_.boolValue(kMultiplyKey);
  options_.groups = settings_.boolValue(kGroupsKey);
  options_.modernFormats = settings_.boolValue(kModernFormatsKey);
  options_.allFrames = settings_.boolValue(kAllFramesKey);
  expanded_ = settings_.boolValue(kExpandWindowKey);

  view_.setOptions(options_);
  view_.setExpanded(expanded_);
  view_.showResult("", false);
  showRecentFolders();
  summarizeSource();
  updateCommands();
}

Controller::~Controller() {
  // The process must not end under a running job, nor under a summary being worked out.
  progressTimer_.reset();
  summaryDelay_.reset();
  worker_ = {};
  summarizer_.reset();
  services_.watchFolder("", nullptr);
}

// One place decides: the source may change as soon as the panel is gone (a job never reads
// it); a new job and a new option wait until the previous worker has ended. A folder known to
// hold no image has nothing to process.
Commands Controller::commands() const {
  return {.chooseSource = state_ != JobState::Running,
          .process = state_ == JobState::Idle && sourceMayHoldImages(),
          .stop = state_ == JobState::Running,
          .options = state_ == JobState::Idle};
}

void Controller::updateCommands() { view_.setCommandsEnabled(commands()); }

void Controller::setKeyColour(KeyColour key) {
  if (!commands().options) return;
  options_.key = key;
  settings_.setValue(kKeyColourKey, static_cast<int>(key));
}

void Controller::setOrient(bool orient) {
  if (!commands().options) return;
  options_.orient = orient;
  settings_.setValue(kOrientKey, orient);
  // The canvas the line states follows the first photo's rotation, as the job's does.
  requestSummary();
}

void Controller::setIgnoreProfiles(bool ignore) {
  if (!commands().options) return;
  options_.ignoreProfiles = ignore;
  settings_.setValue(kIgnoreProfilesKey, ignore);
  requestSummary();  // the line names the profile the document takes, or none
}

void Controller::setNaturalOrder(bool natural) {
  if (!commands().options) return;
  options_.naturalOrder = natural;
  settings_.setValue(kNaturalOrderKey, natural);
  requestSummary();  // the first file, and so the canvas, may change
}

void Controller::setTolerance(int tolerance) {
  if (!commands().options) return;
  options_.tolerance = toleranceFromSetting(tolerance);
  settings_.setValue(kToleranceKey, options_.tolerance);
}

void Controller::setKeepResolution(bool keep) {
  if (!commands().options) return;
  options_.keepResolution = keep;
  settings_.setValue(kKeepResolutionKey, keep);
}

void Controller::setModernFormats(bool modern) {
  if (!commands().options) return;
  options_.modernFormats = modern;
  settings_.setValue(kModernFormatsKey, modern);
  requestSummary();  // the files taken, and so the canvas, may change
}

void Controller::setMultiply(bool multiply) {
  if (!commands().options) return;
  options_.multiply = multiply;
  settings_.setValue(kMultiplyKey, multiply);
}

void Controller::setGroups(bool groups) {
  if (!commands().options) return;
  options_.groups = groups;
  settings_.setValue(kGroupsKey, groups);
  requestSummary();  // the line counts the groups, and the first file may change
}

void Controller::setAllFrames(bool all) {
  if (!commands().options) return;
  options_.allFrames = all;
  settings_.setValue(kAllFramesKey, all);
  requestSummary();  // the line counts the layers frames make
}

void Controller::toggleOptions() {
  expanded_ = !expanded_;
  view_.setExpanded(expanded_);
  settings_.setValue(kExpandWindowKey, expanded_);
}

void Controller::showRecentFolders() { view_.showRecentFolders(recent_.folders()); }

void Controller::clearRecentFolders() {
  recent_.clear();
  showRecentFolders();
}

void Controller::quit() {
  const bool longRunning =
      state_ == JobState::Running && services_.now() - jobStart_ > kQuitQuestionAfter;
  if (!longRunning) return quitNow();
  view_.askToConfirm(localizedString("QUIT_QUESTION"), localizedString("QUIT_DETAIL"),
                     localizedString("QUIT_BUTTON"), [this](bool confirmed) {
                       if (confirmed) quitNow();
                     });
}

void Controller::quitNow() {
  logLine("Quit");
  stop();
  // The job stops at the top of its next file (or finishes its last one); the process must
  // not exit under it.
  finishJob();
  services_.quit();
}

void Controller::revealResult() {
  if (!writtenPath_.empty() && !services_.revealInFileManager(writtenPath_))
    view_.alert(localizedString("REVEAL_FAILED"), writtenPath_);
}

}  // namespace quillane
