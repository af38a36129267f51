#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "job/FileAppender.h"
#include "job/OutputFile.h"
#include "support/FaultyFileCalls.h"
#include "support/JobSupport.h"
#include "support/TempFolder.h"
#include "util/Error.h"

namespace quillane {
namespace {

using testsupport::FaultyFileCalls;
using testsupport::TempFolder;
using Call = FaultyFileCalls::Call;

const std::string kOld = "the previous document";

std::span<const std::uint8_t> bytesOf(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Writes bytes as the job does, in pieces, then rewrites a few early ones; 0 when the file
// is committed, else the errno of the failure, which names the path.
int writeDocument(const std::string& path, const std::string& bytes, FileCalls& calls) {
  try {
    OutputFile file(path, calls);
    for (std::size_t at = 0; at < bytes.size(); at += 1000003)
      file.write(bytesOf(std::string_view(bytes).substr(at, 1000003)));
    file.writeAt(100, bytesOf("patch"));
    file.commit();
  } catch (const Error& error) {
    EXPECT_EQ(error.kind, ErrorKind::WriteFailed);
    EXPECT_EQ(error.file, path);
    return error.systemError;
  }
  return 0;
}

struct FaultCase {
  const char* what;
  std::vector<FaultyFileCalls::Fault> faults;
  int error = 0;  // 0: the whole file is written
  bool unnamedFiles = true;
  bool replacing = true;
};

TEST(OutputFile, EachFaultGivesTheWholeFileOrACleanFailure) {
  const FaultCase cases[] = {
      {"no fault", {}},
      {"a short direct write", {{Call::Pwrite, 1, 0}}},
      {"a short write of the last chunk", {{Call::Pwrite, 3, 0}}},
      {"a run of short writes", {{Call::Pwrite, 3, 0, 40}}},
      {"a write that writes nothing", {{Call::Pwrite, 3, -1}}, EIO},
      {"direct I/O refused at the start", {{Call::SetFlags, 1, EINVAL}}},
      {"direct writes refused (EINVAL)", {{Call::Pwrite, 1, EINVAL}}},
      {"EINVAL, then direct I/O not turned off",
       {{Call::Pwrite, 1, EINVAL}, {Call::SetFlags, 2, EBADF}},
       EBADF},
      {"direct I/O not turned off before the last chunk", {{Call::SetFlags, 2, EIO}}, EIO},
      {"EINTR in direct and buffered writes", {{Call::Pwrite, 1, EINTR}, {Call::Pwrite, 4, EINTR}}},
      {"ENOSPC in a middle chunk", {{Call::Pwrite, 2, ENOSPC}}, ENOSPC},
      {"ENOSPC in the last chunk", {{Call::Pwrite, 3, ENOSPC}}, ENOSPC},
      {"ENOSPC in the rewrite", {{Call::Pwrite, 4, ENOSPC}}, ENOSPC},
      {"EIO from fsync", {{Call::Fsync, 1, EIO}}, EIO},
      {"every temporary name but the last taken", {{Call::Linkat, 2, EEXIST, 99}}},
      {"every temporary name taken", {{Call::Linkat, 2, EEXIST, 1000}}, EEXIST},
      {"a temporary name refused", {{Call::Linkat, 2, EACCES}}, EACCES},
      {"a failing rename", {{Call::Rename, 1, EIO}}, EIO},
      {"no folder to make the file in", {{Call::Open, 1, EACCES}}, EACCES},
      {"a new file that cannot take its name", {{Call::Linkat, 1, EPERM}}, EPERM, true, false},
      {"a new file", {}, 0, true, false},
      {"no unnamed files: every name but the last taken", {{Call::Open, 1, EEXIST, 99}}, 0, false},
      {"no unnamed files: ENOSPC", {{Call::Pwrite, 2, ENOSPC}}, ENOSPC, false},
      {"no unnamed files: a failing rename", {{Call::Rename, 1, EIO}}, EIO, false},
      {"no unnamed files: every name taken", {{Call::Open, 1, EEXIST, 1000}}, EEXIST, false},
  };
  // Two whole chunks, written directly, and a partial one through the page cache: pwrite
  // calls 1 and 2 are the chunks, 3 the partial one, 4 the rewrite.
  std::mt19937 random(3);
  std::string bytes(2 * FileAppender::kChunkBytes + 12345, ' ');
  for (char& byte : bytes) byte = static_cast<char>(random());
  std::string expected = bytes;
  expected.replace(100, 5, "patch");
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder;
    const std::string path = folder.file("out.psd");
    if (c.replacing) folder.write("out.psd", kOld);
    FaultyFileCalls calls(c.faults, c.unnamedFiles);
    EXPECT_EQ(writeDocument(path, bytes, calls), c.error);
    EXPECT_EQ(calls.openFiles, 0);
    const std::string left = c.error == 0 ? expected : c.replacing ? kOld : "";
    EXPECT_EQ(folder.entries(), std::vector<std::string>(left.empty() ? 0 : 1, "out.psd"));
    EXPECT_TRUE(left.empty() || testsupport::readFile(path) == left);
  }
}

TEST(OutputFile, AbandonedFilesAreRemovedAndNeverCommitted) {
  TempFolder folder;
  const std::string path = folder.write("out.psd", kOld);
  // In a child, as for a process that ends: the named temporary file is removed, and a
  // commit after abandoning waits forever instead of putting the half-made file in place.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    FaultyFileCalls calls({}, false);
    OutputFile file(path, calls);
    file.write(bytesOf("half"));
    abandonOutputFiles();
    std::thread([&file] { file.commit(); }).detach();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(testsupport::readFile(path), kOld);
  EXPECT_EQ(folder.entries(), std::vector<std::string>{"out.psd"});
}

TEST(OutputFile, KeepsAReplacedFilesPermissionsAndRefusesAFolder) {
  TempFolder folder;
  const std::string path = folder.write("out.psd", kOld);
  std::filesystem::permissions(path, std::filesystem::perms(0640));
  EXPECT_EQ(writeDocument(path, kOld + kOld + kOld + kOld + kOld, systemFileCalls()), 0);
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
  EXPECT_EQ(writeDocument(folder.makeFolder("dir.psd"), kOld, systemFileCalls()), EISDIR);
}

}  // namespace
}  // namespace quillane
