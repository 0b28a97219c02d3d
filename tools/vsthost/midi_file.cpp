// Standard MIDI File reader: chunk walking, track decoding and the tick-to-seconds tempo map.
#include "tools/vsthost/midi_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vsthost {
namespace {

constexpr double kDefaultMicrosPerQuarter = 500000.0;  // 120 BPM until a tempo event says else
// Larger files are no MIDI anyone wrote by hand or sequencer; refusing them keeps memory bounded.
constexpr size_t kMaxFileBytes = 64u << 20;

struct RawEvent {
  uint64_t tick = 0;
  int track = 0;
  size_t order = 0;  // position in its track, so sorting keeps file order for equal ticks
  enum Kind { kChannel, kSysex, kTempo, kTimeSig } kind = kChannel;
  std::array<uint8_t, 3> data{};
  int size = 0;
  std::vector<uint8_t> sysex;
  uint32_t micros_per_quarter = 0;
};

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool AtEnd() const { return pos_ >= size_; }
  size_t Remaining() const { return size_ - pos_; }
  size_t pos() const { return pos_; }
  bool Byte(uint8_t& v) {
    if (pos_ >= size_) return false;
    v = data_[pos_++];
    return true;
  }
  bool Peek(uint8_t& v) const {
    if (pos_ >= size_) return false;
    v = data_[pos_];
    return true;
  }
  bool Skip(size_t n) {
    if (n > Remaining()) return false;
    pos_ += n;
    return true;
  }
  bool BigEndian(int bytes, uint32_t& v) {
    if (Remaining() < static_cast<size_t>(bytes)) return false;
    v = 0;
    for (int i = 0; i < bytes; ++i)
      v = (v << 8) | data_[pos_++];
    return true;
  }
  // Variable-length quantity: at most four bytes of seven bits each.
  bool Vlq(uint32_t& v) {
    v = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b;
      if (!Byte(b)) return false;
      v = (v << 7) | (b & 0x7F);
      if (!(b & 0x80)) return true;
    }
    return false;
  }
  const uint8_t* Here() const { return data_ + pos_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

std::string TrackError(int track, const std::string& what) {
  return "track " + std::to_string(track + 1) + ": " + what;
}

bool ReadTrack(Reader& r, int track, std::vector<RawEvent>& out, uint64_t& end_tick,
               std::string& error) {
  uint64_t tick = 0;
  uint8_t running = 0;
  size_t order = 0;
  while (!r.AtEnd()) {
    uint32_t delta;
    if (!r.Vlq(delta)) {
      error = TrackError(track, "an event time is cut off or longer than four bytes");
      return false;
    }
    tick += delta;
    uint8_t status;
    if (!r.Peek(status)) {
      error = TrackError(track, "the track ends inside an event");
      return false;
    }
    if (status & 0x80) {
      r.Skip(1);
    } else if (running) {
      status = running;
    } else {
      error = TrackError(track, "a data byte appears where a status byte is needed");
      return false;
    }
    RawEvent ev;
    ev.tick = tick;
    ev.track = track;
    ev.order = order++;
    if (status < 0xF0) {
      running = status;
      const int data_bytes = (status & 0xE0) == 0xC0 ? 1 : 2;  // program change, aftertouch
      ev.data[0] = status;
      for (int i = 1; i <= data_bytes; ++i) {
        if (!r.Byte(ev.data[i])) {
          error = TrackError(track, "the track ends inside a channel message");
          return false;
        }
        if (ev.data[i] & 0x80) {
          error = TrackError(track, "a channel message has a data byte above 127");
          return false;
        }
      }
      ev.size = 1 + data_bytes;
      out.push_back(std::move(ev));
      continue;
    }
    running = 0;  // system and meta events cancel running status
    if (status == 0xF0 || status == 0xF7) {
      uint32_t length;
      if (!r.Vlq(length) || length > r.Remaining()) {
        error = TrackError(track, "a system-exclusive message is longer than the track");
        return false;
      }
      // F7 packets continue or escape earlier data; a plug-in cannot use them alone.
      if (status == 0xF0) {
        ev.kind = RawEvent::kSysex;
        ev.sysex.reserve(length + 1);
        ev.sysex.push_back(0xF0);
        ev.sysex.insert(ev.sysex.end(), r.Here(), r.Here() + length);
        out.push_back(std::move(ev));
      }
      r.Skip(length);
      continue;
    }
    if (status != 0xFF) {
      std::string what = "status byte ";
      what += std::to_string(status);
      what += " is not allowed in a MIDI file";
      error = TrackError(track, what);
      return false;
    }
    uint8_t type;
    uint32_t length;
    if (!r.Byte(type) || !r.Vlq(length) || length > r.Remaining()) {
      error = TrackError(track, "a meta event is longer than the track");
      return false;
    }
    const uint8_t* meta = r.Here();
    r.Skip(length);
    if (type == 0x2F) {  // end of track: whatever follows is not part of it
      end_tick = tick;
      return true;
    }
    if (type == 0x51) {
      if (length != 3) {
        error = TrackError(track, "a tempo event does not have three bytes");
        return false;
      }
      ev.kind = RawEvent::kTempo;
      ev.micros_per_quarter = (uint32_t{meta[0]} << 16) | (uint32_t{meta[1]} << 8) | meta[2];
      if (ev.micros_per_quarter == 0) {
        error = TrackError(track, "a tempo event sets a tempo of zero");
        return false;
      }
      out.push_back(std::move(ev));
    } else if (type == 0x58 && length >= 2) {
      ev.kind = RawEvent::kTimeSig;
      ev.data[0] = meta[0];
      ev.data[1] = meta[1];
      out.push_back(std::move(ev));
    }
  }
  end_tick = tick;  // a missing end-of-track mark is common enough to forgive
  return true;
}

}  // namespace

