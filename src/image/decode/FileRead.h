#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/decode/Decoded.h"

namespace quillane {

// Source files larger than this are refused unread: no image we accept needs more
// (30000 x 30000 RGBA is 3.6 GB decoded, but every accepted format compresses or is
// smaller in practice; a BMP of that size would be refused by its header anyway).
inline constexpr std::size_t kMaxSourceFileBytes = std::size_t{2} << 30;

// An open file descriptor, closed with it.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Opens a source file for reading, without following a symbolic link and without blocking (a
// FIFO must not hang the job); -1 inside on a failure, with errno.
FileDescriptor openSourceFile(const std::string& path);

// Reads a regular file whole. The file is opened without following a symbolic link and
// without blocking (a FIFO must not hang the job), checked to be a regular file once open,
// and refused when larger than maxBytes. Nothing on any failure but memory that cannot be
// had, which throws std::bad_alloc; the error is unreadable, with errno where a call failed.
Decoded<std::vector<std::uint8_t>> readWholeFile(const std::string& path,
                                                 std::size_t maxBytes = kMaxSourceFileBytes);

}  // namespace quillane
