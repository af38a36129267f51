#pragma once

#include <string>
#include <vector>

namespace quillane {

// Which colour the job makes transparent in every image.
enum class KeyColour { None, White, Black };

// What a job is asked to do. Passed by value: the worker owns its copy.
struct JobRequest {
  std::string sourceFolder;
  std::vector<std::string> files;  // full paths, bottom layer first (listImageFiles)
  std::string outputPath;          // a PSB when it ends in .psb (any case), else a PSD
  KeyColour key = KeyColour::None;
  bool orient = false;  // turn photos upright by their orientation tag
  // Keep every sample as stored: embed no profile, convert nothing.
  bool ignoreColourProfiles = false;
};

}  // namespace quillane
