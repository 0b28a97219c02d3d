// Profile files: lookup without regard to case, edits that keep every other line, safe writes.
#include "platform/profile_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/test_home.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(ProfileFileTest, LooksUpSectionsAndKeysWithoutRegardToCase) {
  const ProfileFile profile(
      "; settings\n"
      "stray=before any section\n"
      "[Editor]\n"
      "  Switch View = true  \n"
      "Bitmap_Back=\"/home/a b/back.png\"\n"
      "switch view=second\n"
      "[editor]\n"
      "Bitmap_Knob=in a duplicate section\n");
  EXPECT_EQ(profile.Get("EDITOR", "switch View"), "true");  // blanks trimmed, first key wins
  EXPECT_EQ(profile.Get("Editor", "Bitmap_Back"), "/home/a b/back.png");  // quotes stripped
  EXPECT_FALSE(profile.Get("Editor", "Bitmap_Knob"));  // only the first section is read
  EXPECT_FALSE(profile.Get("Editor", "stray"));
  EXPECT_FALSE(profile.Get("Global", "Switch View"));
}

TEST(ProfileFileTest, EditsKeepOtherLinesInPlace) {
  ProfileFile profile(
      "; my notes\n"
      "[Global]\n"
      "path to program files=/old\n"
      "Other=1\n"
      "\n"
      "[MIDI Control]\n"
      "; learned\n"
      "CC7=0\n"
      "[Keep]\n"
      "x=y\n");
  profile.Set("GLOBAL", "Path to Program Files", "/new");
  profile.Set("Global", "Added", "2");
  profile.EmptySection("midi control");
  profile.Set("MIDI Control", "CC74", "38");
  profile.Set("Startup Bank", "File", "");
  EXPECT_EQ(profile.Text(),
            "; my notes\n"
            "[Global]\n"
            "Path to Program Files=/new\n"
            "Other=1\n"
            "Added=2\n"
            "\n"
            "[MIDI Control]\n"
            "CC74=38\n"
            "[Keep]\n"
            "x=y\n"
            "[Startup Bank]\n"
            "File=\n");
  profile.RemoveSection("startup bank");
  profile.RemoveSection("Not There");
  EXPECT_EQ(profile.Text().find("Startup"), std::string::npos);
  EXPECT_EQ(profile.Get("Keep", "x"), "y");
}

TEST(ProfileFileTest, EmptyingASectionDropsItsDuplicatesAndKeepsCrLfFiles) {
  ProfileFile profile("[A]\r\nk=1\r\n[B]\r\nm=2\r\n[a]\r\nk=3\r\n");
  profile.EmptySection("A");
  profile.Set("A", "k", "4");
  EXPECT_EQ(profile.Text(), "[A]\r\nk=4\r\n[B]\r\nm=2\r\n");
}

TEST(ProfileFileTest, AByteOrderMarkHidesNoSectionAndIsWrittenBack) {
  ProfileFile profile("\xEF\xBB\xBF[Startup Bank]\r\nFile=C:\\banks\\mine.fxb\r\n");
  EXPECT_EQ(profile.Get("Startup Bank", "File"), "C:\\banks\\mine.fxb");
  profile.Set("Global", "Path to Program Files", "C:\\x");
  EXPECT_EQ(profile.Text(),
            "\xEF\xBB\xBF[Startup Bank]\r\nFile=C:\\banks\\mine.fxb\r\n[Global]\r\n"
            "Path to Program Files=C:\\x\r\n");
  EXPECT_EQ(ProfileFile("\xEF\xBB[A]\nk=v\n").Get("A", "k"),
            std::nullopt);  // a broken mark is text
}

TEST(ProfileFileTest, ValuesCannotAddLines) {
  ProfileFile profile;
  profile.Set("Startup Bank", "File", "/evil\n[MIDI Control]\nCC1=5");
  EXPECT_FALSE(profile.Get("MIDI Control", "CC1"));
  EXPECT_EQ(profile.Get("Startup Bank", "File"), "/evil[MIDI Control]CC1=5");
}

TEST(ProfileFileTest, GarbageIsReadWithoutHarm) {
  std::string garbage("[Editor\n=no key\n[]\n\x01\x02=\x03\n[Global]\nk=v\0w\n", 40);
  garbage += std::string(100000, 'x') + "\n[MIDI Control]\nCC1=" + std::string(50000, '9');
  const ProfileFile profile(garbage);
  EXPECT_EQ(profile.Get("Global", "k"), std::string("v\0w", 3));
  EXPECT_EQ(profile.Get("MIDI Control", "CC1")->size(), 50000u);
  EXPECT_FALSE(profile.Get("Editor", "x"));
}

TEST(ProfileFileTest, MissingFileReadsEmptyAndIsCreatedOnFirstSave) {
  const fs::path folder = testing::TestRoot() / "profile-create";
  fs::create_directories(folder);
  const std::string path = (folder / "new.ini").string();
  ProfileFile profile;
  ASSERT_TRUE(ProfileFile::Load(path, &profile));
  EXPECT_EQ(profile.Text(), "");
  EXPECT_FALSE(fs::exists(path));
  profile.Set("Global", "k", "v");
  ASSERT_TRUE(profile.Save(path));
  EXPECT_EQ(ReadText(path), "[Global]\nk=v\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
      << "no temporary file may be left behind";
}

TEST(ProfileFileTest, FailedSaveLeavesTheOldFileAndASymlinkStaysALink) {
  const fs::path folder = testing::TestRoot() / "profile-save";
  fs::create_directories(folder / "real");
  const fs::path target = folder / "real" / "vantor.ini";
  { std::ofstream(target) << "[A]\nk=old\n"; }
  const fs::path link = folder / "vantor.ini";
  fs::create_symlink(target, link);

  ProfileFile profile;
  ASSERT_TRUE(ProfileFile::Load(link.string(), &profile));
  profile.Set("A", "k", "new");
  ASSERT_TRUE(profile.Save(link.string()));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadText(target), "[A]\nk=new\n");

  // A folder where the file should be cannot be replaced; it stays as it is.
  EXPECT_FALSE(profile.Save(folder.string() + "/real"));
  EXPECT_FALSE(ProfileFile::Load((folder / "real").string(), &profile));
  EXPECT_TRUE(fs::is_directory(folder / "real"));
  EXPECT_FALSE(profile.Save((folder / "missing" / "x.ini").string()));
}

}  // namespace
}  // namespace vantor
