#include <filesystem>

#include "app/Controller.h"
#include "app/Paths.h"
#include "app/Texts.h"
#include "job/ImageFileList.h"
#include "util/Log.h"
#include "util/PathNames.h"
#include "util/Strings.h"

namespace quillane {

void Controller::chooseSourceFolder() {
  const std::string start = source_.empty() ? services_.homeFolder() : source_;
  view_.chooseFolder(start, [this](std::optional<std::string> folder) {
    if (folder) openAndRemember(*folder);
  });
}

// A readable folder becomes the source: shown, summarized and kept for the next launch; the
// line about the previous source's job goes. Anything else is refused in words, and taken off
// the recent menu if it was there.
bool Controller::openFolder(const std::string& path) {
  if (!isReadableFolder(path)) {
    logLine("not a readable folder: '%s'", path.c_str());
    view_.alert(localizedString("NOT_A_FOLDER"), path);
    recent_.remove(path);
    showRecentFolders();
    return false;
  }
  if (path != source_) {
    writtenPath_.clear();
    view_.showResult("", false);
  }
  source_ = path;
  settings_.setValue(kSourceFolderKey, source_);
  summarizeSource();
  return true;
}

bool Controller::openAndRemember(const std::string& path) {
  if (!openFolder(path)) return false;
  recent_.add(path);
  showRecentFolders();
  return true;
}

bool Controller::openDropped(const std::string& path) {
  std::error_code error;
  const bool imageFile =
      std::filesystem::is_regular_file(path, error) &&
      isImageFileName(std::string(lastPathComponent(path)), options_.modernFormats);
  return openFolder(imageFile ? std::filesystem::path(path).parent_path().string() : path);
}

// Lists and measures the source folder off the main thread, now and whenever its entries
// have stopped changing for a moment; the line says so meanwhile.
void Controller::summarizeSource() {
  summary_.reset();
  summaryDelay_.reset();
  updateCommands();
  if (source_.empty()) {
    services_.watchFolder("", nullptr);
    view_.showSource("", localizedString("SUMMARY_NO_FOLDER"));
    return;
  }
  view_.showSource(source_, localizedString("SUMMARY_LOOKING"));
  requestSummary();
  services_.watchFolder(source_, [this] { folderChanged(); });
}

void Controller::requestSummary() {
  if (!source_.empty())
    summarizer_->request(
        source_, {options_.orient, options_.naturalOrder, options_.groups, options_.modernFormats,
                  options_.allFrames, options_.ignoreProfiles});
}

void Controller::folderChanged() {
  summaryDelay_ = services_.startSingleShot(kSummaryDelay, [this] { requestSummary(); });
}

void Controller::showSummary(const FolderSummary& summary) {
  // A summary of a folder that is no longer the source, or with other options, comes too late.
  if (summary.folder != source_ || summary.orient != options_.orient ||
      summary.naturalOrder != options_.naturalOrder || summary.groups != options_.groups ||
      summary.modernFormats != options_.modernFormats || summary.allFrames != options_.allFrames ||
      summary.ignoreProfiles != options_.ignoreProfiles)
    return;
  summary_ = summary;
  view_.showSource(source_, summaryText(summary, !options_.ignoreProfiles));
  updateCommands();
}

// Until its summary comes, a folder may hold images.
bool Controller::sourceMayHoldImages() const {
  return !source_.empty() && (!summary_ || summary_->imageCount > 0);
}

}  // namespace quillane
