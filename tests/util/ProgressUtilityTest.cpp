#include "util/ProgressUtility.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillane {
namespace {

TEST(ProgressUtility, CombinesMajorAndMinorStepsWithinZeroToAHundred) {
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double majorStep, majorStepMax, minorStep, minorStepMax, expected;
  } cases[] = {
      {0, 100, 0, 100, 0.0},    // a fresh model
      {3, 4, 0, 100, 75.0},     // minor counter untouched
      {2, 4, 500, 1000, 62.5},  // third of four files, keying half done
      {4, 4, 100, 100, 100.0},  // raw 125 clamps to 100
      {1, 4, 300, 100, 100.0},  // a minor step above its maximum; only the sum clamps
      {-1, 4, -5, 100, 0.0},    // negative steps count as 0
      {1, 4, -5, 100, 25.0},   {2, 0, 0, 100, 0.0},  // a maximum not above 0 answers 0
      {2, -3, 0, 100, 0.0},    {2, kNaN, 0, 100, 0.0}, {50, 100, 0, 0, 0.0},
  };
  for (const auto& c : cases) {
    ProgressUtility progress;
    progress.setMajorStepMax(c.majorStepMax);
    progress.setMajorStep(c.majorStep);
    progress.setMinorStepMax(c.minorStepMax);
    progress.setMinorStep(c.minorStep);
    EXPECT_DOUBLE_EQ(progress.value(), c.expected) << c.majorStep << " of " << c.majorStepMax;
  }
}

}  // namespace
}  // namespace quillane
