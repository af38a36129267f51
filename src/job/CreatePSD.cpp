#include <optional>
#include <utility>

#include "image/RasterMemory.h"
#include "image/decode/Decode.h"
#include "job/DecodeAhead.h"
#include "job/ImageReadFailure.h"
#include "job/JobRecord.h"
#include "job/OutputFile.h"
#include "psd/PSDWriter.h"
#include "util/CheckedSize.h"
#include "util/Exception.h"
#include "util/Log.h"
#include "util/MemoryBudget.h"
#include "util/PathNames.h"
#include "util/Strings.h"

namespace quillane {
namespace {

// The first file measured, with the decoded image kept for its own turn so that it is not
// decoded twice. A PICT file is measured from its header and decoded in its turn.
struct MeasuredFile {
  Size size;
  Decoded<DecodedImage> image = DecodeFailure::Unreadable;
};

// Rasters are recycled while a job runs; when it ends, their memory goes back to the system.
struct RasterMemoryReturn {
  ~RasterMemoryReturn() { releaseRasterMemory(); }
};

// upright: photos are turned upright by their orientation tag.
MeasuredFile measureFile(const std::string& path, bool upright) {
  DecodeRequest whole;
  whole.upright = upright;
  MeasuredFile measured;
  if (isPictFile(path)) {
    if (const auto bytes = readWholeFile(path)) measured.size = pictSize(*bytes);
    // A picture that cannot be measured keeps the reason its decoding gives.
    if (measured.size.width < 1 || measured.size.height < 1) {
      measured.image = decodeSourceFile(path, whole);
    }
  } else {
    measured.image = decodeSourceFile(path, whole);
    if (measured.image) measured.size = {measured.image->bitmap.width, measured.image->bitmap.height};
  }
  logLine("%s: W:%3d, H:%3d", std::string(lastPathComponent(path)).c_str(), measured.size.width,
          measured.size.height);
  return measured;
}

// A name ending in .psb (in any case) asks for the large-document form.
PSDFormat formatFor(const std::string& path) {
  return lowerCased(pathExtension(path)) == "psb" ? PSDFormat::Psb : PSDFormat::Psd;
}

// Raises, before anything is written, for a document the output's format cannot hold or
// whose canvas (the composite) would take more memory than one image may.
void checkDocument(const std::vector<std::string>& files, Size canvas, PSDFormat format) {
  const long long width = canvas.width;
  const long long height = canvas.height;
  if (format == PSDFormat::Psd && (width > kMaxPsdSide || height > kMaxPsdSide)) {
    throw Exception(localizedString("DOCUMENT_TOO_LARGE"),
                    files.front() + ": " +
                        localizedString("PSD_SIDE_LIMIT", {width, height, kMaxPsdSide}));
  }
  if (files.size() > kMaxLayerCount) {
    throw Exception(localizedString("TOO_MANY_FILES"),
                    localizedString("LAYER_COUNT_LIMIT",
                                    {static_cast<long long>(files.size()), kMaxLayerCount}));
  }
  if (!fitsImageByteBudget(width, height)) {
    throw Exception(localizedString("CANVAS_OUT_OF_MEMORY"),
                    files.front() + ": " +
                        memoryLimitDetail("CANVAS_MEMORY_LIMIT", width, height));
  }
}

std::vector<std::string> layerNames(const std::vector<std::string>& files) {
  std::vector<std::string> names;
  names.reserve(files.size());
  for (const std::string& file : files) names.emplace_back(lastPathComponent(file));
  return names;
}

// The output file as the writer's sink.
class OutputFileSink : public PSDSink {
 public:
  explicit OutputFileSink(OutputFile& file) : file_(file) {}
  void write(std::span<const std::uint8_t> bytes) override { file_.write(bytes); }
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override {
    file_.writeAt(offset, bytes);
  }

 private:
  OutputFile& file_;
};

}  // namespace

Size JobRecord::imageFileSize(const std::string& path) {
  return measureFile(path, optionOrient).size;
}

void JobRecord::createPSDFile(const std::vector<std::string>& files, const std::string& path) {
  const RasterMemoryReturn returnRasterMemory;  // last to go: after every raster of the job
  if (files.empty()) throw Exception(localizedString("NO_IMAGE_FILE"), srcPath);
  const PSDFormat format = formatFor(path);
  MeasuredFile first = measureFile(files.front(), optionOrient);
  if (first.size.width < 1 || first.size.height < 1) {
    throw readError(files.front(), first.image ? DecodeError{} : first.image.error());
  }
  checkDocument(files, first.size, format);
  documentSize = first.size;

  // The document goes straight to the output's temporary file, one layer at a time.
  OutputFile output(path);
  try {
    std::optional<DecodedImage> firstImage;
    if (first.image) firstImage = std::move(*first.image);
    if (!writeDocument(files, output, format, first.size, std::move(firstImage))) return;
  } catch (const Exception& error) {
    if (error.name() != kFileTooLargeName) throw;
    throw Exception(localizedString("DOCUMENT_TOO_LARGE"),
                    path + ": " + localizedString("PSD_BYTES_LIMIT"));
  }
  output.commit();
  logLine("===== DONE =====");
}

bool JobRecord::writeDocument(const std::vector<std::string>& files, OutputFile& output,
                              PSDFormat format, Size canvas,
                              std::optional<DecodedImage> firstImage) {
  OutputFileSink sink(output);
  PSDWriter writer(sink, canvas, layerNames(files), {.format = format});
  const std::shared_ptr<ProgressUtility> progress = startProgress(files.size());
  DecodeAhead ahead(files, canvas, optionOrient, std::move(firstImage));
  ahead.decodeFrom(0);
  for (std::size_t index = 0; index < files.size(); ++index) {
    const std::string& file = files[index];
    logLine("processing: %s", file.c_str());
    if (progressCancelled.exchange(false)) {
      logLine("===== CANCELLED =====");
      return false;
    }
    progressFilename.store(std::make_shared<const std::string>(file));
    progress->setMajorStep(static_cast<double>(index));

    Decoded<DecodedImage> image = ahead.take(index);
    if (image) image = keyedImage(std::move(*image));
    // The next file starts decoding once the decoded image has made way for its keyed copy.
    ahead.decodeFrom(index + 1);
    if (!image) throw readError(file, image.error());
    writer.addLayer(image->bitmap);
  }

  logLine("writing: %s", output.path().c_str());
  writer.finish();
  return true;
}

std::shared_ptr<ProgressUtility> JobRecord::startProgress(std::size_t fileCount) {
  progressFilename.store(std::make_shared<const std::string>());
  auto progress = std::make_shared<ProgressUtility>();
  progress->setMajorStepMax(static_cast<double>(fileCount));
  progressUtil.store(progress);
  return progress;
}

Exception JobRecord::readError(const std::string& file, const DecodeError& error) {
  progressErrorOccured = true;
  progressFilename.store(std::make_shared<const std::string>(file));
  return imageReadFailure(file, error);
}

}  // namespace quillane
