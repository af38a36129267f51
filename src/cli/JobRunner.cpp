#include "cli/JobRunner.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stop_token>
#include <thread>

#include "cli/ProgressReporter.h"
#include "cli/Wakeup.h"
#include "job/ErrorText.h"
#include "job/Job.h"
#include "job/LayerSources.h"
#include "job/LeftOutFiles.h"
#include "job/OutputFile.h"
#include "util/Log.h"
#include "util/PrintableText.h"
#include "util/Strings.h"

namespace quillane::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kTickInterval{300};

// Every line the command line prints of its own starts so.
std::string prefixed(const std::string& text) { return "quillane: " + text; }

// "quillane: MESSAGE: DETAIL". A message written as a sentence loses its full stop here,
// where a colon follows it.
std::string errorLine(const Error& error) {
  ErrorText text = describeError(error);
  for (const std::string stop : {".", "\u3002"}) {
    if (text.message.ends_with(stop)) text.message.resize(text.message.size() - stop.size());
  }
  return prefixed(text.message + (text.detail.empty() ? "" : ": " + text.detail));
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

// What stops the job before it starts: no files, an output that is a source, an output
// folder that cannot take the file (better found before a long job than after).
std::optional<Error> refusal(const JobRequest& request) {
  if (request.files.empty()) return Error(ErrorKind::NoImageFile, request.sourceFolder);
  if (isSourceImage(request.outputPath, request.files))
    return Error(ErrorKind::OutputIsSource, request.outputPath);
  try {
    OutputFile probe(request.outputPath);
  } catch (const Error& error) {
    return error;
  }
  return std::nullopt;
}

// The line that says what a finished job did.
std::string outcomeLine(const JobOutcome& outcome, bool stopRequested) {
  const std::string path = printableText(outcome.path);
  if (stopRequested) return prefixed(localizedString("CLI_STOP_TOO_LATE", {path}));
  if (outcome.layerCount == 1) return prefixed(localizedString("CLI_WROTE_ONE", {path}));
  return prefixed(localizedString("CLI_WROTE", {path, std::to_string(outcome.layerCount)}));
}

// What the progress lines name, one per layer: the files, or with all frames each frame
// ("anim.gif #2").
std::vector<std::string> progressNames(const JobRequest& request) {
  if (!request.allFrames) return request.files;
  std::vector<std::string> names;
  for (const LayerSource& layer :
       layerSources(request.files, framesPerFile(request.files, request.allFrames)))
    names.push_back(layerName(layer));
  return names;
}

}  // namespace

int runJob(const CommandLine& line) {
  if (line.verbosity == Verbosity::Verbose) setLogSink(logToStderr);

  JobRequest request{line.sourceFolder, {},          line.outputPath,
                     line.key,          line.orient, line.ignoreProfiles};
  request.tolerance = line.tolerance;
  request.keepResolution = line.keepResolution;
  request.multiply = line.multiply;
  request.modernFormats = line.modernFormats;
  request.allFrames = line.allFrames;
  try {
    ImageFiles files =
        listImageFiles(line.sourceFolder, {line.naturalOrder, line.groups, line.modernFormats});
    request.files = std::move(files.paths);
    request.fileFolders = std::move(files.folders);
  } catch (const Error& error) {
    std::fprintf(stderr, "%s\n", errorLine(error).c_str());
    return kExitFailure;
  }
  const std::vector<std::string> names = progressNames(request);  // the reporter keeps a reference
  ProgressReporter reporter(line.verbosity, names, ::isatty(STDERR_FILENO) == 1);
  const std::string leftOut =
      line.modernFormats ? std::string() : leftOutLine(line.sourceFolder, "--modern-formats");
  if (!leftOut.empty()) reporter.note(prefixed(leftOut));
  if (const std::optional<Error> refused = refusal(request)) {
    reporter.note(errorLine(*refused), true);
    return kExitFailure;
  }

  JobProgress progress;
  Wakeup wakeup;
  wakeup.catchInterrupts();
  std::optional<JobResult> result;
  std::atomic<bool> over{false};
  std::jthread worker([&, request](std::stop_token stop) {
    result = quillane::runJob(request, progress, stop);
    over = true;
    wakeup.post(Wakeup::kJobOver);
  });

  bool stopRequested = false;
  auto nextTick = Clock::now() + kTickInterval;
  while (!over) {
    const auto timeout = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::max(nextTick - Clock::now(), Clock::duration::zero()));
    for (const char event : wakeup.wait(timeout)) {
      if (event != Wakeup::kInterrupt) continue;
      if (stopRequested) {
        // A second Ctrl-C: no waiting for the job, and nothing half-made left behind.
        abandonOutputFiles();
        reporter.note(prefixed(localizedString("CLI_INTERRUPTED")), true);
        ::_exit(kExitInterrupted);
      }
      stopRequested = true;
      worker.request_stop();
      reporter.note(prefixed(localizedString("CLI_STOPPING")));
    }
    if (Clock::now() >= nextTick) {
      reporter.tick(progress.snapshot());
      nextTick += kTickInterval;
    }
  }
  worker.join();

  if (const Error* error = std::get_if<Error>(&*result)) {
    reporter.finish(progress.snapshot(), false);
    reporter.note(errorLine(*error), true);
    return kExitFailure;
  }
  const JobOutcome& outcome = std::get<JobOutcome>(*result);
  if (outcome.stopped) {
    reporter.finish(progress.snapshot(), false);
    reporter.note(prefixed(localizedString("CLI_STOPPED")));
    return kExitInterrupted;
  }
  reporter.finish(progress.snapshot(), true);
  // A stop that came once the last file's turn had begun lets the document be written.
  reporter.note(outcomeLine(outcome, stopRequested));
  return kExitSuccess;
}

}  // namespace quillane::cli
