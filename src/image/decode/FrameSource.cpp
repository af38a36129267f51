#include "image/decode/FrameSource.h"

#include <new>

#include "image/decode/Decoders.h"

namespace quillane {

FrameSource::FrameSource(std::string path) : path_(std::move(path)) {}
FrameSource::~FrameSource() = default;

Decoded<DecodedImage> FrameSource::decode(const DecodeRequest& request) {
  try {
    std::unique_lock lock(mutex_);
    if (!bytes_) bytes_ = readWholeFile(path_);
    if (!*bytes_) return bytes_->error();
    if (sniffImageFormat(**bytes_) == ImageFormat::Gif) return decodeGifFrame(request);
    lock.unlock();  // the bytes stay as they are: other formats decode side by side
    return decodeSourceBytes(path_, **bytes_, request);
  } catch (const std::bad_alloc&) {
    return DecodeFailure::OutOfMemory;
  }
}

Decoded<DecodedImage> FrameSource::decodeGifFrame(const DecodeRequest& request) {
  if (!gif_) gif_ = std::make_unique<GifFrames>(**bytes_);
  if (const auto failed = gif_->drawTo(request)) return *failed;
  auto screen = gif_->copyScreen();
  if (!screen) return screen.error();
  return DecodedImage{std::move(*screen), {}};
}

int countSourceFrames(const std::string& path) {
  if (isPictFile(path)) return 1;
  try {
    const auto bytes = readWholeFile(path);
    return bytes ? countFrames(*bytes) : 1;
  } catch (const std::bad_alloc&) {
    return 1;
  }
}

}  // namespace quillane
