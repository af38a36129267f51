#include <optional>
#include <utility>

#include "image/FileRead.h"
#include "image/PictFile.h"
#include "image/RasterMemory.h"
#include "image/decode/Decode.h"
#include "job/DecodeAhead.h"
#include "job/JobRecord.h"
#include "job/OutputFile.h"
#include "psd/PSDWriter.h"
#include "util/CheckedSize.h"
#include "util/Exception.h"
#include "util/Log.h"
#include "util/PathNames.h"
#include "util/Strings.h"

namespace quillane {
namespace {

// The first file measured, with the decoded image kept for its own turn so that it is not
// decoded twice. A PICT file is measured from its header and decoded in its turn.
struct MeasuredFile {
  Size size;
  std::optional<Image> image;
};

// Rasters are recycled while a job runs; when it ends, their memory goes back to the system.
struct RasterMemoryReturn {
  ~RasterMemoryReturn() { releaseRasterMemory(); }
};

MeasuredFile measureFile(const std::string& path) {
  MeasuredFile measured;
  if (isPictFile(path)) {
    if (const auto bytes = readWholeFile(path)) measured.size = pictSize(*bytes);
  } else {
    measured.image = decodeImageFile(path);
    if (measured.image) measured.size = measured.image->pixelsSize();
  }
  logLine("%s: W:%3.0f, H:%3.0f", std::string(lastPathComponent(path)).c_str(), measured.size.width,
          measured.size.height);
  return measured;
}

void checkCanvasSide(const std::string& path, Size size) {
  if (size.width <= kMaxPsdSide && size.height <= kMaxPsdSide) return;
  throw Exception(localizedString("DOCUMENT_TOO_LARGE"),
                  path + ": " + std::to_string(static_cast<long long>(size.width)) + " x " +
                      std::to_string(static_cast<long long>(size.height)) +
                      " pixels; a PSD file holds at most " + std::to_string(kMaxPsdSide) +
                      " pixels a side");
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

std::string JobRecord::baseImageFile() const {
  return imageFileList.empty() ? std::string() : imageFileList.front();
}

Size JobRecord::imageFileSize(const std::string& path) { return measureFile(path).size; }

void JobRecord::createPSDFile(const std::vector<std::string>& files, const std::string& path) {
  const RasterMemoryReturn returnRasterMemory;  // last to go: after every raster of the job
  if (files.empty()) throw Exception(localizedString("NO_IMAGE_FILE"), srcPath);
  MeasuredFile first = measureFile(files.front());
  if (!(first.size.width >= 1.0f && first.size.height >= 1.0f)) throw readError(files.front());
  checkCanvasSide(files.front(), first.size);

  // The document goes straight to the output's temporary file, one layer at a time.
  OutputFile output(path);
  OutputFileSink sink(output);
  PSDWriter writer(sink, first.size, layerNames(files));
  const std::shared_ptr<ProgressUtility> progress = startProgress(files.size());

  DecodeAhead ahead(files, first.size, std::move(first.image));
  ahead.decodeFrom(0);
  for (std::size_t index = 0; index < files.size(); ++index) {
    const std::string& file = files[index];
    logLine("processing: %s", file.c_str());
    if (progressCancelled.exchange(false)) {
      logLine("===== CANCELLED =====");
      return;
    }
    progressFilename.store(std::make_shared<const std::string>(file));
    progress->setMajorStep(static_cast<double>(index));

    std::optional<Image> image = ahead.take(index);
    if (image) image = keyedImage(*image);
    // The next file starts decoding once the decoded image has made way for its keyed copy.
    ahead.decodeFrom(index + 1);
    if (!image) throw readError(file);
    writer.addLayerWithImage(*image);
  }

  logLine("writing: %s", path.c_str());
  writer.finish();
  output.commit();
  logLine("===== DONE =====");
}

std::shared_ptr<ProgressUtility> JobRecord::startProgress(std::size_t fileCount) {
  progressFilename.store(std::make_shared<const std::string>());
  auto progress = std::make_shared<ProgressUtility>();
  progress->setMajorStepMax(static_cast<double>(fileCount));
  progressUtil.store(progress);
  return progress;
}

Exception JobRecord::readError(const std::string& file) {
  progressErrorOccured = true;
  progressFilename.store(std::make_shared<const std::string>(file));
  return Exception(localizedString("IMAGE_READ_ERROR"), file);
}

}  // namespace quillane
