#include "image/decode/FileRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace quillane {
namespace {

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Unreadable, for the reason errno gives.
DecodeError systemFailure() { return DecodeError{.systemError = errno}; }

}  // namespace

Decoded<std::vector<std::uint8_t>> readWholeFile(const std::string& path, std::size_t maxBytes) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
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
