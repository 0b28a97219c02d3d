// One instrument object per call, created one at a time.
#include "host/instance.h"

#include <mutex>
#include <new>

#include "instrument/vantor.h"

namespace vantor {
namespace {

std::mutex& CreationMutex() {
  static std::mutex mutex;  // created on first use, thread-safely
  return mutex;
}

}  // namespace

vst::AEffect* VST_CALL CreatePluginInstance(vst::AudioMasterCallback host) {
  std::lock_guard lock(CreationMutex());
  Vantor* plugin = nullptr;
  try {
    plugin = new Vantor(host);
  } catch (...) {
    return nullptr;  // nothing may be thrown into the host
  }
  // Slots the start-up bank left empty still get a state the host can recall.
  plugin->FillEmptyProgramSlots();
  vst::AEffect* effect = plugin->effect();
  if (effect->numPrograms < 1) effect->numPrograms = 1;
  return effect;
}

}  // namespace vantor
