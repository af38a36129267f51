#pragma once

#include <sys/types.h>

#include <cstddef>

namespace quillane {

// The system calls through which a document reaches the disk, each answering as the call of
// the same name does (errno set on failure). OutputFile and FileAppender make every such call
// through one of these, so that tests can make any of them fail.
class FileCalls {
 public:
  virtual ~FileCalls() = default;

  virtual int open(const char* path, int flags, mode_t mode);
  virtual int close(int fd);
  virtual ssize_t pwrite(int fd, const void* bytes, std::size_t count, off_t offset);
  virtual int fsync(int fd);
  // fcntl(fd, F_GETFL) and fcntl(fd, F_SETFL, flags).
  virtual int getFlags(int fd);
  virtual int setFlags(int fd, int flags);
  virtual int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags);
  virtual int rename(const char* from, const char* to);
  virtual int unlink(const char* path);
};

// The calls themselves.
FileCalls& systemFileCalls();

}  // namespace quillane
