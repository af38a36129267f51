#pragma once

#include <fcntl.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "job/FileCalls.h"

namespace quillane::testsupport {

// The system's file calls, failing as told. Direct I/O is only pretended (the file system
// under test may refuse it), but with its rules: a direct write must be aligned, or EINVAL.
class FaultyFileCalls : public FileCalls {
 public:
  enum class Call { Open, Pwrite, Fsync, SetFlags, Linkat, Rename };
  // The nth call of its kind (from 1, on any thread), and the times - 1 after it, fail with
  // error; a pwrite with error 0 writes half of its bytes instead, with -1 none.
  struct Fault {
    Call call;
    int nth;
    int error;
    int times = 1;
  };

  std::atomic<int> openFiles = 0;  // opened and not closed yet

  explicit FaultyFileCalls(std::vector<Fault> faults, bool unnamedFiles = true)
      : faults_(std::move(faults)), unnamedFiles_(unnamedFiles) {}

  int open(const char* path, int flags, mode_t mode) override {
    if ((flags & O_TMPFILE) == O_TMPFILE && !unnamedFiles_) return failWith(EOPNOTSUPP);
    const int fd = orFault(Call::Open, [&] { return FileCalls::open(path, flags, mode); });
    openFiles += fd >= 0 ? 1 : 0;
    return fd;
  }
  int close(int fd) override {
    --openFiles;
    return FileCalls::close(fd);
  }
  ssize_t pwrite(int fd, const void* bytes, std::size_t count, off_t offset) override {
    const auto error = fault(Call::Pwrite);
    if (error && *error != 0) return *error < 0 ? 0 : failWith(*error);
    if (direct_ && (offset % kBlock || count % kBlock || std::uintptr_t(bytes) % kBlock))
      return failWith(EINVAL);
    return FileCalls::pwrite(fd, bytes, error && count > 1 ? count / 2 : count, offset);
  }
  int fsync(int fd) override {
    return orFault(Call::Fsync, [&] { return FileCalls::fsync(fd); });
  }
  int getFlags(int fd) override {
    const int flags = FileCalls::getFlags(fd);
    return flags < 0 || !direct_ ? flags : flags | O_DIRECT;
  }
  int setFlags(int fd, int flags) override {
    return orFault(Call::SetFlags, [&] {
      direct_ = (flags & O_DIRECT) != 0;
      return FileCalls::setFlags(fd, flags & ~O_DIRECT);
    });
  }
  int linkat(int fromFolder, const char* from, int toFolder, const char* to, int flags) override {
    return orFault(Call::Linkat,
                   [&] { return FileCalls::linkat(fromFolder, from, toFolder, to, flags); });
  }
  int rename(const char* from, const char* to) override {
    return orFault(Call::Rename, [&] { return FileCalls::rename(from, to); });
  }

 private:
  static constexpr std::size_t kBlock = 4096;

  static int failWith(int error) {
    errno = error;
    return -1;
  }

  // The error of the fault planned for this call, if one is.
  std::optional<int> fault(Call call) {
    std::lock_guard lock(mutex_);
    const int n = ++counts_[call];
    for (const Fault& planned : faults_) {
      if (planned.call == call && n >= planned.nth && n < planned.nth + planned.times)
        return planned.error;
    }
    return std::nullopt;
  }
  template <class SystemCall>
  int orFault(Call call, SystemCall systemCall) {
    const auto error = fault(call);
    return error ? failWith(*error) : systemCall();
  }

  std::vector<Fault> faults_;
  const bool unnamedFiles_;
  std::mutex mutex_;
  std::map<Call, int> counts_;
  std::atomic<bool> direct_ = false;
};

}  // namespace quillane::testsupport
