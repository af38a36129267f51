#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/Image.h"
#include "util/Geometry.h"
#include "util/ProgressUtility.h"
#include "util/SharedValue.h"

namespace quillane {

// The job side of the application controller: the fields that the job and the progress
// display share, and the operations of the job (file list, canvas measure, keying, the job
// itself). AppDelegate adds the window side; the command line uses this part alone.
//
// Threads: the job runs on one worker; the UI thread polls the progress fields. Each shared
// field is one value, read whole: flags and steps are atomic, the file name and the progress
// model are shared pointers (SharedValue).
class JobRecord {
 public:
  // The values of optionTransparent: which colour the job keys out.
  static constexpr std::int32_t kKeyOutNone = 0;
  static constexpr std::int32_t kKeyOutWhite = 1;
  static constexpr std::int32_t kKeyOutBlack = 2;

  JobRecord();
  virtual ~JobRecord() = default;
  JobRecord(const JobRecord&) = delete;
  JobRecord& operator=(const JobRecord&) = delete;

  // ---- Fields (main thread unless noted) ----
  std::string srcPath;
  std::vector<std::string> imageFileList;
  std::int32_t optionTransparent = kKeyOutNone;  // one of the kKeyOut values below
  bool optionOrient = false;

  // Shared with the worker.
  std::atomic<bool> progressFinished{true};
  std::atomic<bool> progressCancelled{false};
  std::atomic<bool> progressErrorOccured{false};
  SharedValue<const std::string> progressFilename;
  SharedValue<ProgressUtility> progressUtil;
  // The canvas of the current or last job; written by the worker once the first file is
  // measured, read by the UI thread once progressFinished is set.
  Size documentSize;

  // Readies the shared fields for a new job: the flags cleared, no file named and a fresh
  // progress model, so that nothing of an earlier job shows before this one reports.
  void resetProgress();

  // ---- Image file list ----
  // Lists the folder's regular files with an accepted extension, sorted by stem then
  // extension, as full paths; stores and returns the list. The folder becomes srcPath, the
  // folder the full paths are formed from.
  const std::vector<std::string>& makeImageFileList(const std::string& folder);
  static bool isValidFileFormat(const std::string& name);
  void sortImageFileList();
  void fullpathImageFileList();

  // ---- The job ----
  // Builds the layered document from files (full paths, bottom layer first) and writes it
  // to path atomically. Returns false when written and when cancelled; raises
  // quillane::Exception on a read error (also for a first file that cannot be measured and
  // an image that cannot be keyed), a canvas above kMaxPsdSide, a writer failure or a
  // failed write.
  bool createPSDFile(const std::vector<std::string>& files, const std::string& path);
  std::string baseImageFile() const;
  // The file's size in pixels; 0 by 0 when it cannot be measured.
  Size imageFileSize(const std::string& path);

  // ---- Colour keying ----
  // A copy of the image, W x H pixels (its pixelsSize truncated), in which every pixel whose
  // red, green and blue equal the key exactly is fully transparent. Advances the minor step
  // of progressUtil once for every pixel keyed. Nothing when the image cannot be keyed.
  std::optional<Image> setTransparentColorToImage(const Image& image, float red, float green,
                                                  float blue);
  // The image redrawn at its rendered pixel size times the factors (high-quality scaling).
  std::optional<Image> resizeImage(const Image& image, Size scale);
};

}  // namespace quillane
