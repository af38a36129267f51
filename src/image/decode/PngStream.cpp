#include "image/decode/PngStream.h"

#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <spng.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "image/decode/ByteReader.h"
#include "image/decode/PngFilters.h"
#include "image/decode/PngHeader.h"

namespace quillane {
namespace {

constexpr std::size_t kReadBytes = std::size_t{1} << 20;
// Stored rows inflated and unfiltered at a time, at least one.
constexpr std::size_t kBandBytes = std::size_t{1} << 20;
// The chunks before the image data, held to be parsed: real ones are far smaller.
constexpr std::size_t kMaxHeadBytes = std::size_t{32} << 20;
constexpr std::size_t kSignatureBytes = 8;
constexpr std::size_t kChunkHeaderBytes = 8;  // length and type
constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFF;
// The most bytes one byte of deflate data inflates to: 258 in a match coded in two bits.
constexpr std::uint64_t kMaxInflateRatio = 1032;
// A zlib header's window field for 32 KiB, the largest: a smaller one lets zlib refuse
// distances that an inflater without that check would follow.
constexpr std::uint8_t kWindow32K = 0x70;

// The CRCs of an IDAT chunk's type, and of an empty IEND chunk.
constexpr std::uint32_t kIdatCrc = 0x35AF061E;
constexpr std::uint32_t kIendCrc = 0xAE426082;

bool isType(const std::uint8_t* type, const char* name) { return std::memcmp(type, name, 4) == 0; }

std::uint32_t crcOf(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
  return libdeflate_crc32(crc, bytes.data(), bytes.size());
}

// Where a file's bytes come from, and the decoder of the file whole that the stream answers
// for.
class PngSource {
 public:
  virtual ~PngSource() = default;
  virtual std::uint64_t size() const = 0;
  // Up to n bytes at offset into out: how many, fewer only at the end; nothing when the bytes
  // cannot be read.
  virtual std::optional<std::size_t> read(std::uint64_t offset, std::uint8_t* out,
                                          std::size_t n) = 0;
  virtual Decoded<DecodedImage> decodeWhole(const DecodeRequest& request) const = 0;
};

class FileSource final : public PngSource {
 public:
  explicit FileSource(std::string path) : path_(std::move(path)), fd_(openSourceFile(path_)) {}

