#include "app/Settings.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <limits>

#include "util/Strings.h"

namespace quillane {
namespace {

// The leading decimal number of the text, as earlier versions read it: 0 without one, nothing
// beyond 64 bits.
std::optional<std::int64_t> leadingInteger(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  if (start < text.size() && text[start] == '+') ++start;
  std::int64_t value = 0;
  const auto error = std::from_chars(text.data() + start, text.data() + text.size(), value).ec;
  if (error == std::errc::result_out_of_range) return std::nullopt;
  return error == std::errc() ? value : 0;
}

bool textAsBool(const std::string& text) {
  const std::string lower = lowerCased(text);
  return lower == "yes" || lower == "true" || leadingInteger(text).value_or(0) != 0;
}

}  // namespace

Settings::Settings(SettingsStore& store, const std::string& homeFolder) : store_(store) {
  const std::string pictures = homeFolder + "/Pictures";
  defaults_ = {
      {kSourceFolderKey, pictures}, {kOutputFolderKey, pictures},
      {kKeyColourKey, 0},           {kExpandWindowKey, true},
      {kOrientKey, false},          {kRecentFoldersKey, std::vector<std::string>{}},
      {kIgnoreProfilesKey, false},  {kNaturalOrderKey, false},
      {kToleranceKey, 0},           {kKeepResolutionKey, false},
      {kMultiplyKey, false},        {kGroupsKey, false},
      {kModernFormatsKey, false},   {kAllFramesKey, false},
  };
  for (const auto& [key, fallback] : defaults_) {
    if (!std::holds_alternative<bool>(fallback)) continue;
    const std::optional<SettingValue> stored = store_.value(key);
    const std::string* text = stored ? std::get_if<std::string>(&*stored) : nullptr;
    if (text && (*text == "YES" || *text == "NO")) store_.setValue(key, *text == "YES");
  }
}

SettingValue Settings::lookUp(const char* key) const {
  return store_.value(key).value_or(defaults_.at(key));
}

bool Settings::boolValue(const char* key) const {
  const SettingValue value = lookUp(key);
  if (const bool* flag = std::get_if<bool>(&value)) return *flag;
  if (const int* number = std::get_if<int>(&value)) return *number != 0;
  if (const std::string* text = std::get_if<std::string>(&value)) return textAsBool(*text);
  return false;
}

std::optional<int> Settings::intValue(const char* key) const {
  const SettingValue value = lookUp(key);
  if (const int* number = std::get_if<int>(&value)) return *number;
  const std::string* text = std::get_if<std::string>(&value);
  const std::optional<std::int64_t> parsed = text ? leadingInteger(*text) : std::nullopt;
  // A value beyond 32 bits must not wrap round into a valid choice.
  if (!parsed || *parsed < std::numeric_limits<int>::min() ||
      *parsed > std::numeric_limits<int>::max())
    return std::nullopt;
  return static_cast<int>(*parsed);
}

std::string Settings::stringValue(const char* key) const {
  const SettingValue value = lookUp(key);
  const std::string* text = std::get_if<std::string>(&value);
  return text ? *text : std::string();
}

// A list of one may come back from the store as its one text.
std::vector<std::string> Settings::listValue(const char* key) const {
  SettingValue value = lookUp(key);
  if (auto* list = std::get_if<std::vector<std::string>>(&value)) return std::move(*list);
  if (auto* text = std::get_if<std::string>(&value); text && !text->empty()) return {*text};
  return {};
}

}  // namespace quillane
