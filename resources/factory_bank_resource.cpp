// The factory bank of a Windows plug-in: the bank file carried as resource "PROGINIT".
#include "platform/platform.h"
#include "resources/factory_bank.h"

namespace vantor {

std::span<const uint8_t> FactoryBankBytes() {
  return platform::ModuleResource("PROGDATA", "PROGINIT");
}

}  // namespace vantor