  // Whether the file is open, regular and not larger than a source file may be.
  bool opened() {
    struct stat info {};
    if (fd_.get() < 0 || ::fstat(fd_.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > kMaxSourceFileBytes)
      return false;
    size_ = static_cast<std::uint64_t>(info.st_size);
    return true;
  }

  std::uint64_t size() const override { return size_; }

  std::optional<std::size_t> read(std::uint64_t offset, std::uint8_t* out, std::size_t n) override {
    std::size_t done = 0;
    while (done < n) {
      const ssize_t got =
          ::pread(fd_.get(), out + done, n - done, static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return std::nullopt;
      if (got == 0) break;
      done += static_cast<std::size_t>(got);
    }
    return done;
  }

  Decoded<DecodedImage> decodeWhole(const DecodeRequest& request) const override {
    return decodeSourceFile(path_, request);
  }

 private:
  std::string path_;
  FileDescriptor fd_;
  std::uint64_t size_ = 0;
};

class BytesSource final : public PngSource {
 public:
  explicit BytesSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  std::uint64_t size() const override { return bytes_.size(); }

  std::optional<std::size_t> read(std::uint64_t offset, std::uint8_t* out, std::size_t n) override {
    if (offset >= bytes_.size()) return 0;
    const std::size_t taken = std::min<std::uint64_t>(n, bytes_.size() - offset);
    std::memcpy(out, bytes_.data() + offset, taken);
    return taken;
  }

  Decoded<DecodedImage> decodeWhole(const DecodeRequest& request) const override {
    return decodeImage(bytes_, request);
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

// The file read forward through one buffer of at most kReadBytes.
class ForwardReader {
 public:
  // A small file's buffer holds just the file.
  explicit ForwardReader(PngSource& source)
      : source_(source), buffer_(std::min<std::uint64_t>(kReadBytes, source.size())) {}

  // The offset of the next byte.
  std::uint64_t offset() const { return offset_ - (end_ - position_); }

  // The next at most n bytes, valid until the next call; empty at the end of the file or
  // when it cannot be read.
  std::span<const std::uint8_t> next(std::size_t n) {
    if (position_ == end_) {
      const auto got = source_.read(offset_, buffer_.data(), buffer_.size());
      if (!got) return {};
      offset_ += *got;
      position_ = 0;
      end_ = *got;
    }
    const std::size_t taken = std::min(n, end_ - position_);
    const std::span<const std::uint8_t> piece(buffer_.data() + position_, taken);
    position_ += taken;
    return piece;
  }

  // Exactly the next n bytes, n no more than the buffer holds, valid until the next call;
  // empty when the file ends first or cannot be read.
  std::span<const std::uint8_t> take(std::size_t n) {
    if (end_ - position_ < n) {
      std::memmove(buffer_.data(), buffer_.data() + position_, end_ - position_);
      end_ -= position_;
      position_ = 0;
      while (end_ < n) {
        const auto got = source_.read(offset_, buffer_.data() + end_, buffer_.size() - end_);
        if (!got || *got == 0) return {};
        offset_ += *got;
        end_ += *got;
      }
    }
    const std::span<const std::uint8_t> bytes(buffer_.data() + position_, n);
    position_ += n;
    return bytes;
  }

  // Exactly n bytes into out; false when the file ends first or cannot be read.
  bool readExactly(std::uint8_t* out, std::size_t n) {
    while (n > 0) {
      const auto piece = next(n);
      if (piece.empty()) return false;
      out = std::copy(piece.begin(), piece.end(), out);
      n -= piece.size();
    }
    return true;
  }

 private:
  PngSource& source_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t offset_ = 0;  // of the byte after the buffer's
  std::size_t position_ = 0;
  std::size_t end_ = 0;
};

// The file from its signature to the header of its first IDAT chunk, inclusive; nothing when
// the file ends first or that part is larger than kMaxHeadBytes.
std::optional<std::vector<std::uint8_t>> readHead(ForwardReader& reader) {
  std::vector<std::uint8_t> head(kSignatureBytes);
  if (!reader.readExactly(head.data(), head.size())) return std::nullopt;
  for (;;) {
    const std::size_t at = head.size();
    head.resize(at + kChunkHeaderBytes);
    if (!reader.readExactly(head.data() + at, kChunkHeaderBytes)) return std::nullopt;
    if (isType(head.data() + at + 4, "IDAT")) return head;
    const std::uint32_t length = loadBigEndian(head.data() + at, 4);
    if (head.size() + std::uint64_t{length} + 4 > kMaxHeadBytes) return std::nullopt;
    head.resize(head.size() + length + 4);
    if (!reader.readExactly(head.data() + at + kChunkHeaderBytes, length + 4)) return std::nullopt;
  }
}

class StreamedPng final : public PngRowStream {
 public:
  StreamedPng(std::unique_ptr<PngSource> source, const DecodeRequest& request)
      : source_(std::move(source)), request_(request), reader_(*source_) {}

  // Reads and checks the head; false when the file is no PNG that streams.
  bool start();

  int width() const override { return width_; }
  int height() const override { return height_; }
  bool knownOpaque() const override { return opaque_; }
  const DecodedImage& header() const override { return header_; }
  std::optional<DecodeError> readRows(std::uint8_t* out, int count) override;

 private:
  bool streamRows(std::uint8_t* out, int count);
  bool decodeBand(std::uint8_t* out, int count, bool last);
  void putRow(const std::uint8_t* row, std::uint8_t* out) const;
  bool inflateInto(std::uint8_t* out, std::size_t n);
  bool inflateSome();
  bool nextInput();
  bool startChunk(std::uint32_t length);
  bool crcHolds(std::uint64_t offset, std::uint32_t length);
  bool nextHeader(std::uint8_t* header);
  bool endsSoundly();
  std::optional<DecodeError> readWhole(std::uint8_t* out, int count);
  void adoptHeader(const DecodedImage& whole);

  std::unique_ptr<PngSource> source_;
  DecodeRequest request_;
  ForwardReader reader_;
  DecodedImage header_;
  int width_ = 0;
  int height_ = 0;
  int imageHeight_ = 0;
  bool opaque_ = false;
  std::size_t pixelBytes_ = 4;
  std::size_t rowBytes_ = 0;  // of a stored row, without its filter byte
  int bandRows_ = 1;
  int served_ = 0;  // rows given so far

  std::unique_ptr<inflate_state> inflater_;
  std::optional<std::uint32_t> firstChunkLength_;  // until its data is first asked for
  // The data of the current IDAT chunk, its CRC checked: the whole of a small one read at
  // once, or the bytes of a large one still to be read, and then its CRC.
  std::span<const std::uint8_t> chunkData_;
  std::uint32_t chunkLeft_ = 0;
  bool crcLeft_ = false;
  bool windowChecked_ = false;
  // The row above the band, then the band's stored rows and one more byte.
  std::vector<std::uint8_t> band_;

  // The file decoded whole, once the stream met anything unsound.
  std::optional<Decoded<DecodedImage>> whole_;
};

bool StreamedPng::start() {
  const auto head = readHead(reader_);
  if (!head || checkDeclaredSize(*head, request_) || request_.hasOrigin()) return false;
  SpngCtx ctx(spng_ctx_new(0), &spng_ctx_free);
  spng_ihdr ihdr{};
  if (!ctx || setPngLimits(ctx.get()) != 0 ||
      spng_set_png_buffer(ctx.get(), head->data(), head->size()) != 0 ||
      spng_decode_chunks(ctx.get()) != 0 || spng_get_ihdr(ctx.get(), &ihdr) != 0)
    return false;
  spng_trns trns{};
  const bool rgb = ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR &&
                   spng_get_trns(ctx.get(), &trns) == SPNG_ECHUNKAVAIL;
  if (ihdr.interlace_method != SPNG_INTERLACE_NONE || ihdr.bit_depth != 8 ||
      !(rgb || ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA))
    return false;
  width_ = static_cast<int>(request_.keptWidth(ihdr.width));
  height_ = static_cast<int>(request_.keptHeight(ihdr.height));
  if (width_ < 1 || height_ < 1) return false;
  imageHeight_ = static_cast<int>(ihdr.height);
  opaque_ = rgb;
  pixelBytes_ = rgb ? 3 : 4;
  rowBytes_ = std::size_t{ihdr.width} * pixelBytes_;
  // Deflate makes at most kMaxInflateRatio bytes of each: a smaller file cannot hold the kept
  // rows, and is left to the whole decode, which fails for what the file fills. A first file
  // that streams is measured from its header alone, and the canvas made before its rows.
  if (source_->size() * kMaxInflateRatio < (rowBytes_ + 1) * static_cast<std::size_t>(height_))
    return false;
  readResolution(ctx.get(), header_);
  header_.iccProfile = profileOf(ctx.get());

  firstChunkLength_ = loadBigEndian(head->data() + head->size() - kChunkHeaderBytes, 4);
  inflater_ = std::make_unique<inflate_state>();
  isal_inflate_init(inflater_.get());
  inflater_->crc_flag = ISAL_ZLIB;
  bandRows_ = static_cast<int>(
      std::clamp<std::size_t>(kBandBytes / (rowBytes_ + 1), 1, static_cast<std::size_t>(height_)));
  band_.assign(rowBytes_ + static_cast<std::size_t>(bandRows_) * (rowBytes_ + 1) + 1, 0);
  return true;
}

std::optional<DecodeError> StreamedPng::readRows(std::uint8_t* out, int count) {
  assert(count >= 0 && count <= height_ - served_);
  if (count < 0 || count > height_ - served_) return DecodeError{DecodeFailure::Unreadable};
  try {
    if (!whole_ && streamRows(out, count)) {
      served_ += count;
      return std::nullopt;
    }
    const auto failure = readWhole(out, count);
    if (!failure) served_ += count;
    return failure;
  } catch (const std::bad_alloc&) {
    return DecodeError{DecodeFailure::OutOfMemory};
  }
}

bool StreamedPng::streamRows(std::uint8_t* out, int count) {
  const std::size_t outRowBytes = static_cast<std::size_t>(width_) * 4;
  for (int done = 0; done < count;) {
    const int rows = std::min(bandRows_, count - done);
    const bool last = served_ + done + rows == height_;
    if (!decodeBand(out + static_cast<std::size_t>(done) * outRowBytes, rows, last)) return false;
    done += rows;
  }
  return true;
}

// The next `count` rows inflated, unfiltered and put; the last kept ones followed, as the whole
// decoder reads them, by the next row's filter byte, or by the sound end of the file when the
// image is kept to its last row.
bool StreamedPng::decodeBand(std::uint8_t* out, int count, bool last) {
  const std::size_t stored = rowBytes_ + 1;
  const auto rows = static_cast<std::size_t>(count);
  std::uint8_t* storedRows = band_.data() + rowBytes_;
  const bool peek = last && height_ < imageHeight_;
  if (!inflateInto(storedRows, rows * stored + (peek ? 1 : 0))) return false;
  if (peek && storedRows[rows * stored] > 4) return false;
  // Each row is unfiltered in its place in out when it is kept as stored, else in the band,
  // moved up over its filter byte below the row above it, and then put.
  const std::size_t outRowBytes = static_cast<std::size_t>(width_) * 4;
  const bool inPlace = outRowBytes == rowBytes_;
  const std::uint8_t* up = band_.data();
  for (std::size_t y = 0; y < rows; ++y) {
    std::uint8_t* row = inPlace ? out + y * outRowBytes : band_.data() + (y + 1) * rowBytes_;
    const std::uint8_t filter = storedRows[y * stored];
    std::memmove(row, storedRows + y * stored + 1, rowBytes_);
    if (!unfilterRow(filter, row, up, rowBytes_, pixelBytes_)) return false;
    if (!inPlace) putRow(row, out + y * outRowBytes);
    up = row;
  }
  std::memcpy(band_.data(), up, rowBytes_);
  return !last || height_ < imageHeight_ || endsSoundly();
}

void StreamedPng::putRow(const std::uint8_t* row, std::uint8_t* out) const {
  const auto width = static_cast<std::size_t>(width_);
  if (pixelBytes_ == 4) {
    std::memcpy(out, row, width * 4);
    return;
  }
  for (std::size_t x = 0; x < width; ++x) {
    std::memcpy(out + 4 * x, row + 3 * x, 3);
    out[4 * x + 3] = 0xFF;
  }
}

// Exactly n bytes of the zlib stream, n no more than a band.
bool StreamedPng::inflateInto(std::uint8_t* out, std::size_t n) {
  inflate_state& state = *inflater_;
  state.next_out = out;
  state.avail_out = static_cast<std::uint32_t>(n);
  while (state.avail_out > 0) {
    if (!inflateSome()) return false;
  }
  return true;
}

// One step of the inflater, given the next piece of data when it has used up the last one
// and holds no more output; false on an error, or when the stream or the data ends first.
bool StreamedPng::inflateSome() {
  inflate_state& state = *inflater_;
  if (state.block_state == ISAL_BLOCK_FINISH) return false;
  const std::uint32_t roomBefore = state.avail_out;
  const std::uint32_t inputBefore = state.avail_in;
  if (isal_inflate(&state) != ISAL_DECOMP_OK) return false;
  if (state.avail_out != roomBefore || state.block_state == ISAL_BLOCK_FINISH) return true;
  if (state.avail_in == 0) return nextInput();
  return state.avail_in != inputBefore;
}

// The next piece of image data for the inflater, from the chunk read or the IDAT chunk
// after it; false when there is none, or a CRC or the zlib window is wrong.
bool StreamedPng::nextInput() {
  while (chunkData_.empty() && chunkLeft_ == 0) {
    std::uint8_t header[kChunkHeaderBytes];
    if (firstChunkLength_) {
      if (!startChunk(*std::exchange(firstChunkLength_, std::nullopt))) return false;
    } else if (!nextHeader(header) || !isType(header + 4, "IDAT") ||
               !startChunk(loadBigEndian(header, 4))) {
      return false;
    }
  }
  std::span<const std::uint8_t> piece = std::exchange(chunkData_, {});
  if (piece.empty()) {
    piece = reader_.next(chunkLeft_);
    if (piece.empty()) return false;
    chunkLeft_ -= static_cast<std::uint32_t>(piece.size());
  }
  if (!windowChecked_ && (piece[0] & 0xF0) != kWindow32K) return false;
  windowChecked_ = true;
  inflater_->next_in = const_cast<std::uint8_t*>(piece.data());  // only read
  inflater_->avail_in = static_cast<std::uint32_t>(piece.size());
  return true;
}

// An IDAT chunk of `length` bytes begins: false when the file does not hold it whole or its
// CRC is wrong. The CRC is checked before any of its data is inflated, so that no row comes
// from a chunk that is not sound; a chunk too large to be held is read through once first.
bool StreamedPng::startChunk(std::uint32_t length) {
  if (length > kMaxChunkLength || length + std::uint64_t{4} > source_->size() - reader_.offset())
    return false;
  if (length + std::size_t{4} > kReadBytes) {
    chunkLeft_ = length;
    crcLeft_ = true;
    return crcHolds(reader_.offset(), length);
  }
  const auto chunk = reader_.take(length + std::size_t{4});
  if (chunk.empty()) return false;
  chunkData_ = chunk.first(length);
  return crcOf(kIdatCrc, chunkData_) == loadBigEndian(chunk.data() + length, 4);
}

// Whether the CRC of the IDAT chunk whose data lies at offset holds.
bool StreamedPng::crcHolds(std::uint64_t offset, std::uint32_t length) {
  std::vector<std::uint8_t> piece(kReadBytes);
  std::uint32_t crc = kIdatCrc;
  for (std::uint32_t done = 0; done < length;) {
    const auto n = std::min<std::size_t>(piece.size(), length - done);
    if (source_->read(offset + done, piece.data(), n) != n) return false;
    crc = crcOf(crc, std::span(piece.data(), n));
    done += static_cast<std::uint32_t>(n);
  }
  return source_->read(offset + length, piece.data(), 4) == 4 &&
         loadBigEndian(piece.data(), 4) == crc;
}

// The header of the chunk after the current one, past the current one's CRC.
bool StreamedPng::nextHeader(std::uint8_t* header) {
  if (std::exchange(crcLeft_, false) && reader_.take(4).empty()) return false;
  const auto bytes = reader_.take(kChunkHeaderBytes);
  if (bytes.empty()) return false;
  std::memcpy(header, bytes.data(), kChunkHeaderBytes);
  return true;
}

// After the last row: the zlib stream ends there with its checksum, at the end of an IDAT
// chunk, and an empty IEND chunk follows, every CRC sound.
bool StreamedPng::endsSoundly() {
  inflate_state& state = *inflater_;
  std::uint8_t spare = 0;
  state.next_out = &spare;
  state.avail_out = 1;
  while (state.block_state != ISAL_BLOCK_FINISH) {
    if (!inflateSome() || state.avail_out == 0) return false;
  }
  std::uint8_t iend[kChunkHeaderBytes];
  if (state.avail_in != 0 || !chunkData_.empty() || chunkLeft_ != 0 || !nextHeader(iend) ||
      loadBigEndian(iend, 4) != 0 || !isType(iend + 4, "IEND"))
    return false;
  const auto crc = reader_.take(4);
  return !crc.empty() && loadBigEndian(crc.data(), 4) == kIendCrc;
}

// The rows from the file decoded whole, or that decoder's reason.
std::optional<DecodeError> StreamedPng::readWhole(std::uint8_t* out, int count) {
  if (!whole_) {
    inflater_.reset();
    band_ = {};
    whole_.emplace(source_->decodeWhole(request_));
    if (*whole_) adoptHeader(**whole_);
  }
  if (!*whole_) return whole_->error();
  const Bitmap& bitmap = (**whole_).bitmap;
  if (bitmap.width != width_ || bitmap.height != height_)
    return DecodeError{DecodeFailure::Unreadable};  // the file changed since it was opened
  const std::size_t rowBytes = bitmap.rowBytes();
  std::memcpy(out, bitmap.row(served_), rowBytes * static_cast<std::size_t>(count));
  return std::nullopt;
}

// What the whole decode says of the file's header and opacity, which a damaged file's
// can make it differ from what the head alone said.
void StreamedPng::adoptHeader(const DecodedImage& whole) {
  header_.resolution = whole.resolution;
  header_.iccProfile = whole.iccProfile;
  opaque_ = whole.bitmap.knownOpaque;
}

std::unique_ptr<PngRowStream> streamOf(std::unique_ptr<PngSource> source,
                                       const DecodeRequest& request) {
  try {
    auto stream = std::make_unique<StreamedPng>(std::move(source), request);
    if (!stream->start()) return nullptr;
    return stream;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

std::unique_ptr<PngRowStream> PngRowStream::open(const std::string& path,
                                                 const DecodeRequest& request) {
  if (isPictFile(path)) return nullptr;
  try {
    auto source = std::make_unique<FileSource>(path);
    if (!source->opened()) return nullptr;
    return streamOf(std::move(source), request);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<PngRowStream> PngRowStream::openBytes(std::span<const std::uint8_t> bytes,
                                                      const DecodeRequest& request) {
  try {
    return streamOf(std::make_unique<BytesSource>(bytes), request);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace quillane
