#include "job/LayerSources.h"

#include <numeric>

#include "image/decode/FrameSource.h"
#include "util/PathNames.h"
#include "util/Strings.h"

namespace quillane {
namespace {

bool mayHoldFrames(const std::string& path) {
  const std::string extension = lowerCased(pathExtension(path));
  return extension == "gif" || extension == "tif" || extension == "tiff";
}

}  // namespace

std::vector<int> framesPerFile(const std::vector<std::string>& files, bool allFrames,
                               std::stop_token stop) {
  std::vector<int> counts(files.size(), 1);
  for (std::size_t i = 0; allFrames && i < files.size() && !stop.stop_requested(); ++i) {
    if (mayHoldFrames(files[i])) counts[i] = countSourceFrames(files[i]);
  }
  return counts;
}

std::vector<LayerSource> layerSources(const std::vector<std::string>& files,
                                      const std::vector<int>& frameCounts) {
  std::vector<LayerSource> layers;
  layers.reserve(std::accumulate(frameCounts.begin(), frameCounts.end(), std::size_t{0}));
  for (std::size_t i = 0; i < files.size(); ++i) {
    for (int frame = 0; frame < frameCounts[i]; ++frame)
      layers.push_back({files[i], frame, frameCounts[i]});
  }
  return layers;
}

std::string layerName(const LayerSource& layer) {
  std::string name(lastPathComponent(layer.path));
  if (layer.frameCount > 1) name += " #" + std::to_string(layer.frame + 1);
  return name;
}

std::size_t countLayers(const std::vector<std::string>& files, bool allFrames) {
  const std::vector<int> counts = framesPerFile(files, allFrames);
  return std::accumulate(counts.begin(), counts.end(), std::size_t{0});
}

}  // namespace quillane
