// Envelopes and filters: retrigger without a click, setters on the running stage, the state rule,
// stability.
// (The filters' responses are held to their formulas by the voice and resonator tests.)
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/envelope_generator.h"
#include "engine/ladder_filter.h"
#include "engine/voice_filter.h"
#include "engine_test_util.h"

namespace vantor {
namespace {

// Seconds for an attack from 0 to 1 or a release from 1 to 0 at time setting x.
double StageSeconds(double x) {
  return std::pow(10.0, 4.5 * x - 2.3);
}

int TicksUntil(EnvelopeGenerator& envelope, int stage_left) {
  int ticks = 0;
  while (envelope.stage == stage_left) {
    envelope.Tick();
    ++ticks;
  }
  return ticks;
}

TEST(EnvelopeTest, RetriggerContinuesFromThePresentLevel) {
  EnvelopeGenerator envelope;
  envelope.attack = 0.0;
  envelope.release = 0.3;
  envelope.StartAttack();
  TicksUntil(envelope, EnvelopeGenerator::kAttack);
  envelope.Release();
  for (int i = 0; i < 2000; ++i)
    envelope.Tick();
  const double before = envelope.output;
  ASSERT_GT(before, 0.2);
  ASSERT_LT(before, 0.9);
  envelope.StartAttack();
  double previous = before, largest_step = 0.0;
  int ticks = 0;
  while (envelope.stage == EnvelopeGenerator::kAttack) {
    const double y = envelope.Tick();
    largest_step = std::max(largest_step, std::fabs(y - previous));
    previous = y;
    ++ticks;
  }
  // From mid level the attack is shorter than from silence, and no sample jumps.
  EXPECT_LT(ticks, StageSeconds(0.0) * 44100);
  EXPECT_LT(largest_step, 0.02);
}

TEST(EnvelopeTest, SettersActOnTheRunningStage) {
  EnvelopeGenerator envelope;
  envelope.decay = 1.0;
  envelope.sustain = 0.5;
  envelope.StartAttack();
  TicksUntil(envelope, EnvelopeGenerator::kAttack);
  ASSERT_EQ(envelope.stage, EnvelopeGenerator::kDecay);
  envelope.SetSustain(0.0);
  envelope.SetDecay(0.0);
  for (int i = 0; i < 44100; ++i)
    envelope.Tick();
  // Decaying towards a sustain of 0 the note goes on until released.
  EXPECT_LT(envelope.output, 1e-6);
  EXPECT_EQ(envelope.stage, EnvelopeGenerator::kDecay);
}

PitchTables Tables(double rate) {
  PitchTables tables;
  tables.Build(rate);
  return tables;
}

TEST(LadderFilterTest, ModeChangeFollowsTheStateRule) {
  LadderFilter vcf;  // pre-charged, as the mono VCF starts
  vcf.SetMode(LadderFilter::kLowpass);
  EXPECT_EQ(vcf.s1, 1.0);
  EXPECT_EQ(vcf.s3, -1.0);
  EXPECT_EQ(vcf.g4 + vcf.k + vcf.a, 0.0);  // coefficients wait for the next update
  LadderFilter resonator;
  resonator.clear_state = true;
  resonator.SetMode(LadderFilter::kBandpass);
  EXPECT_EQ(resonator.s1 + resonator.s3, 0.0);
  // Bandpass feedback stays finite at full resonance: (Gh Gl)^2 never exceeds 1/16.
  const PitchTables tables = Tables(44100);
  resonator.resonance = 1.0;
  for (int step = 0; step <= kMaxPitchStep; step += 97) {
    resonator.cutoff_steps = step;
    resonator.Update(0.0, tables);
    ASSERT_TRUE(std::isfinite(resonator.k)) << step;
  }
}

// Full resonance at every cutoff, fed with a loud square and then silence: finite, never
// subnormal, and the states stay bounded.
TEST(FilterStabilityTest, FullResonanceStaysFiniteAndNormal) {
  const PitchTables tables = Tables(44100);
  std::vector<double> input(4410);
  for (size_t i = 0; i < input.size(); ++i)
    input[i] = i < 2205 ? ((i / 50) % 2 ? 4.0 : -4.0) : 0.0;
  std::vector<double> out(input.size());
  for (int step : {0, 3000, 9000, 14000, 17280, 40000, -40000}) {
    for (int mode = 1; mode <= 3; ++mode) {
      const auto run = [&](auto& filter, const char* name) {
        filter.SetMode(mode);
        filter.resonance = 1.0;
        filter.cutoff_steps = step;
        filter.Update(0.0, tables);
        filter.Process(input.data(), out.data(), static_cast<int>(input.size()));
        EXPECT_TRUE(testing::AllFiniteAndNormal(out)) << name << " mode " << mode << " at " << step;
      };
      VoiceFilter biquad;
      run(biquad, "biquad");
      LadderFilter ladder;
      run(ladder, "ladder");
      EXPECT_LE(std::fabs(ladder.s1), 5.0);
    }
  }
}

}  // namespace
}  // namespace vantor
