#include "image/FileRead.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace quillane {
namespace {

namespace fs = std::filesystem;

class FileRead : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::path(::testing::TempDir()) / "quillane-file-read";
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    std::ofstream(folder_ / "data.bin", std::ios::binary) << "0123456789";
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string at(const char* name) const { return (folder_ / name).string(); }

  fs::path folder_;
};

TEST_F(FileRead, ReadsARegularFileWhole) {
  const auto bytes = readWholeFile(at("data.bin"));
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "0123456789");
  std::ofstream(folder_ / "empty.bin");
  const auto empty = readWholeFile(at("empty.bin"));
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());
}

TEST_F(FileRead, RefusesLinksDirectoriesFifosMissingAndOversizedFiles) {
  fs::create_symlink(folder_ / "data.bin", folder_ / "link.bin");
  ASSERT_EQ(::mkfifo(at("pipe.bin").c_str(), 0600), 0);  // opening it must not block
  fs::create_directory(folder_ / "folder.png");
  EXPECT_FALSE(readWholeFile(at("link.bin")));
  EXPECT_FALSE(readWholeFile(at("pipe.bin")));
  EXPECT_FALSE(readWholeFile(at("folder.png")));
  EXPECT_FALSE(readWholeFile(at("missing.bin")));
  EXPECT_FALSE(readWholeFile(at("data.bin"), 9));
  EXPECT_TRUE(readWholeFile(at("data.bin"), 10));
}

}  // namespace
}  // namespace quillane
