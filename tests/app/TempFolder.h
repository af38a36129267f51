#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace quillane::fakes {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillane-app-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  std::string path() const { return path_.string(); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

  // Writes a file of the given bytes and answers its path.
  std::string write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
    return file(name);
  }

  std::string makeFolder(const std::string& name) const {
    std::filesystem::create_directories(path_ / name);
    return file(name);
  }

 private:
  std::filesystem::path path_;
};

// A 24-bit BMP of w x h pixels filled with one colour: a real image file for the job.
inline std::string bmpBytes(int width, int height, unsigned char r, unsigned char g,
                            unsigned char b) {
  const int rowBytes = (width * 3 + 3) / 4 * 4;
  const int dataBytes = rowBytes * height;
  std::string bytes;
  auto put = [&bytes](unsigned value, int count) {
    for (int i = 0; i < count; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  bytes += "BM";
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
  put(2835, 4);
  put(2835, 4);
  put(0, 4);
  put(0, 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) bytes += {static_cast<char>(b), static_cast<char>(g), static_cast<char>(r)};
    bytes.append(rowBytes - width * 3, '\0');
  }
  return bytes;
}

}  // namespace quillane::fakes
