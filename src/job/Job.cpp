#include "job/Job.h"

#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "image/RasterMemory.h"
#include "image/decode/Decode.h"
#include "job/ConvertedFiles.h"
#include "job/DecodeAhead.h"
#include "job/DocumentColours.h"
#include "job/ImageError.h"
#include "job/Keying.h"
#include "job/LayerSources.h"
#include "job/OutputFile.h"
#include "job/StreamedLayer.h"
#include "psd/LayerGroups.h"
#include "psd/PSDWriter.h"
#include "util/CheckedSize.h"
#include "util/Log.h"
#include "util/MemoryBudget.h"
#include "util/PathNames.h"
#include "util/Strings.h"

namespace quillane {
namespace {

// The first file measured, with the decoded image kept for its own turn so that it is not
// decoded twice. A PICT file is measured from its header and decoded in its turn.
// A PNG on a canvas so large that its image is a large share of memory is measured from its
// header, and streamed in its turn.
struct MeasuredFile {
  Size size;
  Decoded<DecodedImage> image = DecodeFailure::Unreadable;
  std::unique_ptr<PngRowStream> rows = nullptr;

  // The first image's profile and resolution, when they are known before its turn.
  const DecodedImage* header() const {
    if (rows) return &rows->header();
    return image ? &*image : nullptr;
  }
};

// Rasters are recycled while a job runs; when it ends, their memory goes back to the system.
struct RasterMemoryReturn {
  ~RasterMemoryReturn() { releaseRasterMemory(); }
};

// How the request's files are decoded: upright, and CMYK through its profile, as it asks.
DecodeRequest decodingFor(const JobRequest& request) {
  DecodeRequest how;
  how.upright = request.orient;
  how.cmykThroughProfile = !request.ignoreColourProfiles;
  how.modernFormats = request.modernFormats;
  return how;
}

// whole: how the file is decoded; a side above its sideLimit is refused from the file's
// header, before its pixels are decoded.
MeasuredFile measureFile(const std::string& path, const DecodeRequest& whole) {
  MeasuredFile measured;
  if (isPictFile(path)) {
    if (const auto bytes = readWholeFile(path)) measured.size = pictSize(*bytes);
    // A picture that cannot be measured keeps the reason its decoding gives.
    if (measured.size.width < 1 || measured.size.height < 1) {
      measured.image = decodeSourceFile(path, whole);
    }
  } else if (auto rows = PngRowStream::open(path, whole);
             rows && isLargeCanvas({rows->width(), rows->height()})) {
    measured.size = {rows->width(), rows->height()};
    measured.rows = std::move(rows);
  } else {
    measured.image = decodeSourceFile(path, whole);
    if (measured.image)
      measured.size = {measured.image->bitmap.width, measured.image->bitmap.height};
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
// whose canvas (the composite) would take more memory than one image may. recordCount: the
// layers' records, groups' included.
void checkDocument(const std::string& firstFile, std::size_t recordCount, Size canvas,
                   PSDFormat format) {
  const auto width = static_cast<long long>(canvas.width);
  const auto height = static_cast<long long>(canvas.height);
  if (format == PSDFormat::Psd && (width > kMaxPsdSide || height > kMaxPsdSide)) {
    Error error(ErrorKind::PsdSideLimit, firstFile);
    error.width = width;
    error.height = height;
    error.limit = kMaxPsdSide;
    throw error;
  }
  if (recordCount > kMaxLayerCount) {
    Error error(ErrorKind::TooManyFiles);
    error.width = static_cast<long long>(recordCount);
    error.limit = kMaxLayerCount;
    throw error;
  }
  if (!fitsImageByteBudget(width, height))
    throw outOfMemory(ErrorKind::CanvasOutOfMemory, firstFile, width, height);
}

// Whether a first image was refused from its header for a side a PSD cannot hold, though
// an image may have it.
bool isBeyondPsd(const DecodeError& failure) {
  const auto within = [](long long side) { return side > 0 && side <= kMaxImageSide; };
  return failure.kind == DecodeFailure::TooLarge && within(failure.width) &&
         within(failure.height) && (failure.width > kMaxPsdSide || failure.height > kMaxPsdSide);
}

Size declaredSize(const DecodeError& failure) {
  return {static_cast<int>(failure.width), static_cast<int>(failure.height)};
}

std::vector<std::string> layerNames(const std::vector<LayerSource>& layers) {
  std::vector<std::string> names;
  names.reserve(layers.size());
  for (const LayerSource& layer : layers) names.push_back(layerName(layer));
  return names;
}

// Each layer's group path: its file's, once for every frame it makes; none without groups.
std::vector<std::string> layerGroupPaths(const std::vector<std::string>& fileFolders,
                                         const std::vector<int>& frameCounts) {
  std::vector<std::string> paths;
  for (std::size_t index = 0; index < fileFolders.size(); ++index)
    paths.insert(paths.end(), static_cast<std::size_t>(frameCounts[index]), fileFolders[index]);
  return paths;
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

// The job once the first file is measured and the document checked: every file's layer
// and the merged image streamed to output. False when a stop was seen.
class DocumentWriter {
 public:
  DocumentWriter(const JobRequest& request, const std::vector<LayerSource>& layers,
                 JobProgress& progress, std::stop_token stop)
      : request_(request), layers_(layers), progress_(progress), stop_(std::move(stop)) {}

  bool write(OutputFile& output, Size canvas, std::vector<LayerRecord> records, MeasuredFile first);

  // Converts every layer into colours of the first image's (nothing: kept as stored).
  std::optional<DocumentColours> colours;

 private:
  // How the files after the first are decoded: 16-bit ones converted into the document's
  // colours before their reduction to 8 bits, unless a key's tolerance must see their samples
  // as stored in 8 bits.
  DecodeRequest laterFiles() const;
  // The image of the layer at index, keyed as the request asks; raises why not.
  DecodedImage layerImage(std::size_t index, DecodeAhead& ahead);
  // The layer at index, decoded a band at a time when its file streams; false when it is to
  // be decoded whole.
  bool addStreamedLayer(std::size_t index, DecodeAhead& ahead, PSDWriter& writer);

  const JobRequest& request_;
  const std::vector<LayerSource>& layers_;
  JobProgress& progress_;
  std::stop_token stop_;
};

bool DocumentWriter::write(OutputFile& output, Size canvas, std::vector<LayerRecord> records,
                           MeasuredFile first) {
  OutputFileSink sink(output);
  PSDOptions options{.format = formatFor(request_.outputPath)};
  options.blend = request_.multiply ? Blend::Multiply : Blend::Normal;
  if (colours) options.iccProfile = colours->embeddedProfile();
  PSDWriter writer(sink, canvas, std::move(records), std::move(options));
  std::optional<DecodedImage> firstImage;
  if (first.image) firstImage = std::move(*first.image);
  DecodeAhead ahead(layers_, canvas, laterFiles(), std::move(firstImage), std::move(first.rows));
  ahead.decodeFrom(0);
  for (std::size_t index = 0; index < layers_.size(); ++index) {
    const std::string& file = layers_[index].path;
    logLine("processing: %s", file.c_str());
    if (stop_.stop_requested()) {
      logLine("===== CANCELLED =====");
      return false;
    }
    progress_.startFile(index, file);
    if (addStreamedLayer(index, ahead, writer)) continue;
    const DecodedImage layer = layerImage(index, ahead);
    if (index == 0 && request_.keepResolution) writer.setResolution(layer.resolution);
    writer.addLayer(layer.bitmap);
  }
  logLine("writing: %s", output.path().c_str());
  writer.finish();
  return true;
}

DecodeRequest DocumentWriter::laterFiles() const {
  DecodeRequest how = decodingFor(request_);
  if (colours && (request_.key == KeyColour::None || request_.tolerance == 0))
    how.documentProfile =
        std::make_shared<const std::vector<std::uint8_t>>(colours->embeddedProfile());
  return how;
}

DecodedImage DocumentWriter::layerImage(std::size_t index, DecodeAhead& ahead) {
  const std::string& file = layers_[index].path;
  Decoded<DecodedImage> image = ahead.take(index);
  std::optional<DecodedImage> keyed;
  DecodeError failure;
  if (!image) {
    failure = image.error();
  } else {
    const int width = image->bitmap.width;
    const int height = image->bitmap.height;
    keyed = keyOut(std::move(*image), request_.key, request_.tolerance, *progress_.steps());
    // Only memory can fail here: the image itself is decoded already.
    failure = DecodeError{DecodeFailure::OutOfMemory, width, height};
  }
  // The next file starts decoding once the decoded image has made way for its keyed copy.
  image = DecodeFailure::Unreadable;
  ahead.decodeFrom(index + 1);
  if (!keyed) throw imageError(file, failure);
  if (colours) colours->match(*keyed, file);
  return std::move(*keyed);
}

bool DocumentWriter::addStreamedLayer(std::size_t index, DecodeAhead& ahead, PSDWriter& writer) {
  std::unique_ptr<PngRowStream> rows = ahead.takeRows(index);
  if (!rows) return false;
  const std::string& file = layers_[index].path;
  // Whether a grey profile describes an image can only be told from all of its pixels.
  if (colours && colours->isGreyProfile(rows->header().iccProfile, file)) return false;
  StreamedLayer layer(std::move(rows), file, request_, colours ? &*colours : nullptr,
                      *progress_.steps());
  logLine("in bands: %s", file.c_str());
  ahead.decodeFrom(index + 1);
  if (index == 0 && request_.keepResolution) writer.setResolution(layer.header().resolution);
  writer.addLayer(layer.size(), layer);
  return true;
}

// The verbose log's count of the files to be converted; only for it are their headers read
// ahead of their turns.
void logConvertedFiles(DocumentColours& colours, const std::vector<std::string>& files) {
  if (!logIsKept()) return;
  const std::size_t count = *countConvertedFiles(colours, std::span(files).subspan(1));
  logLine("colour: %zu of the other files will be converted into the document's colours", count);
}

JobOutcome makeDocument(const JobRequest& request, JobProgress& progress, std::stop_token stop) {
  const RasterMemoryReturn returnRasterMemory;  // last to go: after every raster of the job
  const std::vector<std::string>& files = request.files;
  const std::vector<int> frameCounts = framesPerFile(files, request.allFrames, stop);
  std::size_t layerCount = 0;
  for (const int count : frameCounts) layerCount += static_cast<std::size_t>(count);
  progress.start(layerCount);
  if (files.empty()) throw Error(ErrorKind::NoImageFile, request.sourceFolder);
  // The record count is checked before the layers' list is made.
  std::size_t recordCount = layerCount;
  if (!request.fileFolders.empty())
    recordCount += 2 * groupCount(layerGroupPaths(request.fileFolders, frameCounts));
  const PSDFormat format = formatFor(request.outputPath);
  DecodeRequest firstFile = decodingFor(request);
  firstFile.sideLimit = format == PSDFormat::Psd ? kMaxPsdSide : kMaxImageSide;
  MeasuredFile first = measureFile(files.front(), firstFile);
  if (first.size.width < 1 || first.size.height < 1) {
    const DecodeError failure = first.image ? DecodeError{} : first.image.error();
    if (isBeyondPsd(failure))
      checkDocument(files.front(), recordCount, declaredSize(failure), format);
    progress.startFile(0, files.front());
    throw imageError(files.front(), failure);
  }
  checkDocument(files.front(), recordCount, first.size, format);
  const std::vector<LayerSource> layers = layerSources(files, frameCounts);
  std::vector<LayerRecord> records =
      groupedLayerRecords(layerNames(layers), layerGroupPaths(request.fileFolders, frameCounts));
  JobOutcome outcome;
  outcome.canvas = first.size;
  progress.setCanvas(first.size);

  // The document goes straight to the output's temporary file, one layer at a time.
  OutputFile output(request.outputPath);
  try {
    DocumentWriter writer(request, layers, progress, std::move(stop));
    if (!request.ignoreColourProfiles) {
      writer.colours.emplace(first.header(), files.front());
      logConvertedFiles(*writer.colours, files);
    }
    const Size canvas = first.size;
    if (!writer.write(output, canvas, std::move(records), std::move(first))) {
      outcome.stopped = true;
      return outcome;
    }
  } catch (Error& error) {
    // The writer knows neither the output's name nor the files' paths.
    if (error.kind == ErrorKind::PsdByteLimit) error.file = request.outputPath;
    if (error.kind == ErrorKind::CanvasOutOfMemory || error.kind == ErrorKind::PsdSideLimit)
      error.file = files.front();
    throw;
  }
  output.commit();
  logLine("===== DONE =====");
  outcome.path = request.outputPath;
  outcome.layerCount = layers.size();
  return outcome;
}

}  // namespace

FirstImage measureFirstImage(const std::string& path, bool orient, bool modernFormats) {
  DecodeRequest whole;
  whole.upright = orient;
  whole.modernFormats = modernFormats;
  MeasuredFile measured = measureFile(path, whole);
  FirstImage first{measured.size, {}, {}};
  if (measured.size.width < 1 || measured.size.height < 1) return first;
  first.colours.emplace(measured.header(), path);
  first.colourProfile = first.colours->profileName();
  return first;
}

JobResult runJob(JobRequest request, JobProgress& progress, std::stop_token stop) {
  try {
    return makeDocument(request, progress, std::move(stop));
  } catch (const Error& error) {
    logLine("job failed: %s", error.what());
    return error;
  } catch (const std::bad_alloc&) {
    logLine("job failed: out of memory");
    return Error(ErrorKind::OutOfMemory);
  } catch (const std::exception& error) {
    logLine("job failed: %s", error.what());
    return internalError(error.what());
  } catch (...) {
    logLine("job failed: an exception of unknown type");
    return internalError("an exception of unknown type");
  }
}

}  // namespace quillane
