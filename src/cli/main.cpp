#include "cli/CommandLine.h"
#include "cli/JobRunner.h"

int main(int argc, char** argv) {
  const quillane::cli::ParseResult parsed = quillane::cli::parseCommandLine(argc, argv);
  if (!parsed.commandLine) return parsed.exitStatus;
  return quillane::cli::runJob(*parsed.commandLine);
}
