// The plug-in's entry points: one instrument object per call, created one at a time.
#include <mutex>
#include <new>
#include <type_traits>

#include "host/vst24.h"
#include "instrument/vantor.h"

#ifdef _WIN32
// host/exports.def names what a Windows plug-in exports.
#define VANTOR_EXPORT extern "C"
#else
#define VANTOR_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {

std::mutex& CreationMutex() {
  static std::mutex mutex;  // created on first use, thread-safely
  return mutex;
}

}  // namespace

VANTOR_EXPORT vst::AEffect* VST_CALL VSTPluginMain(vst::AudioMasterCallback host) {
  std::lock_guard lock(CreationMutex());
  vantor::Vantor* plugin = nullptr;
  try {
    plugin = new vantor::Vantor(host);
  } catch (...) {
    return nullptr;  // nothing may be thrown into the host
  }
  // Slots the start-up bank left empty still get a state the host can recall.
  plugin->FillEmptyProgramSlots();
  vst::AEffect* effect = plugin->effect();
  if (effect->numPrograms < 1) effect->numPrograms = 1;
  return effect;
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
