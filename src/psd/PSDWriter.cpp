#include "psd/PSDWriter.h"

#include <algorithm>

#include "util/Error.h"
#include "util/Log.h"

namespace quillane {
namespace {

// Bands of rows packed side by side; more than two so that a busy thread takes fewer.
constexpr int kPackingBands = 8;
constexpr std::array<std::uint8_t, kCompressionBytes> kCompression = {0, kPackBitsCompression};
constexpr std::array<std::uint8_t, kCompressionBytes> kRaw = {0, 0};
// Pixel bytes from which a batch of work is shared with the helper thread: less takes less
// time than waking it.
constexpr std::size_t kSharedWorkBytes = std::size_t{1} << 20;

Size checkedShape(PSDFormat format, Size documentSize, std::size_t layerCount) {
  checkDocumentShape(format, documentSize, layerCount);
  return documentSize;
}

}  // namespace

PSDWriter::PSDWriter(PSDSink& sink, Size documentSize, std::vector<std::string> layerNames,
                     PSDOptions options)
    : PSDWriter(sink, documentSize, pixelLayers(std::move(layerNames)), std::move(options)) {}

PSDWriter::PSDWriter(PSDSink& sink, Size documentSize, std::vector<LayerRecord> records,
                     PSDOptions options)
    : sink_(sink),
      width_(checkedShape(options.format, documentSize, records.size()).width),
      height_(documentSize.height),
      records_(std::move(records)),
      format_(options.format),
      iccProfile_(std::move(options.iccProfile)),
      resolution_(options.resolution),
      blend_(options.blend),
      rules_(rulesOf(options.format)),
      maxFileBytes_(std::min(options.maxFileBytes, rules_.maxFileBytes)),
      encoder_(width_, rules_.rowCountBytes),
      bands_(kPackingBands),
      bandPlanes_(kPackingBands) {
  channelLengths_.reserve(records_.size());
  // The header and the records, written again by finish() once the lengths are known.
  const ByteBuffer start = fileStart(0);
  reserved_ = start.size();
  write(start);
}

void PSDWriter::addLayer(const Bitmap& image) {
  startLayer();
  createComposite();
  const LayerBounds bounds{std::min(image.width, width_), std::min(image.height, height_)};
  if (!bounds.empty()) encoder_.packMargin(bounds);
  // The composite is drawn while the channels are packed.
  packBands([&](int row) { return image.row(row); }, bounds,
            [&] { composite_->drawBitmap(image, blend_); });
  writeLayerChannels();
}

void PSDWriter::addLayer(Size size, LayerBands& bands) {
  startLayer();
  const LayerBounds bounds{std::min(size.width, width_), std::min(size.height, height_)};
  if (!bounds.empty()) encoder_.packMargin(bounds);
  packArrivingBands(bands, bounds);
  writeLayerChannels();
}

void PSDWriter::startLayer() {
  writeGroupRecords();
  const std::size_t index = channelLengths_.size();
  if (index >= records_.size()) {
    throw internalError("more layers were added than were named");
  }
  logLine("adding layer: %s", records_[index].name.c_str());
}

// While one thread packs a band and another draws it, the next band is made on whichever
// thread is free first.
void PSDWriter::packArrivingBands(LayerBands& bands, LayerBounds bounds) {
  const RowCounts counts = startRowCounts();
  for (Band& band : bands_) {
    for (ByteBuffer& channelRows : band) channelRows.clear();
  }
  int top = 0;
  const Bitmap* band = nullptr;
  // The composite, made for the first layer, is made while its first band is.
  helper_.run(2, [&](int task) { task == 0 ? void(band = bands.next()) : createComposite(); });
  while (band != nullptr) {
    const int end = std::min(top + band->height, bounds.height);
    const Bitmap* following = nullptr;
    const auto work = [&](int task) {
      if (task == 0) {
        following = bands.next();
      } else if (task == 1) {
        packInOrder([&](int row) { return band->row(row - top); }, bounds, top, end, counts);
      } else {
        composite_->drawBitmap(*band, blend_, top);
      }
    };
    helper_.run(3, work);
    top += band->height;
    band = following;
  }
  if (top < bounds.height) throw internalError("a layer's bands ended before its last row");
  // The rows below the layer, transparent.
  packInOrder(nullptr, bounds, std::min(top, height_), height_, counts);
}

// Each of the bands of rows that packBands packs side by side takes the rows of its share
// of the canvas, so that they are written in order and each buffer keeps its size from layer
// to layer.
void PSDWriter::packInOrder(const LayerRows& rowAt, LayerBounds bounds, int first, int end,
                            const RowCounts& counts) {
  for (int task = 1; task <= kPackingBands; ++task) {
    const int from = std::max(first, bandStart(task - 1));
    const int to = std::min(end, bandStart(task));
    if (from < to)
      encoder_.packLayerBand(bands_[std::size_t(task - 1)], counts, rowAt, bounds, from, to,
                             bandPlanes_[0]);
  }
}

int PSDWriter::bandStart(int band) const {
  return static_cast<int>(std::int64_t(height_) * band / kPackingBands);
}

PSDWriter::RowCounts PSDWriter::startRowCounts() {
  rowCounts_.resize(std::size_t(kChannelCount) * std::size_t(height_) *
                    std::size_t(rules_.rowCountBytes));
  RowCounts counts{};
  for (int channel = 0; channel < kChannelCount; ++channel) {
    counts[std::size_t(channel)] = channelRowCounts(channel).data();
  }
  return counts;
}

void PSDWriter::writeLayerChannels() {
  const std::uint64_t head = kCompressionBytes + std::uint64_t(height_) * rules_.rowCountBytes;
  std::uint64_t total = 0;
  for (int channel = 0; channel < kChannelCount; ++channel) total += head + bandBytes(channel);
  checkFileSize(total);
  ChannelLengths& lengths = channelLengths_.emplace_back();
  for (int channel = 0; channel < kChannelCount; ++channel) {
    lengths[std::size_t(channel)] = head + bandBytes(channel);
    write(kCompression);
    write(channelRowCounts(channel));
    writeBands(channel);
  }
}

void PSDWriter::writeGroupRecords() {
  while (channelLengths_.size() < records_.size() &&
         records_[channelLengths_.size()].kind != LayerKind::Pixels) {
    checkFileSize(kChannelCount * kRaw.size());
    ChannelLengths& lengths = channelLengths_.emplace_back();
    for (std::uint64_t& length : lengths) {
      length = kRaw.size();
      write(kRaw);
    }
  }
}

void PSDWriter::createComposite() {
  if (composite_) return;
  composite_ = Canvas::create(width_, height_);
  if (!composite_) {
    Error error(ErrorKind::CanvasOutOfMemory);
    error.width = width_;
    error.height = height_;
    throw error;
  }
  composite_->fillOpaqueWhite();
}

void MemorySink::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), bytes_.begin() + std::ptrdiff_t(offset));
}

