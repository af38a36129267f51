#include "app/FolderSummary.h"

#include "job/JobRecord.h"
#include "util/PathNames.h"

namespace quillane {

FolderSummary summarizeFolder(const std::string& folder) {
  FolderSummary summary;
  summary.folder = folder;
  // A record of its own: the controller's file list and source folder stay untouched.
  JobRecord lister;
  try {
    lister.makeImageFileList(folder);
  } catch (const std::exception&) {
    return summary;
  }
  summary.imageCount = lister.imageFileList.size();
  if (summary.imageCount > 0) {
    const std::string& first = lister.imageFileList.front();
    summary.firstFile = std::string(lastPathComponent(first));
    summary.canvas = lister.imageFileSize(first);
  }
  return summary;
}

FolderSummarizer::FolderSummarizer(std::function<void(FolderSummary)> deliver)
    : deliver_(std::move(deliver)), thread_(&FolderSummarizer::run, this) {}

FolderSummarizer::~FolderSummarizer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

void FolderSummarizer::request(const std::string& folder) {
  {
    std::lock_guard lock(mutex_);
    pending_ = folder;
  }
  wake_.notify_one();
}

void FolderSummarizer::run() {
  for (;;) {
    std::string folder;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || pending_; });
      if (stopping_) return;
      folder = std::move(*pending_);
      pending_.reset();
    }
    deliver_(summarizeFolder(folder));
  }
}

}  // namespace quillane
