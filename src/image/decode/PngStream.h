#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "image/decode/Decode.h"

namespace quillane {

// The kept part of a PNG file decoded a band of rows at a time, reading the file as it goes,
// so that neither the file nor its image lies in memory whole: for layers of a canvas so
// large that a whole image is a large share of memory. Its rows are those decodeSourceFile
// gives for the same request, and so is its failure: when the stream meets anything unsound,
// the rest of its rows come from that decoder, or its reason does.
//
//   auto stream = PngRowStream::open(path, request);  // nothing: decode the file whole
//   while (rows left) stream->readRows(band, count);
class PngRowStream {
 public:
  // The stream of the file, its header read; nothing when the file is no PNG that streams
  // (only non-interlaced ones of 8-bit RGB or RGBA samples do), cannot be read, or its header
  // is refused: decodeSourceFile then gives the image or the reason.
  static std::unique_ptr<PngRowStream> open(const std::string& path, const DecodeRequest& request);
  // The same over the bytes of a file, which outlive the stream; decodeImage is then the
  // decoder whose rows and failure it gives.
  static std::unique_ptr<PngRowStream> openBytes(std::span<const std::uint8_t> bytes,
                                                 const DecodeRequest& request);
  virtual ~PngRowStream() = default;

  // The kept part's sides.
  virtual int width() const = 0;
  virtual int height() const = 0;
  // Every alpha is 255, as the whole decode's knownOpaque says.
  virtual bool knownOpaque() const = 0;
  // The resolution and ICC profile the file declares, as the whole decode gives them; its
  // bitmap is empty. Both this and knownOpaque are read from the chunks before the image data;
  // a damaged file that the whole decode takes over can change them (libspng drops a profile
  // it would read after a bad CRC), so they are final once the last row is read.
  virtual const DecodedImage& header() const = 0;
  // The next `count` kept rows, top to bottom, as straight RGBA8 pixels, width() x 4 bytes
  // each, into out; why not, when the file cannot give them. Called from any one thread at a
  // time.
  virtual std::optional<DecodeError> readRows(std::uint8_t* out, int count) = 0;
};

}  // namespace quillane
