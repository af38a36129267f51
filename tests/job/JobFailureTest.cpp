#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "job/JobFailure.h"
#include "util/Exception.h"
#include "util/Strings.h"

namespace quillane {
namespace {

// Whatever a job throws reaches the user in words, never as a type's name.
TEST(JobFailure, EveryExceptionBecomesWordsForTheUser) {
  const std::pair<std::function<void()>, JobFailure> cases[] = {
      {[] { throw Exception("Name", "reason"); }, {"Name", "reason"}},
      {[] { throw std::bad_alloc(); }, {localizedString("OUT_OF_MEMORY"), ""}},
      {[] { throw std::runtime_error("disk full"); }, {localizedString("JOB_FAILED"), "disk full"}},
      {[] { throw 7; }, {localizedString("JOB_FAILED"), localizedString("UNKNOWN_ERROR")}},
  };
  for (const auto& [job, expected] : cases) {
    const auto failure = runCatchingFailure(job);
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->name, expected.name);
    EXPECT_EQ(failure->reason, expected.reason);
  }
  EXPECT_FALSE(runCatchingFailure([] {}));
}

}  // namespace
}  // namespace quillane
