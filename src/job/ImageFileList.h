#pragma once

#include <string>
#include <vector>

namespace quillane {

// Lists the folder's image files as the job takes them: regular files (not links) with an
// accepted extension, hidden ones included, sorted by stem then extension comparing bytes,
// as full paths. A folder that cannot be listed raises quillane::Error: FolderMissing,
// NotAFolder, FolderPathTooLong or FolderUnreadable (with the errno).
std::vector<std::string> listImageFiles(const std::string& folder);

// Whether a file of this name is taken as an image: JPEG, BMP, GIF, PNG and TIFF extensions
// in any case, the PICT ones in lower case only.
bool isImageFileName(const std::string& name);

}  // namespace quillane
