#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace quillane {

// The user-visible texts, looked up by key ("NO_IMAGE_FILE", "IMAGE_READ_ERROR", ...) in the
// strings table of the user's language (resources/strings/<lang>.strings). An unknown key
// answers the key itself, so a missing text is visible instead of empty.
std::string localizedString(std::string_view key);
// The text with its marks %1, %2, ... replaced by the values in order.
std::string localizedString(std::string_view key, std::initializer_list<long long> values);
std::string localizedString(std::string_view key, std::initializer_list<std::string_view> values);

// Chooses the table by language code ("en", "ja"); an unknown language falls back to English.
// The default is taken from the locale environment (LC_ALL, LC_MESSAGES, LANG).
void setStringsLanguage(std::string_view language);

// The language code that the locale environment names, or "en".
std::string languageFromEnvironment();

// The text with ASCII letters in lower case, other bytes as they are.
std::string lowerCased(std::string_view text);

namespace detail {
struct EmbeddedTable {
  const char* language;
  const char* text;
};
const std::vector<EmbeddedTable>& embeddedStringTables();
}  // namespace detail

}  // namespace quillane
