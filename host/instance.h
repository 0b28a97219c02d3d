// One instrument object created as the plug-in's entry points create it, for programs that link
// the instrument in and drive it through the VST 2.4 binding as a host does.
#pragma once

#include "host/vst24.h"

namespace vantor {

// Null when the object could not be made; nothing is thrown.
vst::AEffect* VST_CALL CreatePluginInstance(vst::AudioMasterCallback host);

}  // namespace vantor
