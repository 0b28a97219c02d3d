// The plug-in's entry points: one instrument object per call, created one at a time.
#include <type_traits>

#include "host/instance.h"
#include "host/vst24.h"

#ifdef _WIN32
// host/exports.def names what a Windows plug-in exports.
#define VANTOR_EXPORT extern "C"
#else
#define VANTOR_EXPORT extern "C" __attribute__((visibility("default")))
#endif

VANTOR_EXPORT vst::AEffect* VST_CALL VSTPluginMain(vst::AudioMasterCallback host) {
  return vantor::CreatePluginInstance(host);
}

// The older entry point; "main" cannot be declared as a C++ function of this type, so the
// symbol gets its name from the assembler, or on Windows from the export table.
#ifdef _WIN32
VANTOR_EXPORT vst::AEffect* VST_CALL VantorLegacyMain(vst::AudioMasterCallback host);
#else
VANTOR_EXPORT vst::AEffect* VST_CALL
VantorLegacyMain(vst::AudioMasterCallback host) __asm__("main");
#endif
vst::AEffect* VST_CALL VantorLegacyMain(vst::AudioMasterCallback host) {
  return VSTPluginMain(host);
}

// Hosts call both through this type; a calling convention of their own would not convert.
static_assert(std::is_same_v<decltype(&VSTPluginMain), vst::PluginEntryProc>);
static_assert(std::is_same_v<decltype(&VantorLegacyMain), vst::PluginEntryProc>);
