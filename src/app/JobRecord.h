#pragma once

#include <atomic>
#include <cstdint>
#include <stop_token>
#include <string>
#include <vector>

#include "job/Job.h"
#include "util/Geometry.h"

namespace quillane {

// The controller's job state, kept only until the controller is rewritten over the job's
// request and outcome (job/Job.h): the fields the window and the worker share, and the
// job's operations as the controller calls them.
class JobRecord {
 public:
  // The values of optionTransparent, as the settings store them.
  static constexpr std::int32_t kKeyOutNone = 0;
  static constexpr std::int32_t kKeyOutWhite = 1;
  static constexpr std::int32_t kKeyOutBlack = 2;

  virtual ~JobRecord() = default;

  // ---- Fields (main thread unless noted) ----
  std::string srcPath;
  std::vector<std::string> imageFileList;
  std::int32_t optionTransparent = kKeyOutNone;
  bool optionOrient = false;

  // Shared with the worker.
  std::atomic<bool> progressFinished{true};
  std::atomic<bool> progressCancelled{false};
  std::atomic<bool> progressErrorOccured{false};
  JobProgress jobProgress;
  // The canvas of the last job; written by the worker, read once progressFinished is set.
  Size documentSize;

  // Readies the shared fields for a new job.
  void resetProgress();
  // Asks the running job to stop at the top of its next file.
  void requestStop();

  const std::vector<std::string>& makeImageFileList(const std::string& folder);
  // Runs the job on files to path; raises its Error. A stop the job saw clears
  // progressCancelled.
  void createPSDFile(const std::vector<std::string>& files, const std::string& path);

 private:
  std::stop_source stop_;
};

}  // namespace quillane
