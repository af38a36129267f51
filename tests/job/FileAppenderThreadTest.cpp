#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "job/FileAppender.h"
#include "support/JobSupport.h"
#include "support/TempFolder.h"

namespace quillane {
namespace {

using Bytes = std::vector<std::uint8_t>;

// An open, empty file in folder, removed when done.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& folder) : path_(folder + "/appender-XXXXXX") {
    fd_ = ::mkstemp(path_.data());
  }
  ~ScratchFile() {
    if (fd_ >= 0) ::close(fd_);
    ::unlink(path_.c_str());
  }
  int fd() const { return fd_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

Bytes randomBytes(std::mt19937& random, std::size_t count) {
  Bytes bytes(count);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

// Pieces of every size, from one byte to more than a chunk, as a writer hands them over.
void appendInPieces(FileAppender& appender, const Bytes& bytes, std::mt19937& random) {
  std::uniform_int_distribution<std::size_t> pieceSize(1, std::size_t{5} << 20);
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t count = std::min(bytes.size() - at, at % 3 == 0 ? 1 : pieceSize(random));
    ASSERT_FALSE(appender.append({bytes.data() + at, count}));
    at += count;
  }
}

// A disk slower than the writer fills chunks: every chunk is queued and the next append
// waits for one to come free.
class SlowWrites : public FileCalls {
 public:
  ssize_t pwrite(int fd, const void* bytes, std::size_t count, off_t offset) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return FileCalls::pwrite(fd, bytes, count, offset);
  }
};

TEST(FileAppender, WritesEveryByteInOrderOnDiskAndInMemoryFileSystems) {
  testsupport::TempFolder disk;
  std::vector<std::string> folders{disk.path()};
  if (std::filesystem::is_directory("/dev/shm")) folders.push_back("/dev/shm");
  std::mt19937 random(7);
  SlowWrites slowWrites;
  for (FileCalls* calls : {&systemFileCalls(), static_cast<FileCalls*>(&slowWrites)}) {
    for (const std::string& folder : folders) {
      SCOPED_TRACE(folder + (calls == &slowWrites ? ", slow disk" : ""));
      ScratchFile file(folder);
      ASSERT_GE(file.fd(), 0);
      const Bytes streamed = randomBytes(random, (std::size_t{13} << 20) + 12345);
      const Bytes after = randomBytes(random, 777);
      {
        FileAppender appender(file.fd(), *calls);
        appendInPieces(appender, streamed, random);
        ASSERT_FALSE(appender.drain());
        ASSERT_FALSE(appender.append(after));  // after draining: written at once
        EXPECT_EQ(appender.size(), streamed.size() + after.size());
        ASSERT_FALSE(appender.drain());
      }
      Bytes expected = streamed;
      expected.insert(expected.end(), after.begin(), after.end());
      const std::string written = testsupport::readFile(file.path());
      ASSERT_EQ(written.size(), expected.size());
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(),
                             reinterpret_cast<const std::uint8_t*>(written.data())));
    }
  }
}

}  // namespace
}  // namespace quillane
