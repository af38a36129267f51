#include "psd/PSDStreamWriter.h"

#include <array>

#include "psd/LayerPixels.h"
#include "psd/LayerPlacement.h"
#include "psd/PSDSections.h"
#include "util/CheckedSize.h"
#include "util/Exception.h"
#include "util/Log.h"

namespace quillane {
namespace {

// Bands of rows packed side by side; more than two so that a busy thread takes fewer.
constexpr int kPackingBands = 8;
constexpr std::array<std::uint8_t, kCompressionBytes> kCompression = {0, kPackBitsCompression};
// Pixel bytes from which a batch of work is shared with the helper thread.
constexpr std::size_t kSharedWorkBytes = std::size_t{1} << 20;

Size checkedShape(Size documentSize, int channelCount, std::size_t layerCount) {
  checkDocumentShape(documentSize, channelCount, layerCount);
  return documentSize;
}

}  // namespace

PSDStreamWriter::PSDStreamWriter(PSDSink& sink, Size documentSize,
                                 std::vector<std::string> layerNames, PSDStreamOptions options)
    : sink_(sink),
      documentSize_(checkedShape(documentSize, options.layerChannelCount, layerNames.size())),
      width_(static_cast<int>(documentSize.width)),
      height_(static_cast<int>(documentSize.height)),
      names_(std::move(layerNames)),
      options_(options),
      encoder_(width_, height_, options.layerChannelCount, options.maxFileBytes),
      bands_(kPackingBands) {
  added_.reserve(names_.size());
  // The header and the records, written again by finish() once the lengths are known.
  const ByteBuffer start = fileStart(0);
  reserved_ = start.size();
  write(start);
}

void PSDStreamWriter::addLayerWithImage(const Image& image, float opacity, Point offset) {
  const std::shared_ptr<const Bitmap> bitmap = image.renderBitmap();
  if (!bitmap) {
    const std::string name = added_.size() < names_.size() ? names_[added_.size()] : "";
    throw Exception(kGenericExceptionName, "The image of layer \"" + name + "\" cannot be drawn.");
  }
  addLayerWithCGImage(*bitmap, opacity, offset);
}

void PSDStreamWriter::addLayerWithCGImage(const Bitmap& image, float opacity, Point offset) {
  const std::size_t index = added_.size();
  if (index >= names_.size()) {
    throw Exception(kGenericExceptionName, "More layers were added than were named.");
  }
  logLine("adding layer: %s", names_[index].c_str());
  const LayerData layer = placeLayerPixels(image, offset, index);
  createComposite();
  added_.push_back({opacity, {}});
  // The composite is drawn while the channels are packed.
  writeLayerChannels(layer, [&] {
    composite_->setAlpha(opacity);
    composite_->drawBitmap(image, offset);
  });
}

// Where the layer's pixels come from, cropped to the canvas, and their bounds (empty for a
// layer written transparent).
PSDStreamWriter::LayerData PSDStreamWriter::placeLayerPixels(const Bitmap& image, Point offset,
                                                             std::size_t index) const {
  const std::string& name = names_[index];
  const LayerPlacement placement = placeLayer(image, offset, documentSize_);
  if (!placement.kept) {
    logLine("layer %s does not overlap the canvas; it is kept empty", name.c_str());
    return {};
  }
  const Rect source = placement.source;
  const auto bytes = rgbaByteCount(static_cast<int>(source.width), static_cast<int>(source.height));
  if (!bytes || *bytes == 0) {
    logLine("layer %s: its pixels could not be rendered", name.c_str());
    return {};
  }
  LayerData layer;
  layer.bounds = checkedBounds(placement.layer, *bytes, index, width_, height_);
  layer.image = &image;
  layer.source = source;
  // Opaque whole rows are the same before and after premultiplying: used where they are.
  layer.inPlace = image.knownOpaque && source.x == 0.0f &&
                  static_cast<int>(source.width) == image.width &&
                  static_cast<int>(source.y) + static_cast<int>(source.height) <= image.height;
  return layer;
}

// Row `row` of the layer data as createPSDData encodes it: the cropped image as
// copyPremultiplied makes it (unpremultiplied in the same step when the options ask for it),
// flipped when asked. Converted a row at a time into a buffer of the calling thread, valid
// until its next call.
const std::uint8_t* PSDStreamWriter::layerRow(const LayerData& layer, int row) const {
  const int h = static_cast<int>(layer.source.height);
  const int sourceRow = options_.flipLayerData ? h - 1 - row : row;
  if (layer.inPlace) return layer.image->row(static_cast<int>(layer.source.y) + sourceRow);

  thread_local ByteBuffer converted;
  converted.resize(std::size_t(layer.source.width) * kPixelBytes);
  copyLayerRow(*layer.image, layer.source, sourceRow, converted.data(),
               options_.unpremultiplyLayerData);
  return converted.data();
}

// Work on a small image takes less time than waking the helper thread: it is done here.
void PSDStreamWriter::runTasks(int count, std::size_t bytes, const std::function<void(int)>& work) {
  if (bytes >= kSharedWorkBytes) return helper_.run(count, work);
  for (int task = 0; task < count; ++task) work(task);
}

void PSDStreamWriter::createComposite() {
  if (composite_) return;
  composite_ = Canvas::create(width_, height_);
  if (!composite_) {
    throw Exception(kGenericExceptionName, "The composite canvas could not be allocated.");
  }
  composite_->fillOpaqueWhite();
}

void PSDStreamWriter::writeLayerChannels(const LayerData& layer,
                                         const std::function<void()>& alongside) {
  const int n = options_.layerChannelCount;
  if (!layer.bounds.empty()) encoder_.packMargins(layer.bounds);
  packBands([&](int row) { return layerRow(layer, row); }, layer.bounds, alongside);
  const std::uint64_t head = kCompressionBytes + std::uint64_t(height_) * kRowCountBytes;
  std::array<std::uint64_t, kMaxChannelCount> blockBytes{};
  std::uint64_t total = 0;
  for (int channel = 0; channel < n; ++channel) {
    blockBytes[std::size_t(channel)] = head + bandBytes(channel);
    total += blockBytes[std::size_t(channel)];
  }
  checkFileSize(total);
  ChannelLengths& lengths = added_.back().lengths;
  for (int channel = 0; channel < n; ++channel) {
    lengths[std::size_t(channel)] = static_cast<std::uint32_t>(blockBytes[std::size_t(channel)]);
    write(kCompression);
    write(channelRowCounts(channel));
    writeBands(channel);
  }
}

// Every channel of the rows packed in bands side by side, and alongside() run meanwhile.
void PSDStreamWriter::packBands(const LayerRows& rowAt, LayerBounds bounds,
                                const std::function<void()>& alongside) {
  const int n = options_.layerChannelCount;
  rowCounts_.resize(std::size_t(n) * std::size_t(height_) * kRowCountBytes);
  std::array<std::uint8_t*, kMaxChannelCount> counts{};
  for (int channel = 0; channel < n; ++channel) {
    counts[std::size_t(channel)] = channelRowCounts(channel).data();
  }
  const std::size_t documentBytes = std::size_t(height_) * std::size_t(width_) * kPixelBytes;
  runTasks(kPackingBands + 1, documentBytes, [&](int task) {
    if (task == 0) {
      if (alongside) alongside();
      return;
    }
    const int band = task - 1;
    std::array<ByteBuffer, kMaxChannelCount>& rows = bands_[std::size_t(band)];
    for (ByteBuffer& channelRows : rows) channelRows.clear();
    const int first = static_cast<int>(std::int64_t(height_) * band / kPackingBands);
    const int end = static_cast<int>(std::int64_t(height_) * (band + 1) / kPackingBands);
    encoder_.packLayerBand(std::span(rows.data(), std::size_t(n)),
                           std::span(counts.data(), std::size_t(n)), rowAt, bounds, first, end);
  });
}

std::span<std::uint8_t> PSDStreamWriter::channelRowCounts(int channel) {
  const std::size_t bytes = std::size_t(height_) * kRowCountBytes;
  return {rowCounts_.data() + std::size_t(channel) * bytes, bytes};
}

std::uint64_t PSDStreamWriter::bandBytes(int channel) const {
  std::uint64_t bytes = 0;
  for (const auto& rows : bands_) bytes += rows[std::size_t(channel)].size();
  return bytes;
}

void PSDStreamWriter::writeBands(int channel) {
  for (const auto& rows : bands_) write(rows[std::size_t(channel)]);
}

void PSDStreamWriter::finish() {
  if (added_.size() != names_.size() || !composite_) {
    throw Exception(kGenericExceptionName, "Every named layer must be added before finishing.");
  }
  if ((written_ - kLayerInfoOffset) % 2 != 0) write(ByteBuffer{0});
  const std::uint64_t layerInfoLength = written_ - kLayerInfoOffset;
  writeMergedImage();
  const ByteBuffer start = fileStart(layerInfoLength);
  if (start.size() != reserved_) {
    throw Exception(kGenericExceptionName, "The layer records changed size while streaming.");
  }
  sink_.writeAt(0, start);
}

// Compression, the row counts of every channel, then the rows of each channel.
void PSDStreamWriter::writeMergedImage() {
  const int n = options_.layerChannelCount;
  const std::size_t rowBytes = std::size_t(width_) * kPixelBytes;
  const std::uint8_t* const pixels = composite_->data();
  const LayerBounds whole{0, 0, width_, height_};
  encoder_.packMargins(whole);
  packBands([&](int row) { return pixels + std::size_t(row) * rowBytes; }, whole, nullptr);
  std::uint64_t total = kCompressionBytes + rowCounts_.size();
  for (int channel = 0; channel < n; ++channel) total += bandBytes(channel);
  checkFileSize(total);
  write(kCompression);
  write(rowCounts_);
  for (int channel = 0; channel < n; ++channel) writeBands(channel);
}

ByteBuffer PSDStreamWriter::fileStart(std::uint64_t layerInfoLength) const {
  const int n = options_.layerChannelCount;
  ByteBuffer out;
  appendHeader(out, width_, height_, n);
  appendImageResources(out);
  appendValue(out, static_cast<std::int64_t>(layerInfoLength + 4), 4);
  appendValue(out, static_cast<std::int64_t>(layerInfoLength), 4);
  appendValue(out, static_cast<std::int64_t>(names_.size()), 2);
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const AddedLayer layer = i < added_.size() ? added_[i] : AddedLayer{};
    const std::size_t lengths =
        appendLayerRecord(out, names_[i], layer.opacity, width_, height_, n);
    for (int channel = 0; channel < n; ++channel) {
      writeValueAt(out, lengths + 6 * std::size_t(channel), layer.lengths[std::size_t(channel)]);
    }
  }
  return out;
}

void PSDStreamWriter::checkFileSize(std::uint64_t moreBytes) const {
  if (written_ + moreBytes > options_.maxFileBytes) raiseFileTooLarge(options_.maxFileBytes);
}

void PSDStreamWriter::write(std::span<const std::uint8_t> bytes) {
  sink_.write(bytes);
  written_ += bytes.size();
}

}  // namespace quillane
