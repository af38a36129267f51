#include "app/Settings.h"

#include <cctype>
#include <charconv>

namespace quillane {

void Settings::registerDefaults(const std::map<std::string, std::string>& defaults) {
  for (const auto& [key, value] : defaults) registered_[key] = value;
}

std::optional<std::string> Settings::lookUp(const std::string& key) const {
  if (auto stored = store_.value(key)) return stored;
  if (auto found = registered_.find(key); found != registered_.end()) return found->second;
  return std::nullopt;
}

std::string Settings::stringForKey(const std::string& key) const {
  return lookUp(key).value_or("");
}

// Reads the leading decimal number of the text, as the store's integer getter does; text
// without one reads as 0.
std::int64_t Settings::integerForKey(const std::string& key) const {
  const std::string text = lookUp(key).value_or("");
  std::size_t start = 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  if (start < text.size() && text[start] == '+') ++start;
  std::int64_t value = 0;
  std::from_chars(text.data() + start, text.data() + text.size(), value);
  return value;
}

// "YES", "true" (any case) and non-zero numbers read as true.
bool Settings::boolForKey(const std::string& key) const {
  const std::string text = lookUp(key).value_or("");
  std::string lower;
  for (char c : text) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "yes" || lower == "true") return true;
  return integerForKey(key) != 0;
}

void Settings::setInteger(const std::string& key, std::int64_t value) {
  store_.setValue(key, std::to_string(value));
}

void Settings::setBool(const std::string& key, bool value) {
  store_.setValue(key, value ? "YES" : "NO");
}

}  // namespace quillane
