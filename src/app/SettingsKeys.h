#pragma once

namespace quillane {

// The keys of the settings kept between runs.
inline constexpr const char* kSrcDirKey = "SRC_DIR";
inline constexpr const char* kDstDirKey = "DST_DIR";
inline constexpr const char* kOptionTransKey = "OPTION_TRANS";
inline constexpr const char* kExpandWindowKey = "EXPAND_WINDOW";
inline constexpr const char* kOrientPhotosKey = "ORIENT_PHOTOS";
// The window frame, saved by the front end.
inline constexpr const char* kMainFrameName = "MainFrame";

}  // namespace quillane
