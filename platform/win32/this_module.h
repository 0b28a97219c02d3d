// The Windows module (plug-in DLL or program) that holds this code.
#pragma once

#include <windows.h>

namespace vantor::platform {

// The module this code was linked into, not the host's program.
HMODULE ThisModule();

}  // namespace vantor::platform
