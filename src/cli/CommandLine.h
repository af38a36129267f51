#pragma once

#include <optional>
#include <string>

#include "job/JobRequest.h"

namespace quillane::cli {

enum class Verbosity { Quiet, Normal, Verbose };

struct CommandLine {
  KeyColour key = KeyColour::None;  // --key none|white|black
  bool orient = false;              // --orient
  bool ignoreProfiles = false;      // --ignore-profiles
  bool naturalOrder = false;        // --natural-order
  int tolerance = 0;                // --tolerance 0-64
  bool keepResolution = false;      // --keep-resolution
  bool multiply = false;            // --blend normal|multiply
  bool groups = false;              // --groups
  bool modernFormats = false;       // --modern-formats
  bool allFrames = false;           // --all-frames
  Verbosity verbosity = Verbosity::Normal;
  std::string sourceFolder;
  std::string outputPath;
};

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;  // 128 + SIGINT, as shells report it

// The parsed command line, or the exit status when there is nothing to run: 0 after --help
// or --version (printed on stdout), 2 after wrong usage (message and usage line on stderr,
// in the user's language), an output named neither .psd nor .psb included.
struct ParseResult {
  std::optional<CommandLine> commandLine;
  int exitStatus = kExitSuccess;
};

ParseResult parseCommandLine(int argc, char** argv);

}  // namespace quillane::cli
