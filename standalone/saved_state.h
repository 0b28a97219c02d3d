// What the standalone program remembers between runs: the bank and the current program, kept
// as a bank file under the user's state folder.
#pragma once

#include <string>

#include "tools/vsthost/plugin.h"

namespace vantor::standalone {

// $XDG_STATE_HOME/Brenwick/Vantor/last-session.fxb (~/.local/state when the variable is unset).
std::string SavedStatePath();

// Loads a bank file into the plug-in and selects the program it names. Nothing changes when the
// file is rejected; `error` then says why.
bool LoadBankFile(vsthost::Plugin& plugin, const std::string& path, std::string& error);

struct RestoreResult {
  enum class Kind { kNothingSaved, kRestored, kSetAside } kind = Kind::kNothingSaved;
  std::string message;  // for kSetAside: what was wrong and where the file went
};
// Restores the saved state at `path`. A file that does not load is renamed beside itself
// ("last-session.fxb.damaged", "...damaged-2", ...) and the plug-in keeps its own start bank.
RestoreResult RestoreState(vsthost::Plugin& plugin, const std::string& path);

// Writes the bank and current program to `path` in one step (a temporary file renamed into
// place), making its folder when needed.
bool SaveState(vsthost::Plugin& plugin, const std::string& path, std::string& error);

}  // namespace vantor::standalone
