// Port symbols and preset identifiers of the LV2 binding.
#include "lv2/lv2_ports.h"

#include <cstdio>

#include "core/vantor_params.h"

namespace vantor::lv2 {

std::string PortSymbol(int index) {
  std::string symbol;
  bool gap = false;
  for (const char* c = ParamLongName(index); *c; ++c) {
    const char ch = *c;
    const bool alnum =
        (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
    if (!alnum) {
      gap = !symbol.empty();
      continue;
    }
    if (gap) symbol += '_';
    gap = false;
    symbol += (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch - 'A' + 'a') : ch;
  }
  return symbol;
}

std::string PresetUri(int n) {
  char suffix[32];
  snprintf(suffix, sizeof suffix, "#preset-%02d", n);
  return std::string(kPluginUri) + suffix;
}

}  // namespace vantor::lv2
