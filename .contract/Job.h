#pragma once
// CONTRACT (to be placed at src/job/Job.h, with JobRequest.h / JobProgress.h split as the
// implementer sees fit). What the command line and the app's controller call.
#include <cstddef>
#include <memory>
#include <stop_token>
#include <string>
#include <variant>
#include <vector>

#include "util/Error.h"
#include "util/Geometry.h"  // Size: integer pixels {int width; int height;}

namespace quillane {

enum class KeyColour { None, White, Black };

// What a job is asked to do. Passed by value: the worker owns its copy.
struct JobRequest {
  std::string sourceFolder;
  std::vector<std::string> files;  // full paths, bottom layer first (listImageFiles)
  std::string outputPath;          // a PSB when it ends in .psb (any case), else a PSD
  KeyColour key = KeyColour::None;
  bool orient = false;             // turn photos upright by their orientation tag
};

// What a finished job did.
struct JobOutcome {
  bool stopped = false;   // the stop token was seen at the top of a file's turn: nothing written
  std::string path;       // the document written (empty when stopped)
  std::size_t layerCount = 0;
  Size canvas;            // the first file's size (set as soon as it was measured)
};

// Written by the job's thread, read by any other (the UI polls it every 0.3 s); every read
// sees an old or a new value whole and changes nothing.
class JobProgress {
 public:
  struct Snapshot {
    std::size_t fileIndex = 0;   // zero-based index of the file under way
    std::size_t fileCount = 0;
    std::string file;            // its full path; empty before the first file's turn
    double percent = 0.0;        // 0 to 100
    Size canvas;                 // 0 x 0 until the first file is measured
  };
  Snapshot snapshot() const;
  // ... job-side setters are the implementer's choice.
};

// Lists the folder's image files as the job takes them: regular files with an accepted
// extension, sorted by stem then extension, as full paths.
std::vector<std::string> listImageFiles(const std::string& folder);
// The pixel size the job would give the file as its first (turned upright when orient);
// 0 x 0 when it cannot be measured.
Size measureImageFile(const std::string& path, bool orient);

using JobResult = std::variant<JobOutcome, Error>;

// Makes the document. Never throws: every failure, of whatever type, becomes an Error
// (std::bad_alloc: OutOfMemory; anything else: Internal). Nothing is left at the output path
// unless the outcome says it was written; a file already there survives a failure or a stop.
JobResult runJob(JobRequest request, JobProgress& progress, std::stop_token stop);

// The words for an error, from the strings tables in the user's language.
struct ErrorText {
  std::string message;  // the alert's title, a sentence
  std::string detail;   // the file and the values, or empty
};
ErrorText describeError(const Error& error);  // src/job/ErrorText.h

}  // namespace quillane