void PSDWriter::packBands(const LayerRows& rowAt, LayerBounds bounds,
                          const std::function<void()>& alongside) {
  const RowCounts counts = startRowCounts();
  const auto work = [&](int task) {
    if (task == 0) {
      if (alongside) alongside();
      return;
    }
    const auto band = std::size_t(task - 1);
    for (ByteBuffer& channelRows : bands_[band]) channelRows.clear();
    encoder_.packLayerBand(bands_[band], counts, rowAt, bounds, bandStart(task - 1),
                           bandStart(task), bandPlanes_[band]);
  };
  const std::size_t documentBytes = std::size_t(height_) * std::size_t(width_) * kPixelBytes;
  if (documentBytes >= kSharedWorkBytes) return helper_.run(kPackingBands + 1, work);
  for (int task = 0; task <= kPackingBands; ++task) work(task);
}

std::span<std::uint8_t> PSDWriter::channelRowCounts(int channel) {
  const std::size_t bytes = std::size_t(height_) * std::size_t(rules_.rowCountBytes);
  return {rowCounts_.data() + std::size_t(channel) * bytes, bytes};
}

// After the two section lengths: the layer information (its length counts from here).
std::size_t PSDWriter::layerInfoOffset() const {
  return kLayerSectionOffset + profileResourceBytes(iccProfile_) +
         2 * std::size_t(rules_.lengthBytes);
}

