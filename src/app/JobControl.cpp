#include <filesystem>

#include "app/Controller.h"
#include "app/Paths.h"
#include "app/TextFormat.h"
#include "app/Texts.h"
#include "util/Log.h"
#include "util/PathNames.h"
#include "util/Strings.h"

namespace quillane {

// The save panel's start: the last output folder, else the default one, else home.
std::string Controller::saveStartFolder() const {
  for (const std::string& folder :
       {settings_.stringValue(kOutputFolderKey),
        std::get<std::string>(settings_.defaultValue(kOutputFolderKey))})
    if (isReadableFolder(folder)) return folder;
  return services_.homeFolder();
}

// A first image too large for a PSD, once the summary knows it, proposes a PSB.
void Controller::process() {
  if (!commands().process) {
    logLine("process ignored: a job is still running, or there is no image");
    return;
  }
  const DocumentType type = summary_ ? documentTypeFor(summary_->canvas) : DocumentType::Psd;
  view_.askOutputPath(saveStartFolder(), proposedDocumentName(source_, type), type,
                      [this](std::optional<View::OutputChoice> choice) {
                        if (choice && commands().process) outputChosen(*choice);
                      });
}

// The panel asked before replacing the name it confirmed; a name that gets its extension
// only now is asked about here.
void Controller::outputChosen(const View::OutputChoice& choice) {
  const std::string output = withDocumentExtension(choice.path, choice.type);
  std::error_code error;
  if (output == choice.path || !std::filesystem::exists(output, error)) return startJob(output);
  view_.askToConfirm(
      fillIn(localizedString("REPLACE_QUESTION"), {std::string(lastPathComponent(output))}),
      localizedString("REPLACE_DETAIL"), localizedString("REPLACE_BUTTON"),
      [this, output](bool confirmed) {
        if (confirmed && commands().process) startJob(output);
      });
}

void Controller::startJob(const std::string& output) {
  logLine("saving file '%s'", output.c_str());
  settings_.setValue(kOutputFolderKey, std::filesystem::path(output).parent_path().string());
  // Found out once the output is named, as the job would.
  JobRequest request{source_,         {},
                     output,          options_.key.value_or(KeyColour::None),
                     options_.orient, options_.ignoreProfiles};
  request.tolerance = options_.tolerance;
  request.keepResolution = options_.keepResolution;
  request.multiply = options_.multiply;
  request.modernFormats = options_.modernFormats;
  request.allFrames = options_.allFrames;
  // The line may have gone stale (a file still being copied when it was measured).
  requestSummary();
  try {
    ImageFiles files =
        listImageFiles(source_, {options_.naturalOrder, options_.groups, options_.modernFormats});
    request.files = std::move(files.paths);
    request.fileFolders = std::move(files.folders);
  } catch (const Error& error) {
    return showJobResult(error);
  }
  if (request.files.empty()) return showJobResult(Error(ErrorKind::NoImageFile, source_));

  state_ = JobState::Running;
  jobStart_ = services_.now();
  view_.showResult("", false);
  view_.showProgressPanel(source_, output);
  view_.showProgress(0.0, "");
  progressTimer_ = services_.startTimer(kProgressInterval, [this] { showProgress(); });
  result_.reset();
  worker_ = std::jthread([this, request = std::move(request)](std::stop_token stop) mutable {
    result_ = job_(std::move(request), progress_, stop);
    services_.postToMainThread([this] { finishJob(); });
  });
  updateCommands();
}

void Controller::showProgress() {
  const JobProgress::Snapshot now = progress_.snapshot();
  view_.showProgress(now.percent, progressLine(now));
}

void Controller::stop() {
  if (state_ != JobState::Running) return;
  logLine("Stop");
  // The worker, if it still runs, ends at the top of its next file.
  worker_.request_stop();
  state_ = JobState::Stopping;
  progressTimer_.reset();
  view_.hideProgressPanel();
  updateCommands();
}

void Controller::finishJob() {
  if (!worker_.joinable()) return;
  worker_.join();
  progressTimer_.reset();
  if (state_ == JobState::Running) view_.hideProgressPanel();
  state_ = JobState::Idle;
  showJobResult(*result_);
  updateCommands();
}

// What the job wrote, that a stop left nothing, or why it failed. A stop that the job never
// saw (it came during the last file) leaves the file written.
void Controller::showJobResult(const JobResult& result) {
  if (const Error* error = std::get_if<Error>(&result)) {
    logLine("job failed: %s %s", error->what(), error->detail.c_str());
    const ErrorText text = failureAlert(*error);
    view_.showResult(failureText(*error), false);
    view_.alert(text.message, text.detail);
    return;
  }
  const JobOutcome& outcome = std::get<JobOutcome>(result);
  if (!outcome.stopped) writtenPath_ = outcome.path;
  view_.showResult(resultText(outcome), !outcome.stopped);
}

}  // namespace quillane
