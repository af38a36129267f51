#include "cli/ProgressReporter.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "util/PathNames.h"
#include "util/PrintableText.h"
#include "util/Strings.h"

namespace quillane::cli {
namespace {

constexpr int kDefaultTerminalColumns = 80;
constexpr int kBarCells = 24;

int terminalColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultTerminalColumns;
}

// Cuts the UTF-8 text to at most `columns` code points, counting each as one column.
std::string fitToColumns(const std::string& text, int columns) {
  int count = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (count++ == columns) return text.substr(0, i);
  }
  return text;
}

}  // namespace

ProgressReporter::ProgressReporter(Verbosity verbosity, const std::vector<std::string>& files,
                                   bool terminal)
    : mode_(verbosity == Verbosity::Quiet                ? Mode::Silent
            : terminal && verbosity == Verbosity::Normal ? Mode::Bar
                                                         : Mode::Lines),
      files_(files) {}

int ProgressReporter::currentFileNumber(const JobProgress::Snapshot& progress) const {
  // The name of the file itself comes from the list.
  if (progress.file.empty()) return 0;
  return std::clamp(static_cast<int>(progress.fileIndex) + 1, 0, static_cast<int>(files_.size()));
}

void ProgressReporter::tick(const JobProgress::Snapshot& progress) {
  if (mode_ == Mode::Silent) return;
  const int fileNumber = currentFileNumber(progress);
  if (mode_ == Mode::Lines)
    printLinesUpTo(fileNumber);
  else
    drawBar(progress.percent, fileNumber);
}

void ProgressReporter::finish(const JobProgress::Snapshot& progress, bool written) {
  if (mode_ == Mode::Lines) {
    printLinesUpTo(currentFileNumber(progress));
  } else if (mode_ == Mode::Bar) {
    if (written) {
      drawBar(100.0, static_cast<int>(files_.size()));
      std::fputc('\n', stderr);
      barShown_ = false;
    } else {
      clearBar();
    }
  }
}

void ProgressReporter::note(const std::string& line, bool isError) {
  if (mode_ == Mode::Silent && !isError) return;
  clearBar();
  std::fprintf(stderr, "%s\n", line.c_str());
}

std::string ProgressReporter::fileName(int fileNumber) const {
  return printableText(lastPathComponent(files_[std::size_t(fileNumber - 1)]));
}

void ProgressReporter::printLinesUpTo(int fileNumber) {
  const int total = static_cast<int>(files_.size());
  for (; printedLines_ < fileNumber; ++printedLines_) {
    std::fprintf(stderr, "[%d/%d] %s\n", printedLines_ + 1, total,
                 fileName(printedLines_ + 1).c_str());
  }
}

void ProgressReporter::drawBar(double percent, int fileNumber) {
  const int filled = static_cast<int>(percent / 100.0 * kBarCells + 0.5);
  char head[16];
  std::snprintf(head, sizeof head, "%3d%% [", static_cast<int>(percent));
  std::string line = head;
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(kBarCells - filled), '.');
  line += "] ";
  if (fileNumber > 0) {
    line += localizedString("CLI_BAR_FILE", {static_cast<long long>(fileNumber),
                                             static_cast<long long>(files_.size())}) +
            " ";
    const int room = terminalColumns() - 1 - static_cast<int>(line.size());
    line += fitToColumns(fileName(fileNumber), std::max(room, 0));
  }
  // Back to the line's start, and clear what a longer line left behind.
  std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
  std::fflush(stderr);
  barShown_ = true;
}

void ProgressReporter::clearBar() {
  if (!barShown_) return;
  std::fputs("\r\x1b[K", stderr);
  barShown_ = false;
}

}  // namespace quillane::cli
