#pragma once

#include "cli/CommandLine.h"

namespace quillane::cli {

// Lists the source folder, runs the job on a worker thread while showing its progress and
// answering Ctrl-C, and reports the outcome. Returns the exit status.
int runJob(const CommandLine& line);

}  // namespace quillane::cli
