#include <unistd.h>

#include <filesystem>

#include "app/AppDelegate.h"
#include "app/SettingsKeys.h"
#include "app/TextFormat.h"
#include "util/Log.h"

namespace quillane {

bool AppDelegate::isReadableFolder(const std::string& path) {
  std::error_code error;
  return !path.empty() && std::filesystem::is_directory(path, error) &&
         ::access(path.c_str(), R_OK | X_OK) == 0;
}

void AppDelegate::onBtnSourceSelectClick() {
  toolkit::OpenPanelOptions options;
  options.canChooseFiles = false;
  options.canChooseDirectories = true;
  options.canCreateDirectories = true;
  options.prompt = toolkit->localizedString("OPEN_PROMPT");
  options.directory = srcPath.empty() ? toolkit->homeDirectory() : srcPath;
  toolkit->beginOpenPanel(options, [this](int result, std::vector<toolkit::ChosenUrl> urls) {
    if (result != toolkit::kPanelOK) return;
    for (const toolkit::ChosenUrl& url : urls) {
      if (!url.isFileUrl) {
        logLine("NOT FILE or DIR '%s'", url.text.c_str());
        continue;
      }
      if (setSourceFolder(url.path)) addToRecent({url.path});
    }
  });
}

bool AppDelegate::applicationOpenFile(const std::string& path) { return setSourceFolder(path); }

// A readable folder becomes the source: shown, summarized and kept for the next launch.
// Anything else is refused in words, and taken off the recent menu if it was there.
bool AppDelegate::setSourceFolder(const std::string& path) {
  if (!isReadableFolder(path)) {
    logLine("NOT DIR '%s'", path.c_str());
    toolkit->runAlert(toolkit->localizedString("NOT_A_FOLDER"), path);
    if (!theDocCont) theDocCont = &toolkit->recentList();
    theDocCont->removeRecentDocument(path);
    return false;
  }
  srcPath = path;
  logLine("dir selected '%s'", srcPath.c_str());
  pathCtrlSource->setPath(srcPath);
  userDefaults().setString(kSrcDirKey, srcPath);
  userDefaults().synchronize();
  summarizeSourceFolder();
  return true;
}

// Lists and measures the source folder off the main thread, now and whenever its entries
// change; the line says so meanwhile.
void AppDelegate::summarizeSourceFolder() {
  if (srcPath.empty()) {
    toolkit->watchFolder("", nullptr);
    sourceSummary->setText(toolkit->localizedString("SUMMARY_NO_FOLDER"));
    return;
  }
  if (!summarizer_) {
    toolkit::MainQueue& queue = toolkit->mainQueue();
    summarizer_ = std::make_unique<FolderSummarizer>([this, &queue](FolderSummary summary) {
      queue.post([this, summary = std::move(summary)] { showFolderSummary(summary); });
    });
  }
  sourceSummary->setText(toolkit->localizedString("SUMMARY_LOOKING"));
  summarizer_->request(srcPath);
  toolkit->watchFolder(srcPath, [this] {
    if (summarizer_ && !srcPath.empty()) summarizer_->request(srcPath);
  });
}

void AppDelegate::showFolderSummary(const FolderSummary& summary) {
  // A summary of a folder that is no longer the source comes too late.
  if (summary.folder == srcPath) sourceSummary->setText(summaryText(summary));
}

std::string AppDelegate::summaryText(const FolderSummary& summary) {
  if (summary.imageCount == 0) return toolkit->localizedString("SUMMARY_NO_IMAGES");
  if (summary.canvas.width < 1 || summary.canvas.height < 1)
    return fillIn(toolkit->localizedString("SUMMARY_UNREADABLE"), {summary.firstFile});
  const char* key = summary.imageCount == 1 ? "SUMMARY_ONE_IMAGE" : "SUMMARY_IMAGES";
  return fillIn(toolkit->localizedString(key),
                {std::to_string(summary.imageCount), std::to_string(summary.canvas.width),
                 std::to_string(summary.canvas.height), summary.firstFile});
}

}  // namespace quillane
