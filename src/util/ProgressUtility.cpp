#include "util/ProgressUtility.h"

namespace quillane {

double ProgressUtility::value() {
  const double majorMax = majorStepMax();
  const double minorMax = minorStepMax();
  // Also false for NaN: no caller lets that happen, and 0 is the only orderly answer.
  if (!(majorMax > 0.0) || !(minorMax > 0.0)) return 0.0;

  if (majorStep() < 0.0) setMajorStep(0.0);
  if (minorStep() < 0.0) setMinorStep(0.0);

  majorStepUnit_ = 1.0 / majorMax;
  minorStepUnit_ = majorStepUnit_ / minorMax;

  double v = (minorStepUnit_ * minorStep() + majorStep() * majorStepUnit_) * 100.0;
  if (v > 100.0) v = 100.0;
  if (v < 0.0) v = 0.0;
  return v;
}

}  // namespace quillane
