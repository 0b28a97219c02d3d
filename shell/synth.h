// Synth: the instrument shell layer between the host binding and the instrument.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/fx_format.h"
#include "host/plugin_vst.h"

namespace vantor {

class Graphics;
class ProfileFile;

// The assignment of MIDI controllers 0 .. 119 to parameter indices (-1: none).
using ControllerMap = std::array<int32_t, 120>;

struct MidiLearnState {
  bool active = false;
  bool unlearn = false;
  int32_t controller = -1;
  int32_t parameter = -1;
};

// Options menu command numbers (the menu items' identifiers).
enum MenuCommand : int {
  kMenuCopyProgram = 0,
  kMenuPasteProgram = 1,
  kMenuInitProgram = 2,
  kMenuLoadProgram = 4,
  kMenuSaveProgram = 5,
  kMenuLoadBank = 6,
  kMenuSaveBank = 7,
  kMenuSelectStartupBank = 9,
  kMenuLoadStartupBank = 10,
  kMenuUnselectStartupBank = 11,
  kMenuProgramFilesFolder = 13,
  kMenuReloadConfig = 15,
  kMenuSaveConfig = 16,
  kMenuSwitchView = 18,
  kMenuMidiThru = 20,
  kMenuIgnoreProgramChange = 21,
  kMenuCheckForUpdate = 22,
  // The editor's zoom submenu, after the other items: 100%, 150%, 200%.
  kMenuZoom = 24,
};

// Groups of WriteConfig: everything, or the key that one menu command changed.
enum ConfigGroup : int {
  kConfigAll = -1,
  kConfigProgramFilesFolder = kMenuProgramFilesFolder,
  kConfigView = kMenuSwitchView,
  kConfigMidiThru = kMenuMidiThru,
  kConfigIgnoreProgramChange = kMenuIgnoreProgramChange,
  kConfigEditorZoom = kMenuZoom,
};

class Synth : public PluginVst {
 public:
  static constexpr int kNumBitmapKeys = 15;
  // The maker's web site, named and opened by the options menu.
  static constexpr const char* kMakerWebHost = "www.brenwick.example";
  static constexpr const char* kMakerHomePage = "https://www.brenwick.example/";
  static constexpr int kConfigMissing = 11;  // ReadConfig: the file is not there

  explicit Synth(vst::AudioMasterCallback host = nullptr);
  ~Synth() override;

  void ResetEngine() override;
  void ParamChanged(int index) override;
  void ActivationChanged(bool active) override;
  void HandleMidiMessage(const MidiMessage& message) override;

  // Slots appended by this layer.
  virtual void SilenceAllVoices() {}   // 43
  virtual void DeclareParameters() {}  // 44
  virtual void ToggleView();           // 45

  // Declares parameter `index` as enumerated over `count` display texts.
  void DefineEnumerated(int index, const char* name, int default_value, int count,
                        const char* const* texts);

  // A queued control change (not the mod wheel or sustain pedal) reaching its time.
  void ApplyQueuedController(int controller, int value);

  // MIDI learn: the learn switch of the editor starts and ends it.
  void StartMidiLearn(bool unlearn);
  void StopMidiLearn();
  void ResolveMidiLearn();

  // ---- configuration file ----
  // Reads every setting from the file; 0, or kConfigMissing when the file is not there.
  int ReadConfig();
  // Takes every setting that `profile` holds, as ReadConfig does with the file's text.
  void ReadConfigFrom(const ProfileFile& profile);
  // Writes the "Startup Bank" section and then the group; false when the file was not written.
  bool WriteConfig(int group);
  // Writes the start-up bank path alone, or removes it from memory and the file.
  bool WriteStartupBank();
  bool RemoveStartupBank();

