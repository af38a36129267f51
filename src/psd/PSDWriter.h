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
  // Writes the merged image and fills in the reserved area. Every pixel layer must have
  // been added.
  void finish();
  // The resolution the document declares, from now until finish() writes it.
  void setResolution(Resolution resolution) { resolution_ = resolution; }

 private:
  using Band = std::array<ByteBuffer, kChannelCount>;
  using ChannelLengths = std::array<std::uint64_t, kChannelCount>;

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
