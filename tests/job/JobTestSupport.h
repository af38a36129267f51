#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/Image.h"
#include "image/ImageRep.h"
#include "support/BmpBytes.h"
#include "support/TempFolder.h"
#include "util/Log.h"

namespace quillane::jobtest {

using ScratchFolder = testsupport::TempFolder;

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using testsupport::bmpBytes;
using testsupport::Rgb;
using testsupport::solidBmp;

// An image with one bitmap representation of straight RGBA8 pixels.
inline Image bitmapImage(int width, int height, std::vector<std::uint8_t> rgba,
                         float dpi = BitmapImageRep::kDefaultDpi) {
  Bitmap bitmap{width, height, {rgba.begin(), rgba.end()}};
  return Image::withRepresentation(std::make_shared<BitmapImageRep>(std::move(bitmap), dpi, dpi));
}

// Calls `action` on the job's thread when a log line starts with `prefix` for the n-th time.
class OnLogLine {
 public:
  OnLogLine(std::string prefix, int n, std::function<void()> action)
      : prefix_(std::move(prefix)), n_(n), action_(std::move(action)) {
    previous_ = setLogSink([this](std::string_view line) {
      if (line.starts_with(prefix_) && ++seen_ == n_) action_();
    });
  }
  ~OnLogLine() { setLogSink(std::move(previous_)); }
  OnLogLine(const OnLogLine&) = delete;
  OnLogLine& operator=(const OnLogLine&) = delete;
  // How many lines with the prefix have come so far.
  int seen() const { return seen_; }

 private:
  std::string prefix_;
  int n_;
  int seen_ = 0;
  std::function<void()> action_;
  LogSink previous_;
};

// Runs the Python script with the arguments under Debian's interpreter (which has psd-tools
// and Pillow) and answers what it printed; empty when it cannot run.
inline std::string runPython(const std::string& script, const std::vector<std::string>& arguments) {
  ScratchFolder folder;
  std::string command = "/usr/bin/python3 " + folder.write("script.py", script);
  for (const std::string& argument : arguments) command += " '" + argument + "'";
  command += " 2>/dev/null";
  std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
  if (!pipe) return {};
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) output += buffer;
  return output;
}

// What psd-tools, an independent reader, sees in a PSD file: "WxH" of the document, then
// the layer names, then for each requested point "x,y:r,g,b,a" of the bottom layer, each
// part on its own line. Empty when the file cannot be opened.
inline std::string describePsd(const std::string& path, const std::string& points = "") {
  const std::string script =
      "import sys\n"
      "from psd_tools import PSDImage\n"
      "p = PSDImage.open(sys.argv[1])\n"
      "print('%dx%d' % (p.width, p.height))\n"
      "print(','.join(l.name for l in p))\n"
      "im = p[0].topil().convert('RGBA')\n"
      "for pt in sys.argv[2].split(';'):\n"
      "    if pt:\n"
      "        x, y = map(int, pt.split(','))\n"
      "        print('%s:%d,%d,%d,%d' % ((pt,) + im.getpixel((x, y))))\n";
  return runPython(script, {path, points});
}

}  // namespace quillane::jobtest
