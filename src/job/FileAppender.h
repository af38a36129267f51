#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <system_error>
#include <thread>
#include <vector>

#include "job/FileCalls.h"

namespace quillane {

// Appends to a file past the page cache where the file system allows it (O_DIRECT): bytes
// are gathered into aligned chunks, and a writer thread hands each full chunk to the disk
// while the next one fills. A document of hundreds of megabytes then costs no copy into the
// page cache, whose fresh pages were the slowest part of writing it, and leaves no dirty
// pages for the final flush. Where direct writes are refused, the same chunks go through the
// page cache, handed to the disk in the background as they are written.
//
// Failures are answered as system error codes: the first one sticks, and every later call
// answers it.
class FileAppender {
 public:
  // The bytes handed to the disk at once. Large enough that the disk sees few, long
  // requests; small enough that the chunks stay few megabytes in all.
  static constexpr std::size_t kChunkBytes = std::size_t{4} << 20;

  // fd: open for writing and empty; not owned, and must outlive the appender, as must calls.
  explicit FileAppender(int fd, FileCalls& calls = systemFileCalls());
  // Stops the writer thread; chunks not yet written are dropped.
  ~FileAppender();
  FileAppender(const FileAppender&) = delete;
  FileAppender& operator=(const FileAppender&) = delete;

  // Appends the bytes: no error, or that of this or an earlier failure.
  std::error_code append(std::span<const std::uint8_t> bytes);
  // Writes out everything appended so far and stops the writer thread; later appends are
  // written at once, through the page cache. Call it before rewriting earlier bytes or
  // flushing the file. No error, or that of the first failure.
  std::error_code drain();
  // Drains, then writes the bytes at offset over what is there. No error, or that of the
  // first failure.
  std::error_code writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);

  std::uint64_t size() const { return appended_; }

 private:
  struct FreeBytes {
    void operator()(std::uint8_t* bytes) const { std::free(bytes); }
  };
  struct Chunk {
    std::unique_ptr<std::uint8_t, FreeBytes> bytes;
    std::size_t filled = 0;
    std::uint64_t offset = 0;
  };

  Chunk* freeChunk();
  void startWriter();
  void queue(Chunk* chunk);
  void writerLoop();
  int writeChunk(const Chunk& chunk);
  int writeNow(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  int writeAll(const std::uint8_t* bytes, std::size_t count, std::uint64_t offset);
  bool setDirect(bool direct);
  void stopWriter();
  int failure();
  std::error_code answer() { return {failure(), std::generic_category()}; }

  const int fd_;
  FileCalls& calls_;
  std::uint64_t appended_ = 0;
  bool drained_ = false;
  Chunk* filling_ = nullptr;
  std::vector<Chunk> chunks_;  // made when the first chunk is needed

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Chunk*> queued_;  // oldest first; the front one is being written
  std::vector<Chunk*> free_;
  bool stopping_ = false;
  bool direct_ = false;  // used by the writer thread, and by drain() once it has stopped
  int error_ = 0;
  std::thread writer_;
};

}  // namespace quillane
