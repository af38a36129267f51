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

// How a job takes a folder's images.
struct ListingOptions {
  bool naturalOrder = false;   // runs of digits in names by their value (sortNaturally)
  bool subfolders = false;     // the images of subfolders too, each with the folder it lies in
  bool modernFormats = false;  // WebP, HEIF and JPEG XL files too
};

// Subfolders nested deeper than this below the listed folder are not told apart: their
// images count as lying in their ancestor at this depth.
inline constexpr int kMaxFolderDepth = 8;

// A folder's images in reading order, as full paths: the folder's own first, then each
// subfolder's the same way, subfolders sorted by name as the files are. Subfolders are real
// folders, not links to one; with no image anywhere below, one adds nothing.
struct ImageFiles {
  std::vector<std::string> paths;
  // With subfolders: per path, the folder it lies in below the listed one ("" for the
  // listed folder itself, "a/b" for b inside a); without, empty.
  std::vector<std::string> folders;
};
ImageFiles listImageFiles(const std::string& folder, ListingOptions options);

// Whether a file of this name is taken as an image: JPEG, BMP, GIF, PNG and TIFF extensions
// in any case, the PICT ones in lower case only; with modernFormats, those of
// modernFormatName too.
bool isImageFileName(const std::string& name, bool modernFormats = false);

// The format a WebP, HEIF (heic, heif), AVIF or JPEG XL extension names, in any case:
// "WebP", "HEIC", "AVIF" or "JPEG XL"; empty for any other name.
std::string_view modernFormatName(const std::string& name);

}  // namespace quillane
