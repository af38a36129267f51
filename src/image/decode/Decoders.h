#pragma once

// The decoders, one per format, behind decodeImage and decodeSourceFile.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "image/decode/Decode.h"

namespace quillane {

enum class ImageFormat { Unknown, Jpeg, Png, Gif, Bmp, Tiff, Webp, Heif, Jxl };

// The format that the bytes' signature names, whatever the file is called.
ImageFormat sniffImageFormat(std::span<const std::uint8_t> bytes);
// Whether the bytes are all there is of a signature's start (two bytes at least): a file cut
// before its format could be told.
bool isCutSignature(std::span<const std::uint8_t> bytes);

// A source file's bytes decoded as decodeSourceFile decodes them (by the path's extension
// for PICT, turned upright when the request asks).
Decoded<DecodedImage> decodeSourceBytes(const std::string& path,
                                        std::span<const std::uint8_t> bytes,
                                        const DecodeRequest& request);

// Each answers the image or why it cannot: the declared size goes through checkImageSize
// before anything is decoded. Each answers at most the part the request keeps, and decodes
// no more of the file than that part needs.
Decoded<DecodedImage> decodeJpeg(std::span<const std::uint8_t> bytes,
                                 const DecodeRequest& request = {});
// The pixel size a JPEG's header declares, or nothing when the header cannot be read.
std::optional<Size> jpegPixelSize(std::span<const std::uint8_t> bytes);
Decoded<DecodedImage> decodePng(std::span<const std::uint8_t> bytes,
                                const DecodeRequest& request = {});
Decoded<DecodedImage> decodeGif(std::span<const std::uint8_t> bytes,
                                const DecodeRequest& request = {});
struct GifAnimation;
// The frames of a GIF in bytes that outlive this, each drawn over what the previous left.
// Frame n after frame m < n costs the frames between them; any other costs those up to it.
class GifFrames {
 public:
  explicit GifFrames(std::span<const std::uint8_t> bytes);
  ~GifFrames();
  GifFrames(const GifFrames&) = delete;
  GifFrames& operator=(const GifFrames&) = delete;

  // Draws up to frame request.frame on the kept part of the screen, or says why not (and
  // starts over for the next call).
  std::optional<DecodeError> drawTo(const DecodeRequest& request);
  // The screen as drawn: a copy, to draw on; or the screen itself, to draw no more.
  Decoded<Bitmap> copyScreen() const;
  Bitmap takeScreen();

 private:
  std::span<const std::uint8_t> bytes_;
  std::unique_ptr<GifAnimation> animation_;
};
// The frames a GIF holds whole, counted from its blocks without decoding them: at least 1,
// at most kMaxFramesPerFile.
int countGifFrames(std::span<const std::uint8_t> bytes);
Decoded<DecodedImage> decodeBmp(std::span<const std::uint8_t> bytes,
                                const DecodeRequest& request = {});
Decoded<DecodedImage> decodeTiff(std::span<const std::uint8_t> bytes,
                                 const DecodeRequest& request = {});
// Still WebP, or the first frame of an animated one; the kept part only is decoded.
Decoded<DecodedImage> decodeWebp(std::span<const std::uint8_t> bytes,
                                 const DecodeRequest& request = {});
// The primary image of a HEIF file (HEIC or AVIF), with its alpha, decoded whole within the
// memory budget, turned by its own rotation and mirroring when the request turns photos.
Decoded<DecodedImage> decodeHeif(std::span<const std::uint8_t> bytes,
                                 const DecodeRequest& request = {});
// The first frame of a JPEG XL file, decoded whole within the memory budget (only the kept
// part is stored), turned by its own orientation when the request turns photos.
Decoded<DecodedImage> decodeJxl(std::span<const std::uint8_t> bytes,
                                const DecodeRequest& request = {});
// The directories (pages) of a TIFF: at least 1, at most kMaxFramesPerFile.
int countTiffPages(std::span<const std::uint8_t> bytes);
// A QuickDraw picture (with or without its 512-byte file header), sized by its frame, or
// by the part of the frame the request keeps; transparent wherever it draws nothing. The
// bitmap opcodes and JPEG QuickTime opcodes are drawn, every other known opcode is skipped,
// and an unknown one ends the drawing with what was drawn so far. Data that runs past the
// end is cut short; other corrupt data (overrunning rows, undefined pixel maps or colours,
// endless redrawing) is unreadable.
Decoded<DecodedImage> decodePict(std::span<const std::uint8_t> bytes,
                                 const DecodeRequest& request = {});

}  // namespace quillane
