#include "app/AppDelegate.h"
#include "util/Log.h"

namespace quillane {

// The source folder may change as soon as no sheet is up: a job never reads it. A new job and
// a new option wait until the previous worker has ended, since the job reads the option and
// the shared fields serve one job.
bool AppDelegate::validateMenuItem(Action action) const {
  switch (action) {
    case Action::onBtnSourceSelectClick:
      return !sheetShown_;
    case Action::onProcessClick:
    case Action::onRawSelected:
      return !sheetShown_ && !jobRunning();
    case Action::onMenuStop:
      return sheetShown_ && jobRunning();
    case Action::other:
      break;
  }
  return true;
}

void AppDelegate::onMenuQuit() {
  logLine("Quit");
  if (!progressFinished) sheetCancel();
  // The job stops at the top of its next file (or finishes its last one); the process must
  // not exit under it.
  waitForWorker();
  toolkit->terminate();
}

void AppDelegate::addToRecent(const std::vector<std::string>& paths) {
  if (!theDocCont) theDocCont = &toolkit->recentList();
  for (const std::string& path : paths) theDocCont->noteNewRecentDocument(path);
}

void AppDelegate::clearRecent() {
  if (!theDocCont) theDocCont = &toolkit->recentList();
  theDocCont->clearRecentDocuments();
}

}  // namespace quillane
