#pragma once

#include <cstddef>
#include <stop_token>
#include <string>
#include <vector>

namespace quillane {

// What one layer is made of: a file, and which of its frames or pages.
struct LayerSource {
  std::string path;
  int frame = 0;       // counting from 0
  int frameCount = 1;  // the file's: more than 1 names its layers "name #1" to "name #n"
};

// How many layers each file makes: 1, or with allFrames every frame of a GIF and every page
// of a TIFF (by their extensions; countSourceFrames). A stop seen on the way counts the rest
// as 1 each, unread.
std::vector<int> framesPerFile(const std::vector<std::string>& files, bool allFrames,
                               std::stop_token stop = {});

// Every file's layers in order, bottom first, a file's frames in their order.
std::vector<LayerSource> layerSources(const std::vector<std::string>& files,
                                      const std::vector<int>& frameCounts);

// The file's name, with " #n" (from 1) when the file makes more than one layer.
std::string layerName(const LayerSource& layer);

// How many layers the files make with allFrames, without decoding them.
std::size_t countLayers(const std::vector<std::string>& files, bool allFrames);

}  // namespace quillane
