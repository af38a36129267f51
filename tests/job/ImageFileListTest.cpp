#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "job/ImageFileList.h"
#include "support/TempFolder.h"
#include "util/Error.h"

namespace quillane {
namespace {

using testsupport::TempFolder;

std::vector<std::string> fullPaths(const std::string& folder,
                                   const std::vector<std::string>& names) {
  std::vector<std::string> paths;
  for (const auto& name : names) paths.push_back(folder + "/" + name);
  return paths;
}

TEST(ImageFileList, ListsRegularFilesWithAcceptedExtensionsOnly) {
  TempFolder folder;
  for (const char* name : {"a.JPG", "b.Png", "c.PICT", "d.Pct", "e.pict", "f.txt", "noext",
                           ".hidden.png", "g.tiff", "h.Gif", "i.bmp", "j.jpeg", "k.TIF", "l.pic"})
    folder.write(name, "x");
  std::filesystem::create_directory(folder.file("folder.jpg"));
  std::filesystem::create_directory(folder.file("sub"));
  folder.write("sub/inner.png", "x");
  std::filesystem::create_symlink(folder.file("a.JPG"), folder.file("link.jpg"));
  ASSERT_EQ(::mkfifo(folder.file("fifo.png").c_str(), 0600), 0);

  EXPECT_EQ(listImageFiles(folder.path()),
            fullPaths(folder.path(), {".hidden.png", "a.JPG", "b.Png", "e.pict", "g.tiff", "h.Gif",
                                      "i.bmp", "j.jpeg", "k.TIF", "l.pic"}));
}

TEST(ImageFileList, SortsByStemThenExtensionComparingBytes) {
  TempFolder folder;
  for (const char* name :
       {"a-b.png", "a.png", "a.jpg", "B.png", "10.png", "2.png", "a.bmp", "ab.gif", "a.b.tif"})
    folder.write(name, "x");

  // The stem a sorts before a-b and a.b although a-b.png < a.png as whole names;
  // upper case before lower case; 10 before 2.
  EXPECT_EQ(listImageFiles(folder.path()),
            fullPaths(folder.path(), {"10.png", "2.png", "B.png", "a.bmp", "a.jpg", "a.png",
                                      "a-b.png", "a.b.tif", "ab.gif"}));
}

TEST(ImageFileList, JoinsFolderAndNameWithExactlyOneSeparator) {
  TempFolder folder;
  folder.write("a.png", "x");
  for (const std::string& given : {folder.path(), folder.path() + "/", folder.path() + "//"}) {
    EXPECT_EQ(listImageFiles(given), std::vector<std::string>{folder.file("a.png")}) << given;
  }
}

TEST(ImageFileList, FolderThatCannotBeListedSaysWhy) {
  TempFolder folder;
  const std::string notAFolder = folder.write("a.png", "x");
  std::filesystem::create_symlink("loop", folder.file("loop"));
  const std::pair<std::string, ErrorKind> cases[] = {
      {folder.file("missing"), ErrorKind::FolderMissing},
      {notAFolder, ErrorKind::NotAFolder},
      {folder.file(std::string(300, 'n')), ErrorKind::FolderPathTooLong},
      {folder.file("loop"), ErrorKind::FolderUnreadable},  // ELOOP, even for root
  };
  for (const auto& [path, kind] : cases) {
    try {
      listImageFiles(path);
      ADD_FAILURE() << path;
    } catch (const Error& error) {
      EXPECT_EQ(error.kind, kind) << path;
      EXPECT_EQ(error.file, path);
    }
  }
}

TEST(ImageFileList, SubfoldersFollowTheFolderOwnImagesEachWithItsFolderUpToTheDepthLimit) {
  TempFolder folder;
  std::string deep = "d1";
  for (int depth = 2; depth <= kMaxFolderDepth + 2; ++depth) deep += "/d" + std::to_string(depth);
  const std::string limit = deep.substr(0, deep.find("/d" + std::to_string(kMaxFolderDepth + 1)));
  for (const std::string& name : {std::string("s10/a.png"), std::string("s2/a.png"),
                                  std::string("top.png"), deep + "/x.png"}) {
    folder.makeFolder(std::filesystem::path(name).parent_path());
    folder.write(name, "x");
  }
  const ImageFiles files =
      listImageFiles(folder.path(), {.naturalOrder = true, .subfolders = true});
  EXPECT_EQ(files.paths,
            fullPaths(folder.path(), {"top.png", deep + "/x.png", "s2/a.png", "s10/a.png"}));
  EXPECT_EQ(files.folders, (std::vector<std::string>{"", limit, "s2", "s10"}));
}

TEST(ImageFileList, AcceptsExtensionsInAnyCaseButPictInLowerCaseOnly) {
  const std::pair<const char*, bool> cases[] = {
      {"x.jpg", true},   {"x.JPEG", true}, {"x.bMp", true},  {"x.GIF", true}, {"x.png", true},
      {"x.Tif", true},   {"x.TIFF", true}, {"x.pict", true}, {"x.pct", true}, {"x.pic", true},
      {"x.PICT", false}, {"x.Pct", false}, {"x.psd", false}, {"png", false},  {"x.png.txt", false},
      {".png", true},    {"x.", false},    {"", false},
  };
  for (const auto& [name, accepted] : cases) EXPECT_EQ(isImageFileName(name), accepted) << name;
  // The modern formats' only with their option.
  for (const char* name : {"x.webp", "x.HEIC", "x.heif", "x.Avif", "x.jxl"})
    EXPECT_TRUE(isImageFileName(name, true) && !isImageFileName(name)) << name;
}

}  // namespace
}  // namespace quillane
