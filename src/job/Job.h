#pragma once

#include <cstddef>
#include <optional>
#include <stop_token>
#include <string>
#include <variant>

#include "job/DocumentColours.h"
#include "job/ImageFileList.h"
#include "job/JobProgress.h"
#include "job/JobRequest.h"
#include "util/Error.h"
#include "util/Geometry.h"

namespace quillane {

// The threads of a job:
// - The caller's thread (the app's worker, the command line's jthread) runs runJob, which
//   owns the request, the writer, the output file and every image; it alone writes the
//   JobProgress, which the UI thread polls.
// - Two decode threads (DecodeAhead) decode the next files and hand each image over through
//   a future; the writer's helper thread (HelperThread) packs bands beside the job; the
//   output file's writer thread (FileAppender) writes the filled chunks.
// docs/ARCHITECTURE.md has the full picture.

// What a finished job did.
struct JobOutcome {
  bool stopped = false;  // the stop token was seen at the top of a file's turn: nothing written
  std::string path;      // the document written (empty when stopped)
  std::size_t layerCount = 0;
  Size canvas;  // the first file's size (set as soon as it was measured)
};

using JobResult = std::variant<JobOutcome, Error>;

// Makes the document of request.files at request.outputPath, atomically. A stop requested
// before a file's turn begins writes nothing; one that comes after the last file's turn began
// lets the document be written. Never throws: every failure, of whatever type, becomes an
// Error (std::bad_alloc: OutOfMemory; anything else: Internal). Nothing is left at the output
// path unless the outcome says it was written; a file already there survives a failure or a
// stop.
JobResult runJob(JobRequest request, JobProgress& progress, std::stop_token stop);

// What the job would take from the file as its first: the canvas (0 x 0 when it cannot be
// measured; turned upright when orient), the description of the colour profile the document
// would embed ("" when it is sRGB), and the document's colours, once the canvas is measured.
struct FirstImage {
  Size canvas;
  std::string colourProfile;
  std::optional<DocumentColours> colours;
};
FirstImage measureFirstImage(const std::string& path, bool orient, bool modernFormats = false);

}  // namespace quillane
