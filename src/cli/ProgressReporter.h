#pragma once

#include <string>
#include <vector>

#include "cli/CommandLine.h"
#include "job/JobProgress.h"

namespace quillane::cli {

// Shows a running job on stderr: on a terminal a one-line bar (percent, file i of N, the
// file's name) redrawn at every tick; elsewhere, or with -v, one plain line per file;
// nothing with -q.
class ProgressReporter {
 public:
  ProgressReporter(Verbosity verbosity, const std::vector<std::string>& files, bool terminal);

  // Shows how far the job is.
  void tick(const JobProgress::Snapshot& progress);
  // The last update once the job is over: the bar drawn full when the file was written, or
  // taken away.
  void finish(const JobProgress::Snapshot& progress, bool written);
  // A line of its own, below the bar. Also shown when quiet if it is an error.
  void note(const std::string& line, bool isError = false);

 private:
  enum class Mode { Silent, Bar, Lines };
  // The 1-based number of the file whose turn it is; 0 before the first.
  int currentFileNumber(const JobProgress::Snapshot& progress) const;
  // The name of file number fileNumber (from 1), as it may be printed.
  std::string fileName(int fileNumber) const;
  void printLinesUpTo(int fileNumber);
  void drawBar(double percent, int fileNumber);
  void clearBar();

  Mode mode_;
  const std::vector<std::string>& files_;
  int printedLines_ = 0;
  bool barShown_ = false;
};

}  // namespace quillane::cli
