// The MIDI file reader: timing across tracks and tempo changes, and clear refusals of bad files.
#include "tools/vsthost/midi_file.h"

#include <gtest/gtest.h>

#include "tools/smf_builder.h"

namespace vsthost {
namespace {

using test::MidiFile;
using test::TrackBuilder;

MidiSequence Parse(const std::vector<uint8_t>& bytes) {
  MidiSequence s;
  std::string error;
  EXPECT_TRUE(ParseMidiFile(bytes, s, error)) << error;
  return s;
}

std::string Refusal(const std::vector<uint8_t>& bytes) {
  MidiSequence s;
  std::string error;
  EXPECT_FALSE(ParseMidiFile(bytes, s, error));
  return error;
}

TEST(MidiFileTest, Type0WithRunningStatusAndDefaultTempo) {
  TrackBuilder t;
  t.Event(0, {0x90, 60, 100})
      .Event(240, {64, 90})  // running status: another note-on
      .Event(240, {60, 0})   // note-on with velocity 0, kept as it stands
      .Event(0, {0xC1, 5})   // program change: one data byte
      .Event(480, {0x80, 64, 0})
      .End(480);
  const MidiSequence s = Parse(MidiFile(0, 480, {t}));
  ASSERT_EQ(s.events.size(), 5u);
  EXPECT_DOUBLE_EQ(s.events[1].seconds, 0.25);  // 120 BPM until told otherwise
  EXPECT_EQ(s.events[1].data[0], 0x90);
  EXPECT_EQ(s.events[1].data[1], 64);
  EXPECT_EQ(s.events[2].data[2], 0);
  EXPECT_EQ(s.events[3].size, 2);
  EXPECT_EQ(s.events[3].data[0], 0xC1);
  EXPECT_DOUBLE_EQ(s.events[4].seconds, 1.0);
  EXPECT_DOUBLE_EQ(s.length_seconds, 1.5);  // the end-of-track mark counts
}

TEST(MidiFileTest, Type1TempoChangesApplyToEveryTrack) {
  TrackBuilder tempo;
  tempo.Tempo(0, 500000).Tempo(960, 1000000).End();  // 120 BPM, then 60 BPM after two beats
  TrackBuilder notes;
  notes.Event(0, {0x90, 60, 127})
      .Event(480, {0x90, 62, 127})
      .Event(480, {0x90, 64, 127})
      .Event(480, {0x90, 65, 127})
      .End();
  const MidiSequence s = Parse(MidiFile(1, 480, {tempo, notes}));
  ASSERT_EQ(s.events.size(), 4u);
  EXPECT_DOUBLE_EQ(s.events[0].seconds, 0.0);
  EXPECT_DOUBLE_EQ(s.events[1].seconds, 0.5);
  EXPECT_DOUBLE_EQ(s.events[2].seconds, 1.0);
  EXPECT_DOUBLE_EQ(s.events[3].seconds, 2.0);
  EXPECT_DOUBLE_EQ(s.BpmAt(0.9), 120.0);
  EXPECT_DOUBLE_EQ(s.BpmAt(1.5), 60.0);
  EXPECT_DOUBLE_EQ(s.QuartersAt(1.5), 2.5);
}

TEST(MidiFileTest, SimultaneousEventsKeepTrackOrderAndSysexArrivesWhole) {
  TrackBuilder a, b;
  a.Event(100, {0xB0, 7, 100}).End();
  b.Event(100, {0xF0, 0x03, 0x7E, 0x09, 0xF7}).Event(0, {0x90, 60, 1}).End();
  const MidiSequence s = Parse(MidiFile(1, 96, {a, b}));
  ASSERT_EQ(s.events.size(), 3u);
  EXPECT_EQ(s.events[0].data[0], 0xB0);
  EXPECT_EQ(s.events[1].size, 0);
  EXPECT_EQ(s.events[1].sysex, (std::vector<uint8_t>{0xF0, 0x7E, 0x09, 0xF7}));
  EXPECT_EQ(s.events[2].data[0], 0x90);
}

TEST(MidiFileTest, SmpteDivisionCountsFramesNotBeats) {
  TrackBuilder t;
  t.Tempo(0, 250000).Event(1000, {0x90, 60, 100}).End();  // tempo is ignored here
  // 25 frames per second, 40 ticks per frame: one tick is a millisecond.
  const MidiSequence s = Parse(MidiFile(0, static_cast<uint16_t>((256 - 25) << 8 | 40), {t}));
  ASSERT_EQ(s.events.size(), 1u);
  EXPECT_NEAR(s.events[0].seconds, 1.0, 1e-12);
}

TEST(MidiFileTest, ForeignChunksAreSkippedAndMissingEndOfTrackForgiven) {
  std::vector<uint8_t> bytes = MidiFile(0, 480, {});
  bytes[11] = 1;  // one track announced
  const uint8_t foreign[] = {'X', 'F', 'I', 'H', 0, 0, 0, 2, 0xAA, 0xBB};
  bytes.insert(bytes.end(), std::begin(foreign), std::end(foreign));
  TrackBuilder t;
  t.Event(480, {0x90, 60, 100});
  const std::vector<uint8_t> track = MidiFile(0, 480, {t});
  bytes.insert(bytes.end(), track.begin() + 14, track.end());
  const MidiSequence s = Parse(bytes);
  ASSERT_EQ(s.events.size(), 1u);
  EXPECT_DOUBLE_EQ(s.length_seconds, 0.5);
}

TEST(MidiFileTest, BadFilesAreRefusedWithAReason) {
  TrackBuilder ok;
  ok.Event(0, {0x90, 60, 100}).End();
  EXPECT_NE(Refusal({}).find("not a Standard MIDI File"), std::string::npos);
  EXPECT_NE(Refusal({'R', 'I', 'F', 'F', 0, 0}).find("MThd"), std::string::npos);
  EXPECT_NE(Refusal({'M', 'T', 'h', 'd', 0, 0, 0, 6, 0}).find("header is cut off"),
            std::string::npos);
  EXPECT_NE(Refusal(MidiFile(2, 480, {ok})).find("type 2"), std::string::npos);
  EXPECT_NE(Refusal(MidiFile(7, 480, {ok})).find("unknown MIDI file type 7"), std::string::npos);
  EXPECT_NE(Refusal(MidiFile(0, 0, {ok})).find("division of zero"), std::string::npos);
  EXPECT_NE(Refusal(MidiFile(0, 0xE700, {ok})).find("SMPTE"), std::string::npos);
  EXPECT_NE(Refusal(MidiFile(0, 480, {})).find("no track"), std::string::npos);

  std::vector<uint8_t> cut = MidiFile(0, 480, {ok});
  cut.pop_back();
  EXPECT_NE(Refusal(cut).find("cut off"), std::string::npos);

  TrackBuilder long_time;
  long_time.Raw({0x81, 0x82, 0x83, 0x84, 0x05, 0x90, 60, 100});
  EXPECT_NE(Refusal(MidiFile(0, 480, {long_time})).find("four bytes"), std::string::npos);
  TrackBuilder no_status;
  no_status.Event(0, {60, 100});
  EXPECT_NE(Refusal(MidiFile(0, 480, {no_status})).find("status byte"), std::string::npos);
  TrackBuilder high_data;
  high_data.Event(0, {0x90, 0x90, 100});
  EXPECT_NE(Refusal(MidiFile(0, 480, {high_data})).find("above 127"), std::string::npos);
  TrackBuilder long_meta;
  long_meta.Event(0, {0xFF, 0x01, 0x7F, 'a'});
  EXPECT_NE(Refusal(MidiFile(0, 480, {long_meta})).find("longer than the track"),
            std::string::npos);
  TrackBuilder zero_tempo;
  zero_tempo.Tempo(0, 0);
  EXPECT_NE(Refusal(MidiFile(0, 480, {zero_tempo})).find("tempo of zero"), std::string::npos);
  TrackBuilder realtime;
  realtime.Event(0, {0xF8});
  EXPECT_NE(Refusal(MidiFile(0, 480, {realtime})).find("not allowed"), std::string::npos);
}

TEST(MidiFileTest, EveryTruncationIsReadOrRefusedNeverOverrun) {
  TrackBuilder tempo, notes;
  tempo.Tempo(0, 400000).Event(10, {0xFF, 0x58, 4, 3, 3, 24, 8}).End();
  notes.Event(0, {0x90, 60, 100})
      .Event(5, {0xF0, 0x02, 0x01, 0xF7})
      .Event(5, {0xE0, 0, 64})
      .Event(5, {0xB0, 64, 127})
      .End(100);
  const std::vector<uint8_t> whole = MidiFile(1, 96, {tempo, notes});
  for (size_t n = 0; n < whole.size(); ++n) {
    // Each prefix in a buffer of its own, so reading past it is caught by the sanitizers.
    const std::vector<uint8_t> prefix(whole.begin(), whole.begin() + n);
    MidiSequence s;
    std::string error;
    if (!ParseMidiFile(prefix, s, error)) {
      EXPECT_FALSE(error.empty()) << n;
    }
  }
}

TEST(MidiFileTest, MissingFileGivesTheSystemReason) {
  MidiSequence s;
  std::string error;
  EXPECT_FALSE(LoadMidiFile("/nonexistent/song.mid", s, error));
  EXPECT_NE(error.find("cannot open /nonexistent/song.mid"), std::string::npos);
}

}  // namespace
}  // namespace vsthost
