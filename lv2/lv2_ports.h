// The LV2 binding's identifiers and port layout, shared by the plug-in, its UI and the bundle
// generator.
#pragma once

#include <string>

#include "engine/param_ids.h"

namespace vantor::lv2 {

// Identifiers under the maker's web host; hosts store them in sessions, so they never change.
#define VANTOR_LV2_URI "https://www.brenwick.example/lv2/vantor"
inline constexpr const char* kPluginUri = VANTOR_LV2_URI;
inline constexpr const char* kUiUri = VANTOR_LV2_URI "#ui";
// State keys: the bank chunk and the current program of a session, the program chunk of a preset.
inline constexpr const char* kBankKey = VANTOR_LV2_URI "#bank";
inline constexpr const char* kCurrentProgramKey = VANTOR_LV2_URI "#currentProgram";
inline constexpr const char* kProgramKey = VANTOR_LV2_URI "#program";
#undef VANTOR_LV2_URI

// Ports 0 .. 109 are the parameters by index, then the MIDI input and the two outputs.
inline constexpr int kControlPorts = kParamCount;
inline constexpr int kMidiInPort = kControlPorts;
inline constexpr int kLeftOutPort = kControlPorts + 1;
inline constexpr int kRightOutPort = kControlPorts + 2;
inline constexpr int kPortCount = kControlPorts + 3;

// The port symbol of parameter `index`, made from its long name: lower case, every run of other
// characters one '_' ("Mod Wheel -> Poly FM" is "mod_wheel_poly_fm").
std::string PortSymbol(int index);

// The preset of factory program `n`.
std::string PresetUri(int n);

}  // namespace vantor::lv2
