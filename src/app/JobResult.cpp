#include <filesystem>

#include "app/AppDelegate.h"
#include "app/SettingsKeys.h"
#include "app/TextFormat.h"
#include "util/PathNames.h"
#include "util/Strings.h"

namespace quillane {

std::string AppDelegate::saveStartFolder() {
  for (const std::string& folder :
       {userDefaults().stringForKey(kDstDirKey), defaultsDic[kDstDirKey]})
    if (isReadableFolder(folder)) return folder;
  return toolkit->homeDirectory();
}

std::string AppDelegate::proposedDocumentName() const {
  // "/a/storyboard/" names its folder as "/a/storyboard" does.
  const std::filesystem::path source = std::filesystem::path(srcPath).lexically_normal();
  const std::string name = (source.has_filename() ? source : source.parent_path()).filename();
  return name.empty() ? std::string() : name + ".psd";
}

std::string AppDelegate::withDocumentExtension(const std::string& path) {
  const std::string extension = lowerCased(pathExtension(path));
  return extension == "psd" || extension == "psb" ? path : path + ".psd";
}

// Once the worker has ended: what the job wrote, or that a stop left nothing. A failure has
// had its alert. A stop that the job never saw (it came during the last file) leaves the
// request set, and the file written.
void AppDelegate::showJobResult(bool failed) {
  if (failed) {
    jobResultLine->setResult("", false);
    return;
  }
  if (stopRequested_ && !progressCancelled) {
    jobResultLine->setResult(toolkit->localizedString("RESULT_STOPPED"), false);
    return;
  }
  writtenPath_ = dstPath;
  const char* key = imageFileList.size() == 1 ? "RESULT_SAVED_ONE" : "RESULT_SAVED";
  jobResultLine->setResult(
      fillIn(toolkit->localizedString(key),
             {std::string(lastPathComponent(writtenPath_)), std::to_string(imageFileList.size()),
              std::to_string(documentSize.width), std::to_string(documentSize.height)}),
      true);
}

void AppDelegate::onRevealClick() {
  if (!writtenPath_.empty()) toolkit->revealInFileManager(writtenPath_);
}

}  // namespace quillane
