#include "job/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>

#include "util/Error.h"

namespace quillane {
namespace {

// Temporary names are random; a clash is retried, and this many clashes in a row mean
// something else is wrong with the folder.
constexpr int kMaxTemporaryNameAttempts = 100;

// The temporary files that exist under a name and are not committed yet, so that a process
// ending at once can remove them. The lock also orders each rename against abandonment.
std::mutex& pendingMutex() {
  static std::mutex mutex;
  return mutex;
}
std::set<std::string>& pendingNames() {
  static std::set<std::string> names;
  return names;
}

std::string randomSuffix() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 generator{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  std::string suffix(8, ' ');
  for (char& c : suffix) c = kLetters[pick(generator)];
  return suffix;
}

std::string folderOf(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

std::string temporaryName(const std::string& folder, const std::string& path) {
  const std::string base = std::filesystem::path(path).filename().string();
  return folder + "/." + base + "." + randomSuffix() + ".tmp";
}

}  // namespace

OutputFile::OutputFile(std::string path, FileCalls& calls)
    : path_(std::move(path)), folder_(folderOf(path_)), calls_(calls) {
  struct stat target {};
  const bool targetExists = ::stat(path_.c_str(), &target) == 0;
  if (targetExists && S_ISDIR(target.st_mode)) fail(EISDIR);

  openTemporary();
  appender_ = std::make_unique<FileAppender>(fd_, calls_);
  // A replaced file keeps its permissions, as it would if it were rewritten in place.
  if (targetExists && S_ISREG(target.st_mode)) (void)::fchmod(fd_, target.st_mode & 07777);
}

OutputFile::~OutputFile() {
  appender_.reset();  // its writer uses the file
  if (!committed_ && !temporaryPath_.empty()) {
    std::lock_guard lock(pendingMutex());
    calls_.unlink(temporaryPath_.c_str());
    pendingNames().erase(temporaryPath_);
  }
  if (fd_ >= 0) calls_.close(fd_);
}

void OutputFile::fail(int error) const {
  Error failure(ErrorKind::WriteFailed, path_);
  failure.systemError = error;
  throw failure;
}

void OutputFile::openTemporary() {
  // An unnamed file vanishes by itself if the process dies before the commit.
  fd_ = calls_.open(folder_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ >= 0) return;
  if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) fail(errno);

  // The file system has no unnamed files: a named one, removed on every failure.
  for (int attempt = 0; attempt < kMaxTemporaryNameAttempts; ++attempt) {
    std::string name = temporaryName(folder_, path_);
    std::lock_guard lock(pendingMutex());
    fd_ = calls_.open(name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      pendingNames().insert(name);
      temporaryPath_ = std::move(name);
      return;
    }
    if (errno != EEXIST) fail(errno);
  }
  fail(EEXIST);
}

void OutputFile::write(std::span<const std::uint8_t> bytes) {
  if (const std::error_code error = appender_->append(bytes)) fail(error.value());
}

void OutputFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  if (const std::error_code error = appender_->writeAt(offset, bytes)) fail(error.value());
}

bool OutputFile::linkUnnamedAs(const std::string& name) const {
  const std::string procPath = "/proc/self/fd/" + std::to_string(fd_);
  int result = calls_.linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW);
  if (result != 0 && errno == ENOENT)  // no /proc: needs CAP_DAC_READ_SEARCH, may fail too
    result = calls_.linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH);
  return result == 0;
}

// Gives the unnamed file a temporary name in the folder; rename() then replaces the target,
// which linkat() alone cannot do.
std::string OutputFile::linkTemporary() {
  for (int attempt = 0; attempt < kMaxTemporaryNameAttempts; ++attempt) {
    std::string name = temporaryName(folder_, path_);
    std::lock_guard lock(pendingMutex());
    if (linkUnnamedAs(name)) {
      pendingNames().insert(name);
      return name;
    }
    if (errno != EEXIST) fail(errno);
  }
  fail(EEXIST);
}

void OutputFile::commit() {
  if (const std::error_code error = appender_->drain()) fail(error.value());
  if (calls_.fsync(fd_) != 0) fail(errno);
  if (temporaryPath_.empty()) {
    // Nothing at the path yet: the unnamed file takes the name in one step, so that no
    // temporary name ever exists. Otherwise it gets one for the rename that replaces.
    std::unique_lock lock(pendingMutex());
    committed_ = linkUnnamedAs(path_);
    if (!committed_ && errno != EEXIST) fail(errno);
    lock.unlock();
    if (!committed_) temporaryPath_ = linkTemporary();
  }
  if (!committed_) {
    std::lock_guard lock(pendingMutex());
    if (calls_.rename(temporaryPath_.c_str(), path_.c_str()) != 0) fail(errno);
    pendingNames().erase(temporaryPath_);
    committed_ = true;
  }
  calls_.close(fd_);
  fd_ = -1;

  // Makes the new name durable. The file is in place already, so a folder that cannot be
  // synced (some file systems refuse) is no failure.
  const int folderFd = calls_.open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
  if (folderFd >= 0) {
    (void)calls_.fsync(folderFd);
    calls_.close(folderFd);
  }
}

void abandonOutputFiles() {
  pendingMutex().lock();  // never unlocked: the process ends right after
  for (const std::string& name : pendingNames()) ::unlink(name.c_str());
  pendingNames().clear();
}

}  // namespace quillane
