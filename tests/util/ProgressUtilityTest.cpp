#include "util/ProgressUtility.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillane {
namespace {

TEST(ProgressUtility, CombinesMajorAndMinorStepsClampedToAHundred) {
  struct Case {
    double majorStep, majorStepMax, minorStep, minorStepMax, expected;
  };
  const Case cases[] = {
      {0, 100, 0, 100, 0.0},       // a fresh model
      {3, 4, 0, 100, 75.0},        // minor counter untouched
      {2, 4, 500, 1000, 62.5},     // third of four files, keying half done
      {4, 4, 100, 100, 100.0},     // raw 125 clamps to 100
      {1, 4, 300, 100, 100.0},     // a minor step above its maximum is allowed; only the sum clamps
  };
  for (const Case& c : cases) {
    ProgressUtility progress;
    progress.setMajorStepMax(c.majorStepMax);
    progress.setMajorStep(c.majorStep);
    progress.setMinorStepMax(c.minorStepMax);
    progress.setMinorStep(c.minorStep);
    EXPECT_DOUBLE_EQ(progress.value(), c.expected) << c.majorStep << " of " << c.majorStepMax;
  }
}

TEST(ProgressUtility, NegativeStepsCountAsZeroAndAreStoredBack) {
  ProgressUtility progress;
  progress.setMajorStepMax(4);
  progress.setMajorStep(-1);
  progress.setMinorStep(-5);
  EXPECT_DOUBLE_EQ(progress.value(), 0.0);
  EXPECT_DOUBLE_EQ(progress.majorStep(), 0.0);
  EXPECT_DOUBLE_EQ(progress.minorStep(), 0.0);
}

TEST(ProgressUtility, MaximumNotAboveZeroAnswersZero) {
  for (const double bad : {0.0, -3.0, std::numeric_limits<double>::quiet_NaN()}) {
    ProgressUtility major;
    major.setMajorStepMax(bad);
    major.setMajorStep(2);
    EXPECT_EQ(major.value(), 0.0);
    ProgressUtility minor;
    minor.setMinorStepMax(bad);
    minor.setMajorStep(50);
    EXPECT_EQ(minor.value(), 0.0);
  }
}

}  // namespace
}  // namespace quillane
