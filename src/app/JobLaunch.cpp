#include <algorithm>
#include <filesystem>

#include "app/AppDelegate.h"
#include "app/SettingsKeys.h"
#include "app/TextFormat.h"
#include "job/ErrorText.h"
#include "util/Log.h"
#include "util/PathNames.h"

namespace quillane {

AppDelegate::~AppDelegate() {
  stopAndWaitForWorker();
}

// Asks a running job to stop, then waits for its worker.
void AppDelegate::stopAndWaitForWorker() {
  if (!progressFinished) requestStop();
  waitForWorker();
}

void AppDelegate::postToMain(std::function<void()> block) {
  toolkit->mainQueue().post(std::move(block));
}

void AppDelegate::commandsChanged() {
  if (toolkit) toolkit->commandsChanged();
}

void AppDelegate::waitForWorker() {
  if (worker_.joinable()) worker_.join();
}

void AppDelegate::onProcessClick() {
  // A cancelled job may still be finishing its file; the shared fields serve one job.
  if (!validateMenuItem(Action::onProcessClick)) {
    logLine("process ignored: the previous job is still running");
    return;
  }
  const std::optional<std::string> output = outputFileDialog();
  if (!output) return;

  try {
    makeImageFileList(srcPath);
  } catch (const std::exception& error) {
    logLine("cannot list '%s': %s", srcPath.c_str(), error.what());
    imageFileList.clear();
  }
  if (imageFileList.empty()) {
    toolkit->runAlert(toolkit->localizedString("NO_IMAGE_FILE"), "");
    return;
  }

  waitForWorker();
  resetProgress();
  documentSize = {};
  finishSeen_ = false;
  stopRequested_ = false;
  jobResultLine->setResult("", false);
  menuItemStop->setEnabled(true);

  showSheet();
  worker_ = std::thread(&AppDelegate::runJobWrapper, this, imageFileList, *output);
  commandsChanged();
}

std::optional<std::string> AppDelegate::outputFileDialog() {
  toolkit::SavePanelOptions options;
  options.title = toolkit->localizedString("SAVE_TITLE");
  options.prompt = toolkit->localizedString("SAVE_PROMPT");
  options.allowedFileTypes = {"psd", "psb"};
  options.directory = saveStartFolder();
  options.nameFieldValue = proposedDocumentName();
  const toolkit::SavePanelResult answer = toolkit->runSavePanel(options);
  if (answer.result == toolkit::kPanelCancel) {
    logLine("Cancel button was pressed.");
    return std::nullopt;
  }
  if (answer.result != toolkit::kPanelOK) return std::nullopt;

  dstPath = withDocumentExtension(answer.path);
  logLine("saving file '%s'", dstPath.c_str());
  userDefaults().setString(kDstDirKey, std::filesystem::path(dstPath).parent_path().string());
  userDefaults().synchronize();
  return dstPath;
}

void AppDelegate::showSheet() {
  progressBar->setDoubleValue(0.0);
  pathCtrlProgressSrc->setPath(srcPath);
  pathCtrlProgressDst->setPath(dstPath);
  progressFileLine->setText("");
  sheetShown_ = true;
  panelProgress->begin([this](int code) { sheetDidEnd(code); });
  timerProgress = toolkit->scheduleTimer(kProgressInterval, [this] { tickProgress(); });
}

// The worker's body: runs the job, hands any failure to the main thread as an alert, and
// marks the job over.
void AppDelegate::runJobWrapper(std::vector<std::string> files, std::string path) {
  std::optional<ErrorText> failure;
  try {
    if (jobBody)
      jobBody(*this, files, path);
    else
      createPSDFile(files, path);
  } catch (const Error& error) {
    failure = describeError(error);
  } catch (const std::bad_alloc&) {
    failure = describeError(Error(ErrorKind::OutOfMemory));
  } catch (...) {
    failure = describeError(Error(ErrorKind::Internal));
  }

  if (failure) {
    postToMain([this, failure = *failure] {
      toolkit->runAlert(failure.message, failure.detail);
      sheetCancel();
    });
  }
  progressFinished = true;
  // The Stop command belongs to the main thread.
  postToMain([this, failed = failure.has_value()] { workerEnded(failed); });
}

void AppDelegate::workerEnded(bool failed) {
  waitForWorker();
  menuItemStop->setEnabled(false);
  showJobResult(failed);
  commandsChanged();
}

void AppDelegate::tickProgress() {
  if (progressFinished) {
    // Acted on once per job; the flag stays set, since it means that no job runs.
    if (finishSeen_) return;
    finishSeen_ = true;
    logLine("*** progress finish detected ***");
    postToMain([this] { sheetOk(); });
    return;
  }
  if (progressErrorOccured) return;

  const JobProgress::Snapshot progress = jobProgress.snapshot();
  postToMain([this, progress] {
    progressFileLine->setText(progressFileText(progress.file));
    progressBar->setDoubleValue(progress.percent);
    progressBar->setNeedsDisplay();
  });
}

void AppDelegate::sheetOk() {
  logLine("sheetOk:");
  panelProgress->end(kSheetOK);
}

void AppDelegate::sheetCancel() {
  logLine("sheetCancel:");
  panelProgress->end(kSheetCancel);
}

void AppDelegate::sheetDidEnd(int returnCode) {
  if (returnCode == kSheetOK) {
    logLine("sheetDidEnd: OK button click");
  } else if (returnCode == kSheetCancel) {
    logLine("sheetDidEnd: cancel button click");
    requestStop();
    stopRequested_ = true;
  }
  if (timerProgress) {
    timerProgress->invalidate();
    timerProgress.reset();
  }
  panelProgress->orderOut();
  sheetShown_ = false;
  // With the sheet gone there is nothing left to stop; the worker, if it still runs, ends at
  // the top of its next file.
  menuItemStop->setEnabled(false);
  commandsChanged();
}

// "File 37 of 200: a-frame-037.png"; nothing before the job takes up its first file.
std::string AppDelegate::progressFileText(const std::string& file) const {
  if (file.empty()) return {};
  const auto found = std::find(imageFileList.begin(), imageFileList.end(), file);
  if (found == imageFileList.end()) return std::string(lastPathComponent(file));
  return fillIn(toolkit->localizedString("PROGRESS_FILE"),
                {std::to_string(found - imageFileList.begin() + 1),
                 std::to_string(imageFileList.size()), std::string(lastPathComponent(file))});
}

void AppDelegate::onMenuStop() {
  logLine("Stop");
  if (!progressFinished) sheetCancel();
}

}  // namespace quillane
