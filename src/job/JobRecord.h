#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "image/decode/Decode.h"
#include "job/OutputFile.h"
#include "psd/PSDSections.h"
#include "util/Exception.h"
#include "util/Geometry.h"
#include "util/ProgressUtility.h"
#include "util/SharedValue.h"

namespace quillane {

// The threads of a job, what each owns and what it shares:
//
// - The UI thread (the desktop app's event loop, or the command line's main thread) owns the
//   plain fields below (srcPath, imageFileList, the options). It starts one job worker at a
//   time, sets progressCancelled, and polls the other progress fields every 0.3 s; its reads
//   change nothing.
// - The job worker (createPSDFile) owns the writer, the output file and every image of the
//   job. It writes progressFilename, progressUtil and its steps, progressErrorOccured, and
//   clears progressCancelled when it acts on it; its wrapper sets progressFinished last.
// - Two decode threads (DecodeAhead) decode the next files, each one file at a time, and hand
//   each image to the worker through a future. A per-thread byte limit
//   (ThreadImageByteLimit) keeps what they decode far ahead small.
// - The writer's helper thread (HelperThread) packs bands of a layer's rows, or draws the
//   layer on the composite, beside the worker; each band has its own buffers, and the layer's
//   image is not changed while they read it.
// - The output file's writer thread (FileAppender) writes the chunks the worker has filled,
//   handed over under its mutex.
// - Recycled raster memory (RasterMemory) is shared by all of them behind one mutex.
//
// Shared fields are atomics (the flags, the progress steps) or SharedValue (the file name and
// the progress model: a shared_ptr behind a mutex held only to copy it), so every read sees
// an old or a new value whole.

// The job side of the application controller: the fields that the job and the progress
// display share, and the operations of the job (file list, canvas measure, keying, the job
// itself). AppDelegate adds the window side; the command line uses this part alone.
class JobRecord {
 public:
  // The values of optionTransparent: which colour the job keys out.
  static constexpr std::int32_t kKeyOutNone = 0;
  static constexpr std::int32_t kKeyOutWhite = 1;
  static constexpr std::int32_t kKeyOutBlack = 2;

  JobRecord();
  virtual ~JobRecord() = default;
  JobRecord(const JobRecord&) = delete;
  JobRecord& operator=(const JobRecord&) = delete;

  // ---- Fields (main thread unless noted) ----
  std::string srcPath;
  std::vector<std::string> imageFileList;
  std::int32_t optionTransparent = kKeyOutNone;  // one of the kKeyOut values below
  bool optionOrient = false;

  // Shared with the worker.
  std::atomic<bool> progressFinished{true};
  std::atomic<bool> progressCancelled{false};
  std::atomic<bool> progressErrorOccured{false};
  SharedValue<const std::string> progressFilename;
  SharedValue<ProgressUtility> progressUtil;
  // The canvas of the current or last job; written by the worker once the first file is
  // measured, read by the UI thread once progressFinished is set.
  Size documentSize;

  // Readies the shared fields for a new job: the flags cleared, no file named and a fresh
  // progress model, so that nothing of an earlier job shows before this one reports.
  void resetProgress();

  // ---- Image file list ----
  // Lists the folder's regular files with an accepted extension, sorted by stem then
  // extension, as full paths; stores and returns the list. The folder becomes srcPath, the
  // folder the full paths are formed from.
  const std::vector<std::string>& makeImageFileList(const std::string& folder);
  static bool isValidFileFormat(const std::string& name);
  void sortImageFileList();
  void fullpathImageFileList();

  // ---- The job ----
  // Builds the layered document from files (full paths, bottom layer first; the first sets
  // the canvas) and writes it to path atomically, unless a stop request is seen at the top of
  // a file's turn: a PSB when the name ends in .psb, else a PSD. Raises quillane::Exception
  // on a read error (also for a first file that cannot be measured and an image that cannot
  // be keyed), a document the format cannot hold, a canvas beyond the memory budget, a
  // writer failure or a failed write; nothing is written then.
  void createPSDFile(const std::vector<std::string>& files, const std::string& path);
  // The file's size in pixels; 0 by 0 when it cannot be measured.
  Size imageFileSize(const std::string& path);

  // ---- Colour keying ----
  // A copy of the image in which every pixel whose red, green and blue equal the key exactly
  // is fully transparent (all four samples 0). Advances the minor step of progressUtil once
  // for every pixel keyed. Nothing when the image cannot be keyed.
  std::optional<DecodedImage> setTransparentColorToImage(const DecodedImage& image, float red,
                                                         float green, float blue);

 private:
  // Streams every file's layer and the merged image to output; false when a stop request
  // was seen.
  bool writeDocument(const std::vector<std::string>& files, OutputFile& output, PSDFormat format,
                     Size canvas, std::optional<DecodedImage> firstImage);
  // A fresh progress model for a job of fileCount files, and no file named yet.
  std::shared_ptr<ProgressUtility> startProgress(std::size_t fileCount);
  // The image keyed as optionTransparent asks, or as it is.
  Decoded<DecodedImage> keyedImage(DecodedImage image);
  // Marks the job failed on the file and answers the read error to raise.
  Exception readError(const std::string& file, const DecodeError& error);
};

}  // namespace quillane