double MidiSequence::BpmAt(double seconds) const {
  double bpm = tempo.empty() ? 120.0 : tempo.front().bpm;
  for (const TempoPoint& p : tempo) {
    if (p.seconds > seconds) break;
    bpm = p.bpm;
  }
  return bpm;
}

double MidiSequence::QuartersAt(double seconds) const {
  if (tempo.empty()) return seconds * 2.0;
  const TempoPoint* at = &tempo.front();
  for (const TempoPoint& p : tempo) {
    if (p.seconds > seconds) break;
    at = &p;
  }
  return at->quarters + (seconds - at->seconds) * at->bpm / 60.0;
}

bool ParseMidiFile(std::span<const uint8_t> bytes, MidiSequence& out, std::string& error) {
  out = MidiSequence{};
  if (bytes.size() > kMaxFileBytes) {
    error = "the file is larger than 64 MB, which no MIDI file is";
    return false;
  }
  Reader r(bytes.data(), bytes.size());
  uint32_t magic, header_length, format, track_count, division;
  if (!r.BigEndian(4, magic) || magic != 0x4D546864) {  // "MThd"
    error = "not a Standard MIDI File (it does not start with \"MThd\")";
    return false;
  }
  if (!r.BigEndian(4, header_length) || header_length < 6 || !r.BigEndian(2, format) ||
      !r.BigEndian(2, track_count) || !r.BigEndian(2, division) || !r.Skip(header_length - 6)) {
    error = "the MIDI file header is cut off";
    return false;
  }
  if (format > 2) {
    error = "unknown MIDI file type " + std::to_string(format);
    return false;
  }
  if (format == 2) {
    error = "MIDI file type 2 (independent sequences) is not supported; use type 0 or 1";
    return false;
  }
  if (division == 0) {
    error = "the MIDI file header gives a time division of zero";
    return false;
  }
  // Ticks become seconds either through the tempo (ticks per quarter) or a fixed frame rate.
  double seconds_per_tick_smpte = 0.0;
  if (division & 0x8000) {
    const int fps = 256 - static_cast<int>(division >> 8);
    const int ticks_per_frame = static_cast<int>(division & 0xFF);
    if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || ticks_per_frame == 0) {
      error = "the MIDI file header gives an invalid SMPTE time division";
      return false;
    }
    const double frames_per_second = fps == 29 ? 29.97 : fps;
    seconds_per_tick_smpte = 1.0 / (frames_per_second * ticks_per_frame);
  }

  std::vector<RawEvent> raw;
  uint64_t end_tick = 0;
  int tracks_read = 0;
  while (r.Remaining() >= 8) {
    uint32_t chunk_type = 0, chunk_length = 0;
    r.BigEndian(4, chunk_type);
    r.BigEndian(4, chunk_length);
    if (chunk_length > r.Remaining()) {
      error = "track " + std::to_string(tracks_read + 1) + " is cut off (the file is truncated)";
      return false;
    }
    if (chunk_type != 0x4D54726B) {  // not "MTrk": chunks of other kinds are to be skipped
      r.Skip(chunk_length);
      continue;
    }
    Reader track(r.Here(), chunk_length);
    r.Skip(chunk_length);
    uint64_t track_end = 0;
    if (!ReadTrack(track, tracks_read, raw, track_end, error)) return false;
    end_tick = std::max(end_tick, track_end);
    ++tracks_read;
  }
  if (tracks_read == 0) {
    error = "the MIDI file holds no track";
    return false;
  }
  out.format = static_cast<int>(format);
  out.tracks = tracks_read;

  std::stable_sort(raw.begin(), raw.end(), [](const RawEvent& a, const RawEvent& b) {
    if (a.tick != b.tick) return a.tick < b.tick;
    return a.track < b.track;
  });

  const double ticks_per_quarter = (division & 0x8000) ? 0.0 : static_cast<double>(division);
  double micros_per_quarter = kDefaultMicrosPerQuarter;
  double seconds = 0.0;
  uint64_t last_tick = 0;
  auto advance = [&](uint64_t tick) {
    const double ticks = static_cast<double>(tick - last_tick);
    seconds += seconds_per_tick_smpte > 0.0 ? ticks * seconds_per_tick_smpte
                                            : ticks * micros_per_quarter / ticks_per_quarter * 1e-6;
    last_tick = tick;
  };
  out.tempo.push_back({0.0, 0.0, 60e6 / micros_per_quarter});
  for (RawEvent& ev : raw) {
    advance(ev.tick);
    switch (ev.kind) {
      case RawEvent::kTempo: {
        if (seconds_per_tick_smpte > 0.0) break;  // frame-based time ignores tempo
        micros_per_quarter = ev.micros_per_quarter;
        const TempoPoint point{seconds, static_cast<double>(ev.tick) / ticks_per_quarter,
                               60e6 / micros_per_quarter};
        if (out.tempo.back().seconds == seconds) {
          out.tempo.back() = point;
        } else {
          out.tempo.push_back(point);
        }
        break;
      }
      case RawEvent::kTimeSig:
        out.time_sig_numerator = std::max(1, int{ev.data[0]});
        out.time_sig_denominator = 1 << std::min(6, int{ev.data[1]});
        break;
      case RawEvent::kChannel:
      case RawEvent::kSysex: {
        MidiEvent e;
        e.seconds = seconds;
        e.data = ev.data;
        e.size = ev.size;
        e.sysex = std::move(ev.sysex);
        out.events.push_back(std::move(e));
        break;
      }
    }
  }
  advance(std::max(end_tick, last_tick));
  out.length_seconds = seconds;
  return true;
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, std::string& error) {
  out.clear();
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot open " + path + ": " + strerror(errno);
    return false;
  }
  uint8_t buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) {
    out.insert(out.end(), buffer, buffer + n);
    if (out.size() > kMaxFileBytes) {
      fclose(f);
      error = path + " is larger than 64 MB";
      return false;
    }
  }
  const bool failed = ferror(f) != 0;
  fclose(f);
  if (failed) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

bool LoadMidiFile(const std::string& path, MidiSequence& out, std::string& error) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes, error)) return false;
  if (!ParseMidiFile(bytes, out, error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

}  // namespace vsthost
