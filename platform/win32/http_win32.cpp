// HttpGet on Windows: no network access yet, so every request fails as if offline.
#include "platform/platform.h"

namespace vantor::platform {

// Stands in until the WinINet request is written; callers treat false as "no connection".
bool HttpGet(const std::string&, int, const std::string&, const std::string&, int, size_t,
             std::string*) {
  return false;
}

}  // namespace vantor::platform
