#include <limits>

#include "app/AppDelegate.h"
#include "app/SettingsKeys.h"
#include "util/Log.h"

namespace quillane {
namespace {

// Expanding or shrinking moves the origin by the height difference, so that the top edge
// stays where it was.
constexpr double kHeightChange = AppDelegate::kExpandedHeight - AppDelegate::kShrunkHeight;

// A stored option beyond 32 bits would wrap into a valid choice; it means no keying instead.
std::int32_t optionFromSetting(std::int64_t stored) {
  if (stored < std::numeric_limits<std::int32_t>::min() ||
      stored > std::numeric_limits<std::int32_t>::max())
    return -1;
  return static_cast<std::int32_t>(stored);
}

}  // namespace

void AppDelegate::applicationDidFinishLaunching() {
  window->setFrameAutosaveName(kMainFrameName);

  progressFinished = true;
  menuItemStop->setEnabled(false);
  progressCancelled = false;
  timerProgress.reset();
  jobProgress.start(0);
  progressBar->setDoubleValue(0.0);
  progressErrorOccured = false;
  imageFileList.clear();

  makeDefaultDictionary();
  registerDefaultValue();

  // A stored folder that is gone (or no longer readable) is not shown: processing it could
  // only fail.
  srcPath = userDefaults().stringForKey(kSrcDirKey);
  if (!isReadableFolder(srcPath)) srcPath.clear();
  optionTransparent = optionFromSetting(userDefaults().integerForKey(kOptionTransKey));
  pathCtrlSource->setPath(srcPath);
  summarizeSourceFolder();
  optionOrient = userDefaults().boolForKey(kOrientPhotosKey);
  checkOrient->setState(optionOrient ? 1 : 0);
  jobResultLine->setResult("", false);

  switch (optionTransparent) {
    case kKeyOutNone:
      logLine("SET RADIO 0");
      radio0->setState(1), radio1->setState(0), radio2->setState(0);
      break;
    case kKeyOutWhite:
      logLine("SET RADIO 1");
      radio0->setState(0), radio1->setState(1), radio2->setState(0);
      break;
    case kKeyOutBlack:
      logLine("SET RADIO 2");
      radio0->setState(0), radio1->setState(0), radio2->setState(1);
      break;
    default:
      break;
  }

  if (userDefaults().boolForKey(kExpandWindowKey)) {
    btnUpDown->setState(1);
  } else {
    btnUpDown->setState(0);
    shrinkWindowAnimate(false);
  }
  commandsChanged();
}

void AppDelegate::applicationWillTerminate() {
  if (timerProgress) {
    timerProgress->invalidate();
    timerProgress.reset();
  }
  // The process must not end under a running job, nor under a summary being worked out.
  stopAndWaitForWorker();
  summarizer_.reset();
  if (toolkit) toolkit->watchFolder("", nullptr);
}

void AppDelegate::onRawSelected(const toolkit::RadioCell& selectedCell) {
  // A cancelled job may still be keying its file with the current option.
  if (!validateMenuItem(Action::onRawSelected)) return;
  const int tag = selectedCell.tag();
  switch (tag) {
    case 0: logLine("透過処理なし"); break;
    case 1: logLine("白を透過"); break;
    case 2: logLine("黒を透過"); break;
    default: break;
  }
  optionTransparent = tag;
  userDefaults().setInteger(kOptionTransKey, tag);
  userDefaults().synchronize();
}

void AppDelegate::onOrientClick() {
  // The job reads the option, like the transparency option.
  if (!validateMenuItem(Action::onRawSelected)) return;
  optionOrient = checkOrient->state() == 1;
  userDefaults().setBool(kOrientPhotosKey, optionOrient);
  userDefaults().synchronize();
}

void AppDelegate::setWindowHeight(double height, double originShift, bool animate) {
  toolkit::WindowFrame frame = window->frame();
  frame.height = height;
  if (animate) frame.y += originShift;
  window->setFrame(frame, animate);
}

void AppDelegate::expandWindowAnimate(bool animate) {
  setWindowHeight(kExpandedHeight, -kHeightChange, animate);
}

void AppDelegate::shrinkWindowAnimate(bool animate) {
  setWindowHeight(kShrunkHeight, kHeightChange, animate);
}

void AppDelegate::onBtnUpDownClick() {
  const bool expand = btnUpDown->state() == 1;
  if (expand)
    expandWindowAnimate(true);
  else
    shrinkWindowAnimate(true);
  userDefaults().setBool(kExpandWindowKey, expand);
  userDefaults().synchronize();
}

}  // namespace quillane
