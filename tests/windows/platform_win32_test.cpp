// The Windows platform layer under Wine: shell folders, paths, whole files, module and resources.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/platform.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed again at the end of the test.
class ScratchFolder {
 public:
  ScratchFolder() {
    path_ = fs::temp_directory_path() /
            ("vantor-test-" + std::to_string(rand()) + "-" + std::to_string(rand()));
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  // UTF-8, as the platform layer takes paths.
  std::string Utf8(const std::u8string& name = u8"") const {
    const std::u8string full = name.empty() ? path_.u8string() : (path_ / name).u8string();
    return std::string(full.begin(), full.end());
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

TEST(Win32FoldersTest, ShellFoldersAreAbsoluteExistingFoldersWithoutTrailingSeparator) {
  for (const std::string& folder :
       {platform::UserConfigFolder(), platform::DocumentsFolder(), platform::DesktopFolder()}) {
    SCOPED_TRACE(folder);
    ASSERT_GE(folder.size(), 3u);
    EXPECT_EQ(folder[1], ':');
    EXPECT_NE(folder.back(), '\\');
    EXPECT_TRUE(platform::FolderExists(folder));
  }
  EXPECT_NE(platform::UserConfigFolder().find("AppData\\Local"), std::string::npos);
}

TEST(Win32FoldersTest, PathsJoinWithBackslashes) {
  EXPECT_EQ(platform::JoinPath("C:\\a", "b.ini"), "C:\\a\\b.ini");
  EXPECT_EQ(platform::JoinPath("C:\\a\\", "b.ini"), "C:\\a\\b.ini");
  EXPECT_EQ(platform::JoinPath("C:/a/", "b.ini"), "C:/a/b.ini");
  EXPECT_EQ(platform::JoinPath("", "b.ini"), "b.ini");
}

TEST(Win32FoldersTest, NestedFoldersAreMadeAlsoWithNonAsciiNamesAndMixedSeparators) {
  ScratchFolder scratch;
  const std::string deep = scratch.Utf8() + "\\x/y\\\\Brenwick \xC3\xA4\xE2\x82\xAC";
  EXPECT_TRUE(platform::MakeFolders(deep));
  EXPECT_TRUE(platform::FolderExists(deep));
  EXPECT_TRUE(fs::is_directory(scratch.path() / "x" / "y" / u8"Brenwick ä€"));
  EXPECT_TRUE(platform::MakeFolders(deep));  // already there
  EXPECT_FALSE(platform::FileExists(deep));
  EXPECT_FALSE(platform::MakeFolders(""));
}

TEST(Win32FilesTest, WholeFilesRoundTripAndReplaceAtomically) {
  ScratchFolder scratch;
  const std::string path = scratch.Utf8(u8"vantor ä.ini");
  const uint8_t first[] = {1, 2, 3, 0, 5};
  ASSERT_TRUE(platform::WriteWholeFile(path, first, sizeof first));
  EXPECT_TRUE(platform::FileExists(path));
  std::vector<uint8_t> read;
  ASSERT_TRUE(platform::ReadWholeFile(path, &read));
  EXPECT_EQ(read, std::vector<uint8_t>(first, first + 5));

  const std::string text = "[Global]\r\nPath to Program Files=C:\\x\r\n";
  ASSERT_TRUE(platform::WriteWholeFile(path, text.data(), text.size()));
  ASSERT_TRUE(platform::ReadWholeFile(path, &read));
  EXPECT_EQ(std::string(read.begin(), read.end()), text);
  EXPECT_TRUE(platform::WriteWholeFile(path, nullptr, 0));
  ASSERT_TRUE(platform::ReadWholeFile(path, &read));
  EXPECT_TRUE(read.empty());
  // Nothing but the file itself is left in the folder: no temporary files.
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), fs::directory_iterator()), 1);
}

TEST(Win32FilesTest, ReadingRefusesFoldersMissingFilesAndFilesOverTheLimit) {
  ScratchFolder scratch;
  const std::string path = scratch.Utf8(u8"big.bin");
  const std::vector<uint8_t> bytes(100, 7);
  ASSERT_TRUE(platform::WriteWholeFile(path, bytes.data(), bytes.size()));
  std::vector<uint8_t> read = {1};
  EXPECT_FALSE(platform::ReadWholeFile(path, &read, 99));
  EXPECT_TRUE(read.empty());
  EXPECT_TRUE(platform::ReadWholeFile(path, &read, 100));
  EXPECT_FALSE(platform::ReadWholeFile(scratch.Utf8(), &read));
  EXPECT_FALSE(platform::ReadWholeFile(scratch.Utf8(u8"missing.bin"), &read));
  EXPECT_FALSE(platform::ReadWholeFile("", &read));
}

TEST(Win32FilesTest, WritingIntoAMissingFolderOrOverAFolderFailsAndLeavesNothing) {
  ScratchFolder scratch;
  const char byte = 'x';
  EXPECT_FALSE(platform::WriteWholeFile(scratch.Utf8(u8"no such folder\\a.fxb"), &byte, 1));
  EXPECT_FALSE(platform::WriteWholeFile(scratch.Utf8(), &byte, 1));
  EXPECT_FALSE(platform::WriteWholeFile(scratch.Utf8() + "\\", &byte, 1));
  EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), fs::directory_iterator()), 0);
}

TEST(Win32ModuleTest, ModuleFolderIsTheFolderOfThisProgramAndCanBeOverridden) {
  const std::string folder = platform::ModuleFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '\\');
  EXPECT_TRUE(platform::FileExists(folder + "windows_platform_tests.exe"));
  platform::OverrideModuleFolder("C:\\templates");
  EXPECT_EQ(platform::ModuleFolder(), "C:\\templates\\");
  platform::OverrideModuleFolder("");
  EXPECT_EQ(platform::ModuleFolder(), folder);
}

TEST(Win32ModuleTest, ResourcesAreFoundByNameAndNumberAndMissingOnesAreEmpty) {
  const std::string expected = "Bytes a test finds among its own resources.\n";
  const std::span<const uint8_t> by_name = platform::ModuleResource("TESTDATA", "SAMPLE");
  EXPECT_EQ(std::string(by_name.begin(), by_name.end()), expected);
  const std::span<const uint8_t> by_number = platform::ModuleResource("TESTDATA", 7);
  EXPECT_EQ(std::string(by_number.begin(), by_number.end()), expected);
  EXPECT_TRUE(platform::ModuleResource("TESTDATA", "MISSING").empty());
  EXPECT_TRUE(platform::ModuleResource("PNG", 101).empty());
}

}  // namespace
}  // namespace vantor
