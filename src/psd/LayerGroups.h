#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "psd/PSDSections.h"

namespace quillane {

// The records of layers given bottom first, each in the group its path names: "" for none,
// "a/b" for group b inside group a. Layers that follow one another in a path share its
// groups; each group is opened below its first layer and closed above its last.
// groupPaths may be empty (no groups at all); otherwise it holds one path per name.
std::vector<LayerRecord> groupedLayerRecords(std::vector<std::string> names,
                                             const std::vector<std::string>& groupPaths);

// How many groups those records hold.
std::size_t groupCount(const std::vector<std::string>& groupPaths);

}  // namespace quillane
