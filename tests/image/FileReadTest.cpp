#include "image/decode/FileRead.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/TempFolder.h"

namespace quillane {
namespace {

TEST(FileRead, ReadsRegularFilesWholeAndRefusesEverythingElse) {
  const testsupport::TempFolder folder;
  const auto data = folder.write("data.bin", "0123456789");
  const auto bytes = readWholeFile(data);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(std::string(bytes->begin(), bytes->end()), "0123456789");
  const auto empty = readWholeFile(folder.write("empty.bin", ""));
  ASSERT_TRUE(empty);
  EXPECT_TRUE(empty->empty());

  std::filesystem::create_symlink(data, folder.file("link.bin"));
  ASSERT_EQ(::mkfifo(folder.file("pipe.bin").c_str(), 0600), 0);  // opening it must not block
  for (const std::string& path : {folder.file("link.bin"), folder.file("pipe.bin"),
                                  folder.makeFolder("folder.png"), folder.file("missing.bin")}) {
    EXPECT_FALSE(readWholeFile(path)) << path;
  }
  EXPECT_FALSE(readWholeFile(data, 9));
  EXPECT_TRUE(readWholeFile(data, 10));
}

}  // namespace
}  // namespace quillane
