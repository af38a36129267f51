#pragma once

#include <atomic>

namespace quillane {

// Two nested step counters turned into one percentage: the major counter counts files, the
// minor counter the pixels of the file being keyed. The job thread sets the steps while the
// UI thread asks value(); each counter is atomic on its own.
class ProgressUtility {
 public:
  double majorStep() const { return majorStep_.load(std::memory_order_relaxed); }
  void setMajorStep(double step) { majorStep_.store(step, std::memory_order_relaxed); }
  double majorStepMax() const { return majorStepMax_.load(std::memory_order_relaxed); }
  void setMajorStepMax(double max) { majorStepMax_.store(max, std::memory_order_relaxed); }
  double minorStep() const { return minorStep_.load(std::memory_order_relaxed); }
  void setMinorStep(double step) { minorStep_.store(step, std::memory_order_relaxed); }
  double minorStepMax() const { return minorStepMax_.load(std::memory_order_relaxed); }
  void setMinorStepMax(double max) { minorStepMax_.store(max, std::memory_order_relaxed); }

  // The progress in percent, 0 to 100: 100 x (major + minor / minorMax) / majorMax, a
  // negative step read as 0. A maximum that is not above 0 answers 0. Changes nothing, so any
  // thread may ask.
  double value() const;

 private:
  std::atomic<double> majorStep_{0.0};
  std::atomic<double> majorStepMax_{100.0};
  std::atomic<double> minorStep_{0.0};
  std::atomic<double> minorStepMax_{100.0};
};

}  // namespace quillane
