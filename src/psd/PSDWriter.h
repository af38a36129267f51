#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "image/Bitmap.h"
#include "image/Canvas.h"
#include "psd/ByteBuffer.h"
#include "psd/ChannelEncoding.h"
#include "psd/HelperThread.h"
#include "psd/PSDSections.h"
#include "util/Geometry.h"

namespace quillane {

// Where a document goes: bytes appended in order, and bytes already appended rewritten in
// place (the header and layer records, once their lengths are known).
class PSDSink {
 public:
  virtual ~PSDSink() = default;
  virtual void write(std::span<const std::uint8_t> bytes) = 0;
  virtual void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) = 0;
};

// A document written into memory.
class MemorySink final : public PSDSink {
 public:
  explicit MemorySink(ByteBuffer& bytes) : bytes_(bytes) {}
  void write(std::span<const std::uint8_t> bytes) override { appendBytes(bytes_, bytes); }
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;

 private:
  ByteBuffer& bytes_;
};

// The rows of a layer as they arrive, a band at a time, top to bottom: for a layer too large
// to be held whole.
class LayerBands {
 public:
  virtual ~LayerBands() = default;
  // The next band of rows (straight RGBA8, as wide as the layer), or nullptr once every row
  // has come. A band stays valid until the call after the next one: the writer packs one
  // band while the next is made. Called from one thread at a time, not always the same one.
  virtual const Bitmap* next() = 0;
};

struct PSDOptions {
  PSDFormat format = PSDFormat::Psd;
  std::uint64_t maxFileBytes = UINT64_MAX;  // below the format's own limit: for tests
  // The colour profile the document's samples are in, embedded as they are; none for sRGB.
  std::vector<std::uint8_t> iccProfile = {};
  // The resolution the document declares (setResolution may change it).
  Resolution resolution = {};
  // How every layer is blended, in the file and in the merged image.
  Blend blend = Blend::Normal;
};

// A layered document written as a PSD file (version 1) or PSB file (version 2): RGB with
// transparency, 8 bits, PackBits. It is written while its
// layers arrive: each layer's channels are packed as it is added and sent to the sink, so
// memory holds one layer and the composite, never the document. The layer names, and so the
// sizes of the layer records, are given up front: a record area of that size is reserved at
// the start of the file and filled in by finish(). Layers may lie in groups, whose records
// are given with them and written by the writer. Every layer lies at the canvas's top-left,
// cropped to the canvas, with straight colour; the merged image is the composite of all
// layers over opaque white. The channels are packed on two threads.
//
//   PSDWriter writer(sink, size, names);
//   writer.addLayer(bitmap);  // once per name, in order
//   writer.finish();
//
// Raises quillane::Error: PsdSideLimit for a canvas side above the format's limit,
// TooManyFiles for more layers than a file holds, PsdByteLimit as soon as the file would grow
// past what the format or maxFileBytes allow (file left for the caller to name),
// CanvasOutOfMemory when the composite cannot be had; Internal for a caller's misuse.
class PSDWriter {
 public:
  PSDWriter(PSDSink& sink, Size documentSize, std::vector<std::string> layerNames,
            PSDOptions options = {});
  // The records bottom first: every pixel layer, and the records of the groups they lie in.
  PSDWriter(PSDSink& sink, Size documentSize, std::vector<LayerRecord> records,
            PSDOptions options = {});
  PSDWriter(const PSDWriter&) = delete;
  PSDWriter& operator=(const PSDWriter&) = delete;

  // Adds the next pixel layer and writes its channels.
  void addLayer(const Bitmap& image);
  // The same for a layer of `size` whose rows come in bands; each band is drawn and packed
  // while the next one is made.
  void addLayer(Size size, LayerBands& bands);
  // Writes the merged image and fills in the reserved area. Every pixel layer must have
  // been added.
  void finish();
  // The resolution the document declares, from now until finish() writes it.
  void setResolution(Resolution resolution) { resolution_ = resolution; }

 private:
  using Band = std::array<ByteBuffer, kChannelCount>;
  using ChannelLengths = std::array<std::uint64_t, kChannelCount>;
  using RowCounts = std::array<std::uint8_t*, kChannelCount>;

  // The group records before it, and the check that one more layer was named.
  void startLayer();
  // Packs the rows that arrive in bands, drawing each on the composite.
  void packArrivingBands(LayerBands& bands, LayerBounds bounds);
  // Packs rows first .. end - 1 on this thread, into the bands that packBands puts them in.
  void packInOrder(const LayerRows& rowAt, LayerBounds bounds, int first, int end,
                   const RowCounts& counts);
  // The first row of each band packBands packs side by side (kPackingBands: the end).
  int bandStart(int band) const;
  // Sizes the row byte counts for a layer or the merged image; where each channel's begin.
  RowCounts startRowCounts();
  // Writes the channels of the layer just packed.
  void writeLayerChannels();
  void createComposite();
  // Packs the rows (bounds of the canvas) of every channel in bands side by side, and runs
  // alongside() meanwhile.
  void packBands(const LayerRows& rowAt, LayerBounds bounds,
                 const std::function<void()>& alongside);
  // Writes the channels of the group records before the next pixel layer (or, at the end,
  // before the merged image): no pixels, each channel just its compression.
  void writeGroupRecords();
  std::span<std::uint8_t> channelRowCounts(int channel);
  std::size_t layerInfoOffset() const;
  std::uint64_t bandBytes(int channel) const;
  void writeBands(int channel);
  void writeMergedImage();
  // Header, image resources, section lengths and layer records.
  ByteBuffer fileStart(std::uint64_t layerInfoLength) const;
  void write(std::span<const std::uint8_t> bytes);
  void checkFileSize(std::uint64_t moreBytes) const;

  PSDSink& sink_;
  int width_;
  int height_;
  std::vector<LayerRecord> records_;
  PSDFormat format_;
  std::vector<std::uint8_t> iccProfile_;
  Resolution resolution_;
  Blend blend_;
  const PSDFormatRules& rules_;
  std::uint64_t maxFileBytes_;
  std::vector<ChannelLengths> channelLengths_;  // one per record written
  std::size_t reserved_ = 0;
  std::uint64_t written_ = 0;
  ChannelEncoder encoder_;
  std::optional<Canvas> composite_;
  // The packed rows of the current layer (or merged image): bands of rows, channel by
  // channel, each band with its scratch row; and every channel's row byte counts, one
  // channel after another. Reused from layer to layer, so that memory is touched once.
  std::vector<Band> bands_;
  std::vector<ByteBuffer> bandPlanes_;
  ByteBuffer rowCounts_;
  HelperThread helper_;
};

// One layer of a document made in memory: its name and its straight RGBA8 pixels.
struct PSDLayer {
  std::string name;
  Bitmap image;
};

// The whole file of a document, bottom layer first, written by PSDWriter into memory.
ByteBuffer createPSDData(Size documentSize, const std::vector<PSDLayer>& layers,
                         PSDOptions options = {});

}  // namespace quillane
