#include <algorithm>
#include <deque>
#include <future>
#include <optional>
#include <utility>

#include "image/FileRead.h"
#include "image/PictFile.h"
#include "image/RasterMemory.h"
#include "image/SourceFile.h"
#include "job/DecodeQueue.h"
#include "job/ImageReadFailure.h"
#include "job/JobRecord.h"
#include "job/OutputFile.h"
#include "psd/PSDStreamWriter.h"
#include "util/CheckedSize.h"
#include "util/Exception.h"
#include "util/Log.h"
#include "util/MemoryBudget.h"
#include "util/PathNames.h"
#include "util/Strings.h"

namespace quillane {
namespace {

// Files decoding while the current one is added: two keep both cores busy when decoding is
// the slower half (PNG); each holds one decoded image in memory.
constexpr std::size_t kFilesDecodedAhead = 2;
// Small images take little time each, and a queue that short leaves the cores waiting on one
// another: when the first image is small, more are decoded ahead, as many as fit
// kExtraAheadBytes at its size (up to kMaxFilesDecodedAhead). Those past the first two may
// take no more than their share of those bytes, so that they hold little memory whatever the
// folder holds; a larger one is decoded in its turn instead.
constexpr std::size_t kMaxFilesDecodedAhead = 8;
constexpr std::size_t kExtraAheadBytes = std::size_t{36} << 20;
// Threads that decode ahead: one per core of the machines we build for.
constexpr unsigned kDecodingThreads = 2;

// The file decoded ahead of its turn, if its raster takes at most maxBytes; nothing
// otherwise, and it is decoded again in its turn to tell why.
std::optional<Image> decodeAheadSourceFile(const std::string& path, std::size_t maxBytes) {
  const ThreadImageByteLimit limit(maxBytes);
  auto image = decodeSourceFile(path);
  if (!image) return std::nullopt;
  return std::move(*image);
}

// A file being decoded ahead of its turn.
struct DecodingAhead {
  std::size_t index;
  std::future<std::optional<Image>> image;
};

// The first file measured, with the decoded image kept for its own turn so that it is not
// decoded twice. A PICT file is measured from its header and decoded in its turn.
struct MeasuredFile {
  Size size;
  Decoded<Image> image = DecodeFailure::Unreadable;
};

// Rasters are recycled while a job runs; when it ends, their memory goes back to the system.
struct RasterMemoryReturn {
  ~RasterMemoryReturn() { releaseRasterMemory(); }
};

MeasuredFile measureFile(const std::string& path) {
  MeasuredFile measured;
  if (isPictFile(path)) {
    if (const auto bytes = readWholeFile(path)) measured.size = pictSize(*bytes);
    // A picture that cannot be measured keeps the reason its decoding gives, if any.
    if (!(measured.size.width >= 1.0f && measured.size.height >= 1.0f)) {
      if (auto decoded = decodeSourceFile(path); !decoded) measured.image = decoded;
    }
  } else {
    measured.image = decodeSourceFile(path);
    if (measured.image) measured.size = measured.image->pixelsSize();
  }
  logLine("%s: W:%3.0f, H:%3.0f", std::string(lastPathComponent(path)).c_str(), measured.size.width,
          measured.size.height);
  return measured;
}

// The output file as the streaming writer's sink.
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

bool JobRecord::createPSDFile(const std::vector<std::string>& files, const std::string& path) {
  const RasterMemoryReturn returnRasterMemory;  // last to go: after every raster of the job
  if (files.empty()) throw Exception(localizedString("NO_IMAGE_FILE"), srcPath);

  // The list a job is given is the file list; should the two differ, the job's own first
  // file sets the canvas.
  const std::string base = imageFileList.empty() ? files.front() : baseImageFile();
  MeasuredFile first = measureFile(base);
  const auto readError = [this](const std::string& file, const Decoded<Image>& image) {
    progressErrorOccured = true;
    progressFilename.store(std::make_shared<const std::string>(file));
    return imageReadFailure(file, image ? DecodeError{} : image.error());
  };
  if (!(first.size.width >= 1.0f && first.size.height >= 1.0f)) throw readError(base, first.image);
  if (first.size.width > kMaxPsdSide || first.size.height > kMaxPsdSide) {
    throw Exception(localizedString("DOCUMENT_TOO_LARGE"),
                    base + ": " + std::to_string(static_cast<long long>(first.size.width)) +
                        " x " + std::to_string(static_cast<long long>(first.size.height)) +
                        " pixels; a PSD file holds at most " + std::to_string(kMaxPsdSide) +
                        " pixels a side");
  }

  std::vector<std::string> names;
  names.reserve(files.size());
  for (const std::string& file : files) names.emplace_back(lastPathComponent(file));
  // The document goes straight to the output's temporary file, one layer at a time.
  OutputFile output(path);
  OutputFileSink sink(output);
  PSDStreamOptions options;
  // PSD layer channels hold straight colour; premultiplied data would darken every
  // half-transparent pixel.
  options.unpremultiplyLayerData = true;
  PSDStreamWriter writer(sink, first.size, std::move(names), options);

  progressFilename.store(std::make_shared<const std::string>());
  auto progress = std::make_shared<ProgressUtility>();
  progress->setMajorStepMax(static_cast<double>(files.size()));
  progressUtil.store(progress);

  // Files are decoded on helper threads ahead of their turn; the first file's image, kept
  // from its measuring, is not decoded again.
  const auto servedByFirst = [&](const std::string& file) { return file == base && first.image; };
  const std::size_t canvasBytes = rgbaByteCount(static_cast<int>(first.size.width),
                                                static_cast<int>(first.size.height))
                                      .value_or(kExtraAheadBytes);
  const std::size_t filesAhead =
      std::clamp(kExtraAheadBytes / std::max<std::size_t>(canvasBytes, 1), kFilesDecodedAhead,
                 kMaxFilesDecodedAhead);
  const std::size_t extraAheadImageBytes = kExtraAheadBytes / filesAhead;
  DecodeQueue decoder(kDecodingThreads);
  std::deque<DecodingAhead> ahead;
  std::size_t launched = 0;
  const auto decodeAhead = [&](std::size_t current) {
    for (; launched < std::min(current + filesAhead, files.size()); ++launched) {
      if (servedByFirst(files[launched])) continue;
      const bool smallOnly = launched >= current + kFilesDecodedAhead;
      const std::string& source = files[launched];
      const std::size_t maxBytes = smallOnly ? extraAheadImageBytes : SIZE_MAX;
      ahead.push_back({launched, decoder.push([=, &source] {
                         return decodeAheadSourceFile(source, maxBytes);
                       })});
    }
  };
  decodeAhead(0);

  double fileCounter = 0.0;
  for (std::size_t index = 0; index < files.size(); ++index) {
    const std::string& file = files[index];
    logLine("processing: %s", file.c_str());
    if (progressCancelled.exchange(false)) {
      logLine("===== CANCELLED =====");
      return false;
    }
    progressFilename.store(std::make_shared<const std::string>(file));
    fileCounter += 1.0;
    progress->setMajorStep(fileCounter - 1.0);

    Decoded<Image> image = DecodeFailure::Unreadable;
    if (servedByFirst(file)) {
      image = std::exchange(first.image, DecodeFailure::Unreadable);
    } else if (!ahead.empty() && ahead.front().index == index) {
      if (auto ready = ahead.front().image.get()) image = std::move(*ready);
      ahead.pop_front();
    }
    if (!image) image = decodeSourceFile(file);
    if (image && (optionTransparent == kKeyOutWhite || optionTransparent == kKeyOutBlack)) {
      const float key = optionTransparent == kKeyOutWhite ? 1.0f : 0.0f;
      auto keyed = setTransparentColorToImage(*image, key, key, key);
      image = keyed ? Decoded<Image>(std::move(*keyed)) : DecodeFailure::Unreadable;
    }
    // The next file starts decoding once the decoded image has made way for its keyed copy.
    decodeAhead(index + 1);
    if (!image) throw readError(file, image);
    writer.addLayerWithImage(*image, 1.0f, Point{0.0f, 0.0f});
  }

  logLine("writing: %s", path.c_str());
  writer.finish();
  output.commit();
  logLine("===== DONE =====");
  return false;
}

}  // namespace quillane
