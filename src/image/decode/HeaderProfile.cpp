#include "image/decode/HeaderProfile.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

#include "image/decode/ByteReader.h"
#include "image/decode/FileRead.h"
#include "image/decode/JpegIccParts.h"

namespace quillane {
namespace {

// Real profiles are a few kilobytes, rarely a megabyte; a file that declares more is taken as
// having none, so that reading a folder's headers stays quick whatever its files claim.
constexpr std::size_t kMaxProfileBytes = std::size_t{4} << 20;
// Headers come first in every format read here: one read of this many bytes holds them in
// nearly every file, and later reads are only for large markers or a TIFF's directory.
constexpr std::size_t kPrefixBytes = std::size_t{64} << 10;
// Bounds on the walk through a file's markers, chunks or directory entries: real files have
// a few dozen before their pixels.
constexpr int kMaxSegments = 2000;
constexpr std::size_t kMaxTiffEntries = 4096;

// The bytes of a source at any offset, the first ones read once.
class Source {
 public:
  explicit Source(const ReadAt& read) : read_(read) {
    prefix_.resize(kPrefixBytes);
    prefix_.resize(read_(0, prefix_));
  }

  // The count bytes at offset, or nothing when the source ends before them. Valid until the
  // next call.
  std::optional<std::span<const std::uint8_t>> at(std::uint64_t offset, std::size_t count) {
    if (offset <= prefix_.size() && count <= prefix_.size() - offset)
      return std::span<const std::uint8_t>(prefix_).subspan(offset, count);
    if (count > kMaxProfileBytes + kPrefixBytes) return std::nullopt;
    scratch_.resize(count);
    if (read_(offset, scratch_) != count) return std::nullopt;
    return std::span<const std::uint8_t>(scratch_);
  }

 private:
  const ReadAt& read_;
  std::vector<std::uint8_t> prefix_;
  std::vector<std::uint8_t> scratch_;
};

using Bytes = std::vector<std::uint8_t>;

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view text) {
  return bytes.size() >= text.size() && std::memcmp(bytes.data(), text.data(), text.size()) == 0;
}

// A JPEG's profile: its APP2 parts joined in their numbered order, as the decoder joins them.
Bytes jpegProfile(Source& source) {
  std::vector<Bytes> app2;
  std::size_t app2Bytes = 0;
  int components = 0;
  std::uint64_t position = 2;
  for (int segment = 0; segment < kMaxSegments; ++segment) {
    const auto header = source.at(position, 4);
    if (!header || (*header)[0] != 0xFF) return {};
    const std::uint8_t marker = (*header)[1];
    if (marker == 0xFF) {  // a fill byte
      position += 1;
      continue;
    }
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {  // markers without a length
      position += 2;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) break;  // the pixels, or the end
    const std::size_t length = loadBigEndian(header->data() + 2, 2);
    if (length < 2) return {};
    const bool frame =
        marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      const auto start = source.at(position + 4, 6);
      if (!start) return {};
      components = (*start)[5];
    } else if (marker == 0xE2) {
      const auto data = source.at(position + 4, length - 2);
      if (!data) return {};
      app2Bytes += data->size();
      if (app2Bytes > kMaxProfileBytes + kMaxSegments * 16) return {};
      app2.emplace_back(data->begin(), data->end());  // the source reuses its buffer
    }
    position += 2 + length;
  }
  if (components == 4) return {};
  Bytes profile = joinedIccParts({app2.begin(), app2.end()});
  if (profile.size() > kMaxProfileBytes) return {};
  return profile;
}

// An iCCP chunk's profile: after a name of 1 to 79 bytes, its end and the compression method
// (0, zlib), the profile deflated.
Bytes inflatedProfile(std::span<const std::uint8_t> chunk) {
  const auto nameEnd = std::find(chunk.begin(), chunk.end(), 0);
  const std::size_t nameLength = nameEnd - chunk.begin();
  if (nameLength < 1 || nameLength > 79 || chunk.size() < nameLength + 2 || nameEnd[1] != 0)
    return {};
  const auto deflated = chunk.subspan(nameLength + 2);
  z_stream stream{};
  if (inflateInit(&stream) != Z_OK) return {};
  stream.next_in = const_cast<Bytef*>(deflated.data());
  stream.avail_in = static_cast<uInt>(deflated.size());
  Bytes profile;
  int status = Z_OK;
  std::array<std::uint8_t, 16384> piece{};
  while (status == Z_OK && profile.size() <= kMaxProfileBytes) {
    stream.next_out = piece.data();
    stream.avail_out = static_cast<uInt>(piece.size());
    status = inflate(&stream, Z_NO_FLUSH);
    profile.insert(profile.end(), piece.data(), stream.next_out);
  }
  inflateEnd(&stream);
  if (status != Z_STREAM_END || profile.size() > kMaxProfileBytes) return {};
  return profile;
}