std::uint64_t PSDWriter::bandBytes(int channel) const {
  std::uint64_t bytes = 0;
  for (const Band& band : bands_) bytes += band[std::size_t(channel)].size();
  return bytes;
}

void PSDWriter::writeBands(int channel) {
  for (const Band& band : bands_) write(band[std::size_t(channel)]);
}

void PSDWriter::finish() {
  writeGroupRecords();
  if (channelLengths_.size() != records_.size()) {
    throw internalError("every named layer must be added before finishing");
  }
  if ((written_ - layerInfoOffset()) % 2 != 0) write(ByteBuffer{0});
  const std::uint64_t layerInfoLength = written_ - layerInfoOffset();
  writeMergedImage();
  const ByteBuffer start = fileStart(layerInfoLength);
  if (start.size() != reserved_) {
    throw internalError("the layer records changed size while streaming");
  }
  sink_.writeAt(0, start);
}

// Compression, the row counts of every channel, then the rows of each channel. The
// composite lies over opaque white, so its premultiplied colour is its straight colour.
void PSDWriter::writeMergedImage() {
  const std::size_t rowBytes = std::size_t(width_) * kPixelBytes;
  const std::uint8_t* const pixels = composite_->data();
  const LayerBounds whole{width_, height_};
  encoder_.packMargin(whole);
  packBands([&](int row) { return pixels + std::size_t(row) * rowBytes; }, whole, nullptr);
  std::uint64_t total = kCompressionBytes + rowCounts_.size();
  for (int channel = 0; channel < kChannelCount; ++channel) total += bandBytes(channel);
  checkFileSize(total);
  write(kCompression);
  write(rowCounts_);
  for (int channel = 0; channel < kChannelCount; ++channel) writeBands(channel);
}

ByteBuffer PSDWriter::fileStart(std::uint64_t layerInfoLength) const {
  ByteBuffer out;
  appendHeader(out, format_, width_, height_);
  // The bottom pixel layer is the target layer.
  const auto bottom = std::find_if(records_.begin(), records_.end(), [](const LayerRecord& r) {
    return r.kind == LayerKind::Pixels;
  });
  appendImageResources(out, resolution_, std::size_t(bottom - records_.begin()), iccProfile_);
  // The section holds the layer information and its length, and no global mask.
  appendValue(out, static_cast<std::int64_t>(layerInfoLength + std::uint64_t(rules_.lengthBytes)),
              rules_.lengthBytes);
  appendValue(out, static_cast<std::int64_t>(layerInfoLength), rules_.lengthBytes);
  appendValue(out, static_cast<std::int64_t>(records_.size()), 2);
  for (std::size_t i = 0; i < records_.size(); ++i) {
    const ChannelLengths lengths =
        i < channelLengths_.size() ? channelLengths_[i] : ChannelLengths{};
    appendLayerRecord(out, format_, records_[i], width_, height_, lengths, blend_);
  }
  return out;
}

void PSDWriter::checkFileSize(std::uint64_t moreBytes) const {
  if (written_ + moreBytes > maxFileBytes_) {
    throw Error(ErrorKind::PsdByteLimit);  // the caller names the output
  }
}

void PSDWriter::write(std::span<const std::uint8_t> bytes) {
  sink_.write(bytes);
  written_ += bytes.size();
}

ByteBuffer createPSDData(Size documentSize, const std::vector<PSDLayer>& layers,
                         PSDOptions options) {
  ByteBuffer bytes;
  MemorySink sink(bytes);
  std::vector<std::string> names;
  names.reserve(layers.size());
  for (const PSDLayer& layer : layers) names.push_back(layer.name);
  PSDWriter writer(sink, documentSize, std::move(names), options);
  for (const PSDLayer& layer : layers) writer.addLayer(layer.image);
  writer.finish();
  return bytes;
}

}  // namespace quillane
