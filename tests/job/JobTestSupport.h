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

namespace quillane::jobtest {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quillane-job-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  std::string path() const { return path_.string(); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

  std::string write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
    return file(name);
  }

  // The names in the folder, sorted.
  std::vector<std::string> entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

 private:
  std::filesystem::path path_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Rgb {
  std::uint8_t r, g, b;
};

// A 24-bit bottom-up BMP of width x height whose pixel (x, y) (y from the top) is
// colour(x, y): an opaque image file that every decoder build reads.
inline std::string bmpBytes(int width, int height, const std::function<Rgb(int, int)>& colour) {
  const int rowBytes = (width * 3 + 3) / 4 * 4;
  const int dataBytes = rowBytes * height;
  std::string bytes = "BM";
  auto put = [&bytes](std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  put(14 + 40 + dataBytes, 4);
  put(0, 4);
  put(14 + 40, 4);
  put(40, 4);
  put(width, 4);
  put(height, 4);
  put(1, 2);
  put(24, 2);
  put(0, 4);
  put(dataBytes, 4);
  put(2835, 4);  // 72 dpi
  put(2835, 4);
  put(0, 4);
  put(0, 4);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const Rgb c = colour(x, y);
      bytes += {static_cast<char>(c.b), static_cast<char>(c.g), static_cast<char>(c.r)};
    }
    bytes.append(static_cast<std::size_t>(rowBytes - width * 3), '\0');
  }
  return bytes;
}

inline std::string solidBmp(int width, int height, Rgb colour) {
  return bmpBytes(width, height, [colour](int, int) { return colour; });
}

// An image with one bitmap representation of straight RGBA8 pixels.
inline Image bitmapImage(int width, int height, std::vector<std::uint8_t> rgba,
                         float dpi = BitmapImageRep::kDefaultDpi) {
  Bitmap bitmap{width, height, std::move(rgba)};
  return Image::withRepresentation(std::make_shared<BitmapImageRep>(std::move(bitmap), dpi, dpi));
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
  ScratchFolder folder;
  const std::string scriptPath = folder.write("describe.py", script);
  const std::string command =
      "/usr/bin/python3 " + scriptPath + " '" + path + "' '" + points + "' 2>/dev/null";
  std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), &pclose);
  if (!pipe) return {};
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe.get()) != nullptr) output += buffer;
  return output;
}

}  // namespace quillane::jobtest
