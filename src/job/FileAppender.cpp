#include "job/FileAppender.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace quillane {
namespace {

// One filling, one being written, one spare for an uneven disk.
constexpr std::size_t kChunkCount = 3;
// Direct writes need buffers, offsets and lengths aligned to the device's block size; a page
// is a multiple of every block size in use.
constexpr std::size_t kDirectAlignment = 4096;

}  // namespace

FileAppender::FileAppender(int fd, FileCalls& calls) : fd_(fd), calls_(calls) {}

FileAppender::~FileAppender() { stopWriter(); }

std::error_code FileAppender::append(std::span<const std::uint8_t> bytes) {
  if (drained_) {
    if (failure() == 0) (void)writeNow(appended_, bytes);
    appended_ += bytes.size();
    return answer();
  }
  while (!bytes.empty()) {
    if (!filling_) {
      filling_ = freeChunk();
      if (!filling_) return answer();
      filling_->filled = 0;
      filling_->offset = appended_;
    }
    const std::size_t count = std::min(bytes.size(), kChunkBytes - filling_->filled);
    std::memcpy(filling_->bytes.get() + filling_->filled, bytes.data(), count);
    filling_->filled += count;
    appended_ += count;
    bytes = bytes.subspan(count);
    if (filling_->filled == kChunkBytes) {
      queue(filling_);
      filling_ = nullptr;
    }
  }
  return answer();
}

std::error_code FileAppender::drain() {
  if (drained_) return answer();
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return queued_.empty(); });
  }
  stopWriter();
  drained_ = true;
  if (direct_ && !setDirect(false)) {
    std::lock_guard lock(mutex_);
    if (!error_) error_ = errno;
  }
  // The last chunk is not a whole number of blocks: it goes through the page cache.
  if (filling_ && !failure()) {
    (void)writeNow(filling_->offset, {filling_->bytes.get(), filling_->filled});
  }
  filling_ = nullptr;
  chunks_.clear();
  free_.clear();
  return answer();
}

std::error_code FileAppender::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (const std::error_code error = drain()) return error;
  (void)writeNow(offset, bytes);
  return answer();
}

// Writes every byte at offset through the ordinary path: 0, or errno.
int FileAppender::writeAll(const std::uint8_t* bytes, std::size_t count, std::uint64_t offset) {
  while (count > 0) {
    const ssize_t written = calls_.pwrite(fd_, bytes, count, static_cast<off_t>(offset));
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;  // ENOSPC, EFBIG, EIO, EDQUOT ...
    }
    if (written == 0) return EIO;
    bytes += written;
    count -= static_cast<std::size_t>(written);
    offset += static_cast<std::uint64_t>(written);
  }
  return 0;
}

bool FileAppender::setDirect(bool direct) {
  const int flags = calls_.getFlags(fd_);
  if (flags < 0) return false;
  const int wanted = direct ? flags | O_DIRECT : flags & ~O_DIRECT;
  return wanted == flags || calls_.setFlags(fd_, wanted) == 0;
}

// Writes through the page cache on this thread, keeping a failure as the one to answer.
int FileAppender::writeNow(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  const int error = writeAll(bytes.data(), bytes.size(), offset);
  if (error) {
    std::lock_guard lock(mutex_);
    if (!error_) error_ = error;
  }
  return error;
}

FileAppender::Chunk* FileAppender::freeChunk() {
  if (chunks_.empty()) startWriter();
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !free_.empty() || error_ != 0; });
  if (error_) return nullptr;
  Chunk* chunk = free_.back();
  free_.pop_back();
  return chunk;
}

void FileAppender::startWriter() {
  chunks_.resize(kChunkCount);
  for (Chunk& chunk : chunks_) {
    chunk.bytes.reset(
        static_cast<std::uint8_t*>(std::aligned_alloc(kDirectAlignment, kChunkBytes)));
    if (!chunk.bytes) throw std::bad_alloc();
  }
  for (Chunk& chunk : chunks_) free_.push_back(&chunk);
  direct_ = setDirect(true);
  writer_ = std::thread([this] { writerLoop(); });
}

void FileAppender::queue(Chunk* chunk) {
  {
    std::lock_guard lock(mutex_);
    queued_.push_back(chunk);
  }
  changed_.notify_all();
}

void FileAppender::writerLoop() {
  for (;;) {
    Chunk* chunk = nullptr;
    bool failed = false;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return !queued_.empty() || stopping_; });
      if (stopping_) return;
      chunk = queued_.front();
      failed = error_ != 0;
    }
    const int error = failed ? 0 : writeChunk(*chunk);
    {
      std::lock_guard lock(mutex_);
      queued_.pop_front();
      free_.push_back(chunk);
      if (error && !error_) error_ = error;
    }
    changed_.notify_all();
  }
}

// A whole chunk, directly where possible. A file system that refuses the direct write
// (EINVAL), or a short one (the file-size limit, a full disk), sends this chunk and the
// rest through the page cache, where the failure, if any, shows with its own errno.
int FileAppender::writeChunk(const Chunk& chunk) {
  std::size_t done = 0;
  while (direct_) {
    const ssize_t written =
        calls_.pwrite(fd_, chunk.bytes.get(), chunk.filled, static_cast<off_t>(chunk.offset));
    if (written < 0 && errno == EINTR) continue;
    if (written == static_cast<ssize_t>(chunk.filled)) return 0;
    if (written < 0 && errno != EINVAL) return errno;
    done = written > 0 ? static_cast<std::size_t>(written) : 0;
    direct_ = false;
    if (!setDirect(false)) return errno;
  }
  const int error = writeAll(chunk.bytes.get() + done, chunk.filled - done, chunk.offset + done);
  if (!error) {
    // Only a hint: failures show up in the final flush.
    (void)::sync_file_range(fd_, static_cast<off_t>(chunk.offset), static_cast<off_t>(chunk.filled),
                            SYNC_FILE_RANGE_WRITE);
  }
  return error;
}

void FileAppender::stopWriter() {
  if (!writer_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  writer_.join();
}

int FileAppender::failure() {
  std::lock_guard lock(mutex_);
  return error_;
}

}  // namespace quillane
