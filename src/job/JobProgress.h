#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>

#include "util/Geometry.h"
#include "util/ProgressUtility.h"
#include "util/SharedValue.h"

namespace quillane {

// How far a job is. Written by the job's thread, read by any other (the UI polls it every
// 0.3 s); every read sees an old or a new value of each field whole and changes nothing.
class JobProgress {
 public:
  struct Snapshot {
    std::size_t fileIndex = 0;  // zero-based index of the file under way
    std::size_t fileCount = 0;
    std::string file;      // its full path; empty before the first file's turn
    double percent = 0.0;  // 0 to 100
    Size canvas;           // 0 x 0 until the first file is measured
  };

  JobProgress();
  Snapshot snapshot() const;

  // ---- The job's side ----
  // A job of fileCount files begins: fresh step counters, no file named, no canvas.
  void start(std::size_t fileCount);
  // The file at index takes its turn (or is the one a failure names).
  void startFile(std::size_t index, const std::string& path);
  void setCanvas(Size canvas);
  // The counters of the current job: the major step counts files, the minor one the pixels
  // of the file being keyed.
  std::shared_ptr<ProgressUtility> steps() const { return steps_.load(); }

 private:
  SharedValue<ProgressUtility> steps_;
  // The file under way and its index, replaced together so that a read never pairs one
  // file's index with another's name.
  struct FileTurn {
    std::size_t index = 0;
    std::string path;
  };
  SharedValue<const FileTurn> file_;
  std::atomic<std::size_t> fileCount_{0};
  std::atomic<decltype(Size::width)> canvasWidth_{0};
  std::atomic<decltype(Size::height)> canvasHeight_{0};
};

}  // namespace quillane
