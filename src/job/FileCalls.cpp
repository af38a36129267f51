#include "job/FileCalls.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace quillane {

int FileCalls::open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

int FileCalls::close(int fd) { return ::close(fd); }

ssize_t FileCalls::pwrite(int fd, const void* bytes, std::size_t count, off_t offset) {
  return ::pwrite(fd, bytes, count, offset);
}

int FileCalls::fsync(int fd) { return ::fsync(fd); }

int FileCalls::getFlags(int fd) { return ::fcntl(fd, F_GETFL); }

int FileCalls::setFlags(int fd, int flags) { return ::fcntl(fd, F_SETFL, flags); }

int FileCalls::linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) {
  return ::linkat(fromFolder, from, toFolder, to, flags);
}

int FileCalls::rename(const char* from, const char* to) { return std::rename(from, to); }

int FileCalls::unlink(const char* path) { return ::unlink(path); }

FileCalls& systemFileCalls() {
  static FileCalls calls;
  return calls;
}

}  // namespace quillane
