#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "job/JobRecord.h"
#include "support/BmpBytes.h"
#include "support/JobSupport.h"
#include "support/TempFolder.h"
#include "util/Exception.h"
#include "util/MemoryBudget.h"
#include "util/Strings.h"

namespace quillane {
namespace {

using testsupport::psdFaults;
using testsupport::readFile;
using testsupport::solidBmp;
using testsupport::TempFolder;

constexpr testsupport::Rgb kRed{200, 30, 40};

void runJob(JobRecord& record, const std::string& folder, const std::string& output) {
  record.createPSDFile(record.makeImageFileList(folder), output);
}

std::optional<Exception> jobFailure(JobRecord& record, const std::string& folder,
                                    const std::string& output) {
  try {
    runJob(record, folder, output);
  } catch (const Exception& error) {
    return error;
  }
  return std::nullopt;
}

// Every format, translucent and keyed pixels, read back by psd-tools against the sources.
TEST(CreatePSD, SampleFolderBecomesItsDocument) {
  const std::string samples = QUILLANE_SOURCE_DIR "/samples";
  const std::pair<std::int32_t, const char*> options[] = {
      {JobRecord::kKeyOutNone, "none"}, {JobRecord::kKeyOutWhite, "white"},
      {JobRecord::kKeyOutBlack, "black"}, {3, "none"}, {-1, "none"}};
  for (const auto& [option, key] : options) {
    TempFolder out;
    JobRecord record;
    record.optionTransparent = option;
    runJob(record, samples, out.file("out.psd"));
    EXPECT_EQ(psdFaults({out.file("out.psd"), samples, "--key", key}), "") << "option " << option;
    EXPECT_EQ(*record.progressFilename.load(), record.imageFileList.back());
    EXPECT_EQ(record.progressUtil.load()->majorStep(), double(record.imageFileList.size() - 1));
    EXPECT_EQ(record.progressUtil.load()->majorStepMax(), double(record.imageFileList.size()));
  }
}

// Later files larger and smaller than the first; a large one that is too big to decode far
// ahead is decoded in its turn; the existing output is replaced.
TEST(CreatePSD, LaterFilesAreCroppedToTheFirstFilesCanvas) {
  TempFolder folder, out;
  folder.write("a.bmp", solidBmp(20, 10, kRed));
  folder.write("b.bmp", testsupport::bmpBytes(40, 30, [](int x, int y) {
                 return testsupport::Rgb{std::uint8_t(x * 6), std::uint8_t(y * 8), 9};
               }));
  folder.write("c.bmp", solidBmp(7, 3, {1, 2, 3}));
  folder.write("d.bmp", solidBmp(2000, 1700, {255, 255, 255}));
  const std::string output = out.write("out.psd", "old document");
  JobRecord record;
  runJob(record, folder.path(), output);
  EXPECT_EQ(psdFaults({output, folder.path()}), "");
  EXPECT_EQ(out.entries(), std::vector<std::string>{"out.psd"});
}

// A file that cannot be read when its turn comes, whatever became of it since the listing
// (made at the first file's turn, to a file far enough down the list not to be decoded ahead
// yet), ends the job with its path; the old output stays and nothing else is left.
TEST(CreatePSD, UnreadableFileEndsTheJobWithItsPath) {
  const std::pair<const char*, std::function<void(const std::string&, const TempFolder&)>>
      changes[] = {
          {"not an image", [](const std::string& path, const TempFolder&) {
             std::ofstream(path) << "not an image";
           }},
          {"removed", [](const std::string& path, const TempFolder&) { ::unlink(path.c_str()); }},
          {"a FIFO", [](const std::string& path, const TempFolder&) {
             ::unlink(path.c_str());
             ::mkfifo(path.c_str(), 0600);
           }},
          {"a folder", [](const std::string& path, const TempFolder&) {
             ::unlink(path.c_str());
             ::mkdir(path.c_str(), 0700);
           }},
          {"a link to a good image", [](const std::string& path, const TempFolder& folder) {
             ::unlink(path.c_str());
             ::symlink(folder.file("a.bmp").c_str(), path.c_str());
           }},
      };
  for (const char broken : {'a', 'o'}) {
    for (const auto& [what, change] : changes) {
      SCOPED_TRACE(std::string(1, broken) + ".bmp became " + what);
      if (broken == 'a' && std::string(what) != "not an image") continue;
      TempFolder folder, out;
      for (char name = 'a'; name <= 'p'; ++name) folder.write(std::string(1, name) + ".bmp", solidBmp(4, 4, kRed));
      const std::string changed = folder.file(std::string(1, broken) + ".bmp");
      if (broken == 'a') change(changed, folder);
      const std::string output = out.write("out.psd", "old document");
      JobRecord record;
      std::optional<Exception> failure;
      {
        const testsupport::OnLogLine firstTurn("processing: ", 1, [&] {
          if (broken != 'a') change(changed, folder);
        });
        failure = jobFailure(record, folder.path(), output);
      }
      ASSERT_TRUE(failure);
      EXPECT_EQ(failure->name(), localizedString("IMAGE_READ_ERROR"));
      EXPECT_EQ(failure->reason(), changed);
      EXPECT_TRUE(record.progressErrorOccured);
      EXPECT_EQ(*record.progressFilename.load(), changed);
      EXPECT_EQ(readFile(output), "old document");
      EXPECT_EQ(out.entries(), std::vector<std::string>{"out.psd"});
    }
  }
}

// A PICT file whose extended header declares the picture's size; nothing more of it.
std::string pictHeaderOnly(int width, int height) {
  std::string bytes(522, '\0');
  bytes += std::string("\x00\x11\x02\xff\x0c\x00\xff\xfe\0\0\x00\x48\0\0\x00\x48\0\0\0\0\0\0", 22);
  bytes += {static_cast<char>(height >> 8), static_cast<char>(height & 0xFF),
            static_cast<char>(width >> 8), static_cast<char>(width & 0xFF)};
  return bytes + std::string(8, '\0');
}

// What the output's format or the memory cannot hold is refused before anything is written.
TEST(CreatePSD, DocumentTooLargeOrEmptyIsRefusedBeforeAnythingElse) {
  const struct {
    int width, height;
    const char* output;
    std::string name;
    std::string reasonPart;
  } cases[] = {
      {40000, 10, "out.psd", localizedString("DOCUMENT_TOO_LARGE"), ".psb"},
      {10, 30001, "out.psd", localizedString("DOCUMENT_TOO_LARGE"), "30000"},
      {0, 0, "out.psd", localizedString("IMAGE_READ_ERROR"), ""},
      {3000, 1000, "out.PSB", localizedString("CANVAS_OUT_OF_MEMORY"), "3000"},
  };
  setImageByteBudget(1000 * 1000 * 4);
  for (const auto& c : cases) {
    TempFolder folder, out;
    folder.write("a.pict", pictHeaderOnly(c.width, c.height));
    JobRecord record;
    EXPECT_EQ(record.imageFileSize(folder.file("a.pict")), (Size{float(c.width), float(c.height)}));
    const auto failure = jobFailure(record, folder.path(), out.file(c.output));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->name(), c.name);
    EXPECT_EQ(failure->reason().find(folder.file("a.pict")), 0u) << failure->reason();
    EXPECT_NE(failure->reason().find(c.reasonPart), std::string::npos) << failure->reason();
    EXPECT_TRUE(out.entries().empty());
  }
  setImageByteBudget(0);
}

// A name ending in .psb, in any case, makes the large-document form.
TEST(CreatePSD, PsbNameWritesTheLargeDocumentForm) {
  const std::string samples = QUILLANE_SOURCE_DIR "/samples";
  for (const char* name : {"out.psb", "out.Psb"}) {
    TempFolder out;
    JobRecord record;
    runJob(record, samples, out.file(name));
    EXPECT_EQ(readFile(out.file(name)).substr(0, 6), std::string("8BPS\0\2", 6));
    EXPECT_EQ(psdFaults({out.file(name), samples}), "");
  }
}

TEST(CreatePSD, FailedWriteIsAnErrorThatNamesTheOutput) {
  TempFolder folder, out;
  folder.write("a.bmp", solidBmp(5, 5, kRed));
  JobRecord record;
  const auto failure = jobFailure(record, folder.path(), out.file("missing/out.psd"));
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->name(), localizedString("WRITE_ERROR"));
  EXPECT_EQ(failure->reason(), out.file("missing/out.psd") + ": No such file or directory");
  EXPECT_FALSE(record.progressErrorOccured);
}

}  // namespace
}  // namespace quillane
