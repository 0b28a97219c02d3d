// The configuration file: finding and creating it, reading it, writing its groups, garbage.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/vantor_params.h"
#include "platform/platform.h"
#include "support/test_home.h"
#include "support/test_plugin.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;
using testing::TestVantor;
using namespace std::string_literals;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override { config_home_ = testing::FreshConfigHome(); }
  void TearDown() override { platform::OverrideModuleFolder(""); }
  fs::path IniPath() const { return config_home_ / "Brenwick" / "vantor.ini"; }

  fs::path config_home_;
};

TEST_F(ConfigTest, FirstStartCreatesAnEmptyFileAndKeepsDefaults) {
  platform::OverrideModuleFolder((testing::TestRoot() / "no-template").string());
  TestVantor plugin;
  EXPECT_EQ(plugin.config_path(), IniPath().string());
  ASSERT_TRUE(fs::exists(IniPath()));
  EXPECT_EQ(fs::file_size(IniPath()), 0u);
  EXPECT_EQ(plugin.startup_bank(), "");
  EXPECT_EQ(plugin.program_files_folder(), platform::DocumentsFolder());
  EXPECT_FALSE(plugin.midi_thru());
  EXPECT_FALSE(plugin.alternative_view());
  for (int c = 0; c < 120; ++c)
    EXPECT_EQ(plugin.controller_map()[c], -1);
  EXPECT_TRUE(plugin.ui->messages().empty());
}

TEST_F(ConfigTest, TheExampleFileIsReadAndWrittenBack) {
  std::string example =
      "[Startup Bank]\n"
      "File=\n"
      "[Global]\n"
      "Path to Program Files=/home/someone/Documents\n"
      "[Editor]\n";
  const char* keys[] = {"Bitmap_Back",    "Bitmap_AltBack",  "Bitmap_Handle",  "Bitmap_Button",
                        "Bitmap_Knob",    "Bitmap_Switch1",  "Bitmap_Switch2", "Bitmap_Switch3",
                        "Bitmap_Switch4", "Bitmap_Switch5",  "Bitmap_LEDOn",   "Bitmap_Learn",
                        "Bitmap_Unlearn", "Bitmap_Previous", "Bitmap_Next"};
  for (const char* key : keys)
    example += std::string(key) + "=default\n";
  example +=
      "Switch View=false\n"
      "[MIDI Global]\n"
      "MIDI Thru=false\n"
      "Ignore Program Change=false\n"
      "[MIDI Control]\n"
      "CC74=38\n";
  WriteText(IniPath(), example);

  TestVantor plugin;
  EXPECT_EQ(plugin.program_files_folder(), "/home/someone/Documents");
  EXPECT_EQ(plugin.controller_map()[74], kFilterCutoff);
  EXPECT_EQ(plugin.bitmap_path(14), "default");
  fs::remove(IniPath());
  ASSERT_TRUE(plugin.WriteConfig(kConfigAll));
  EXPECT_EQ(ReadText(IniPath()), example);
}

TEST_F(ConfigTest, ValuesAreReadAsTheyStand) {
  WriteText(IniPath(),
            "[startup bank]\nfile=/banks/mine.fxb\n"
            "[EDITOR]\nswitch view=True\nBitmap_Knob=/art/knob.png\n"
            "[MIDI Global]\nMIDI Thru=true\nIgnore Program Change=yes\n"
            "[MIDI Control]\nCC7=0\nCC8=abc\nCC9=500\nCC10=-3\nCC11=12junk\nCC12=\n"
            "CC13=99999999999999999999\nCC120=5\nCC-1=5\n");
  TestVantor plugin;
  // Start-up forgets a StartupBank that does not load (in memory only); read the file again.
  EXPECT_EQ(plugin.startup_bank(), "");
  plugin.ReadConfig();
  EXPECT_EQ(plugin.startup_bank(), "/banks/mine.fxb");
  EXPECT_FALSE(plugin.alternative_view());  // only the exact word "true" counts
  EXPECT_EQ(plugin.bitmap_path(4), "/art/knob.png");
  EXPECT_EQ(plugin.bitmap_path(0), "default");
  EXPECT_TRUE(plugin.midi_thru());
  EXPECT_FALSE(plugin.ignore_program_change());
  const ControllerMap& map = plugin.controller_map();
  EXPECT_EQ(map[7], kMainVolume);
  EXPECT_EQ(map[8], -1);
  EXPECT_EQ(map[9], 500);  // kept, but never acts
  EXPECT_EQ(map[10], -3);
  EXPECT_EQ(map[11], 12);
  EXPECT_EQ(map[12], -1);
  EXPECT_EQ(map[13], INT32_MAX);
  plugin.ApplyQueuedController(9, 100);
  plugin.ApplyQueuedController(13, 100);
  EXPECT_TRUE(plugin.automated.empty());
}

