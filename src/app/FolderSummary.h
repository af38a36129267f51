#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "util/Geometry.h"

namespace quillane {

// What a source folder holds for a job: how many images would become layers, and the canvas
// that the first of them would set.
struct FolderSummary {
  std::string folder;
  bool orient = false;        // the canvas as the first photo turned upright
  bool naturalOrder = false;  // the first file in natural order
  bool groups = false;        // subfolders counted as groups
  bool allFrames = false;     // layerCount counts frames and pages
  bool gone = false;          // the folder no longer exists or cannot be read
  std::size_t imageCount = 0;
  std::size_t layerCount =
      0;  // the pixel layers the document would have (frames too, with allFrames)
  std::size_t groupCount = 0;   // with groups: the layer groups the subfolders make
  std::string firstFile;        // its name
  Size canvas;                  // 0 by 0 when the first file cannot be measured
  std::string colourProfile;    // the one the document takes from the first file; "" for sRGB
  bool ignoreProfiles = false;  // colours kept as stored: no profile taken, nothing counted
  // How many later files would be converted into the document's colours; nothing when not
  // counted (colours ignored, no canvas, or a newer request came first).
  std::optional<std::size_t> convertedFiles;
  bool modernFormats = false;  // WebP, HEIC, AVIF and JPEG XL files taken
  std::string leftOut;         // without them, what the folder holds of them (leftOutLine)
};

// Lists the folder and measures its first image, as the job would.
// How the job would take the folder's files: photos turned upright, natural order.
struct SummaryOptions {
  bool orient = false;
  bool naturalOrder = false;
  bool groups = false;
  bool modernFormats = false;
  bool allFrames = false;
  bool ignoreProfiles = false;
};

// superseded: asked between files while counting the converted ones; true gives up the count.
FolderSummary summarizeFolder(const std::string& folder, SummaryOptions options,
                              const std::function<bool()>& superseded = {});

// Summarizes folders on a thread of its own, so that listing and measuring never hold up the
// window. Requests made while one is under way are merged: only the latest is worked out
// next, and the one under way stops counting converted files. Each summary goes to deliver,
// called on that thread.
class FolderSummarizer {
 public:
  explicit FolderSummarizer(std::function<void(FolderSummary)> deliver);
  // Waits for the summary under way, if any; those not begun are dropped.
  ~FolderSummarizer();
  FolderSummarizer(const FolderSummarizer&) = delete;
  FolderSummarizer& operator=(const FolderSummarizer&) = delete;

  void request(const std::string& folder, SummaryOptions options);

 private:
  void run();

  std::function<void(FolderSummary)> deliver_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<std::pair<std::string, SummaryOptions>> pending_;
  bool stopping_ = false;
  std::thread thread_;  // last: started once the fields above exist
};

}  // namespace quillane