  // ---- programs, banks and their files ----
  void ExecuteMenuCommand(int number);
  void SelectProgram(int n);
  void InitProgram();
  void CopyProgram();
  void PasteProgram();
  // Each is all or nothing: a load that fails leaves every slot and parameter as it was, a save
  // that fails leaves the file that was there.
  bool SaveProgramFile(const std::string& path);
  bool SaveBankFile(const std::string& path);
  bool LoadProgramFile(const std::string& path);
  bool LoadBankFile(const std::string& path);
  // Start-up: loads the configuration's StartupBank when LoadBankFile accepts it and returns
  // true; otherwise empties the StartupBank path (in memory only) and returns false, and the
  // instrument falls back to its factory bank.
  bool LoadStartupBankFile();
  // The program and bank files as bytes, and their readers (also used on memory by tests and
  // fuzzing). The readers commit nothing unless the whole file is usable.
  std::vector<uint8_t> ProgramFileBytes();
  std::vector<uint8_t> BankFileBytes();
  bool LoadProgramBytes(const uint8_t* data, size_t size);
  bool LoadBankBytes(const uint8_t* data, size_t size);
  // The file name offered when saving the current program: its name with the characters that
  // file systems refuse replaced by '_'.
  std::string ProposedProgramFileName() const;
  // The folder part of a path: the text before its last '/' or '\\'.
  static std::string FolderOf(const std::string& path);

  // The editor object: created with the plug-in, owned here. Tests may replace it.
  Graphics& graphics() { return *graphics_; }
  void ReplaceGraphics(std::unique_ptr<Graphics> graphics);

  const std::string& config_path() const { return config_path_; }
  const std::string& startup_bank() const { return startup_bank_; }
  void set_startup_bank(const std::string& path) { startup_bank_ = path; }
  const std::string& program_files_folder() const { return program_files_folder_; }
  void set_program_files_folder(const std::string& path) { program_files_folder_ = path; }
  bool alternative_view() const { return alternative_view_; }
  // The editor zoom chosen in the options menu and remembered in the configuration file
  // (percent), 0 while none was chosen.
  int editor_zoom() const { return editor_zoom_; }
  const std::string& bitmap_path(int slot) const {
    return bitmap_paths_[static_cast<size_t>(slot)];
  }
  const StateChunk& copy_buffer() const { return copy_buffer_; }

  bool midi_thru() const { return midi_thru_; }
  void set_midi_thru(bool on) { midi_thru_ = on; }
  bool ignore_program_change() const { return ignore_program_change_; }
  void set_ignore_program_change(bool on) { ignore_program_change_ = on; }
  ControllerMap& controller_map() { return controller_map_; }
  const MidiLearnState& midi_learn() const { return learn_; }

 protected:
  // Hands a note, pitch bend, pressure or control change to the engine's time-ordered queue.
  virtual void QueueMidiMessage(const MidiMessage& /*message*/) {}
  // The learn switch went off after a learn or unlearn finished; the editor redraws it.
  virtual void MidiLearnEnded() {}
  // Shows the view the alternative-view flag selects while the editor window is open.
  virtual void ShowView() {}
  // The online version check of the options menu.
  virtual void CheckForUpdate() {}
  // The editor object was replaced (ReplaceGraphics); the instrument fills the new one.
  virtual void GraphicsReplaced() {}

  // Finds the configuration file, creating it (from the template beside the module when there is
  // one) when it is missing, and reads it.
  void FindConfigFile();
  void ReportUnreadableConfig();
  // A Yes/No question; true unless the answer was No.
  bool Ask(const char* text, const char* caption);
  void ShowError(const char* text);
  // Commands 4 to 7: file prompt, operation, folder memory, error message.
  void LoadOrSaveWithPrompt(int command);

  std::vector<uint8_t> ChunkFile(FxHeader header, const StateChunk& chunk) const;

  std::unique_ptr<Graphics> graphics_;
  std::string config_path_;
  std::string documents_folder_;
  std::string startup_bank_;
  std::string program_files_folder_;
  bool alternative_view_ = false;
  int editor_zoom_ = 0;
  std::array<std::string, kNumBitmapKeys> bitmap_paths_;
  StateChunk copy_buffer_;
  int copied_program_ = -1;

  ControllerMap controller_map_;
  MidiLearnState learn_;
  bool midi_thru_ = false;
  bool ignore_program_change_ = false;
};

}  // namespace vantor
