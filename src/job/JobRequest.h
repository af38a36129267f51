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
  // Keying also takes pixels within this many 8-bit steps of the key colour (0 to 64).
  int tolerance = 0;
  // The document declares the first file's resolution instead of 72 pixels per inch.
  bool keepResolution = false;
  // Every layer in Multiply blend mode, and the merged image composited so.
  bool multiply = false;
  // Per file, the folder it lies in below sourceFolder ("" for the top, "a/b"), each folder
  // a layer group; empty: no groups.
  std::vector<std::string> fileFolders = {};
  // WebP, HEIF and JPEG XL files are listed (listImageFiles) and decoded too.
  bool modernFormats = false;
  // Every frame of a GIF and every page of a TIFF a layer of its own ("name #1", ...).
  bool allFrames = false;
};

}  // namespace quillane
