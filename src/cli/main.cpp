#include <csignal>

#include "cli/CommandLine.h"
#include "cli/JobRunner.h"

int main(int argc, char** argv) {
  // Past a file-size limit (ulimit -f) a write then fails with EFBIG, which the job reports
  // naming the output, instead of the signal ending the process.
  std::signal(SIGXFSZ, SIG_IGN);
  const quillane::cli::ParseResult parsed = quillane::cli::parseCommandLine(argc, argv);
  if (!parsed.commandLine) return parsed.exitStatus;
  return quillane::cli::runJob(*parsed.commandLine);
}
