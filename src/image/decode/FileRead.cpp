#include "image/decode/FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quillane {
namespace {

// Unreadable, for the reason errno gives.
DecodeError systemFailure() { return DecodeError{.systemError = errno}; }

}  // namespace

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

FileDescriptor openSourceFile(const std::string& path) {
  return FileDescriptor(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
}

Decoded<std::vector<std::uint8_t>> readWholeFile(const std::string& path, std::size_t maxBytes) {
  const FileDescriptor fd = openSourceFile(path);
  if (fd.get() < 0) return systemFailure();
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) return systemFailure();
  if (!S_ISREG(info.st_mode)) return DecodeFailure::Unreadable;
  if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > maxBytes)
    return DecodeFailure::Unreadable;

  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return systemFailure();
    if (got == 0) return DecodeFailure::Unreadable;  // the file shrank while we read it
    done += static_cast<std::size_t>(got);
  }
  return bytes;
}

}  // namespace quillane
