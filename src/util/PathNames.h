#pragma once

#include <string_view>

namespace quillane {

// The last component of a slash-separated path: the file's name, extension included.
inline std::string_view lastPathComponent(std::string_view path) {
  const auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The text after the last dot of a file's name; empty when the name has no dot.
inline std::string_view pathExtension(std::string_view path) {
  const std::string_view name = lastPathComponent(path);
  const auto dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

}  // namespace quillane
