// Fuzz target: program and bank file readers. Any input is either loaded or refused, and a
// refused input leaves every program slot, parameter and the current program as they were;
// no input makes a parameter value that is not a number.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "support/test_plugin.h"

namespace {

struct Observed {
  std::vector<uint8_t> bank;
  std::vector<double> values;
  int current;
  bool operator==(const Observed&) const = default;
};

Observed Observe(vantor::testing::TestVantor& plugin) {
  Observed o{plugin.BankFileBytes(), {}, plugin.current_program()};
  for (int i = 0; i < vantor::PluginBase::kNumParams; ++i)
    o.values.push_back(plugin.Param(i)->value());
  return o;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static vantor::testing::TestVantor* plugin = new vantor::testing::TestVantor;
  for (bool bank : {false, true}) {
    const Observed before = Observe(*plugin);
    const bool loaded =
        bank ? plugin->LoadBankBytes(data, size) : plugin->LoadProgramBytes(data, size);
    if (!loaded && !(Observe(*plugin) == before)) abort();
    for (int i = 0; i < vantor::PluginBase::kNumParams; ++i) {
      if (!std::isfinite(plugin->Param(i)->value())) abort();
    }
  }
  plugin->automated.clear();
  return 0;
}
