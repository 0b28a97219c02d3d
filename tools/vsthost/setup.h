// Preparing an instance from the command line: programs, parameter values, preset files.
#pragma once

#include <string>
#include <vector>

#include "tools/vsthost/fx_file.h"
#include "tools/vsthost/plugin.h"

namespace vsthost {

// By exact name, then by name in any letter case, then by number.
bool FindParameter(Plugin& plugin, const std::string& name, int& index, std::string& error);

// Sets a parameter to the value whose display reads `text`: first through the plug-in's own
// text entry, then by searching its display texts, and, for a number from 0 to 1 that no
// display shows, as the normalised value. `how` tells which way it went.
bool SetParameterFromText(Plugin& plugin, int index, const std::string& text, std::string& how,
                          std::string& error);

// By number (from 0), exact name, name in any letter case, or a unique part of a name.
bool FindProgram(Plugin& plugin, const std::string& text, int& index, std::string& error);

// Loads a .fxp into the current program or a .fxb into the whole bank, as hosts do: the
// identifier must match, parameter lists go through setParameter, chunks through effSetChunk.
// Nothing is changed when the file is rejected.
bool LoadPresetFile(Plugin& plugin, const std::string& path, std::string& report,
                    std::string& error);

// The current program, or every program, in the form a host writes to disk.
FxProgram CaptureProgram(Plugin& plugin);
FxBank CaptureBank(Plugin& plugin);

// Whether a display text shows the wanted text: the same words in any letter case, the text
// followed by a unit ("440" and "440 Hz"), or the same number to the display's precision.
bool DisplayMatches(const std::string& display, const std::string& wanted);

// Leading number of a display or entry text; "1.5k" and "1.5 kHz" count as 1500.
bool LeadingNumber(const std::string& text, double& value, int& decimals);

}  // namespace vsthost
