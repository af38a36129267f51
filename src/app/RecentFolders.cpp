#include "app/RecentFolders.h"

#include <algorithm>

namespace quillane {
namespace {

// Enough to find the folders of the last days' work; a longer menu gets hard to read.
constexpr std::size_t kMaxRecentFolders = 10;

}  // namespace

void RecentFolders::add(const std::string& folder) {
  std::vector<std::string> list = folders();
  std::erase(list, folder);
  list.insert(list.begin(), folder);
  if (list.size() > kMaxRecentFolders) list.resize(kMaxRecentFolders);
  settings_.setValue(kRecentFoldersKey, list);
}

void RecentFolders::remove(const std::string& folder) {
  std::vector<std::string> list = folders();
  if (std::erase(list, folder) > 0) settings_.setValue(kRecentFoldersKey, list);
}

}  // namespace quillane
