// A PNG streamed a band of rows at a time gives the whole decoder's rows and failures.
#include "image/decode/PngStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image/DecodePatterns.h"

namespace quillane {
namespace {

// The kept rows read in bands of 1, 7 and the rest, or the first failure.
Decoded<std::vector<std::uint8_t>> streamedRows(PngRowStream& stream) {
  const std::size_t rowBytes = static_cast<std::size_t>(stream.width()) * 4;
  std::vector<std::uint8_t> rows(rowBytes * static_cast<std::size_t>(stream.height()));
  int done = 0;
  for (const int band : {1, 7, stream.height()}) {
    const int count = std::min(band, stream.height() - done);
    if (const auto failure = stream.readRows(rows.data() + rowBytes * done, count)) return *failure;
    done += count;
  }
  return rows;
}

// The stream's answer, rows and header, is the whole decoder's.
void expectSameAnswer(PngRowStream& stream, const Decoded<DecodedImage>& whole) {
  const auto rows = streamedRows(stream);
  ASSERT_EQ(bool(rows), bool(whole));
  if (!whole) {
    EXPECT_EQ(rows.error().kind, whole.error().kind);
    return;
  }
  EXPECT_EQ(stream.width(), whole->bitmap.width);
  EXPECT_EQ(stream.height(), whole->bitmap.height);
  EXPECT_EQ(stream.knownOpaque(), whole->bitmap.knownOpaque);
  EXPECT_EQ(stream.header().resolution, whole->resolution);
  EXPECT_EQ(stream.header().iccProfile, whole->iccProfile);
  EXPECT_TRUE(std::equal(rows->begin(), rows->end(), whole->bitmap.pixels.begin(),
                         whole->bitmap.pixels.end()));
}

const DecodeRequest kRequests[] = {{}, {5, 4}, {13, 3}, {4, 11}};

TEST(PngStream, RowsAreTheWholeDecodersForEveryFileThatStreams) {
  std::vector<std::string> streamed;
  for (const auto& entry : std::filesystem::directory_iterator(testing::dataPath("images"))) {
    const std::string path = entry.path().string();
    if (entry.path().extension() != ".png") continue;
    for (const DecodeRequest& request : kRequests) {
      SCOPED_TRACE(path + " kept " + std::to_string(request.keepWidth));
      const auto stream = PngRowStream::open(path, request);
      if (!stream) continue;
      if (request.keepWidth == kRequests[0].keepWidth)
        streamed.push_back(entry.path().filename().string());
      expectSameAnswer(*stream, decodeSourceFile(path, request));
    }
  }
  std::sort(streamed.begin(), streamed.end());
  EXPECT_EQ(streamed,
            (std::vector<std::string>{"png-600x400-300dpi.png", "png-rgb8.png",
                                      "png-rgba8-filters.png", "png-rgba8.png",
                                      "profile-png-iccp.png", "profile-png-srgb-and-iccp.png"}));
}

// Only non-interlaced PNGs of 8-bit RGB (without tRNS) or RGBA stream, and only a part of at
// least a pixel from the top-left corner.
TEST(PngStream, OpensOnlyTheFilesThatStream) {
  const struct {
    const char* file;
    DecodeRequest request;
  } cases[] = {
      {"images/png-rgba8-interlaced.png", {}}, {"images/png-rgba16.png", {}},
      {"images/png-palette8-trns.png", {}},    {"images/png-grey8.png", {}},
      {"images/png-rgb8-trns.png", {}},        {"images/png-rgba8.png", {0, 5}},
      {"images/png-rgba8.png", {13, 11, 1}},   {"bad/png-cut-after-ihdr.png", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PngRowStream::open(testing::dataPath(c.file), c.request), nullptr) << c.file;
}

using Bytes = std::vector<std::uint8_t>;

std::uint32_t crcOf(const std::uint8_t* bytes, std::size_t n) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= bytes[i];
    for (int k = 0; k < 8; ++k) crc = crc >> 1 ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

void putU32(Bytes& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(value >> shift));
}

void putChunk(Bytes& out, const char* type, const Bytes& data) {
  putU32(out, std::uint32_t(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  putU32(out, crcOf(out.data() + start, out.size() - start));
}

// Rows of `width` RGBA pixels with the given filter bytes, in stored deflate blocks.
Bytes storedImageData(const Bytes& filters, std::size_t width = 4) {
  Bytes raw;
  for (std::size_t y = 0; y < filters.size(); ++y) {
    raw.push_back(filters[y]);
    for (std::size_t i = 0; i < width * 4; ++i) raw.push_back(std::uint8_t(y * 40 + i * 7));
  }
  Bytes data = {0x78, 0x01};
  for (std::size_t at = 0; at < raw.size(); at += 0xFFFF) {
    const std::size_t n = std::min<std::size_t>(0xFFFF, raw.size() - at);
    for (const std::size_t byte : {std::size_t(at + n == raw.size()), n, n >> 8, ~n, ~n >> 8})
      data.push_back(std::uint8_t(byte));
    data.insert(data.end(), raw.begin() + long(at), raw.begin() + long(at + n));
  }
  std::uint32_t a = 1, b = 0;
  for (const std::uint8_t byte : raw) b = (b + (a = (a + byte) % 65521)) % 65521;
  putU32(data, b << 16 | a);
  return data;
}

// A `width` x 6 RGBA PNG: its image data in the given chunks, then the given chunks after them.
Bytes pngOf(const std::vector<Bytes>& idats,
            const std::vector<std::pair<const char*, Bytes>>& after = {{"IEND", {}}},
            std::uint32_t width = 4) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes header;
  putU32(header, width);
  putU32(header, 6);
  header.insert(header.end(), {8, 6, 0, 0, 0});
  putChunk(png, "IHDR", header);
  for (const Bytes& idat : idats) putChunk(png, "IDAT", idat);
  for (const auto& [type, data] : after) putChunk(png, type, data);
  return png;
}

// The image data cut into pieces of n bytes.
std::vector<Bytes> piecesOf(const Bytes& data, std::size_t n) {
  std::vector<Bytes> pieces;
  for (std::size_t i = 0; i < data.size(); i += n)
    pieces.emplace_back(data.begin() + long(i), data.begin() + long(std::min(i + n, data.size())));
  return pieces;
}

// Sound and damaged files give, whole and in parts, what the whole decoder gives: the same
// rows or the same kind of failure, damage met before the kept rows or after them.
TEST(PngStream, DamagedFilesGiveTheWholeDecodersAnswer) {
  const Bytes sound = storedImageData({0, 1, 2, 3, 4, 1});
  Bytes flipped = sound;
  flipped[20] ^= 0x10;
  Bytes badAdler = sound;
  badAdler.back() ^= 1;
  std::vector<Bytes> pieces = piecesOf(sound, 1);
  pieces.insert(pieces.begin(), Bytes{});
  Bytes window16k = sound;
  window16k[0] = 0x68;
  window16k[1] = 0x81;  // its check bits fixed
  // One chunk larger than the stream reads at a time, and that chunk with a wrong CRC.
  const Bytes wide = pngOf({storedImageData(Bytes(6, 1), 50000)}, {{"IEND", {}}}, 50000);
  Bytes wideBadCrc = wide;
  wideBadCrc[wide.size() - 13] ^= 1;
  Bytes realFlipped = testing::dataBytes("images/png-rgba8.png");
  realFlipped[8 + 25 + 8 + 100] ^= 0x10;  // in the data of its one IDAT chunk
  std::map<std::string, Bytes> files = {
      {"sound", pngOf({sound})},
      {"in chunks of 1 byte, an empty one first", pngOf(pieces)},
      {"filter 5 in row 3", pngOf({storedImageData({0, 1, 2, 5, 4, 1})})},
      {"filter 5 in the last row", pngOf({storedImageData({0, 1, 2, 3, 4, 5})})},
      {"a flipped byte, its CRC fixed", pngOf({flipped})},
      {"a wrong Adler-32", pngOf({badAdler})},
      {"a 16 KiB window", pngOf({window16k})},
      {"text between the chunks", pngOf({Bytes(sound.begin(), sound.begin() + 40)},
                                        {{"tEXt", {'a', 0, 'b'}},
                                         {"IDAT", Bytes(sound.begin() + 40, sound.end())},
                                         {"IEND", {}}})},
      {"text after the data", pngOf({sound}, {{"tEXt", {'a', 0, 'b'}}, {"IEND", {}}})},
      {"no IEND", pngOf({sound}, {})},
      {"IEND not empty", pngOf({sound}, {{"IEND", {0}}})},
      {"a real file, a byte of data flipped", realFlipped},
      {"one chunk of 1.2 MB", wide},
      {"one chunk of 1.2 MB, its CRC wrong", wideBadCrc},
  };
  for (const auto& entry : std::filesystem::directory_iterator(testing::dataPath("bad")))
    if (entry.path().extension() == ".png")
      files[entry.path().filename().string()] =
          testing::dataBytes("bad/" + entry.path().filename().string());
  for (const auto& [name, bytes] : files) {
    for (const DecodeRequest& request :
         {DecodeRequest{}, DecodeRequest{4, 3}, DecodeRequest{3, 6}, DecodeRequest{13, 4}}) {
      SCOPED_TRACE(name + " kept " + std::to_string(request.keepWidth) + " x " +
                   std::to_string(request.keepHeight));
      const auto stream = PngRowStream::openBytes(bytes, request);
      if (stream) expectSameAnswer(*stream, decodeImage(bytes, request));
    }
  }
}

}  // namespace
}  // namespace quillane
