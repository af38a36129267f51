#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "app/Toolkit.h"

namespace quillane {

// The settings as the controller reads them: registered defaults as a fallback layer under
// the stored values, typed getters that read strings such as "0" and "YES", and typed
// setters. Registering stores nothing, so it never overwrites what the user chose.
class Settings {
 public:
  explicit Settings(toolkit::SettingsStore& store) : store_(store) {}

  void registerDefaults(const std::map<std::string, std::string>& defaults);

  std::string stringForKey(const std::string& key) const;
  std::int64_t integerForKey(const std::string& key) const;
  bool boolForKey(const std::string& key) const;

  void setString(const std::string& key, const std::string& value) { store_.setValue(key, value); }
  void setInteger(const std::string& key, std::int64_t value);
  void setBool(const std::string& key, bool value);
  void synchronize() { store_.synchronize(); }

 private:
  // The stored value, else the registered default, else nothing.
  std::optional<std::string> lookUp(const std::string& key) const;

  toolkit::SettingsStore& store_;
  std::map<std::string, std::string> registered_;
};

}  // namespace quillane
