#pragma once

#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quillane {

// The keys of the settings kept between runs.
inline constexpr const char* kSourceFolderKey = "SRC_DIR";
inline constexpr const char* kOutputFolderKey = "DST_DIR";
inline constexpr const char* kKeyColourKey = "OPTION_TRANS";  // 0 none, 1 white, 2 black
inline constexpr const char* kExpandWindowKey = "EXPAND_WINDOW";
inline constexpr const char* kOrientKey = "ORIENT_PHOTOS";
inline constexpr const char* kIgnoreProfilesKey = "IGNORE_COLOUR_PROFILES";
inline constexpr const char* kNaturalOrderKey = "NATURAL_ORDER";
inline constexpr const char* kToleranceKey = "KEY_TOLERANCE";
inline constexpr const char* kKeepResolutionKey = "KEEP_RESOLUTION";
inline constexpr const char* kMultiplyKey = "BLEND_MULTIPLY";
inline constexpr const char* kGroupsKey = "SUBFOLDERS_AS_GROUPS";
inline constexpr const char* kModernFormatsKey = "MODERN_FORMATS";
inline constexpr const char* kAllFramesKey = "ALL_FRAMES";
inline constexpr const char* kRecentFoldersKey = "RecentFolders";

using SettingValue = std::variant<bool, int, std::string, std::vector<std::string>>;

// The per-user store kept between runs: QSettings in the app, a map in tests. A store may
// give back a value as text (QSettings' files keep no types); Settings reads it as the type
// its default has.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual std::optional<SettingValue> value(const std::string& key) const = 0;
  // Written through at once.
  virtual void setValue(const std::string& key, const SettingValue& value) = 0;
  virtual void remove(const std::string& key) = 0;
};

// Typed settings over the store, with a table of defaults under the stored values. Defaults
// are never stored, so they never overwrite what the user chose. Booleans stored as "YES" and
// "NO" by earlier versions are rewritten as booleans when the settings are opened.
class Settings {
 public:
  Settings(SettingsStore& store, const std::string& homeFolder);

  bool boolValue(const char* key) const;
  // The stored number; nothing when it is not a number that fits.
  std::optional<int> intValue(const char* key) const;
  std::string stringValue(const char* key) const;
  std::vector<std::string> listValue(const char* key) const;
  const SettingValue& defaultValue(const char* key) const { return defaults_.at(key); }

  void setValue(const char* key, const SettingValue& value) { store_.setValue(key, value); }
  void remove(const char* key) { store_.remove(key); }

 private:
  SettingValue lookUp(const char* key) const;

  SettingsStore& store_;
  std::map<std::string, SettingValue> defaults_;
};

}  // namespace quillane
