#pragma once

#include <string>
#include <vector>

#include "app/Settings.h"

namespace quillane {

// The folders behind File > Open Recent, newest first, kept in the settings.
class RecentFolders {
 public:
  explicit RecentFolders(Settings& settings) : settings_(settings) {}

  std::vector<std::string> folders() const { return settings_.listValue(kRecentFoldersKey); }
  void add(const std::string& folder);
  void remove(const std::string& folder);
  void clear() { settings_.remove(kRecentFoldersKey); }

 private:
  Settings& settings_;
};

}  // namespace quillane
