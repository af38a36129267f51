#include "app/Controller.h"
#include "app/Paths.h"
#include "app/Texts.h"
#include "util/Log.h"
#include "util/Strings.h"

namespace quillane {

void Controller::chooseSourceFolder() {
  const std::string start = source_.empty() ? services_.homeFolder() : source_;
  view_.chooseFolder(start, [this](std::optional<std::string> folder) {
    if (folder && openFolder(*folder)) {
      recent_.add(*folder);
      showRecentFolders();
    }
  });
}

// A readable folder becomes the source: shown, summarized and kept for the next launch.
// Anything else is refused in words, and taken off the recent menu if it was there.
bool Controller::openFolder(const std::string& path) {
  if (!isReadableFolder(path)) {
    logLine("not a readable folder: '%s'", path.c_str());
    view_.alert(localizedString("NOT_A_FOLDER"), path);
    recent_.remove(path);
    showRecentFolders();
    return false;
  }
  source_ = path;
  settings_.setValue(kSourceFolderKey, source_);
  summarizeSource();
  return true;
}

// Lists and measures the source folder off the main thread, now and whenever its entries
// change; the line says so meanwhile.
void Controller::summarizeSource() {
  if (source_.empty()) {
    services_.watchFolder("", nullptr);
    view_.showSource("", localizedString("SUMMARY_NO_FOLDER"));
    return;
  }
  view_.showSource(source_, localizedString("SUMMARY_LOOKING"));
  summarizer_->request(source_);
  services_.watchFolder(source_, [this] { summarizer_->request(source_); });
}

void Controller::showSummary(const FolderSummary& summary) {
  // A summary of a folder that is no longer the source comes too late.
  if (summary.folder == source_) view_.showSource(source_, summaryText(summary));
}

}  // namespace quillane
