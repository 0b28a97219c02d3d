// Every parameter, set by the host through the loaded plug-in, changes what the plug-in plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/vantor_params.h"
#include "plugin_host.h"
#include "support/parameter_scenarios.h"

namespace vantor::testing {
namespace {

using namespace vst;

static constexpr int kRate = 44100;
static constexpr int kBlock = 512;

// The normalised value the host sends for a plain value.
float Normalised(int index, double plain) {
  const ParamSpec& desc = VantorParamSpec(index);
  const double x = (plain - desc.minimum) / (desc.maximum - desc.minimum);
  return static_cast<float>(std::pow(std::clamp(x, 0.0, 1.0), 1.0 / desc.shape));
}

// A host playing one performance: set up as hosts do, every parameter put to its default.
class HostPerformer : public Performer {
 public:
  HostPerformer() {
    plugin_.Start(static_cast<float>(kRate), kBlock);
    for (int i = 0; i < kParamCount; ++i)
      Set(i, VantorParamSpec(i).default_value);
  }
  void Set(int index, double value) override { plugin_.Set(index, Normalised(index, value)); }
  void Midi(uint8_t status, uint8_t data1, uint8_t data2) override {
    pending_.push_back(testing::Midi(0, status, data1, data2));
  }
  void Render(int frames, std::vector<double>& out) override {
    // The pending events go with the first block.
    plugin_.SendMidi(pending_);
    std::vector<double> left(static_cast<size_t>(frames)), right(left.size());
    for (int done = 0; done < frames; done += kBlock) {
      double* outputs[2] = {&left[static_cast<size_t>(done)], &right[static_cast<size_t>(done)]};
      plugin_.effect->processDoubleReplacing(plugin_.effect, nullptr, outputs,
                                             std::min(kBlock, frames - done));
    }
    pending_.clear();
    out.insert(out.end(), left.begin(), left.end());
    out.insert(out.end(), right.begin(), right.end());
  }

 private:
  HostState host_;
  Instance plugin_{&host_};
  std::vector<VstMidiEvent> pending_;
};

void ExpectEveryParameterHeard(int first, int last) {
  int covered = 0;
  for (const ParamScenario& scenario : ParamScenarios()) {
    if (scenario.index < first || scenario.index > last) continue;
    ++covered;
    HostPerformer base, changed;
    const double change = RelativeDifference(Perform(base, scenario, false, kRate),
                                             Perform(changed, scenario, true, kRate));
    EXPECT_GT(change, 0.02) << ParamLongName(scenario.index);
  }
  EXPECT_EQ(covered, last - first + 1) << "a parameter without a performance";
}

TEST(ParametersHeardTest, EveryKeyboardAndPolyParameter) {
  ExpectEveryParameterHeard(kMainVolume, kPolyVolume);
}

TEST(ParametersHeardTest, EveryResonatorAndPolyEnvelopeParameter) {
  ExpectEveryParameterHeard(kResonators, kGlobalEnvRelease);
}

TEST(ParametersHeardTest, EveryMonoAndEffectParameter) {
  ExpectEveryParameterHeard(kVcoPortamento, kEnsembleModAmount3);
}

}  // namespace
}  // namespace vantor::testing
