#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "image/decode/Decode.h"

namespace quillane {

class GifFrames;

// The frames or pages of one source file, decoded one by one from the file read once. A
// GIF's frames are drawn on from the last one decoded, so decoding them in order costs the
// file once, not once a frame: its decodes take turns. Any thread may call decode.
class FrameSource {
 public:
  explicit FrameSource(std::string path);
  ~FrameSource();
  FrameSource(const FrameSource&) = delete;
  FrameSource& operator=(const FrameSource&) = delete;

  // Frame request.frame of the file, or why not, as decodeSourceFile answers.
  Decoded<DecodedImage> decode(const DecodeRequest& request);

 private:
  Decoded<DecodedImage> decodeGifFrame(const DecodeRequest& request);

  const std::string path_;
  std::mutex mutex_;  // guards what follows
  std::optional<Decoded<std::vector<std::uint8_t>>> bytes_;
  std::unique_ptr<GifFrames> gif_;
};

// How many frames or pages the file holds as countFrames counts them; 1 for a file that
// cannot be read (its decoding says why) and for a PICT file.
int countSourceFrames(const std::string& path);

}  // namespace quillane
