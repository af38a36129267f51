#include "app/AppDelegate.h"
#include "app/SettingsKeys.h"

namespace quillane {

Settings& AppDelegate::userDefaults() {
  if (!userDefaults_) userDefaults_ = std::make_unique<Settings>(toolkit->settings());
  return *userDefaults_;
}

// The defaults are strings, as the store keeps them; the typed getters read "0" as 0 and
// "YES" as true.
void AppDelegate::makeDefaultDictionary() {
  const std::string pictures = toolkit->homeDirectory() + "/Pictures";
  defaultsDic = {
      {kSrcDirKey, pictures},
      {kDstDirKey, pictures},
      {kOptionTransKey, "0"},
      {kExpandWindowKey, "YES"},
      {kOrientPhotosKey, "NO"},
  };
}

void AppDelegate::registerDefaultValue() {
  userDefaults().registerDefaults(defaultsDic);
  userDefaults().synchronize();
}

}  // namespace quillane
