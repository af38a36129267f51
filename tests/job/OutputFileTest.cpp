#include <filesystem>

#include <gtest/gtest.h>

#include "job/ErrorText.h"
#include "job/OutputFile.h"
#include "support/BmpBytes.h"
#include "support/JobSupport.h"
#include "support/TempFolder.h"
#include "util/Error.h"

namespace quillane {
namespace {

using testsupport::readFile;
using testsupport::TempFolder;

std::span<const std::uint8_t> bytesOf(const std::string& text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

void writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  OutputFile file(path);
  file.write(bytes);
  file.commit();
}

// The words for the error that writing `text` to path raises; empty when none is raised.
std::string writeFailure(const std::string& path, const std::string& text = "new") {
  try {
    writeFileAtomically(path, bytesOf(text));
  } catch (const Error& error) {
    return describeError(error).detail;
  }
  return {};
}

TEST(OutputFile, WritesAndReplacesLeavingNothingElse) {
  TempFolder folder;
  const std::string path = folder.file("out.psd");
  writeFileAtomically(path, bytesOf("first"));
  EXPECT_EQ(readFile(path), "first");
  writeFileAtomically(path, bytesOf("second, longer"));
  EXPECT_EQ(readFile(path), "second, longer");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.psd"});

  OutputFile file(path);  // chunks, as a streaming writer gives them
  for (const char* chunk : {"a", "bc", "", "def"}) file.write(bytesOf(chunk));
  file.commit();
  EXPECT_EQ(readFile(path), "abcdef");
}

TEST(OutputFile, ReplacedFileKeepsItsPermissions) {
  TempFolder folder;
  const std::string path = folder.write("out.psd", "old");
  std::filesystem::permissions(path, std::filesystem::perms(0640));
  writeFileAtomically(path, bytesOf("new"));
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
}

TEST(OutputFile, DiscardedFileLeavesTargetAsItWas) {
  TempFolder folder;
  const std::string path = folder.write("out.psd", "old");
  {
    OutputFile file(path);
    file.write(bytesOf("half of it"));
  }
  EXPECT_EQ(readFile(path), "old");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.psd"});
}

TEST(OutputFile, FailuresNameThePathAndTheSystemsReason) {
  TempFolder folder;
  std::filesystem::create_directory(folder.file("dir.psd"));
  folder.write("dir.psd/inside", "kept");
  const std::pair<std::string, std::string> cases[] = {
      {folder.file("missing/out.psd"), "No such file or directory"},
      {folder.file("dir.psd"), "Is a directory"},
      {"/proc/self/out.psd", ""},  // no file can be made there, not even by root
  };
  for (const auto& [path, reason] : cases) {
    const std::string failure = writeFailure(path);
    EXPECT_NE(failure.find(path + ": "), std::string::npos) << failure;
    EXPECT_NE(failure.find(reason), std::string::npos) << failure;
  }
  EXPECT_EQ(readFile(folder.file("dir.psd/inside")), "kept");
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"dir.psd"});
}

}  // namespace
}  // namespace quillane
