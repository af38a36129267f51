// A PNG streamed a band of rows at a time gives the whole decoder's rows and failures.
#include "image/decode/PngStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
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

}  // namespace
}  // namespace quillane
