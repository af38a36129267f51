#include "util/Strings.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <span>

namespace quillane {
namespace {

using Table = std::map<std::string, std::string, std::less<>>;

// Reads lines of the form "KEY" = "text"; and skips everything else (comments, blanks).
Table parseTable(std::string_view text) {
  Table table;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t k0 = line.find('"');
    const std::size_t k1 = k0 == std::string_view::npos ? k0 : line.find('"', k0 + 1);
    const std::size_t eq = k1 == std::string_view::npos ? k1 : line.find('=', k1 + 1);
    const std::size_t v0 = eq == std::string_view::npos ? eq : line.find('"', eq + 1);
    const std::size_t v1 = v0 == std::string_view::npos ? v0 : line.rfind('"');
    if (v1 == std::string_view::npos || v1 <= v0) continue;
    table.emplace(std::string(line.substr(k0 + 1, k1 - k0 - 1)),
                  std::string(line.substr(v0 + 1, v1 - v0 - 1)));
  }
  return table;
}

struct Tables {
  std::mutex mutex;
  std::map<std::string, Table, std::less<>> byLanguage;
  std::string language;

  Tables() {
    for (const auto& embedded : detail::embeddedStringTables())
      byLanguage.emplace(embedded.language, parseTable(embedded.text));
    language = languageFromEnvironment();
  }
};

Tables& tables() {
  static Tables instance;
  return instance;
}

// The text with its marks %1, %2, ... replaced by the values in order; a mark without a
// value stays.
std::string withValues(std::string text, std::span<const std::string_view> values) {
  int number = 1;
  for (const std::string_view value : values) {
    const std::string mark = "%" + std::to_string(number++);
    if (const auto at = text.find(mark); at != std::string::npos)
      text.replace(at, mark.size(), value);
  }
  return text;
}

}  // namespace

std::string languageFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    const std::string_view locale(value);
    if (locale == "C" || locale == "POSIX") return "en";
    return std::string(locale.substr(0, locale.find_first_of("_.@")));
  }
  return "en";
}

void setStringsLanguage(std::string_view language) {
  Tables& all = tables();
  std::lock_guard lock(all.mutex);
  all.language = std::string(language);
}

std::string localizedString(std::string_view key) {
  Tables& all = tables();
  std::lock_guard lock(all.mutex);
  for (std::string_view language : {std::string_view(all.language), std::string_view("en")}) {
    const auto table = all.byLanguage.find(language);
    if (table == all.byLanguage.end()) continue;
    const auto text = table->second.find(key);
    if (text != table->second.end()) return text->second;
  }
  return std::string(key);
}

std::string lowerCased(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

std::string localizedString(std::string_view key, std::initializer_list<std::string_view> values) {
  return withValues(localizedString(key), {values.begin(), values.size()});
}

std::string localizedString(std::string_view key, std::initializer_list<long long> values) {
  std::vector<std::string> texts;
  for (const long long value : values) texts.push_back(std::to_string(value));
  return withValues(localizedString(key),
                    std::vector<std::string_view>(texts.begin(), texts.end()));
}

}  // namespace quillane
