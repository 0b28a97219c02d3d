// The options menu commands: their questions, file prompts, answers, cancels and error messages.
#include <algorithm>
#include <cstring>

#include "platform/platform.h"

#include "shell/shell_fixture.h"

namespace vantor {
namespace {

using testing::TestVantor;
using MenuCommandsTest = testing::ShellTest;
using Button = MessageBoxButton;

const GraphicsHeadless::AskedMessage& LastMessage(const TestVantor& plugin) {
  return plugin.ui->messages().back();
}

TEST_F(MenuCommandsTest, CopyAndPasteCarryValuesAndNameToAnotherProgram) {
  TestVantor plugin;
  FillPrograms(plugin, 5);
  EXPECT_TRUE(plugin.copy_buffer().Empty());
  plugin.ExecuteMenuCommand(kMenuCopyProgram);
  EXPECT_TRUE(plugin.ui->messages().empty());
  EXPECT_FALSE(plugin.copy_buffer().Empty());
  plugin.SelectProgram(9);

  plugin.ui->AnswerNextMessage(Button::No);
  plugin.ExecuteMenuCommand(kMenuPasteProgram);
  EXPECT_EQ(LastMessage(plugin).text, "Do you really want to overwrite the current program?");
  EXPECT_EQ(LastMessage(plugin).caption, "Paste Program");
  EXPECT_EQ(LastMessage(plugin).type, MessageBoxType::YesNo);
  EXPECT_STREQ(plugin.GetProgramName(9), "Program 09");

  plugin.automated.clear();
  plugin.ui->AnswerNextMessage(Button::Yes);
  plugin.ExecuteMenuCommand(kMenuPasteProgram);
  EXPECT_STREQ(plugin.GetProgramName(9), "Program 05");
  EXPECT_DOUBLE_EQ(plugin.Param(kMainVolume)->value(), 5 / 64.0);
  EXPECT_EQ(plugin.automated.size(), 110u);
  plugin.SelectProgram(0);
  plugin.SelectProgram(9);  // stored in the slot, not only in the parameters
  EXPECT_DOUBLE_EQ(plugin.Param(kMainVolume)->value(), 5 / 64.0);
}

TEST_F(MenuCommandsTest, InitProgramSetsDefaultsNamesItInitAndTellsTheHost) {
  TestVantor plugin;
  FillPrograms(plugin, 4);
  plugin.ui->AnswerNextMessage(Button::No);
  plugin.ExecuteMenuCommand(kMenuInitProgram);
  EXPECT_EQ(LastMessage(plugin).caption, "Initialize Program");
  EXPECT_STREQ(plugin.GetProgramName(4), "Program 04");

  plugin.automated.clear();
  plugin.ui->AnswerNextMessage(Button::Cancel);  // anything but No goes ahead
  plugin.ExecuteMenuCommand(kMenuInitProgram);
  EXPECT_EQ(LastMessage(plugin).text, "Do you really want to initialize the current program?");
  EXPECT_STREQ(plugin.GetProgramName(4), "Init");
  std::vector<bool> told(110, false);
  for (int i = 0; i < 110; ++i) {
    const PluginParam& param = *plugin.Param(i);
    EXPECT_DOUBLE_EQ(param.value(), param.Clamp(param.default_value())) << i;
  }
  for (const auto& [index, value] : plugin.automated)
    told[static_cast<size_t>(index)] = true;
  EXPECT_EQ(std::count(told.begin(), told.end(), true), 110);
}

TEST_F(MenuCommandsTest, ProgramFileCommandsPromptInTheProgramFilesFolder) {
  TestVantor plugin;
  FillPrograms(plugin, 2);
  strcpy(plugin.Program(2).name, "Pad: Fat Strings");
  plugin.set_program_files_folder("/start/here");

  plugin.ExecuteMenuCommand(kMenuSaveProgram);  // cancelled
  ASSERT_EQ(plugin.ui->files().size(), 1u);
  const GraphicsHeadless::AskedFile& asked = plugin.ui->files()[0];
  EXPECT_EQ(asked.proposed, "Pad_ Fat Strings");
  EXPECT_EQ(asked.action, FileAction::Save);
  EXPECT_EQ(asked.folder, "/start/here");
  EXPECT_EQ(asked.extensions, "fxp");
  EXPECT_EQ(plugin.program_files_folder(), "/start/here");
  EXPECT_TRUE(plugin.ui->messages().empty());

  plugin.Param(kMainVolume)->set_value(0.77);  // an edit that the save stores first
  plugin.ui->ChooseNextFile(File("pad.fxp"));
  plugin.ExecuteMenuCommand(kMenuSaveProgram);
  EXPECT_EQ(plugin.program_files_folder(), files_.string());
  EXPECT_TRUE(plugin.ui->messages().empty());

  plugin.SelectProgram(6);
  plugin.ui->ChooseNextFile(File("pad.fxp"));
  plugin.ExecuteMenuCommand(kMenuLoadProgram);
  EXPECT_EQ(plugin.ui->files().back().action, FileAction::Open);
  EXPECT_EQ(plugin.ui->files().back().extensions, "fxp");
  EXPECT_STREQ(plugin.GetProgramName(6), "Pad: Fat Strings");
  EXPECT_DOUBLE_EQ(plugin.Param(kMainVolume)->value(), 0.77);
  EXPECT_TRUE(plugin.ui->messages().empty());

  plugin.ExecuteMenuCommand(kMenuLoadProgram);  // cancelled: nothing
  EXPECT_TRUE(plugin.ui->messages().empty());
}

TEST_F(MenuCommandsTest, FailedFileCommandsReportAndStillRememberTheFolder) {
  TestVantor plugin;
  FillPrograms(plugin, 0);
  const auto before = Observe(plugin);
  WriteBytes(File("other.fxp"), {'C', 'c', 'n', 'K', 0, 0, 0, 60, 'F', 'P', 'C', 'h'});
  plugin.ui->ChooseNextFile(File("other.fxp"));
  plugin.ExecuteMenuCommand(kMenuLoadProgram);
  EXPECT_EQ(LastMessage(plugin).text, "Cannot load file!");
  EXPECT_EQ(LastMessage(plugin).caption, "Error");
  EXPECT_EQ(LastMessage(plugin).type, MessageBoxType::Ok);
  EXPECT_EQ(plugin.program_files_folder(), files_.string());
  EXPECT_TRUE(Observe(plugin) == before);

  plugin.ui->ChooseNextFile(File("other.fxp"));
  plugin.ExecuteMenuCommand(kMenuLoadBank);
  EXPECT_EQ(LastMessage(plugin).text, "Cannot load file!");

  plugin.ui->ChooseNextFile("/no/such/folder/bank.fxb");
  plugin.ExecuteMenuCommand(kMenuSaveBank);
  EXPECT_EQ(LastMessage(plugin).text, "Cannot save file!");
  EXPECT_EQ(plugin.program_files_folder(), "/no/such/folder");
  EXPECT_EQ(plugin.ui->messages().size(), 3u);
}

TEST_F(MenuCommandsTest, BankCommandsSaveAndLoadAllPrograms) {
  TestVantor plugin;
  FillPrograms(plugin, 1);
  plugin.ui->ChooseNextFile(File("all.fxb"));
  plugin.ExecuteMenuCommand(kMenuSaveBank);
  EXPECT_EQ(plugin.ui->files().back().proposed, "Vantor");
  EXPECT_EQ(plugin.ui->files().back().extensions, "fxb");

  TestVantor other;
  other.ui->ChooseNextFile(File("all.fxb"));
  other.ExecuteMenuCommand(kMenuLoadBank);
  EXPECT_TRUE(other.ui->messages().empty());
  for (int i = 0; i < 64; ++i)
    EXPECT_STREQ(other.GetProgramName(i), plugin.GetProgramName(i));
}

TEST_F(MenuCommandsTest, StartupBankIsSelectedLoadedAndUnselected) {
  TestVantor source;
  FillPrograms(source, 0);
  ASSERT_TRUE(source.SaveBankFile(File("startup.fxb")));

  TestVantor plugin;
  plugin.ExecuteMenuCommand(kMenuSelectStartupBank);  // cancelled
  EXPECT_EQ(plugin.startup_bank(), "");
  const std::string folder_before = plugin.program_files_folder();
  plugin.ui->ChooseNextFile(File("startup.fxb"));
  plugin.ExecuteMenuCommand(kMenuSelectStartupBank);
  EXPECT_EQ(plugin.startup_bank(), File("startup.fxb"));
  EXPECT_EQ(plugin.program_files_folder(), folder_before);
  plugin.ExecuteMenuCommand(kMenuSelectStartupBank);  // starts at the chosen bank
  EXPECT_EQ(plugin.ui->files().back().proposed, File("startup.fxb"));
  EXPECT_EQ(plugin.ui->files().back().folder, files_.string());
  EXPECT_EQ(TestVantor().startup_bank(), File("startup.fxb")) << "written to the configuration";

  plugin.ui->AnswerNextMessage(Button::No);
  plugin.ExecuteMenuCommand(kMenuLoadStartupBank);
  EXPECT_EQ(LastMessage(plugin).text, "The Startup Bank is:\n" + File("startup.fxb") +
                                          "\n\nDo you really want to reload all programs?");
  EXPECT_EQ(LastMessage(plugin).caption, "Load Startup Bank");
  EXPECT_STREQ(plugin.GetProgramName(10), "Poly: Basso Oooh");  // still the factory bank
  plugin.ui->AnswerNextMessage(Button::Yes);
  plugin.ExecuteMenuCommand(kMenuLoadStartupBank);
  EXPECT_STREQ(plugin.GetProgramName(10), "Program 10");

  plugin.ui->AnswerNextMessage(Button::No);
  plugin.ExecuteMenuCommand(kMenuUnselectStartupBank);
  EXPECT_EQ(LastMessage(plugin).text, "The Startup Bank is:\n" + File("startup.fxb") +
                                          "\n\nDo you really want to unselect it?");
  EXPECT_EQ(plugin.startup_bank(), File("startup.fxb"));
  plugin.ui->AnswerNextMessage(Button::Yes);
  plugin.ExecuteMenuCommand(kMenuUnselectStartupBank);
  EXPECT_EQ(plugin.startup_bank(), "");
  EXPECT_EQ(TestVantor().startup_bank(), "");

  std::filesystem::remove(File("startup.fxb"));
  plugin.set_startup_bank(File("startup.fxb"));
  plugin.ui->AnswerNextMessage(Button::Yes);
  plugin.ExecuteMenuCommand(kMenuLoadStartupBank);
  EXPECT_EQ(LastMessage(plugin).text, "Cannot load file!");
}

TEST_F(MenuCommandsTest, DefaultPathTakesTheChosenFolder) {
  TestVantor plugin;
  plugin.set_program_files_folder("");
  plugin.ExecuteMenuCommand(kMenuProgramFilesFolder);  // cancelled
  ASSERT_EQ(plugin.ui->files().size(), 1u);
  EXPECT_EQ(plugin.ui->files()[0].proposed, "[file name is ignored]");
  EXPECT_EQ(plugin.ui->files()[0].folder, platform::DocumentsFolder());
  EXPECT_EQ(plugin.ui->files()[0].extensions, " ");
  EXPECT_EQ(plugin.program_files_folder(), "");

  plugin.ui->ChooseNextFile("/music/presets/[file name is ignored]");
  plugin.ExecuteMenuCommand(kMenuProgramFilesFolder);
  EXPECT_EQ(plugin.program_files_folder(), "/music/presets");
  EXPECT_EQ(TestVantor().program_files_folder(), "/music/presets");
}

TEST_F(MenuCommandsTest, ConfigurationIsReloadedAndSavedOnlyWhenConfirmed) {
  TestVantor plugin;
  const std::string ini = plugin.config_path();
  plugin.controller_map()[20] = kVcfCutoff;
  plugin.ui->AnswerNextMessage(Button::No);
  plugin.ExecuteMenuCommand(kMenuSaveConfig);
  EXPECT_EQ(LastMessage(plugin).text,
            "The INI configuration file is:\n" + ini + "\n\nDo you really want to overwrite it?");
  EXPECT_EQ(LastMessage(plugin).caption, "Save Configuration");
  EXPECT_EQ(std::filesystem::file_size(ini), 0u);
  plugin.ui->AnswerNextMessage(Button::Yes);
  plugin.ExecuteMenuCommand(kMenuSaveConfig);
  EXPECT_GT(std::filesystem::file_size(ini), 0u);

  plugin.controller_map()[20] = -1;
  plugin.ui->AnswerNextMessage(Button::No);
  plugin.ExecuteMenuCommand(kMenuReloadConfig);
  EXPECT_EQ(LastMessage(plugin).text,
            "The INI configuration file is:\n" + ini + "\n\nDo you really want to reload it?");
  EXPECT_EQ(LastMessage(plugin).caption, "Reload Configuration");
  EXPECT_EQ(plugin.controller_map()[20], -1);
  plugin.ui->AnswerNextMessage(Button::Yes);
  plugin.ExecuteMenuCommand(kMenuReloadConfig);
  EXPECT_EQ(plugin.controller_map()[20], kVcfCutoff);

  std::filesystem::remove(ini);
  plugin.ui->AnswerNextMessage(Button::Yes);
  plugin.ExecuteMenuCommand(kMenuReloadConfig);
  EXPECT_EQ(LastMessage(plugin).text, "The INI file does not exist.");
  EXPECT_EQ(LastMessage(plugin).caption, "Problem with INI File");
  EXPECT_EQ(plugin.controller_map()[20], kVcfCutoff);
}

TEST_F(MenuCommandsTest, OtherNumbersDoNothing) {
  TestVantor plugin;
  FillPrograms(plugin, 0);
  const auto before = Observe(plugin);
  for (int number : {-1, 3, 8, 12, 14, 17, 18, 19, 23, 24, 1000})
    plugin.ExecuteMenuCommand(number);
  EXPECT_TRUE(Observe(plugin) == before);
  EXPECT_TRUE(plugin.ui->messages().empty());
  EXPECT_TRUE(plugin.ui->files().empty());
  EXPECT_FALSE(plugin.midi_thru());
  EXPECT_FALSE(plugin.alternative_view());
}

TEST_F(MenuCommandsTest, SelectProgramStoresEditsAndTellsTheHost) {
  TestVantor plugin;
  FillPrograms(plugin, 0);
  plugin.Param(kMainVolume)->set_value(0.5);
  const int notifications = plugin.program_notifications;
  plugin.automated.clear();
  plugin.SelectProgram(12);
  EXPECT_EQ(plugin.current_program(), 12);
  EXPECT_EQ(plugin.program_notifications, notifications + 1);
  EXPECT_EQ(plugin.automated.size(), 110u);
  plugin.SelectProgram(0);
  EXPECT_EQ(plugin.Param(kMainVolume)->value(), 0.5);
}

}  // namespace
}  // namespace vantor
