// System folders: the XDG rules, the user-dirs file, and the module's own folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/platform.h"
#include "support/test_home.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;

TEST(FoldersTest, ConfigFolderFollowsXdgConfigHomeElseHomeConfig) {
  const std::string home = getenv("HOME");
  setenv("XDG_CONFIG_HOME", "/somewhere/config/", 1);
  EXPECT_EQ(platform::UserConfigFolder(), "/somewhere/config");
  setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
  EXPECT_EQ(platform::UserConfigFolder(), home + "/.config");
  unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(platform::UserConfigFolder(), home + "/.config");
}

TEST(FoldersTest, DocumentsAndDesktopComeFromUserDirsElseTheHomeFolder) {
  const std::string home = getenv("HOME");
  const fs::path config = testing::FreshConfigHome();
  EXPECT_EQ(platform::DocumentsFolder(), home + "/Documents");
  EXPECT_EQ(platform::DesktopFolder(), home + "/Desktop");
  {
    std::ofstream(config / "user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                             << "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
                                             << "XDG_DOCUMENTS_DIR=\"/data/docs/\"\n";
  }
  EXPECT_EQ(platform::DocumentsFolder(), "/data/docs");
  EXPECT_EQ(platform::DesktopFolder(), home + "/Schreibtisch");
}

TEST(FoldersTest, PathsJoinAndFoldersAreMade) {
  EXPECT_EQ(platform::JoinPath("/a", "b.ini"), "/a/b.ini");
  EXPECT_EQ(platform::JoinPath("/a/", "b.ini"), "/a/b.ini");
  EXPECT_EQ(platform::JoinPath("", "b.ini"), "b.ini");
  const fs::path deep = testing::TestRoot() / "x" / "y" / "Brenwick";
  EXPECT_TRUE(platform::MakeFolders(deep.string()));
  EXPECT_TRUE(platform::FolderExists(deep.string()));
  EXPECT_TRUE(platform::MakeFolders(deep.string()));  // already there
}

TEST(FoldersTest, ModuleFolderIsTheFolderOfThisBinary) {
  const std::string folder = platform::ModuleFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(fs::exists(fs::path(folder) / "platform_tests"));
  platform::OverrideModuleFolder("/templates");
  EXPECT_EQ(platform::ModuleFolder(), "/templates/");
  platform::OverrideModuleFolder("");
  EXPECT_EQ(platform::ModuleFolder(), folder);
}

TEST(FoldersTest, WholeFilesAreReadWithinTheirLimit) {
  const fs::path path = testing::TestRoot() / "whole.bin";
  const uint8_t bytes[] = {1, 2, 3, 0, 5};
  ASSERT_TRUE(platform::WriteWholeFile(path.string(), bytes, sizeof bytes));
  std::vector<uint8_t> read;
  ASSERT_TRUE(platform::ReadWholeFile(path.string(), &read));
  EXPECT_EQ(read, std::vector<uint8_t>(bytes, bytes + 5));
  EXPECT_FALSE(platform::ReadWholeFile(path.string(), &read, 4));
  EXPECT_TRUE(read.empty());
  EXPECT_FALSE(platform::ReadWholeFile(testing::TestRoot().string(), &read));  // a folder
  EXPECT_FALSE(platform::ReadWholeFile("", &read));
}

}  // namespace
}  // namespace vantor