// "Editor Zoom" holds a factor or a percentage; the nearest of 1, 1.5 and 2 is taken (halfway:
// the smaller), anything but a positive number is ignored, and the factor is written back.
TEST_F(ConfigTest, TheEditorZoomIsReadAsTheNearestFactorAndWrittenAsOne) {
  const struct {
    const char* text;
    int percent;          // 0: not a zoom, the key is ignored
    const char* written;  // as "Save Configuration" writes it back
  } cases[] = {{"1", 100, "1"},      {"1.5", 150, "1.5"}, {"2", 200, "2"},    {"150%", 150, "1.5"},
               {"200 %", 200, "2"},  {"1.24", 100, "1"},  {"1.25", 100, "1"}, {"1.26", 150, "1.5"},
               {"1.75", 150, "1.5"}, {"1.76", 200, "2"},  {"3", 200, "2"},    {"130%", 150, "1.5"},
               {"0", 0, ""},         {"-1", 0, ""},       {"abc", 0, ""},     {"nan", 0, ""},
               {"", 0, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    WriteText(IniPath(), "[Global]\nEditor Zoom="s + c.text + "\n");
    TestVantor plugin;
    EXPECT_EQ(plugin.editor_zoom(), c.percent);
    ASSERT_TRUE(plugin.WriteConfig(kConfigEditorZoom));
    // An ignored value stays as the user wrote it.
    const std::string kept = "[Global]\nEditor Zoom="s + (c.percent ? c.written : c.text) + "\n";
    EXPECT_EQ(ReadText(IniPath()).substr(0, kept.size()), kept);
  }
}

TEST_F(ConfigTest, GarbageFilesAreReadWithoutCrashing) {
  std::string garbage = "\xff\xfe[MIDI Control\nCC1=\x80\x81\n[MIDI Control]\nCC5=";
  garbage += std::string(200000, '7');
  garbage += "\nCC6=4\nCC6=9\n\0\0\0\n[Global]\nPath to Program Files="s;
  garbage += std::string(10000, 'p');
  garbage += "\n[Editor]\nBitmap_Back=\x01\x02\n";
  WriteText(IniPath(), garbage);
  TestVantor plugin;
  EXPECT_EQ(plugin.controller_map()[5], INT32_MAX);  // the value is cut, not the reading
  EXPECT_EQ(plugin.controller_map()[6], 4);          // the first of duplicate keys
  EXPECT_EQ(plugin.controller_map()[1], -1);
  EXPECT_EQ(plugin.program_files_folder().size(), 4095u);
  EXPECT_TRUE(plugin.ui->messages().empty());
}

TEST_F(ConfigTest, GroupsWriteOnlyTheirKeysAndKeepTheRest) {
  WriteText(IniPath(),
            "; hand-written notes\n[Global]\nPath to Program Files=/old\n"
            "[Editor]\nBitmap_Back=/mine.png\n[MIDI Control]\nCC3=4\n[Other]\nx=1\n");
  TestVantor plugin;
  plugin.set_program_files_folder("/new");
  plugin.ExecuteMenuCommand(kMenuMidiThru);
  EXPECT_TRUE(plugin.midi_thru());
  const std::string after = ReadText(IniPath());
  EXPECT_NE(after.find("; hand-written notes\n[Global]\nPath to Program Files=/old\n"),
            std::string::npos);  // group 20 leaves the folder
  EXPECT_NE(after.find("[Startup Bank]\nFile=\n"), std::string::npos);
  EXPECT_NE(after.find("[MIDI Global]\nMIDI Thru=true\n"), std::string::npos);
  EXPECT_EQ(after.find("Ignore Program Change"), std::string::npos);
  EXPECT_NE(after.find("[Other]\nx=1\n"), std::string::npos);

  plugin.controller_map()[3] = -1;
  plugin.controller_map()[74] = kFilterCutoff;
  ASSERT_TRUE(plugin.WriteConfig(kConfigAll));
  const std::string all = ReadText(IniPath());
  EXPECT_NE(all.find("[MIDI Control]\nCC74=38\n"), std::string::npos);
  EXPECT_EQ(all.find("CC3="), std::string::npos);
  EXPECT_NE(all.find("Path to Program Files=/new\n"), std::string::npos);
  EXPECT_NE(all.find("Bitmap_Back=/mine.png\n"), std::string::npos);
}

TEST_F(ConfigTest, SwitchesAndLearnedControllersAreRememberedAcrossInstances) {
  {
    TestVantor first;
    first.ExecuteMenuCommand(kMenuIgnoreProgramChange);
    first.ExecuteMenuCommand(kMenuMidiThru);
    first.ToggleView();
    first.StartMidiLearn(false);
    first.HandleMidiMessage({0, 0xB3, 74, 1});
    first.SetParamFromEditor(kFilterCutoff, 0.25);
    ASSERT_EQ(first.controller_map()[74], kFilterCutoff);
  }
  TestVantor second;
  EXPECT_TRUE(second.ignore_program_change());
  EXPECT_TRUE(second.midi_thru());
  EXPECT_TRUE(second.alternative_view());
  EXPECT_EQ(second.controller_map()[74], -1) << "learned only reaches the file when saved";
  second.controller_map()[74] = kFilterCutoff;
  second.ui->AnswerNextMessage(MessageBoxButton::Yes);
  second.ExecuteMenuCommand(kMenuSaveConfig);

  TestVantor third;
  EXPECT_EQ(third.controller_map()[74], kFilterCutoff);
  third.HandleMidiMessage({0, 0xB0, 74, 127});
  third.ApplyQueuedController(74, 127);
  EXPECT_EQ(third.Param(kFilterCutoff)->value(), 1.0);
}

TEST_F(ConfigTest, TemplateBesideTheModuleIsCopiedOnFirstStartOnly) {
  const fs::path templates = testing::TestRoot() / "module";
  WriteText(templates / "vantor.ini", "[MIDI Global]\nMIDI Thru=true\n[MIDI Control]\nCC1=2\n");
  platform::OverrideModuleFolder(templates.string());
  {
    TestVantor first;
    EXPECT_TRUE(first.midi_thru());
    EXPECT_EQ(first.controller_map()[1], 2);
  }
  EXPECT_EQ(ReadText(IniPath()), ReadText(templates / "vantor.ini"));
  WriteText(templates / "vantor.ini", "[MIDI Global]\nMIDI Thru=false\n");
  TestVantor second;
  EXPECT_TRUE(second.midi_thru()) << "the copy is read, not the template";
}

TEST_F(ConfigTest, StartupBankSectionIsWrittenAloneAndRemoved) {
  WriteText(IniPath(), "[Startup Bank]\nFile=/a.fxb\nStale=1\n[Global]\nk=v\n");
  TestVantor plugin;
  plugin.set_startup_bank("/b.fxb");
  ASSERT_TRUE(plugin.WriteStartupBank());
  EXPECT_EQ(ReadText(IniPath()), "[Startup Bank]\nFile=/b.fxb\n[Global]\nk=v\n");
  ASSERT_TRUE(plugin.RemoveStartupBank());
  EXPECT_EQ(plugin.startup_bank(), "");
  EXPECT_EQ(ReadText(IniPath()), "[Global]\nk=v\n");
}

}  // namespace
}  // namespace vantor
