#include "psd/LayerGroups.h"

#include <algorithm>
#include <string_view>

#include "util/Error.h"

namespace quillane {
namespace {

std::vector<std::string> pathComponents(std::string_view path) {
  std::vector<std::string> components;
  while (!path.empty()) {
    const std::size_t slash = std::min(path.find('/'), path.size());
    if (slash > 0) components.emplace_back(path.substr(0, slash));
    path.remove_prefix(std::min(slash + 1, path.size()));
  }
  return components;
}

}  // namespace

std::vector<LayerRecord> groupedLayerRecords(std::vector<std::string> names,
                                             const std::vector<std::string>& groupPaths) {
  if (groupPaths.empty()) return pixelLayers(std::move(names));
  if (groupPaths.size() != names.size())
    throw internalError("every layer needs its group path, or none has one");
  std::vector<LayerRecord> records;
  std::vector<std::string> open;  // the groups the previous layer lies in, outermost first
  const auto closeDownTo = [&](std::size_t depth) {
    for (; open.size() > depth; open.pop_back()) records.push_back({open.back(), LayerKind::Group});
  };
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::vector<std::string> groups = pathComponents(groupPaths[i]);
    const std::size_t shared =
        std::mismatch(open.begin(), open.end(), groups.begin(), groups.end()).first - open.begin();
    closeDownTo(shared);
    for (std::size_t depth = shared; depth < groups.size(); ++depth) {
      records.push_back({{}, LayerKind::GroupEnd});
      open.push_back(groups[depth]);
    }
    records.push_back({std::move(names[i]), LayerKind::Pixels});
  }
  closeDownTo(0);
  return records;
}

std::size_t groupCount(const std::vector<std::string>& groupPaths) {
  const std::vector<LayerRecord> records =
      groupedLayerRecords(std::vector<std::string>(groupPaths.size()), groupPaths);
  return static_cast<std::size_t>(std::count_if(
      records.begin(), records.end(), [](const auto& r) { return r.kind == LayerKind::Group; }));
}

}  // namespace quillane
