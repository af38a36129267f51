#include "app/FolderSummary.h"

#include "job/Job.h"
#include "util/PathNames.h"

namespace quillane {

FolderSummary summarizeFolder(const std::string& folder) {
  FolderSummary summary;
  summary.folder = folder;
  std::vector<std::string> files;
  try {
    files = listImageFiles(folder);
  } catch (const std::exception&) {
    return summary;
  }
  summary.imageCount = files.size();
  if (summary.imageCount > 0) {
    summary.firstFile = std::string(lastPathComponent(files.front()));
    summary.canvas = measureImageFile(files.front(), false);
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
