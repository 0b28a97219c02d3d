// Notes: MIDI timing and the queue, voice allocation and stealing, gates, sustain and the global
// envelope, split and polyphony changes, silence when idle, clean output at extreme settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine_test_util.h"
#include "support/test_plugin.h"

namespace vantor {
namespace {

using testing::DefaultEngine;
using testing::Render;

MidiMessage Note(int offset, int note, int velocity) {
  return {offset, 0x90, static_cast<uint8_t>(note), static_cast<uint8_t>(velocity)};
}

int FirstNonZero(const std::vector<double>& x) {
  for (size_t i = 0; i < x.size(); ++i) {
    if (x[i] != 0.0) return static_cast<int>(i);
  }
  return -1;
}

bool AllZero(const std::vector<double>& x) {
  return std::all_of(x.begin(), x.end(), [](double v) { return v == 0.0; });
}

int SlotOf(const Engine& engine, int note) {
  for (int i = 0; i < engine.number_of_voices(); ++i) {
    if (engine.voice(i).active && engine.voice(i).note == note) return i;
  }
  return -1;
}

// A plug-in configured as a host does it: rate, block size, reset, activation.
struct Plugin {
  explicit Plugin(double rate = 44100, int block = 4096) {
    vantor.ChangeSampleRate(rate);
    vantor.ChangeBlockSize(block);
    vantor.ResetEngine();
    vantor.ActivationChanged(true);
  }
  std::vector<double> Render(int frames) {
    std::vector<double> left(static_cast<size_t>(std::max(frames, 1))), right(left.size());
    double* outputs[2] = {left.data(), right.data()};
    vantor.RenderBlock(nullptr, outputs, frames);
    left.resize(static_cast<size_t>(frames));
    return left;
  }
  testing::TestVantor vantor;
};

// Blocks may begin anywhere in a control period. The block's first tick comes when the period
// the stream is in ends; a message past the first period waits half a period more, and applies
// at the first tick at which its offset, lowered by a period per tick, is 0 or below.
TEST(NoteTimingTest, NotesStartAtTheTickTheirOffsetReachesWhereverTheBlockBegins) {
  const std::vector<std::vector<int>> kPreRolls = {{},   {7, 37}, {1, 43, 88}, {512, 16}, {7},
                                                   {50}, {1, 2},  {3, 0},      {530}};
  const int kBlocks[] = {133, 256, 1024};
  for (int offset : {0, 3, 44, 45, 100, 130, 200}) {
    for (size_t k = 0; k < kPreRolls.size(); ++k) {
      int frames = 0;
      for (int n : kPreRolls[k])
        frames += n;
      const int first_tick = (44 - frames % 44) % 44;  // at 44.1 kHz a period is 44 samples
      const int stored = offset > 44 ? offset + 22 : offset;
      const int onset = first_tick + 44 * std::max(0, (stored + 43) / 44 - 1);
      const int block = kBlocks[(k + static_cast<size_t>(offset)) % 3];
      Plugin plugin;
      for (int n : kPreRolls[k])
        EXPECT_TRUE(AllZero(plugin.Render(n)));
      plugin.vantor.HandleMidiMessage(Note(offset, 60, 100));
      std::vector<double> out;
      while (out.size() < 512) {
        const std::vector<double> part = plugin.Render(block);
        out.insert(out.end(), part.begin(), part.end());
      }
      EXPECT_EQ(FirstNonZero(out), onset)
          << "offset " << offset << ", block " << block << " after " << frames << " samples";
    }
  }
}

TEST(NoteTimingTest, QueuedControllersReachTheirParameterAtTheirTime) {
  Plugin plugin;
  // Dry, so that nothing delayed by the ensemble sounds on after the controller.
  plugin.vantor.Param(kPolyToEnsemble)->set_value(0);
  plugin.vantor.ParamChanged(kPolyToEnsemble);
  plugin.vantor.controller_map()[7] = kPolyVolume;
  plugin.vantor.HandleMidiMessage({300, 0xB0, 7, 0});
  EXPECT_EQ(plugin.vantor.Param(kPolyVolume)->value(), 0.25);  // queued, not yet applied
  plugin.vantor.HandleMidiMessage(Note(0, 60, 100));
  const std::vector<double> out = plugin.Render(1024);
  EXPECT_EQ(plugin.vantor.Param(kPolyVolume)->value(), 0.0);
  // Sound until the tick nearest sample 300 (308), silence after it.
  EXPECT_GT(testing::Rms(out.data() + 100, 200), 0.0);
  EXPECT_TRUE(AllZero(std::vector<double>(out.begin() + 308, out.end())));
}

// A full queue never grows; a message whose value a later one of its kind replaces gives way,
// a note or a sustain pedal change never does.
TEST(MidiQueueTest, KeepsTimeOrderAndGivesWayOnlyWithSupersededMessages) {
  const auto drained = [](MidiQueue& queue) {
    std::vector<int> applied;  // status, data1 and data2 of what is applied, in order
    queue.Drain(1000, [&](const MidiMessage& m) {
      applied.push_back(m.status << 16 | m.data1 << 8 | m.data2);
    });
    return applied;
  };
  MidiQueue queue;
  queue.Reset(4);
  for (int offset : {50, 10, 50, 30})
    EXPECT_TRUE(queue.Push({offset, 0x90, static_cast<uint8_t>(offset + queue.size()), 1}));
  EXPECT_FALSE(queue.Push({0, 0x80, 1, 0}));  // full of notes: nothing gives way
  EXPECT_EQ(queue.capacity(), 4);
  std::vector<int> applied;
  queue.Drain(30, [&](const MidiMessage& m) { applied.push_back(m.data1); });
  EXPECT_EQ(applied, (std::vector<int>{11, 33}));  // offsets 10 and 30, in time order
  queue.Drain(30, [&](const MidiMessage& m) { applied.push_back(m.data1); });
  EXPECT_EQ(applied, (std::vector<int>{11, 33, 50, 52}));  // equal offsets keep arrival order

  // Pressure, bend and each controller but the pedal: the earlier of two goes first.
  for (MidiMessage m : {MidiMessage{10, 0xD0, 5, 0}, MidiMessage{20, 0xE0, 0, 64},
                        MidiMessage{30, 0xB3, 7, 1}, MidiMessage{40, 0xB0, 7, 2}})
    queue.Push(m);
  EXPECT_TRUE(queue.Push({50, 0x80, 60, 0}));   // the controller 7 at 30 gives way
  EXPECT_FALSE(queue.Push({5, 0xD0, 9, 0}));    // superseded by the pressure at 10
  EXPECT_TRUE(queue.Push({60, 0xE1, 1, 70}));   // replaces the bend at 20
  EXPECT_TRUE(queue.Push({60, 0xD0, 6, 0}));    // replaces the pressure at 10
  EXPECT_FALSE(queue.Push({55, 0x90, 61, 1}));  // one of each kind and a note: nothing can go
  EXPECT_EQ(drained(queue), (std::vector<int>{0xB00702, 0x803C00, 0xE10146, 0xD00600}));

  // Every change of the pedal counts; a pedal message repeating the state before it does not.
  for (int value : {100, 0, 127, 0})
    queue.Push({queue.size(), 0xB0, 64, static_cast<uint8_t>(value)});
  EXPECT_FALSE(queue.Push({9, 0x80, 60, 0}));
  EXPECT_FALSE(queue.Push({9, 0xB0, 64, 0}));  // up again after an up: it goes itself
  EXPECT_EQ(drained(queue), (std::vector<int>{0xB04064, 0xB04000, 0xB0407F, 0xB04000}));
  for (int value : {100, 127, 0, 0})
    queue.Push({queue.size(), 0xB0, 64, static_cast<uint8_t>(value)});
  EXPECT_TRUE(queue.Push({9, 0x80, 60, 0}));  // the second down gives way
  EXPECT_TRUE(queue.Push({9, 0x80, 61, 0}));  // then the second up
  EXPECT_EQ(drained(queue), (std::vector<int>{0xB04064, 0xB04000, 0x803C00, 0x803D00}));
}

TEST(NoteHandlingTest, MessagesAreDecodedAsPerformanceControls) {
  auto engine = DefaultEngine(44100);
  const auto apply = [&](MidiMessage m) {
    engine->QueueMidiMessage(m);
    Render(*engine, 44);
  };
  apply({0, 0xE0, 0, 64});
  EXPECT_EQ(engine->pitch_bend(), 0.0);
  apply({0, 0xE3, 0, 0});  // any channel
  EXPECT_EQ(engine->pitch_bend(), -1.0);
  apply({0, 0xE0, 127, 127});
  EXPECT_EQ(engine->pitch_bend(), 8191.0 / 8192.0);
  apply({0, 0xE0, 0xFF, 0xFF});  // stray high bits are not data
  EXPECT_EQ(engine->pitch_bend(), 8191.0 / 8192.0);
  apply({0, 0xB0, 1, 127});
  EXPECT_EQ(engine->mod_wheel(), 1.0);
  apply({0, 0xB0, 64, 1});
  EXPECT_TRUE(engine->sustain_pedal());
  apply({0, 0xB0, 64, 0});
  EXPECT_FALSE(engine->sustain_pedal());
  apply(Note(0, 60, 100));
  EXPECT_EQ(engine->held_poly_keys(), 1);
  apply(Note(0, 60, 0));  // velocity 0 is a note-off
  EXPECT_EQ(engine->held_poly_keys(), 0);
  EXPECT_EQ(engine->voice(SlotOf(*engine, 60)).envelope.stage, EnvelopeGenerator::kRelease);
}

TEST(NoteHandlingTest, OffsetsOutsideTheBlockAreHandledSafely) {
  auto engine = DefaultEngine(44100);
  engine->QueueMidiMessage(Note(-2147483647 - 1, 60, 100));  // before the block: next tick
  engine->QueueMidiMessage(Note(2147483647, 61, 100));       // far beyond: waits, no overflow
  Render(*engine, 44);
  EXPECT_GE(SlotOf(*engine, 60), 0);
  EXPECT_EQ(SlotOf(*engine, 61), -1);
  EXPECT_EQ(engine->midi_queue().size(), 1);
  Render(*engine, 4410);
}

TEST(VoiceAllocationTest, TheThirteenthNoteOfTwelveTakesTheOldest) {
  auto engine = DefaultEngine(44100);
  engine->ParamChanged(kPolyphony, 0);  // 12 voices
  for (int i = 0; i < 12; ++i) {
    engine->NoteOn(48 + i, 100);
    Render(*engine, 44);
  }
  const int oldest = SlotOf(*engine, 48);
  engine->NoteOn(72, 100);
  Render(*engine, 44);
  EXPECT_EQ(SlotOf(*engine, 72), oldest);
  EXPECT_EQ(SlotOf(*engine, 48), -1);
  for (int i = 1; i < 12; ++i)
    EXPECT_GE(SlotOf(*engine, 48 + i), 0) << "note " << 48 + i << " was stolen";
  // Next the second oldest goes.
  const int second = SlotOf(*engine, 49);
  engine->NoteOn(73, 100);
  EXPECT_EQ(SlotOf(*engine, 73), second);
}

TEST(VoiceAllocationTest, ReStrikingReusesTheVoiceAndCountsBothKeys) {
  auto engine = DefaultEngine(44100);
  engine->NoteOn(60, 100);
  engine->NoteOn(64, 100);
  Render(*engine, 4410);
  const int slot = SlotOf(*engine, 60);
  const double level = engine->voice(slot).envelope.output;
  engine->NoteOn(60, 50);
  EXPECT_EQ(SlotOf(*engine, 60), slot);
  EXPECT_EQ(engine->voice(slot).envelope.output, level);  // continues from its level
  EXPECT_EQ(engine->held_poly_keys(), 3);
  engine->NoteOff(60);
  engine->NoteOff(60);
  engine->NoteOff(64);
  EXPECT_EQ(engine->held_poly_keys(), 0);
  engine->NoteOff(64);  // never below zero
  EXPECT_EQ(engine->held_poly_keys(), 0);
}

TEST(VoiceAllocationTest, SustainKeepsReleasedKeysSoundingUntilPedalUp) {
  auto engine = DefaultEngine(44100);
  engine->NoteOn(60, 100);
  engine->SustainPedal(true);
  engine->NoteOff(60);
  Render(*engine, 4410);
  std::vector<double> out = Render(*engine, 4410);
  EXPECT_GT(testing::Rms(out.data(), 4410), 0.01);
  EXPECT_EQ(engine->voice(SlotOf(*engine, 60)).envelope.stage, EnvelopeGenerator::kDecay);
  // A key struck while the pedal is down is sustained as well.
  engine->NoteOn(67, 100);
  engine->NoteOff(67);
  EXPECT_GE(SlotOf(*engine, 67), 0);
  engine->SustainPedal(false);
  Render(*engine, 4410);  // releases of 14 ms
  EXPECT_FALSE(engine->poly_active());
  EXPECT_TRUE(AllZero(Render(*engine, 4410)));
}

// Setting a switch to its present value keeps the notes; another value ends them all.
TEST(VoiceAllocationTest, PolyphonyAndSplitChangesSilenceOnlyWhenTheValueChanges) {
  struct Change {
    int index;
    double same, other;
  };
  for (Change change :
       {Change{kPolyphony, 2, 1}, Change{kKeySplitPoint, 23, 30}, Change{kPolyUpper, 1, 0}}) {
    auto engine = DefaultEngine(44100);
    engine->NoteOn(60, 100);
    engine->NoteOn(64, 100);
    Render(*engine, 441);
    engine->ParamChanged(change.index, change.same);
    EXPECT_EQ(engine->voice(SlotOf(*engine, 60)).envelope.stage, EnvelopeGenerator::kDecay);
    EXPECT_EQ(engine->held_poly_keys(), 2);
    EXPECT_GT(testing::Rms(Render(*engine, 441).data(), 441), 0.01) << change.index;
    engine->ParamChanged(change.index, change.other);
    EXPECT_EQ(engine->held_poly_keys(), 0);
    Render(*engine, 4410);
    EXPECT_TRUE(AllZero(Render(*engine, 441))) << change.index;
  }
}

TEST(VoiceAllocationTest, RaisingThePolyphonyAgainBringsBackNoOldNote) {
  auto engine = DefaultEngine(44100);
  engine->SustainPedal(true);
  for (int i = 0; i < 20; ++i)
    engine->NoteOn(40 + i, 100);
  Render(*engine, 441);
  engine->ParamChanged(kPolyphony, 0);  // 12: the voices in slots 12 .. 19 are cut off
  Render(*engine, 4410);
  engine->ParamChanged(kPolyphony, 2);
  EXPECT_TRUE(AllZero(Render(*engine, 4410)));
  for (int i = 0; i < Engine::kMaxVoices; ++i)
    EXPECT_FALSE(engine->voice(i).active) << "slot " << i;
}

// Global amp mode, tick by tick: a released key's gate stays open for 24 ticks while another key
// is down, and for good when none is, the global release shaping the note, until the first key
// of the next phrase closes it; the pedal holds the global release; the global trigger restarts
// or continues the envelope; Voice mode closes the gates left open.
TEST(VoiceAllocationTest, GatesAndTheGlobalEnvelopeFollowKeysPedalAndTrigger) {
  using Env = EnvelopeGenerator;
  for (int trigger : {0, 1}) {
    SCOPED_TRACE(trigger ? "Multi" : "Single");
    auto engine = DefaultEngine(44100);
    engine->ParamChanged(kAmpEnvelope, 1);
    engine->ParamChanged(kGlobalEnvTrigger, trigger);
    engine->ParamChanged(kGlobalEnvRelease, 0.4);  // 0.3 s
    const auto ticks = [&](int n) { Render(*engine, n * 44); };
    const Env& global = engine->global_envelope();
    const PolyVoice &first = engine->voice(0), &second = engine->voice(1);
    engine->NoteOn(60, 100);
    ticks(5);
    engine->NoteOn(64, 100);
    EXPECT_EQ(global.stage, trigger ? Env::kAttack : Env::kDecay);
    ticks(5);
    engine->NoteOff(64);
    ticks(23);
    EXPECT_EQ(second.gate.stage, Env::kDecay);
    ticks(1);
    EXPECT_EQ(second.gate.stage, Env::kRelease);
    engine->SustainPedal(true);
    engine->NoteOff(60);
    ticks(30);
    EXPECT_EQ(global.stage, Env::kDecay);
    EXPECT_EQ(first.envelope.stage, Env::kDecay);
    engine->SustainPedal(false);
    EXPECT_EQ(first.envelope.stage, Env::kRelease);
    EXPECT_EQ(global.stage, Env::kRelease);
    ticks(30);
    EXPECT_EQ(first.gate.stage, Env::kDecay);
    engine->NoteOn(67, 100);  // in the slot the second key left
    EXPECT_EQ(first.gate.stage, Env::kRelease);
    EXPECT_EQ(global.stage, Env::kAttack);  // not running, whatever the trigger
    engine->NoteOff(67);
    ticks(1000);
    EXPECT_FALSE(engine->poly_active()) << "the global envelope ends the section";
    EXPECT_EQ(second.gate.stage, Env::kDecay);
    engine->ParamChanged(kAmpEnvelope, 0);
    EXPECT_EQ(second.gate.stage, Env::kRelease);
  }
}

TEST(VoiceAllocationTest, SplitSendsEachZoneWhereItsSwitchesSay) {
  auto engine = DefaultEngine(44100);
  engine->ParamChanged(kPolyUpper, 0);  // upper zone (from note 60) to no poly voice
  engine->NoteOn(59, 100);
  engine->NoteOn(60, 100);
  EXPECT_GE(SlotOf(*engine, 59), 0);
  EXPECT_EQ(SlotOf(*engine, 60), -1);
  EXPECT_EQ(engine->held_poly_keys(), 1);
}

TEST(SilenceTest, IdleOutputIsExactZerosAndSoIsTheEndOfEveryNote) {
  for (int amp_mode : {0, 1, 2}) {
    auto engine = DefaultEngine(44100);
    engine->ParamChanged(kFilterMode, 1);  // lowpass adds its offsets while voices sound
    engine->ParamChanged(kFilterResonance, 0.8);
    engine->ParamChanged(kAmpEnvelope, amp_mode);
    EXPECT_TRUE(AllZero(Render(*engine, 44100))) << "never played";
    for (int note : {36, 60, 67, 100})
      engine->NoteOn(note, 100);
    EXPECT_GT(testing::Rms(Render(*engine, 4410).data(), 4410), 0.01);
    for (int note : {36, 60, 67, 100})
      engine->NoteOff(note);
    // The longest release here is the voice envelope's 14 ms at its default decay.
    Render(*engine, 2205);
    EXPECT_FALSE(engine->poly_active()) << "amp mode " << amp_mode;
    EXPECT_TRUE(AllZero(Render(*engine, 44100))) << "amp mode " << amp_mode;
  }
}

TEST(SilenceTest, ChoosingTheGateAmpEnvelopeFadesHeldNotes) {
  auto engine = DefaultEngine(44100);
  engine->NoteOn(60, 100);
  Render(*engine, 441);
  engine->ParamChanged(kAmpEnvelope, 2);
  Render(*engine, 882);
  EXPECT_TRUE(AllZero(Render(*engine, 441)));
}

// (Once the engine is initialised, all notes off ends every note: the host tests hear it.)
TEST(SilenceTest, AllNotesOffActsOnlyOnAnInitialisedEngine) {
  Engine engine;  // before its first reset: keys, pedal and voices stay as they are
  engine.NoteOn(60, 100);
  engine.SustainPedal(true);
  engine.SilenceAllVoices();
  EXPECT_EQ(engine.held_poly_keys(), 1);
  EXPECT_TRUE(engine.sustain_pedal());
  EXPECT_TRUE(engine.voice(0).key_held);
  EXPECT_EQ(engine.voice(0).gate.stage, EnvelopeGenerator::kAttack);
}

// Every filter mode at full resonance, cutoffs and modulation at their ends, all footages and
// heavy modulation: the output stays finite and never subnormal, also while notes fade.
TEST(SilenceTest, ExtremeSettingsNeverProduceNanInfOrSubnormals) {
  for (int mode = 0; mode <= 3; ++mode) {
    for (double cutoff : {0.0, 1.0}) {
      auto engine = DefaultEngine(44100);
      for (int f = 0; f < 6; ++f) {
        engine->ParamChanged(kBank1Saw16 + f, 1);
        engine->ParamChanged(kBank2Saw16 + f, 1);
      }
      engine->ParamChanged(kFilterMode, mode);
      engine->ParamChanged(kFilterCutoff, cutoff);
      engine->ParamChanged(kFilterResonance, 1.0);
      engine->ParamChanged(kEnvToFilterFm, cutoff == 0 ? 12289 : -12289);
      engine->ParamChanged(kVelocityToFilterFm, 12289);
      engine->ParamChanged(kKeyboardToFilterFm, -12289);
      engine->ParamChanged(kFilterEnvelope, 0);
      engine->ParamChanged(kVoiceEnvSustain, 0);  // decays towards 0 while held
      engine->ParamChanged(kVoiceEnvDecay, 0.4);
      engine->ParamChanged(kBank1Fm, 641);
      engine->ParamChanged(kBank1Pwm, 1);
      engine->ParamChanged(kPolyFmSpeed, 1);
      engine->ParamChanged(kVelocityToAmpAm, 1);
      engine->ParamChanged(kPolyVolume, 1);
      engine->ParamChanged(kMainVolume, 1);
      engine->QueueMidiMessage({0, 0xE0, 127, 127});
      for (int note : {0, 11, 12, 60, 115, 127})
        engine->NoteOn(note, 127);
      std::vector<double> out = Render(*engine, 3 * 44100);
      EXPECT_TRUE(testing::AllFiniteAndNormal(out)) << "mode " << mode << " cutoff " << cutoff;
      for (int note : {0, 11, 12, 60, 115, 127})
        engine->NoteOff(note);
      out = Render(*engine, 44100);
      EXPECT_TRUE(testing::AllFiniteAndNormal(out)) << "mode " << mode << " cutoff " << cutoff;
    }
  }
}

}  // namespace
}  // namespace vantor
