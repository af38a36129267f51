#include "app/Settings.h"

#include <cctype>
#include <charconv>

#include "util/Strings.h"

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

namespace {

// The leading decimal number of the text, as the store's integer getter reads it; text
// without one reads as 0.
std::int64_t leadingInteger(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  if (start < text.size() && text[start] == '+') ++start;
  std::int64_t value = 0;
  std::from_chars(text.data() + start, text.data() + text.size(), value);
  return value;
}

}  // namespace

std::int64_t Settings::integerForKey(const std::string& key) const {
  return leadingInteger(lookUp(key).value_or(""));
}

// "YES", "true" (any case) and non-zero numbers read as true.
bool Settings::boolForKey(const std::string& key) const {
  const std::string text = lookUp(key).value_or("");
  const std::string lower = lowerCased(text);
  return lower == "yes" || lower == "true" || leadingInteger(text) != 0;
}

void Settings::setInteger(const std::string& key, std::int64_t value) {
  store_.setValue(key, std::to_string(value));
}

void Settings::setBool(const std::string& key, bool value) {
  store_.setValue(key, value ? "YES" : "NO");
}

}  // namespace quillane
