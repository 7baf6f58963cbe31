#include "platform/files/PathParts.h"

#include <gtest/gtest.h>

namespace vosta {
namespace {

TEST(SplitPath, FolderBaseAndExtension) {
  struct Case {
    std::string path;
    PathParts parts;
  };
  const Case cases[] = {
      {"/opt/vosta//ScreenShot/20261207-101500.jpg",
       {"/opt/vosta//ScreenShot/", "20261207-101500", ".jpg"}},
      {"movie.avi", {"", "movie", ".avi"}},
      {"/a.b/name", {"/a.b/", "name", ""}},  // a "." in the folder is no extension
      {"/a/archive.tar.gz", {"/a/", "archive.tar", ".gz"}},
      {"/a/name.", {"/a/", "name", "."}},
      {"/a/.jpg", {"/a/", "", ".jpg"}},
      {"/a/", {"/a/", "", ""}},
      {"/", {"/", "", ""}},
      {"", {"", "", ""}},
  };
  for (const Case& c : cases) {
    const PathParts parts = SplitPath(c.path);
    EXPECT_EQ(parts, c.parts) << c.path;
    EXPECT_EQ(parts.folder + parts.base + parts.extension, c.path);
  }
}

}  // namespace
}  // namespace vosta
