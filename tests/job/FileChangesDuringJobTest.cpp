#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "job/JobRecord.h"
#include "job/JobTestSupport.h"
#include "util/Exception.h"
#include "util/Strings.h"

namespace quillane {
namespace {

using jobtest::readFile;
using jobtest::ScratchFolder;
using jobtest::solidBmp;

// What happens to a file between the listing and its turn: made at the first file's turn, to
// a file far enough down the list that it is not being decoded ahead yet.
struct Change {
  const char* what;
  std::function<void(const std::string& path, const ScratchFolder& folder)> apply;
};

TEST(FileChangesDuringJob, FileThatVanishedOrChangedTypeIsTheReadErrorForThatFile) {
  const std::vector<Change> changes = {
      {"removed", [](const std::string& path, const ScratchFolder&) { ::unlink(path.c_str()); }},
      {"became a FIFO",
       [](const std::string& path, const ScratchFolder&) {
         ::unlink(path.c_str());
         ::mkfifo(path.c_str(), 0600);
       }},
      {"became a folder",
       [](const std::string& path, const ScratchFolder&) {
         ::unlink(path.c_str());
         ::mkdir(path.c_str(), 0700);
       }},
      {"became a symbolic link to a good image",
       [](const std::string& path, const ScratchFolder& folder) {
         ::unlink(path.c_str());
         ::symlink(folder.file("a.bmp").c_str(), path.c_str());
       }},
      {"emptied",
       [](const std::string& path, const ScratchFolder&) { ::truncate(path.c_str(), 0); }},
  };
  for (const Change& change : changes) {
    SCOPED_TRACE(change.what);
    ScratchFolder folder, out;
    for (char name = 'a'; name <= 'p'; ++name)
      folder.write(std::string(1, name) + ".bmp", solidBmp(4, 4, {1, 2, 3}));
    const std::string output = out.write("out.psd", "old document");
    JobRecord record;
    const auto files = record.makeImageFileList(folder.path());
    const std::string changed = folder.file("o.bmp");
    std::optional<Exception> failure;
    {
      const jobtest::OnLogLine firstTurn("processing: ", 1,
                                         [&] { change.apply(changed, folder); });
      try {
        record.createPSDFile(files, output);
      } catch (const Exception& error) {
        failure = error;
      }
    }
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->name(), localizedString("IMAGE_READ_ERROR"));
    EXPECT_EQ(failure->reason(), changed);
    EXPECT_EQ(readFile(output), "old document");
    EXPECT_EQ(out.entries(), std::vector<std::string>{"out.psd"});
  }
}

}  // namespace
}  // namespace quillane
