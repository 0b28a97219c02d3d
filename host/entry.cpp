// The plug-in's entry points: one instrument object per call, created one at a time.
#include <mutex>
#include <new>

#include "host/vst24.h"
#include "instrument/vantor.h"

#define VANTOR_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex& CreationMutex() {
  static std::mutex mutex;  // created on first use, thread-safely
  return mutex;
}

}  // namespace

VANTOR_EXPORT vst::AEffect* VSTPluginMain(vst::AudioMasterCallback host) {
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
// symbol gets its name from the assembler.
VANTOR_EXPORT vst::AEffect* VantorLegacyMain(vst::AudioMasterCallback host) __asm__("main");
vst::AEffect* VantorLegacyMain(vst::AudioMasterCallback host) {
  return VSTPluginMain(host);
}
