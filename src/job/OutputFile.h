#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "job/FileAppender.h"

namespace quillane {

// A file written atomically: the bytes go to a temporary file in the target's folder, and
// commit() moves it over the target in one step. Until then the target stays as it was;
// an object destroyed without commit() leaves nothing behind. Every failure raises
// quillane::Error{WriteFailed} with the target path and the errno.
//
//   OutputFile file(path);
//   file.write(chunk);  // as often as needed
//   file.commit();
class OutputFile {
 public:
  // calls: the system calls the file is made with; must outlive the object.
  explicit OutputFile(std::string path, FileCalls& calls = systemFileCalls());
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  const std::string& path() const { return path_; }

  void write(std::span<const std::uint8_t> bytes);
  // Rewrites bytes already written, offset bytes from the start of the file.
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Flushes the bytes to the disk and puts the file at the path, replacing what was there.
  void commit();

 private:
  [[noreturn]] void fail(int systemError) const;
  void openTemporary();
  // Gives the unnamed file the name; false (errno set) when it cannot.
  bool linkUnnamedAs(const std::string& name) const;
  std::string linkTemporary();

  std::string path_;
  std::string folder_;
  FileCalls& calls_;
  int fd_ = -1;
  std::string temporaryPath_;  // empty while the file has no name (O_TMPFILE)
  bool committed_ = false;
  std::unique_ptr<FileAppender> appender_;
};

// For a process about to end at once (a second Ctrl-C): removes the temporary files of
// every OutputFile not yet committed and makes later commits wait forever, so that nothing
// half-made is left. Not async-signal-safe; call it from an ordinary thread, then _exit.
void abandonOutputFiles();

}  // namespace quillane
