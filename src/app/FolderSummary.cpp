#include "app/FolderSummary.h"

#include "app/Paths.h"
#include "job/ConvertedFiles.h"
#include "job/Job.h"
#include "job/LayerSources.h"
#include "job/LeftOutFiles.h"
#include "psd/LayerGroups.h"
#include "util/PathNames.h"
#include "util/Strings.h"

namespace quillane {

FolderSummary summarizeFolder(const std::string& folder, SummaryOptions options,
                              const std::function<bool()>& superseded) {
  FolderSummary summary;
  summary.folder = folder;
  summary.orient = options.orient;
  summary.naturalOrder = options.naturalOrder;
  summary.groups = options.groups;
  summary.modernFormats = options.modernFormats;
  summary.allFrames = options.allFrames;
  summary.ignoreProfiles = options.ignoreProfiles;
  if (!isReadableFolder(folder)) {
    summary.gone = true;
    return summary;
  }
  std::vector<std::string> files;
  try {
    ImageFiles listed =
        listImageFiles(folder, {options.naturalOrder, options.groups, options.modernFormats});
    files = std::move(listed.paths);
    summary.groupCount = groupCount(listed.folders);
  } catch (const std::exception&) {
    return summary;
  }
  summary.imageCount = files.size();
  summary.layerCount = countLayers(files, options.allFrames);
  if (!options.modernFormats)
    summary.leftOut = leftOutLine(folder, localizedString("MODERN_OPTION_NAME"));
  if (summary.imageCount > 0) {
    summary.firstFile = std::string(lastPathComponent(files.front()));
    FirstImage first = measureFirstImage(files.front(), options.orient, options.modernFormats);
    summary.canvas = first.canvas;
    if (first.colours && !options.ignoreProfiles) {
      summary.colourProfile = std::move(first.colourProfile);
      summary.convertedFiles =
          countConvertedFiles(*first.colours, std::span(files).subspan(1), superseded);
    }
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

void FolderSummarizer::request(const std::string& folder, SummaryOptions options) {
  {
    std::lock_guard lock(mutex_);
    pending_.emplace(folder, options);
  }
  wake_.notify_one();
}

void FolderSummarizer::run() {
  for (;;) {
    std::pair<std::string, SummaryOptions> next;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || pending_; });
      if (stopping_) return;
      next = std::move(*pending_);
      pending_.reset();
    }
    deliver_(summarizeFolder(next.first, next.second, [this] {
      std::lock_guard lock(mutex_);
      return stopping_ || pending_.has_value();
    }));
  }
}

}  // namespace quillane
