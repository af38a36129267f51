// The job streams its document into the output file. Here its file is held against the
// in-memory writer given the same images: identical bytes for the fixture folders (every
// format, transparency, later images smaller and larger than the first, PICT) and for
// random folders, with and without colour keying.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "image/PictFile.h"
#include "image/SourceFile.h"
#include "job/JobRecord.h"
#include "job/JobTestSupport.h"
#include "psd/PSDWriter.h"

namespace quillane {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

using jobtest::ScratchFolder;

Bytes readBytes(const std::string& path) {
  const std::string bytes = jobtest::readFile(path);
  return {bytes.begin(), bytes.end()};
}

// A 32-bit bottom-up BMP (B, G, R, A) of straight RGBA pixels, rows top to bottom.
void writeBmp32(const std::string& path, int width, int height, const Bytes& rgba) {
  std::string bytes = "BM";
  const auto put = [&bytes](std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  const std::uint32_t dataBytes = std::uint32_t(width) * std::uint32_t(height) * 4;
  put(14 + 40 + dataBytes, 4);
  put(0, 4);
  put(14 + 40, 4);
  put(40, 4);
  put(std::uint32_t(width), 4);
  put(std::uint32_t(height), 4);
  put(1, 2);
  put(32, 2);
  put(0, 4);  // BI_RGB
  put(dataBytes, 4);
  put(2835, 4);
  put(2835, 4);
  put(0, 4);
  put(0, 4);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = &rgba[(std::size_t(y) * width + x) * 4];
      bytes += {char(p[2]), char(p[1]), char(p[0]), char(p[3])};
    }
  }
  std::ofstream(path, std::ios::binary) << bytes;
}

std::optional<Image> decodeSource(const std::string& path) {
  auto image = decodeSourceFile(path);
  return image ? std::optional<Image>(std::move(*image)) : std::nullopt;
}

// The job's document made the in-memory way: the same canvas, keying and layers.
Bytes inMemoryJob(JobRecord& record, const std::vector<std::string>& files) {
  PSDWriter writer(record.imageFileSize(files.front()));
  writer.setShouldUnpremultiplyLayerData(true);
  for (const std::string& file : files) {
    std::optional<Image> image = decodeSource(file);
    if (image && record.optionTransparent != 0) {
      const float key = record.optionTransparent == 1 ? 1.0f : 0.0f;
      image = record.setTransparentColorToImage(*image, key, key, key);
    }
    if (!image) throw std::runtime_error("fixture does not decode: " + file);
    writer.addLayerWithImage(*image, fs::path(file).filename().string(), 1.0f, Point{});
  }
  return writer.createPSDData();
}

// Runs the job over the folder with each keying option and compares it with the in-memory
// document; answers how many files the folder held.
std::size_t expectStreamedEqualsInMemory(const fs::path& folder) {
  for (const std::int32_t option : {0, 1, 2}) {
    JobRecord record;
    record.optionTransparent = option;
    const std::vector<std::string> files = record.makeImageFileList(folder.string());
    if (files.empty()) return 0;
    ScratchFolder out;
    const std::string output = out.file("out.psd");
    record.createPSDFile(files, output);
    const Bytes streamed = readBytes(output);
    const Bytes expected = inMemoryJob(record, files);
    EXPECT_EQ(streamed.size(), expected.size()) << folder << " key " << option;
    EXPECT_TRUE(streamed == expected) << folder << " key " << option;
  }
  return JobRecord().makeImageFileList(folder.string()).size();
}

// The fixtures that decode, copied into a folder of their own (the job stops at the
// first unreadable file).
void copyDecodable(const fs::path& from, const ScratchFolder& to, const std::string& prefix = "") {
  for (const auto& entry : fs::directory_iterator(from)) {
    if (!entry.is_regular_file() || !JobRecord::isValidFileFormat(entry.path().string())) continue;
    if (!decodeSource(entry.path().string())) continue;
    fs::copy_file(entry.path(), to.file(prefix + entry.path().filename().string()));
  }
}

TEST(StreamedJob, FixtureFoldersMatchTheInMemoryDocument) {
  const fs::path data = QUILLANE_TEST_DATA_DIR;
  ScratchFolder images;
  copyDecodable(data / "images", images);
  EXPECT_GT(expectStreamedEqualsInMemory(images.path()), 20u);

  ScratchFolder picts;
  copyDecodable(data / "pict", picts);
  EXPECT_GT(expectStreamedEqualsInMemory(picts.path()), 3u);

  // PICT and bitmap files in one document, a PICT first.
  ScratchFolder mixed;
  copyDecodable(data / "pict", mixed, "a-");
  copyDecodable(data / "images", mixed, "b-");
  EXPECT_GT(expectStreamedEqualsInMemory(mixed.path()), 25u);
}

// Flat areas in white, black and colour, noise, and clear and half-transparent pixels.
Bytes randomPixels(std::mt19937& random, int width, int height) {
  std::uniform_int_distribution<int> byte(0, 255);
  const std::uint8_t palette[4][3] = {{255, 255, 255}, {0, 0, 0}, {30, 90, 200}, {255, 255, 254}};
  Bytes rgba(std::size_t(width) * height * 4);
  for (std::size_t i = 0; i < rgba.size(); i += 4) {
    const int pick = byte(random);
    for (int c = 0; c < 3; ++c) {
      rgba[i + c] = pick < 160 ? palette[(i / 4 / 7) % 4][c] : std::uint8_t(byte(random));
    }
    const int alpha = byte(random);
    rgba[i + 3] = alpha < 170 ? 255 : alpha < 210 ? 0 : std::uint8_t(byte(random));
  }
  rgba[3] = 255;  // an all-clear 32-bit BMP would read as opaque
  return rgba;
}

TEST(StreamedJob, RandomFoldersMatchTheInMemoryDocument) {
  std::mt19937 random(2026);
  std::uniform_int_distribution<int> side(1, 120);
  std::uniform_int_distribution<int> count(1, 6);
  for (int folderIndex = 0; folderIndex < 12; ++folderIndex) {
    ScratchFolder folder;
    const int files = count(random);
    for (int i = 0; i < files; ++i) {
      // The first two folders start with a canvas large enough for the writer to share its
      // work with its helper thread.
      const bool large = folderIndex < 2 && i == 0;
      const int width = large ? 640 : side(random);
      const int height = large ? 480 : side(random);
      writeBmp32(folder.file("image" + std::to_string(i) + ".bmp"), width, height,
                 randomPixels(random, width, height));
    }
    EXPECT_EQ(expectStreamedEqualsInMemory(folder.path()), std::size_t(files));
  }
}

}  // namespace
}  // namespace quillane
