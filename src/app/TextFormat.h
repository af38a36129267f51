#pragma once

#include <initializer_list>
#include <string>

namespace quillane {

// The text with each "%1" … "%9" replaced by the argument of that number, so that a
// translation can put the values in its own order. A number without an argument stays.
inline std::string fillIn(const std::string& text, std::initializer_list<std::string> args) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool placeholder = text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' &&
                             text[i + 1] <= '9' &&
                             static_cast<std::size_t>(text[i + 1] - '1') < args.size();
    if (!placeholder) {
      result += text[i];
      continue;
    }
    result += *(args.begin() + (text[i + 1] - '1'));
    ++i;
  }
  return result;
}

}  // namespace quillane