// A PNG's profile from the chunks before its image data.
Bytes pngProfile(Source& source) {
  std::uint64_t position = 8;
  Bytes profile;
  for (int chunk = 0; chunk < kMaxSegments; ++chunk) {
    const auto header = source.at(position, 8);
    if (!header) return {};
    const std::size_t length = loadBigEndian(header->data(), 4);
    const auto type = header->subspan(4);
    if (startsWith(type, "IDAT") || startsWith(type, "IEND")) break;
    if (startsWith(type, "sRGB")) return {};  // sRGB, whatever profile it also carries
    if (startsWith(type, "iCCP")) {
      const auto data = source.at(position + 8, length);
      if (!data) return {};
      profile = inflatedProfile(*data);
    }
    position += 12 + std::uint64_t{length};
  }
  return profile;
}

// A TIFF's profile: tag 34675 of its first directory, in a classic or a big TIFF.
Bytes tiffProfile(Source& source, bool littleEndian) {
  const auto load = [littleEndian](std::span<const std::uint8_t> bytes, std::size_t at,
                                   std::size_t count) -> std::uint64_t {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t byte = bytes[littleEndian ? at + count - 1 - i : at + i];
      value = value << 8 | byte;
    }
    return value;
  };
  const auto header = source.at(0, 16);
  if (!header) return {};
  const bool big = load(*header, 2, 2) == 43;
  const std::size_t offsetBytes = big ? 8 : 4;
  const std::size_t entryBytes = big ? 20 : 12;
  const std::uint64_t directory = big ? load(*header, 8, 8) : load(*header, 4, 4);
  const auto counted = source.at(directory, offsetBytes == 8 ? 8 : 2);
  if (!counted) return {};
  const std::uint64_t entries = load(*counted, 0, counted->size());
  if (entries > kMaxTiffEntries) return {};
  const std::uint64_t first = directory + counted->size();
  for (std::uint64_t i = 0; i < entries; ++i) {
    const auto entry = source.at(first + i * entryBytes, entryBytes);
    if (!entry) return {};
    constexpr std::uint64_t kIccTag = 34675;
    constexpr std::uint64_t kByte = 1, kUndefined = 7;
    if (load(*entry, 0, 2) != kIccTag) continue;
    const std::uint64_t type = load(*entry, 2, 2);
    const std::uint64_t size = load(*entry, 4, offsetBytes);
    if ((type != kByte && type != kUndefined) || size > kMaxProfileBytes) return {};
    if (size <= offsetBytes) {
      const auto inline_ = entry->subspan(4 + offsetBytes, static_cast<std::size_t>(size));
      return Bytes(inline_.begin(), inline_.end());
    }
    const auto profile = source.at(load(*entry, 4 + offsetBytes, offsetBytes), size);
    if (!profile) return {};
    return Bytes(profile->begin(), profile->end());
  }
  return {};
}

// A BMP's profile, when its version-5 header says it embeds one; its offset counts from the
// start of that header.
Bytes bmpProfile(Source& source) {
  constexpr std::size_t kFileHeaderBytes = 14, kVersion5HeaderBytes = 124;
  constexpr std::uint32_t kEmbeddedProfile = 0x4D424544;  // 'MBED'
  const auto header = source.at(0, kFileHeaderBytes + kVersion5HeaderBytes);
  if (!header) return {};
  const auto field = [&header](std::size_t at) {
    return loadLittleEndian(header->data() + kFileHeaderBytes + at, 4);
  };
  if (field(0) < kVersion5HeaderBytes || field(56) != kEmbeddedProfile) return {};
  const std::uint32_t size = field(116);
  if (size == 0 || size > kMaxProfileBytes) return {};
  const auto profile = source.at(kFileHeaderBytes + std::uint64_t{field(112)}, size);
  if (!profile) return {};
  return Bytes(profile->begin(), profile->end());
}

}  // namespace

std::vector<std::uint8_t> headerProfile(const ReadAt& read) {
  Source source(read);
  const auto start = source.at(0, 4);
  if (!start) return {};
  if (startsWith(*start, "\xFF\xD8")) return jpegProfile(source);
  if (startsWith(*start, "\x89PNG")) return pngProfile(source);
  if (startsWith(*start, "II*") || startsWith(*start, "II+")) return tiffProfile(source, true);
  if (startsWith(*start, "MM")) return tiffProfile(source, false);
  if (startsWith(*start, "BM")) return bmpProfile(source);
  return {};
}

std::vector<std::uint8_t> readHeaderProfile(const std::string& path) {
  const FileDescriptor fd = openSourceFile(path);
  struct stat info {};
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
  return headerProfile([&fd](std::uint64_t offset, std::span<std::uint8_t> out) {
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t got = ::pread(fd.get(), out.data() + done, out.size() - done,
                                  static_cast<off_t>(offset + done));
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    return done;
  });
}

}  // namespace quillane
