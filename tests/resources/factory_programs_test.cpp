// The factory programs keep what their names promise: audible and unclipped at one loudness,
// distinct, basses low, pads slow, monos monophonic, splits two-sided, vowels with their
// formants, phasers moving.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/param_ids.h"
#include "tools/audition/descriptors.h"
#include "tools/audition/factory_programs.h"
#include "tools/audition/phrases.h"

namespace vantor::audition {
namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

struct Program {
  int slot;
  FactoryProgram program;
};

void PrintTo(const Program& p, std::ostream* os) {
  *os << p.slot << " \"" << p.program.name << '"';
}

const std::vector<Program>& AllPrograms() {
  static const std::vector<Program> programs = [] {
    std::vector<Program> all;
    const std::vector<FactoryProgram> bank = BuiltInPrograms();
    for (size_t i = 0; i < bank.size(); ++i)
      all.push_back({static_cast<int>(i), bank[i]});
    return all;
  }();
  return programs;
}

template <typename Keep>
std::vector<Program> ProgramsWhere(Keep keep) {
  std::vector<Program> chosen;
  for (const Program& p : AllPrograms()) {
    if (keep(p.program.name)) chosen.push_back(p);
  }
  return chosen;
}

std::vector<Program> InCategory(Category category) {
  return ProgramsWhere([=](const std::string& name) { return CategoryOf(name) == category; });
}

bool Names(const std::string& name, std::initializer_list<const char*> words) {
  return std::any_of(words.begin(), words.end(),
                     [&](const char* w) { return name.find(w) != std::string::npos; });
}

std::string TestName(const ::testing::TestParamInfo<Program>& info) {
  std::string name = "Slot" + std::to_string(info.param.slot) + "_";
  for (char c : info.param.program.name) {
    if (isalnum(static_cast<unsigned char>(c))) name += c;
  }
  return name;
}

// The program's sound for a phrase, rendered by a fresh engine that took the program's values
// in index order as a program load hands them over.
Stereo Render(const FactoryProgram& program, const Phrase& phrase) {
  Engine engine;
  engine.Reset(kRate, kBlock);
  for (int i = 0; i < kParamCount; ++i)
    engine.ParamChanged(i, program.values[static_cast<size_t>(i)]);
  Stereo out;
  out.rate = kRate;
  const int frames = static_cast<int>(phrase.Duration() * kRate);
  out.left.resize(static_cast<size_t>(frames));
  out.right.resize(static_cast<size_t>(frames));
  size_t next = 0;
  for (int start = 0; start < frames; start += kBlock) {
    const int n = std::min(kBlock, frames - start);
    for (; next < phrase.events.size(); ++next) {
      const PhraseEvent& e = phrase.events[next];
      const int at = static_cast<int>(std::lround(e.time * kRate));
      if (at >= start + n) break;
      engine.QueueMidiMessage({at - start, e.status, e.data1, e.data2});
    }
    double* outputs[2] = {out.left.data() + start, out.right.data() + start};
    engine.RenderBlock(outputs, n);
  }
  return out;
}

FactoryProgram With(FactoryProgram program, int index, double value) {
  program.values[static_cast<size_t>(index)] = value;
  return program;
}

class EveryProgram : public ::testing::TestWithParam<Program> {};

// Comparable loudness: every program within a few loudness units of one level, so stepping
// through the bank needs no hand on the volume.
constexpr double kBankLoudness = -20.0, kLoudnessTolerance = 4.0;

TEST_P(EveryProgram, IsAudibleUnclippedAndAtTheBankLoudness) {
  const FactoryProgram& program = GetParam().program;
  const Phrase phrase = AuditionPhrase(program.name, program.values.data());
  const Stereo audio = Render(program, phrase);
  for (int i = 0; i < audio.Frames(); ++i) {
    ASSERT_TRUE(std::isfinite(audio.left[static_cast<size_t>(i)]) &&
                std::isfinite(audio.right[static_cast<size_t>(i)]))
        << "at sample " << i;
  }
  EXPECT_LT(PeakDbfs(audio), -0.5);
  EXPECT_NEAR(IntegratedLoudness(audio), kBankLoudness, kLoudnessTolerance);
}
INSTANTIATE_TEST_SUITE_P(FactoryBank, EveryProgram, ::testing::ValuesIn(AllPrograms()), TestName);

// A coarse fingerprint of a program: its spectrum in third octaves and its level over time for
// one chord held and let go, at a low rate to keep 64 renders quick.
std::vector<double> Fingerprint(const FactoryProgram& program) {
  Phrase chord;
  for (int note : {36, 55, 64}) {
    chord.events.push_back({0.0, 0x90, static_cast<uint8_t>(note), 100});
    chord.events.push_back({0.6, 0x80, static_cast<uint8_t>(note), 0});
  }
  chord.length = 0.6;
  chord.tail = 0.3;
  const Stereo audio = Render(program, chord);
  std::vector<double> print =
      BandLevels(PowerSpectrum(MonoMix(audio, 0.0, 0.9), 2048), kRate, 60.0, 12000.0, 3);
  const double top = *std::max_element(print.begin(), print.end());
  for (double& level : print)
    level = std::max(level - top, -60.0);
  // Envelope in dB per 100 ms, relative to its loudest step, and the stereo width.
  std::vector<double> steps;
  for (double t = 0.0; t < 0.85; t += 0.1) {
    const std::vector<double> part = MonoMix(audio, t, t + 0.1);
    double power = 0.0;
    for (double x : part)
      power += x * x;
    steps.push_back(ToDb(power / static_cast<double>(part.size())));
  }
  const double loudest = *std::max_element(steps.begin(), steps.end());
  for (double step : steps)
    print.push_back(std::max(step - loudest, -60.0));
  print.push_back(20.0 * StereoWidth(audio));
  return print;
}

TEST(FactoryBank, ProgramsSoundDifferentFromEachOther) {
  std::vector<std::vector<double>> prints;
  for (const Program& p : AllPrograms())
    prints.push_back(Fingerprint(p.program));
  for (size_t a = 0; a < prints.size(); ++a) {
    for (size_t b = a + 1; b < prints.size(); ++b) {
      double sum = 0.0;
      for (size_t i = 0; i < prints[a].size(); ++i)
        sum += (prints[a][i] - prints[b][i]) * (prints[a][i] - prints[b][i]);
      // Root-mean-square difference in dB: a changed footage or filter moves it by several.
      EXPECT_GT(std::sqrt(sum / static_cast<double>(prints[a].size())), 1.5)
          << AllPrograms()[a].program.name << " and " << AllPrograms()[b].program.name;
    }
  }
}

// Share of the power below `hz`.
double PowerBelow(const std::vector<double>& power, double hz) {
  const double bin_hz = kRate / (2.0 * static_cast<double>(power.size() - 1));
  double below = 0.0, total = 0.0;
  for (size_t k = 1; k < power.size(); ++k) {
    total += power[k];
    if (static_cast<double>(k) * bin_hz < hz) below += power[k];
  }
  return total > 0.0 ? below / total : 0.0;
}

class BassProgram : public ::testing::TestWithParam<Program> {};

TEST_P(BassProgram, HasMostOfItsEnergyLow) {
  const FactoryProgram& program = GetParam().program;
  const Phrase phrase = AuditionPhrase(program.name, program.values.data());
  const std::vector<double> power =
      PowerSpectrum(MonoMix(Render(program, phrase), 0.0, phrase.length), 4096);
  EXPECT_GT(PowerBelow(power, 250.0), 0.5);
  EXPECT_LT(SpectralCentroid(power, kRate), 1000.0);
}
INSTANTIATE_TEST_SUITE_P(FactoryBank, BassProgram, ::testing::ValuesIn(InCategory(Category::kBass)),
                         TestName);

class PadProgram : public ::testing::TestWithParam<Program> {};

TEST_P(PadProgram, SwellsInSlowly) {
  const FactoryProgram& program = GetParam().program;
  const Phrase phrase = AuditionPhrase(program.name, program.values.data());
  EXPECT_GT(AttackTime(Render(program, phrase), phrase.attack_end), 0.2);
}
INSTANTIATE_TEST_SUITE_P(FactoryBank, PadProgram, ::testing::ValuesIn(InCategory(Category::kPad)),
                         TestName);

// Power at the first `count` harmonics of `hz`, a bin either side of each.
double HarmonicPower(const std::vector<double>& power, double hz, int count) {
  const double bin_hz = kRate / (2.0 * static_cast<double>(power.size() - 1));
  double sum = 0.0;
  for (int h = 1; h <= count; ++h) {
    const long centre = std::lround(h * hz / bin_hz);
    for (long k = centre - 1; k <= centre + 1; ++k) {
      if (k > 0 && k < static_cast<long>(power.size())) sum += power[static_cast<size_t>(k)];
    }
  }
  return sum;
}

// The mono section's pitch for a key: the key moved by the VCO's octave, transpose and tune.
double MonoFrequency(const FactoryProgram& program, int note) {
  static constexpr int kOctaves[4] = {-24, -12, 0, 12};
  const auto& v = program.values;
  const int octave = kOctaves[std::clamp(static_cast<int>(v[kVcoOctave]), 0, 3)];
  return NoteFrequency(note + octave + std::trunc(v[kVcoTranspose]) +
                       std::trunc(v[kVcoTune]) / 128.0);
}

class MonoProgram : public ::testing::TestWithParam<Program> {};

// With one key held, a second key takes over the voice: the first key's pitch is gone. A
// tritone apart, neither note's first harmonics nor its sub octave's come near the other's.
TEST_P(MonoProgram, PlaysOneNoteAtATime) {
  const FactoryProgram& program = GetParam().program;
  const int first = 48, second = 54;
  const Stereo audio = Render(program, OverlappingNotes(first, second, 0.8, 0.8));
  const std::vector<double> alone = PowerSpectrum(MonoMix(audio, 0.3, 0.8), 16384);
  const std::vector<double> both = PowerSpectrum(MonoMix(audio, 1.1, 1.6), 16384);
  const double f1 = MonoFrequency(program, first), f2 = MonoFrequency(program, second);
  ASSERT_GT(HarmonicPower(alone, f1, 4), 10.0 * HarmonicPower(alone, f2, 4))
      << "the first key alone plays its own pitch";
  EXPECT_LT(HarmonicPower(both, f1, 4), 0.1 * HarmonicPower(both, f2, 4))
      << "the first key still sounds under the second";
}
INSTANTIATE_TEST_SUITE_P(FactoryBank, MonoProgram,
                         ::testing::ValuesIn(ProgramsWhere([](const std::string& name) {
                           return CategoryOf(name) == Category::kMono ||
                                  CategoryOf(name) == Category::kBass;
                         })),
                         TestName);

class SplitProgram : public ::testing::TestWithParam<Program> {};

// Each side alone: a different section answers, which shows in the attack or the width.
TEST_P(SplitProgram, SoundsDifferentBelowAndAboveTheSplit) {
  const FactoryProgram& program = GetParam().program;
  const SplitSides sides = SplitSidePhrases(program.values.data());
  const Descriptors lower = Describe(Render(program, sides.lower), sides.lower);
  const Descriptors upper = Describe(Render(program, sides.upper), sides.upper);
  EXPECT_GT(lower.loudness_lufs, -40.0);
  EXPECT_GT(upper.loudness_lufs, -40.0);
  const double attack_ratio = std::max(lower.attack_s, upper.attack_s) /
                              std::max(1e-3, std::min(lower.attack_s, upper.attack_s));
  EXPECT_TRUE(attack_ratio > 3.0 || std::abs(lower.width - upper.width) > 0.2)
      << "attack " << lower.attack_s << " s below, " << upper.attack_s << " s above; width "
      << lower.width << " below, " << upper.width << " above";
}
INSTANTIATE_TEST_SUITE_P(FactoryBank, SplitProgram,
                         ::testing::ValuesIn(InCategory(Category::kSplit)), TestName);

struct Vowel {
  const char* name;
  double f1_low, f1_high, f2_low, f2_high;
};
// Where the first two formants of each sung vowel lie, from low male to alto voices.
constexpr Vowel kVowels[] = {
    {"Aaah", 600, 1000, 1000, 1500},
    {"Oooh", 350, 600, 650, 1050},
    {"Uuuh", 220, 420, 550, 950},
};

class VowelProgram : public ::testing::TestWithParam<Program> {};

// The resonators' gain, sampled at the partials of the program's own chords: the spectrum with
// the resonators over the spectrum with them switched off, at the bins where the dry sound has a
// partial. The gain's strong local maxima are the formants.
TEST_P(VowelProgram, ShowsTheFormantPeaksOfItsVowel) {
  const FactoryProgram& program = GetParam().program;
  const Vowel* vowel = nullptr;
  for (const Vowel& v : kVowels) {
    if (program.name.find(v.name) != std::string::npos) vowel = &v;
  }
  ASSERT_NE(vowel, nullptr);
  const Phrase phrase = AuditionPhrase(program.name, program.values.data());
  const auto spectrum = [&](const FactoryProgram& p) {
    return PowerSpectrum(MonoMix(Render(p, phrase), 1.2, phrase.length), 8192);
  };
  const std::vector<double> wet = spectrum(program);
  const std::vector<double> dry = spectrum(With(program, kResonators, 0.0));
  const double bin_hz = kRate / 8192.0;
  const double loudest = *std::max_element(dry.begin(), dry.end());
  struct Peak {
    double hz, db;
  };
  std::vector<Peak> partials;
  for (size_t k = 3; k + 3 < dry.size() && k * bin_hz < 5000.0; ++k) {
    if (k * bin_hz < 150.0 || dry[k] < loudest * 1e-4) continue;
    bool partial = true;
    for (size_t j = k - 3; j <= k + 3; ++j)
      partial = partial && (j == k || dry[j] < dry[k]);
    if (partial) partials.push_back({static_cast<double>(k) * bin_hz, ToDb(wet[k] / dry[k])});
  }
  ASSERT_GT(partials.size(), 10u);
  double top = -HUGE_VAL;
  for (const Peak& p : partials)
    top = std::max(top, p.db);
  // Maxima over a quarter octave either side, within 12 dB of the strongest.
  std::vector<Peak> peaks;
  std::string found;
  for (const Peak& p : partials) {
    bool highest = p.db > top - 12.0;
    for (const Peak& q : partials) {
      if (std::abs(std::log2(q.hz / p.hz)) <= 0.25 && q.db > p.db) highest = false;
    }
    if (!highest) continue;
    peaks.push_back(p);
    found += std::to_string(static_cast<int>(p.hz)) + " Hz at " +
             std::to_string(static_cast<int>(p.db - top)) + " dB; ";
  }
  // The strongest peak within a range, or -inf.
  const auto peak_in = [&](double low, double high) {
    double db = -HUGE_VAL;
    for (const Peak& p : peaks) {
      if (p.hz >= low && p.hz <= high) db = std::max(db, p.db);
    }
    return db;
  };
  const double f1 = peak_in(vowel->f1_low, vowel->f1_high);
  EXPECT_GT(f1, -HUGE_VAL) << "first formant; peaks at " << found;
  EXPECT_GT(peak_in(vowel->f2_low, vowel->f2_high), -HUGE_VAL) << "second formant; " << found;
  // Nothing below the first formant competes with it: that would be another vowel.
  EXPECT_LT(peak_in(150.0, vowel->f1_low * 0.9), f1 - 6.0) << found;
}
INSTANTIATE_TEST_SUITE_P(FactoryBank, VowelProgram,
                         ::testing::ValuesIn(ProgramsWhere([](const std::string& name) {
                           return Names(name, {"Aaah", "Oooh", "Uuuh"});
                         })),
                         TestName);

// How much the phaser's own colouring changes over a held note: the program's level over its
// level with the phaser off, in sixth-octave bands and 100 ms frames after the attack; each
// band's standard deviation over time in dB, averaged over the bands. The rest of the sound
// (the ensemble's movement too) is the same in both renders and drops out.
double PhaserMovement(const FactoryProgram& program) {
  Phrase held;
  held.events = {{0.0, 0x90, 48, 100}, {3.0, 0x80, 48, 0}};
  held.length = 3.0;
  held.tail = 0.0;
  const Stereo on = Render(program, held);
  const Stereo off = Render(With(program, kPhaser, 0.0), held);
  const auto levels = [](const Stereo& audio, double t) {
    return BandLevels(PowerSpectrum(MonoMix(audio, t, t + 0.1), 2048), kRate, 200.0, 8000.0, 6);
  };
  std::vector<std::vector<double>> colour;
  for (double t = 1.0; t + 0.1 <= 3.0; t += 0.1) {
    std::vector<double> a = levels(on, t);
    const std::vector<double> b = levels(off, t);
    for (size_t i = 0; i < a.size(); ++i)
      a[i] -= b[i];
    colour.push_back(a);
  }
  double sum = 0.0;
  for (size_t b = 0; b < colour[0].size(); ++b) {
    double mean = 0.0, square = 0.0;
    for (const auto& frame : colour)
      mean += frame[b], square += frame[b] * frame[b];
    mean /= static_cast<double>(colour.size());
    sum += std::sqrt(std::max(0.0, square / static_cast<double>(colour.size()) - mean * mean));
  }
  return sum / static_cast<double>(colour[0].size());
}

class PhaserProgram : public ::testing::TestWithParam<Program> {};

TEST_P(PhaserProgram, MovesWithItsPhaser) {
  const FactoryProgram& program = GetParam().program;
  ASSERT_GT(program.values[kPhaser], 0.5) << "the phaser is on";
  const double moving = PhaserMovement(program);
  const double held = PhaserMovement(With(program, kPhaserModAmount, 0.0));
  EXPECT_GT(moving, 1.0);
  EXPECT_GT(moving, 3.0 * held) << "a phaser held at one place moves the sound as much";
}
INSTANTIATE_TEST_SUITE_P(FactoryBank, PhaserProgram,
                         ::testing::ValuesIn(ProgramsWhere([](const std::string& name) {
                           return Names(name, {"Phas", "Phaz"});
                         })),
                         TestName);

}  // namespace
}  // namespace vantor::audition
