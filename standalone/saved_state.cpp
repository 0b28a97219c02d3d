// Saving and restoring the standalone program's bank and program as a bank file.
#include "standalone/saved_state.h"

#include <cstdio>
#include <vector>

#include "platform/platform.h"
#include "tools/vsthost/fx_file.h"
#include "tools/vsthost/setup.h"

namespace vantor::standalone {

std::string SavedStatePath() {
  using platform::JoinPath;
  return JoinPath(JoinPath(JoinPath(platform::UserStateFolder(), "Brenwick"), "Vantor"),
                  "last-session.fxb");
}

bool LoadBankFile(vsthost::Plugin& plugin, const std::string& path, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!platform::FileExists(path)) {
    error = "there is no file " + path;
    return false;
  }
  if (!platform::ReadWholeFile(path, &bytes)) {
    error = "cannot read " + path;
    return false;
  }
  vsthost::FxFile file;
  if (!vsthost::ParseFxFile(bytes, file, error)) {
    error = path + ": " + error;
    return false;
  }
  if (!file.is_bank) {
    error = path + " is a program file (.fxp), not a bank";
    return false;
  }
  std::string report;
  if (!vsthost::LoadPresetFile(plugin, path, report, error)) return false;
  const int current = file.bank.current_program;
  if (current >= 0 && current < plugin.NumPrograms()) plugin.SetProgram(current);
  return true;
}

RestoreResult RestoreState(vsthost::Plugin& plugin, const std::string& path) {
  RestoreResult result;
  if (!platform::FileExists(path)) return result;
  std::string error;
  if (LoadBankFile(plugin, path, error)) {
    result.kind = RestoreResult::Kind::kRestored;
    return result;
  }
  // Set aside under the first free name, so an earlier damaged file is not overwritten.
  std::string aside = path + ".damaged";
  for (int n = 2; platform::FileExists(aside) && n < 1000; ++n)
    aside = path + ".damaged-" + std::to_string(n);
  result.kind = RestoreResult::Kind::kSetAside;
  if (std::rename(path.c_str(), aside.c_str()) == 0) {
    result.message = "the saved state could not be restored (" + error + "); it was set aside as " +
                     aside + ", and the factory bank is used";
  } else {
    result.message = "the saved state could not be restored (" + error +
                     ") nor set aside; the factory bank is used, and quitting replaces the file";
  }
  return result;
}

bool SaveState(vsthost::Plugin& plugin, const std::string& path, std::string& error) {
  const std::string folder = path.substr(0, path.find_last_of('/'));
  if (!platform::MakeFolders(folder)) {
    error = "cannot make the folder " + folder;
    return false;
  }
  const std::vector<uint8_t> bytes = vsthost::WriteFxBank(vsthost::CaptureBank(plugin));
  if (!platform::WriteWholeFile(path, bytes.data(), bytes.size())) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace vantor::standalone
