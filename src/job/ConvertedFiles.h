#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "job/DocumentColours.h"

namespace quillane {

// How many of the files DocumentColours would convert into the document's colours, each
// one's profile read from its headers alone (readHeaderProfile), never its pixels. Nothing
// when superseded answers true between two files: the count is no longer wanted.
std::optional<std::size_t> countConvertedFiles(DocumentColours& colours,
                                               std::span<const std::string> files,
                                               const std::function<bool()>& superseded = {});

}  // namespace quillane
