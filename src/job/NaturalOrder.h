#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillane {

// Whether name a comes before name b in natural order: stem first, then extension, as the
// listing's own order, except that within the stem a run of digits compares by its value
// ("frame2" before "frame10"), and equal values by the run's length ("a1" before "a01").
bool naturallyBefore(std::string_view a, std::string_view b);

// Sorts listed files (full paths in one folder, as listImageFiles gives them) into natural
// order of their names.
void sortNaturally(std::vector<std::string>& files);

}  // namespace quillane
