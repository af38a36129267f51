#include "util/ProgressUtility.h"

#include <algorithm>

namespace quillane {

double ProgressUtility::value() const {
  const double majorMax = majorStepMax();
  const double minorMax = minorStepMax();
  // Also false for NaN: no caller lets that happen, and 0 is the only orderly answer.
  if (!(majorMax > 0.0) || !(minorMax > 0.0)) return 0.0;
  const double majorUnit = 1.0 / majorMax;
  const double minorUnit = majorUnit / minorMax;
  const double v =
      (minorUnit * std::max(minorStep(), 0.0) + std::max(majorStep(), 0.0) * majorUnit) * 100.0;
  return std::clamp(v, 0.0, 100.0);
}

}  // namespace quillane
