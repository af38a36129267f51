#include "cli/JobRunner.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <thread>

#include "cli/ProgressReporter.h"
#include "cli/Wakeup.h"
#include "job/JobFailure.h"
#include "job/JobRecord.h"
#include "job/OutputFile.h"
#include "util/Exception.h"
#include "util/Log.h"
#include "util/Strings.h"

namespace quillane::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kTickInterval{300};

// "quillane: NAME: REASON". A name written as a sentence loses its full stop here, where a
// colon follows it.
std::string errorLine(std::string name, const std::string& reason) {
  for (const std::string stop : {".", "\u3002"}) {
    if (name.size() >= stop.size() && name.ends_with(stop)) name.resize(name.size() - stop.size());
  }
  return "quillane: " + name + (reason.empty() ? "" : ": " + reason);
}

// Whether the output path names one of the source images (the arguments swapped, say),
// which the job would replace.
bool isSourceImage(const std::string& outputPath, const std::vector<std::string>& files) {
  std::error_code error;
  if (!std::filesystem::exists(outputPath, error)) return false;
  return std::any_of(files.begin(), files.end(), [&](const std::string& file) {
    return std::filesystem::equivalent(file, outputPath, error);
  });
}

}  // namespace

int runJob(const CommandLine& line) {
  if (line.verbosity == Verbosity::Verbose) setLogSink(logToStderr);

  JobRecord record;
  record.optionTransparent = line.optionTransparent;
  record.optionOrient = line.optionOrient;
  const std::vector<std::string> files = record.makeImageFileList(line.sourceFolder);
  ProgressReporter reporter(line.verbosity, files, ::isatty(STDERR_FILENO) == 1);
  if (files.empty()) {
    reporter.note(errorLine(localizedString("NO_IMAGE_FILE"), line.sourceFolder), true);
    return kExitFailure;
  }
  if (isSourceImage(line.outputPath, files)) {
    reporter.note(errorLine(localizedString("WRITE_ERROR"),
                            line.outputPath + ": is one of the source images"),
                  true);
    return kExitFailure;
  }
  // A folder that cannot take the output is better found before a long job than after.
  try {
    OutputFile probe(line.outputPath);
  } catch (const Exception& error) {
    reporter.note(errorLine(error.name(), error.reason()), true);
    return kExitFailure;
  }

  record.resetProgress();
  Wakeup wakeup;
  wakeup.catchInterrupts();
  std::optional<JobFailure> failure;
  std::thread worker([&] {
    failure = runCatchingFailure([&] { record.createPSDFile(files, line.outputPath); });
    record.progressFinished = true;
    wakeup.post(Wakeup::kJobOver);
  });

  bool stopRequested = false;
  auto nextTick = Clock::now() + kTickInterval;
  while (!record.progressFinished) {
    const auto timeout = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::max(nextTick - Clock::now(), Clock::duration::zero()));
    for (const char event : wakeup.wait(timeout)) {
      if (event != Wakeup::kInterrupt) continue;
      if (stopRequested) {
        // A second Ctrl-C: no waiting for the job, and nothing half-made left behind.
        abandonOutputFiles();
        reporter.note("quillane: interrupted; nothing was written", true);
        ::_exit(kExitInterrupted);
      }
      stopRequested = true;
      record.progressCancelled = true;
      reporter.note("quillane: stopping before the next file (Ctrl-C again to quit at once)");
    }
    if (Clock::now() >= nextTick) {
      reporter.tick(record);
      nextTick += kTickInterval;
    }
  }
  worker.join();

  if (failure) {
    reporter.finish(record, false);
    reporter.note(errorLine(failure->name, failure->reason), true);
    return kExitFailure;
  }
  // The job clears the stop request when it acts on it; one still set came too late.
  if (stopRequested && !record.progressCancelled) {
    reporter.finish(record, false);
    reporter.note("quillane: stopped; nothing was written");
    return kExitInterrupted;
  }
  reporter.finish(record, true);
  if (stopRequested)
    reporter.note("quillane: the stop came during the last file; " + line.outputPath +
                  " was written");
  else
    reporter.note("quillane: wrote " + line.outputPath + " (" + std::to_string(files.size()) +
                  (files.size() == 1 ? " layer)" : " layers)"));
  return kExitSuccess;
}

}  // namespace quillane::cli
