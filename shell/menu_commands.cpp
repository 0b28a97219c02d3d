// Synth: the options menu's commands and the program operations behind them.
#include <cstdio>
#include <cstring>

#include "editor/graphics.h"
#include "shell/synth.h"

namespace vantor {
namespace {

constexpr const char* kCannotLoad = "Cannot load file!";
constexpr const char* kCannotSave = "Cannot save file!";
constexpr size_t kProposedNameLength = 63;

// "%s" of a question that names a path.
std::string WithPath(const char* format, const std::string& path) {
  const int length = snprintf(nullptr, 0, format, path.c_str());
  std::string text(static_cast<size_t>(std::max(length, 0)), '\0');
  snprintf(text.data(), text.size() + 1, format, path.c_str());
  return text;
}

}  // namespace

bool Synth::Ask(const char* text, const char* caption) {
  return graphics_->ShowMessageBox(text, caption, MessageBoxType::YesNo) != MessageBoxButton::No;
}

void Synth::ShowError(const char* text) {
  graphics_->ShowMessageBox(text, "Error", MessageBoxType::Ok);
}

std::string Synth::FolderOf(const std::string& path) {
  const size_t separator = path.find_last_of("/\\");
  if (separator == std::string::npos) return {};
  if (separator == 0) return path.substr(0, 1);  // a file in the root folder
  return path.substr(0, separator);
}

std::string Synth::ProposedProgramFileName() const {
  std::string name = Utf8Prefix(GetProgramName(current_program_), kProposedNameLength);
  for (char& c : name) {
    if (strchr("<>:\"/\\|?*", c) && c != '\0') c = '_';
  }
  return name;
}

void Synth::SelectProgram(int n) {
  std::lock_guard lock(mutex_);
  ModifyCurrentPreset(nullptr);
  RecallProgram(n);
  NotifyProgramChange();
  PushAllParamsToHost();
}

void Synth::InitProgram() {
  std::lock_guard lock(mutex_);
  for (int i = 0; i < kNumParams; ++i) {
    const PluginParam& param = params_[static_cast<size_t>(i)];
    SetParamFromEditor(i, param.ToNormalized(param.default_value()));
  }
  ModifyCurrentPreset("Init");
  RefreshEditorControls();
  PushAllParamsToHost();
}

void Synth::CopyProgram() {
  std::lock_guard lock(mutex_);
  copied_program_ = current_program_;
  copy_buffer_.Clear();
  SerializeParams(copy_buffer_);
}

void Synth::PasteProgram() {
  std::lock_guard lock(mutex_);
  if (copy_buffer_.Empty()) return;
  UnserializeParams(copy_buffer_, 0);
  // An empty name keeps the current program's name.
  ModifyCurrentPreset(GetProgramName(copied_program_));
  RefreshEditorControls();
  PushAllParamsToHost();
}

void Synth::LoadOrSaveWithPrompt(int command) {
  const bool is_bank = command == kMenuLoadBank || command == kMenuSaveBank;
  const bool is_save = command == kMenuSaveProgram || command == kMenuSaveBank;
  std::string file;
  if (command == kMenuSaveProgram) file = ProposedProgramFileName();
  if (command == kMenuSaveBank) file = "Vantor";
  std::string folder = program_files_folder_;
  graphics_->ChooseFile(file, is_save ? FileAction::Save : FileAction::Open, folder,
                        is_bank ? "fxb" : "fxp");
  if (file.empty()) return;  // cancelled

  bool ok;
  if (is_save) {
    ModifyCurrentPreset(nullptr);
    ok = is_bank ? SaveBankFile(file) : SaveProgramFile(file);
  } else {
    ok = is_bank ? LoadBankFile(file) : LoadProgramFile(file);
  }
  // The folder is remembered whether the operation worked or not.
  program_files_folder_ = FolderOf(file);
  if (!ok) ShowError(is_save ? kCannotSave : kCannotLoad);
}

void Synth::ExecuteMenuCommand(int number) {
  switch (number) {
    case kMenuCopyProgram:
      CopyProgram();
      break;
    case kMenuPasteProgram:
      if (Ask("Do you really want to overwrite the current program?", "Paste Program")) {
        PasteProgram();
      }
      break;
    case kMenuInitProgram:
      if (Ask("Do you really want to initialize the current program?", "Initialize Program")) {
        InitProgram();
      }
      break;
    case kMenuLoadProgram:
    case kMenuSaveProgram:
    case kMenuLoadBank:
    case kMenuSaveBank:
      LoadOrSaveWithPrompt(number);
      break;
    case kMenuSelectStartupBank: {
      std::string file = startup_bank_;
      std::string folder = FolderOf(startup_bank_);
      graphics_->ChooseFile(file, FileAction::Open, folder, "fxb");
      if (file.empty()) break;
      startup_bank_ = file;
      WriteStartupBank();
      break;
    }
    case kMenuLoadStartupBank:
      if (Ask(WithPath("The Startup Bank is:\n%s\n\nDo you really want to reload all programs?",
                       startup_bank_)
                  .c_str(),
              "Load Startup Bank") &&
          !LoadBankFile(startup_bank_)) {
        ShowError(kCannotLoad);
      }
      break;
    case kMenuUnselectStartupBank:
      if (Ask(WithPath("The Startup Bank is:\n%s\n\nDo you really want to unselect it?",
                       startup_bank_)
                  .c_str(),
              "Unselect Startup Bank")) {
        RemoveStartupBank();
      }
      break;
    case kMenuProgramFilesFolder: {
      std::string file = "[file name is ignored]";
      std::string folder =
          program_files_folder_.empty() ? documents_folder_ : program_files_folder_;
      graphics_->ChooseFile(file, FileAction::Save, folder, " ");
      if (file.empty()) break;
      program_files_folder_ = FolderOf(file);
      WriteConfig(kConfigProgramFilesFolder);
      break;
    }
    case kMenuReloadConfig:
      if (Ask(WithPath("The INI configuration file is:\n%s\n\nDo you really want to reload it?",
                       config_path_)
                  .c_str(),
              "Reload Configuration") &&
          ReadConfig() == kConfigMissing) {
        graphics_->ShowMessageBox("The INI file does not exist.", "Problem with INI File",
                                  MessageBoxType::Ok);
      }
      break;
    case kMenuSaveConfig:
      if (Ask(WithPath("The INI configuration file is:\n%s\n\nDo you really want to overwrite it?",
                       config_path_)
                  .c_str(),
              "Save Configuration")) {
        WriteConfig(kConfigAll);
      }
      break;
    case kMenuMidiThru: {
      std::unique_lock lock(mutex_);  // the MIDI intake reads the switch under it
      midi_thru_ = !midi_thru_;
      lock.unlock();
      WriteConfig(kConfigMidiThru);
      break;
    }
    case kMenuIgnoreProgramChange: {
      std::unique_lock lock(mutex_);
      ignore_program_change_ = !ignore_program_change_;
      lock.unlock();
      WriteConfig(kConfigIgnoreProgramChange);
      break;
    }
    case kMenuCheckForUpdate:
      CheckForUpdate();
      break;
    default:
      break;  // separators, submenus and the commands the menu carries out itself
  }
}

}  // namespace vantor
