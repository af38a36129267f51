#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "job/Job.h"
#include "support/BmpBytes.h"
#include "support/JobSupport.h"
#include "support/TempFolder.h"

namespace quillane {
namespace {

using testsupport::readFile;
using testsupport::TempFolder;

constexpr int kFiles = 10;
constexpr char kOldDocument[] = "the previous document";

// A step of the job, named by the log line that starts it and how many such lines came
// before: the request to stop is made from the job's own thread exactly there.
struct Step {
  std::string prefix;
  int occurrence;
  bool written;  // whether the job must still write the document whole
};

std::vector<Step> everyStep() {
  std::vector<Step> steps;
  for (int file = 1; file <= kFiles; ++file) {
    // The top of each file's turn: seen at once, the last file included.
    steps.push_back({"processing: ", file, false});
    // While the file is keyed, or its layer encoded and streamed out: seen at the top of the
    // next file's turn; the last file has none, so its turn and the writing after it run to
    // the end.
    steps.push_back({"inBitImage:", file, file == kFiles});
    steps.push_back({"adding layer: ", file, file == kFiles});
  }
  // The merged image and the layer records, then the rename.
  steps.push_back({"writing: ", 1, true});
  steps.push_back({"===== DONE =====", 1, true});
  return steps;
}

TEST(CancelEveryStep, StopIsSeenAtTheTopOfAFileOrNotAtAllAndNothingIsLeftHalfDone) {
  TempFolder folder;
  for (int i = 0; i < kFiles; ++i) {
    folder.write("image" + std::to_string(i) + ".bmp",
                 testsupport::solidBmp(6, 4, {static_cast<std::uint8_t>(i * 20), 60, 255}));
  }

  for (const Step& step : everyStep()) {
    SCOPED_TRACE(step.prefix + " #" + std::to_string(step.occurrence));
    TempFolder out;
    const std::string output = out.write("out.psd", kOldDocument);
    // Keying gives each file a step of its own.
    const JobRequest request{folder.path(), listImageFiles(folder.path()), output,
                             KeyColour::White};
    std::stop_source stopSource;
    JobProgress progress;
    JobResult result;
    {
      testsupport::OnLogLine stop(step.prefix, step.occurrence,
                                  [&stopSource] { stopSource.request_stop(); });
      result = runJob(request, progress, stopSource.get_token());
      EXPECT_EQ(stop.seen() >= step.occurrence, true) << "the step never came";
    }
    ASSERT_TRUE(std::holds_alternative<JobOutcome>(result));
    EXPECT_EQ(std::get<JobOutcome>(result).stopped, !step.written);
    EXPECT_EQ(out.entries(), std::vector<std::string>{"out.psd"});
    if (step.written) {
      EXPECT_EQ(testsupport::psdFaults({output, folder.path(), "--key", "white"}), "");
    } else {
      EXPECT_EQ(readFile(output), kOldDocument);
    }
  }
}

}  // namespace
}  // namespace quillane
