#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "job/Job.h"
#include "support/BmpBytes.h"
#include "support/JobSupport.h"
#include "support/LogCapture.h"
#include "support/PngBytes.h"
#include "support/ProfileBytes.h"
#include "support/TempFolder.h"
#include "util/MemoryBudget.h"

namespace quillane {
namespace {

using testsupport::psdFaults;
using testsupport::readFile;
using testsupport::solidBmp;
using testsupport::TempFolder;

constexpr testsupport::Rgb kRed{200, 30, 40};

JobResult runFolder(const std::string& folder, const std::string& output,
                    KeyColour key = KeyColour::None, JobProgress* progress = nullptr) {
  JobProgress own;
  return runJob({folder, listImageFiles(folder), output, key, false}, progress ? *progress : own,
                {});
}

std::optional<Error> jobFailure(const std::string& folder, const std::string& output) {
  JobResult result = runFolder(folder, output);
  if (const Error* error = std::get_if<Error>(&result)) return *error;
  return std::nullopt;
}

// Every format, translucent and keyed pixels, read back by psd-tools against the sources.
TEST(Job, SampleFolderBecomesItsDocument) {
  const std::string samples = QUILLANE_SOURCE_DIR "/samples";
  const std::vector<std::string> files = listImageFiles(samples);
  const std::pair<KeyColour, const char*> options[] = {
      {KeyColour::None, "none"}, {KeyColour::White, "white"}, {KeyColour::Black, "black"}};
  for (const auto& [option, key] : options) {
    TempFolder out;
    JobProgress progress;
    const JobResult result = runFolder(samples, out.file("out.psd"), option, &progress);
    ASSERT_TRUE(std::holds_alternative<JobOutcome>(result)) << key;
    const JobOutcome& outcome = std::get<JobOutcome>(result);
    EXPECT_EQ((std::tuple{outcome.stopped, outcome.path, outcome.layerCount}),
              (std::tuple{false, out.file("out.psd"), files.size()}));
    EXPECT_EQ(outcome.canvas, measureFirstImage(files.front(), false).canvas);
    EXPECT_EQ(psdFaults({out.file("out.psd"), samples, "--key", key}), "") << key;
    const JobProgress::Snapshot last = progress.snapshot();
    EXPECT_EQ((std::tuple{last.file, last.fileIndex, last.fileCount, last.canvas}),
              (std::tuple{files.back(), files.size() - 1, files.size(), outcome.canvas}));
  }
}

// Later files larger and smaller than the first; a large one that is too big to decode far
// ahead is decoded in its turn; the existing output is replaced.
TEST(Job, LaterFilesAreCroppedToTheFirstFilesCanvas) {
  TempFolder folder, out;
  folder.write("a.bmp", solidBmp(20, 10, kRed));
  folder.write("b.bmp", testsupport::bmpBytes(40, 30, [](int x, int y) {
                 return testsupport::Rgb{std::uint8_t(x * 6), std::uint8_t(y * 8), 9};
               }));
  folder.write("c.bmp", solidBmp(7, 3, {1, 2, 3}));
  folder.write("d.bmp", solidBmp(2000, 1700, {255, 255, 255}));
  const std::string output = out.write("out.psd", "old document");
  ASSERT_TRUE(std::holds_alternative<JobOutcome>(runFolder(folder.path(), output)));
  EXPECT_EQ(psdFaults({output, folder.path()}), "");
  EXPECT_EQ(out.entries(), std::vector<std::string>{"out.psd"});
}

// A file that cannot be read when its turn comes, whatever became of it since the listing
// (made at the first file's turn, to a file far enough down the list not to be decoded ahead
// yet), ends the job with its path; the old output stays and nothing else is left.
TEST(Job, UnreadableFileEndsTheJobWithItsPath) {
  const std::pair<const char*, std::function<void(const std::string&, const TempFolder&)>>
      changes[] = {
          {"not an image", [](const std::string& path,
                              const TempFolder&) { std::ofstream(path) << "not an image"; }},
          {"removed", [](const std::string& path, const TempFolder&) { ::unlink(path.c_str()); }},
          {"a FIFO",
           [](const std::string& path, const TempFolder&) {
             ::unlink(path.c_str());
             ::mkfifo(path.c_str(), 0600);
           }},
          {"a folder",
           [](const std::string& path, const TempFolder&) {
             ::unlink(path.c_str());
             ::mkdir(path.c_str(), 0700);
           }},
          {"a link to a good image",
           [](const std::string& path, const TempFolder& folder) {
             ::unlink(path.c_str());
             ::symlink(folder.file("a.bmp").c_str(), path.c_str());
           }},
      };
  for (const char broken : {'a', 'o'}) {
    for (const auto& [what, change] : changes) {
      SCOPED_TRACE(std::string(1, broken) + ".bmp became " + what);
      if (broken == 'a' && std::string(what) != "not an image") continue;
      TempFolder folder, out;
      for (char name = 'a'; name <= 'p'; ++name)
        folder.write(std::string(1, name) + ".bmp", solidBmp(4, 4, kRed));
      const std::string changed = folder.file(std::string(1, broken) + ".bmp");
      if (broken == 'a') change(changed, folder);
      const std::string output = out.write("out.psd", "old document");
      JobProgress progress;
      JobResult result;
      {
        const testsupport::OnLogLine firstTurn("processing: ", 1, [&] {
          if (broken != 'a') change(changed, folder);
        });
        result = runFolder(folder.path(), output, KeyColour::None, &progress);
      }
      const Error* failure = std::get_if<Error>(&result);
      ASSERT_TRUE(failure);
      EXPECT_EQ(failure->kind, ErrorKind::ImageUnreadable);
      EXPECT_EQ(failure->file, changed);
      // The reason, where opening the file failed.
      const std::string became = what;
      EXPECT_EQ(failure->systemError, became == "removed"                  ? ENOENT
                                      : became == "a link to a good image" ? ELOOP
                                                                           : 0);
      EXPECT_EQ(progress.snapshot().file, changed);
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
TEST(Job, DocumentTooLargeOrEmptyIsRefusedBeforeAnythingElse) {
  const struct {
    int width, height;
    const char* output;
    ErrorKind kind;
    long long limit;
  } cases[] = {
      {40000, 10, "out.psd", ErrorKind::PsdSideLimit, 30000},
      {10, 30001, "out.psd", ErrorKind::PsdSideLimit, 30000},
      {0, 0, "out.psd", ErrorKind::ImageUnreadable, 0},
      {3000, 1000, "out.PSB", ErrorKind::CanvasOutOfMemory, 1000 * 1000 * 4},
  };
  setImageByteBudget(1000 * 1000 * 4);
  for (const auto& c : cases) {
    TempFolder folder, out;
    folder.write("a.pict", pictHeaderOnly(c.width, c.height));
    EXPECT_EQ(measureFirstImage(folder.file("a.pict"), false).canvas,
              (Size{decltype(Size::width)(c.width), decltype(Size::height)(c.height)}));
    const auto failure = jobFailure(folder.path(), out.file(c.output));
    ASSERT_TRUE(failure);
    EXPECT_EQ((std::tuple{failure->kind, failure->file, failure->limit}),
              (std::tuple{c.kind, folder.file("a.pict"), c.limit}));
    EXPECT_TRUE(out.entries().empty());
  }
  setImageByteBudget(0);
}

// On a canvas that is a large share of memory (here of a lowered budget), PNG layers go from
// their decoder in bands: keyed, converted into the document's colours and cropped band by
// band, the first layer's resolution kept, other files decoded whole among them. The
// document is the one made of whole images.
TEST(Job, LargeCanvasLayersInBandsMakeTheSameDocument) {
  const std::string images = QUILLANE_SOURCE_DIR "/tests/data/images/";
  const char* const later[] = {"png-rgba8.png",  "png-rgb8.png", "png-rgba8-filters.png",
                               "png-rgba16.png", "jpeg-rgb.jpg", "png-rgba8-interlaced.png"};
  const auto wide =
      testsupport::bmpWithProfile(testsupport::wideProfile("Wide"), 120, 90, [](int x, int y) {
        return testsupport::Rgb{std::uint8_t(x * 2), std::uint8_t(y * 2), 255};
      });
  // White and near-white stripes, translucent at the bottom; wider than the canvas.
  const auto stripes = testsupport::pngBytes(700, 150, true, [](int x, int y) {
    const auto shade = std::uint8_t(x % 9 == 0 ? 255 : x % 9 == 1 ? 245 : x / 3);
    return testsupport::Rgba{shade, 255, shade, std::uint8_t(y < 120 ? 255 : y)};
  });
  const struct {
    std::string firstName, firstBytes;
    int streamed;
  } firsts[] = {{"a.png", readFile(images + "png-600x400-300dpi.png"), 5}, {"a.bmp", wide, 4}};
  for (const auto& first : firsts) {
    TempFolder folder, out;
    folder.write(first.firstName, first.firstBytes);
    folder.write("c-stripes.png", stripes);
    for (std::size_t i = 0; i < std::size(later); ++i)
      folder.write("b" + std::to_string(i) + "-" + later[i], readFile(images + later[i]));
    for (const int tolerance : {-1, 0, 20}) {
      JobRequest request{folder.path(), listImageFiles(folder.path()), out.file("out.psd"),
                         tolerance < 0 ? KeyColour::None : KeyColour::White};
      request.tolerance = std::max(tolerance, 0);
      request.keepResolution = true;
      JobProgress progress;
      ASSERT_TRUE(std::holds_alternative<JobOutcome>(runJob(request, progress, {})));
      const std::string whole = readFile(out.file("out.psd"));
      testsupport::LogCapture log;
      setImageByteBudget(std::size_t{1} << 20);
      const JobResult result = runJob(request, progress, {});
      setImageByteBudget(0);
      ASSERT_TRUE(std::holds_alternative<JobOutcome>(result));
      EXPECT_TRUE(readFile(out.file("out.psd")) == whole) << first.firstName << tolerance;
      int streamed = 0;
      for (const std::string& line : log.lines()) streamed += line.starts_with("in bands: ");
      EXPECT_EQ(streamed, first.streamed) << first.firstName;
    }
  }
}

// A name ending in .psb, in any case, makes the large-document form.
TEST(Job, PsbNameWritesTheLargeDocumentForm) {
  const std::string samples = QUILLANE_SOURCE_DIR "/samples";
  for (const char* name : {"out.psb", "out.Psb"}) {
    TempFolder out;
    runFolder(samples, out.file(name));
    EXPECT_EQ(readFile(out.file(name)).substr(0, 6), std::string("8BPS\0\2", 6));
    EXPECT_EQ(psdFaults({out.file(name), samples}), "");
  }
}

TEST(Job, FailedWriteIsAnErrorThatNamesTheOutput) {
  TempFolder folder, out;
  folder.write("a.bmp", solidBmp(5, 5, kRed));
  const auto failure = jobFailure(folder.path(), out.file("missing/out.psd"));
  ASSERT_TRUE(failure);
  EXPECT_EQ((std::tuple{failure->kind, failure->file, failure->systemError}),
            (std::tuple{ErrorKind::WriteFailed, out.file("missing/out.psd"), ENOENT}));
}

}  // namespace
}  // namespace quillane
