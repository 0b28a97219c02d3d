// Synth: the per-user configuration file: finding it, reading it and writing its groups.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/number_text.h"
#include "editor/graphics.h"
#include "platform/platform.h"
#include "platform/profile_file.h"
#include "shell/synth.h"

namespace vantor {
namespace {

constexpr const char* kMakerFolder = "Brenwick";
constexpr const char* kConfigFileName = "vantor.ini";

constexpr const char* kStartupBankSection = "Startup Bank";
constexpr const char* kGlobalSection = "Global";
constexpr const char* kEditorSection = "Editor";
constexpr const char* kMidiGlobalSection = "MIDI Global";
constexpr const char* kMidiControlSection = "MIDI Control";
constexpr const char* kFileKey = "File";
constexpr const char* kProgramFilesKey = "Path to Program Files";
// In "Global" rather than "Editor", whose keys "Save Configuration" rewrites as a fixed set.
constexpr const char* kEditorZoomKey = "Editor Zoom";
constexpr const char* kSwitchViewKey = "Switch View";
constexpr const char* kMidiThruKey = "MIDI Thru";
constexpr const char* kIgnoreProgramChangeKey = "Ignore Program Change";
constexpr const char* kDefaultBitmap = "default";

// In the order of the editor layout's bitmap slots.
constexpr const char* kBitmapKeys[Synth::kNumBitmapKeys] = {
    "Bitmap_Back",    "Bitmap_AltBack", "Bitmap_Handle",  "Bitmap_Button",   "Bitmap_Knob",
    "Bitmap_Switch1", "Bitmap_Switch2", "Bitmap_Switch3", "Bitmap_Switch4",  "Bitmap_Switch5",
    "Bitmap_LEDOn",   "Bitmap_Learn",   "Bitmap_Unlearn", "Bitmap_Previous", "Bitmap_Next"};

// Longest value taken from the file: paths may be as long as the system allows, the switches
// and controller numbers are short words.
constexpr size_t kPathValueLimit = 4095;
constexpr size_t kShortValueLimit = 62;

std::string Value(const ProfileFile& profile, const char* section, const char* key, size_t limit) {
  std::string value = profile.Get(section, key).value_or("");
  // Text after a NUL byte is not part of a value.
  value.resize(std::min(strnlen(value.c_str(), value.size()), limit));
  return value;
}

const char* TrueFalse(bool flag) {
  return flag ? "true" : "false";
}

// A zoom factor ("1.5") or percentage ("150%") as the nearest zoom offered; 0 for anything
// else.
int ZoomFromText(const std::string& value) {
  double number = 0.0;
  const size_t used = ReadLeadingNumber(value, &number);
  if (used == 0 || !(number > 0.0) || !std::isfinite(number)) return 0;
  const bool percent = value.find('%', used) != std::string::npos;
  return NearestZoomPercent(percent ? number / 100.0 : number);
}

// The leading decimal integer of `value` as the C library would read it, held to int32.
int32_t LeadingInteger(const std::string& value) {
  const long long n = strtoll(value.c_str(), nullptr, 10);
  if (n > INT32_MAX) return INT32_MAX;
  if (n < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(n);
}

}  // namespace

void Synth::FindConfigFile() {
  const std::string folder = platform::JoinPath(platform::UserConfigFolder(), kMakerFolder);
  platform::MakeFolders(folder);
  config_path_ = platform::JoinPath(folder, kConfigFileName);
  documents_folder_ = platform::DocumentsFolder();
  program_files_folder_ = documents_folder_;

  if (platform::FileExists(config_path_)) {
    ReadConfig();
    return;
  }
  // First start: begin with the template beside the plug-in when there is one.
  std::vector<uint8_t> template_bytes;
  const std::string module_folder = platform::ModuleFolder();
  const bool has_template =
      !module_folder.empty() &&
      platform::ReadWholeFile(platform::JoinPath(module_folder, kConfigFileName), &template_bytes);
  platform::WriteWholeFile(config_path_, template_bytes.data(), template_bytes.size());
  if (has_template) ReadConfig();
}

int Synth::ReadConfig() {
  if (!platform::FileExists(config_path_)) return kConfigMissing;
  try {
    ProfileFile profile;
    if (ProfileFile::Load(config_path_, &profile)) {
      ReadConfigFrom(profile);
    } else {
      ReportUnreadableConfig();
    }
  } catch (const std::exception&) {
    ReportUnreadableConfig();  // what was read so far stays
  }
  return 0;
}

void Synth::ReadConfigFrom(const ProfileFile& profile) {
  // The MIDI intake reads the switches and the controller map under the plug-in mutex.
  std::lock_guard lock(mutex_);
  startup_bank_ = Value(profile, kStartupBankSection, kFileKey, kPathValueLimit);
  if (std::string folder = Value(profile, kGlobalSection, kProgramFilesKey, kPathValueLimit);
      !folder.empty()) {
    program_files_folder_ = folder;
  }
  // Only the exact word "true" switches a flag on; a missing key leaves it.
  if (std::string view = Value(profile, kEditorSection, kSwitchViewKey, kShortValueLimit);
      !view.empty()) {
    alternative_view_ = view == "true";
    if (graphics_->IsWindowOpen()) ShowView();
  }
  if (const int zoom =
          ZoomFromText(Value(profile, kGlobalSection, kEditorZoomKey, kShortValueLimit)))
    editor_zoom_ = zoom;
  for (int i = 0; i < kNumBitmapKeys; ++i) {
    std::string path = Value(profile, kEditorSection, kBitmapKeys[i], kPathValueLimit);
    bitmap_paths_[static_cast<size_t>(i)] = path.empty() ? kDefaultBitmap : path;
  }
  if (std::string thru = Value(profile, kMidiGlobalSection, kMidiThruKey, kShortValueLimit);
      !thru.empty()) {
    midi_thru_ = thru == "true";
  }
  if (std::string ignore =
          Value(profile, kMidiGlobalSection, kIgnoreProgramChangeKey, kShortValueLimit);
      !ignore.empty()) {
    ignore_program_change_ = ignore == "true";
  }
  for (int c = 0; c < static_cast<int>(controller_map_.size()); ++c) {
    char key[16];
    snprintf(key, sizeof key, "CC%i", c);
    const std::string value = Value(profile, kMidiControlSection, key, kShortValueLimit);
    if (value.empty()) continue;
    // Entries outside the parameter range are kept but never act.
    const int32_t n = LeadingInteger(value);
    controller_map_[static_cast<size_t>(c)] = (n != 0 || value[0] == '0') ? n : -1;
  }
}

void Synth::ReportUnreadableConfig() {
  graphics_->ShowMessageBox("Uhoh, something is wrong with reading the INI file!",
                            "Problem with INI File", MessageBoxType::Ok);
}

bool Synth::WriteConfig(int group) {
  ProfileFile profile;
  if (!ProfileFile::Load(config_path_, &profile)) return false;
  std::unique_lock lock(mutex_);
  profile.EmptySection(kStartupBankSection);
  profile.Set(kStartupBankSection, kFileKey, startup_bank_);
  if (group == kConfigAll || group == kConfigProgramFilesFolder) {
    profile.Set(kGlobalSection, kProgramFilesKey, program_files_folder_);
  }
  if (group == kConfigAll) {
    profile.EmptySection(kEditorSection);
    for (int i = 0; i < kNumBitmapKeys; ++i) {
      const std::string& path = bitmap_paths_[static_cast<size_t>(i)];
      profile.Set(kEditorSection, kBitmapKeys[i], path.empty() ? kDefaultBitmap : path);
    }
  }
  if (group == kConfigAll || group == kConfigView) {
    profile.Set(kEditorSection, kSwitchViewKey, TrueFalse(alternative_view_));
  }
  // Only a zoom the user chose is written; without one the display decides each time.
  if ((group == kConfigAll || group == kConfigEditorZoom) && editor_zoom_ != 0) {
    profile.Set(kGlobalSection, kEditorZoomKey, ZoomFactorText(editor_zoom_));
  }
  if (group == kConfigAll || group == kConfigMidiThru) {
    profile.Set(kMidiGlobalSection, kMidiThruKey, TrueFalse(midi_thru_));
  }
  if (group == kConfigAll || group == kConfigIgnoreProgramChange) {
    profile.Set(kMidiGlobalSection, kIgnoreProgramChangeKey, TrueFalse(ignore_program_change_));
  }
  if (group == kConfigAll) {
    profile.EmptySection(kMidiControlSection);
    for (int c = 0; c < static_cast<int>(controller_map_.size()); ++c) {
      const int32_t entry = controller_map_[static_cast<size_t>(c)];
      if (entry < 0) continue;
      char key[16];
      char value[16];
      snprintf(key, sizeof key, "CC%i", c);
      snprintf(value, sizeof value, "%i", entry);
      profile.Set(kMidiControlSection, key, value);
    }
  }
  lock.unlock();
  return profile.Save(config_path_);
}

bool Synth::WriteStartupBank() {
  ProfileFile profile;
  if (!ProfileFile::Load(config_path_, &profile)) return false;
  profile.EmptySection(kStartupBankSection);
  profile.Set(kStartupBankSection, kFileKey, startup_bank_);
  return profile.Save(config_path_);
}

bool Synth::RemoveStartupBank() {
  startup_bank_.clear();
  ProfileFile profile;
  if (!ProfileFile::Load(config_path_, &profile)) return false;
  profile.RemoveSection(kStartupBankSection);
  return profile.Save(config_path_);
}

void Synth::ToggleView() {
  alternative_view_ = !alternative_view_;
  WriteConfig(kConfigView);
  if (graphics_->IsWindowOpen()) {
    ShowView();
    RefreshEditorControls();
  }
}

}  // namespace vantor
