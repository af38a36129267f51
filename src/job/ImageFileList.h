#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillane {

// Lists the folder's image files as the job takes them: regular files (not links) with an
// accepted extension, hidden ones included, sorted by stem then extension comparing bytes,
// as full paths. A folder that cannot be listed raises quillane::Error: FolderMissing,
// NotAFolder, FolderPathTooLong or FolderUnreadable (with the errno).
// With modernFormats, WebP, HEIF and JPEG XL files are listed too.
std::vector<std::string> listImageFiles(const std::string& folder, bool modernFormats = false);

// Whether a file of this name is taken as an image: JPEG, BMP, GIF, PNG and TIFF extensions
// in any case, the PICT ones in lower case only; with modernFormats, those of
// modernFormatName too.
bool isImageFileName(const std::string& name, bool modernFormats = false);

// The format a WebP, HEIF (heic, heif), AVIF or JPEG XL extension names, in any case:
// "WebP", "HEIC", "AVIF" or "JPEG XL"; empty for any other name.
std::string_view modernFormatName(const std::string& name);

}  // namespace quillane
