// The JACK client of the standalone program and its process callback.
#include "standalone/jack_audio.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace vantor::standalone {
namespace {

// libjack reports its own troubles on the terminal; while a client is being opened they only
// repeat, less clearly, what the program says itself.
std::atomic<bool> g_quiet_jack{false};
void OnJackError(const char* message) {
  if (!g_quiet_jack.load()) fprintf(stderr, "vantor: JACK: %s\n", message);
}
void OnJackInfo(const char*) {}

std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

bool IsChannelMessage(const uint8_t* bytes, size_t size) {
  return size >= 1 && size <= 3 && bytes[0] >= 0x80 && bytes[0] < 0xF0;
}

}  // namespace

std::unique_ptr<JackAudio> JackAudio::Open(const std::string& server, const std::string& name,
                                           vsthost::Plugin& plugin, OpenFailure& failure,
                                           std::string& error) {
  static_assert(offsetof(EventList, events) == offsetof(vst::VstEvents, events));
  jack_set_error_function(OnJackError);
  jack_set_info_function(OnJackInfo);
  g_quiet_jack = true;
  jack_status_t status{};
  const int options = JackNoStartServer | (server.empty() ? 0 : JackServerName);
  jack_client_t* client =
      jack_client_open(name.c_str(), static_cast<jack_options_t>(options), &status, server.c_str());
  g_quiet_jack = false;
  const std::string server_text = "\"" + (server.empty() ? std::string("default") : server) + "\"";
  if (!client) {
    if (status & JackServerFailed) {
      failure = OpenFailure::kNoServer;
      error = "no JACK server " + server_text +
              " is running. Start one with \"jackd -d alsa\" (or \"jackd -d dummy\" to try "
              "without a sound card), or run vantor under PipeWire with \"pw-jack vantor\"";
    } else {
      failure = OpenFailure::kOther;
      char code[16];
      snprintf(code, sizeof code, "0x%x", static_cast<unsigned>(status));
      error = "the JACK server " + server_text + " refused the client \"" + name + "\" (status " +
              code + ")";
    }
    return nullptr;
  }
  std::unique_ptr<JackAudio> audio(new JackAudio(client, plugin));
  audio->out_left_ = jack_port_register(client, "out_L", JACK_DEFAULT_AUDIO_TYPE,
                                        JackPortIsOutput | JackPortIsTerminal, 0);
  audio->out_right_ = jack_port_register(client, "out_R", JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsOutput | JackPortIsTerminal, 0);
  audio->midi_in_ = jack_port_register(client, "midi_in", JACK_DEFAULT_MIDI_TYPE,
                                       JackPortIsInput | JackPortIsTerminal, 0);
  if (!audio->out_left_ || !audio->out_right_ || !audio->midi_in_) {
    failure = OpenFailure::kOther;
    error = "the JACK server " + server_text + " refused our ports";
    return nullptr;
  }
  const uint32_t rate = jack_get_sample_rate(client);
  const uint32_t block = jack_get_buffer_size(client);
  audio->server_rate_ = rate;
  audio->server_block_ = block;
  audio->sample_rate_ = rate;
  audio->block_size_ = static_cast<int>(block);
  plugin.Configure(rate, static_cast<int>(block));
  plugin.Resume();
  vst::VstTimeInfo& time = plugin.host().time;
  time.tempo = 120.0;  // no transport here: a steady tempo for anything that follows one
  time.timeSigNumerator = 4;
  time.timeSigDenominator = 4;
  time.flags = vst::kVstTempoValid | vst::kVstTimeSigValid;

  JackAudio* self = audio.get();
  jack_set_process_callback(client, OnProcess, self);
  jack_set_buffer_size_callback(client, OnBufferSize, self);
  jack_set_sample_rate_callback(client, OnSampleRate, self);
  jack_set_xrun_callback(client, OnXrun, self);
  jack_on_info_shutdown(
      client, [](jack_status_t, const char*, void* arg) { OnShutdown(arg); }, self);
  failure = OpenFailure::kNone;
  return audio;
}

JackAudio::~JackAudio() {
  Deactivate();
  jack_client_close(client_);
}

bool JackAudio::Activate(std::string& error) {
  if (jack_activate(client_) != 0) {
    error = "the JACK server did not start our client";
    return false;
  }
  active_ = true;
  return true;
}

void JackAudio::Deactivate() {
  if (!active_) return;
  active_ = false;
  if (!server_stopped_) jack_deactivate(client_);
}

std::string JackAudio::ClientName() const {
  return jack_get_client_name(client_);
}

int JackAudio::ConnectPlayback() {
  const char** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                      JackPortIsPhysical | JackPortIsInput);
  int connected = 0;
  if (ports && ports[0]) {
    // A single playback port gets both channels.
    const char* right = ports[1] ? ports[1] : ports[0];
    if (jack_connect(client_, jack_port_name(out_left_), ports[0]) == 0) ++connected;
    if (jack_connect(client_, jack_port_name(out_right_), right) == 0) ++connected;
  }
  if (ports) jack_free(ports);
  return connected;
}

JackAudio::Connection JackAudio::ConnectMidiSource(const std::string& name, std::string& error) {
  std::string found;
  if (jack_port_t* port = jack_port_by_name(client_, name.c_str())) {
    if ((jack_port_flags(port) & JackPortIsOutput) &&
        strcmp(jack_port_type(port), JACK_DEFAULT_MIDI_TYPE) == 0) {
      found = name;
    }
  }
  if (found.empty()) {
    const char** ports = jack_get_ports(client_, nullptr, JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput);
    int matches = 0;
    for (int i = 0; ports && ports[i]; ++i) {
      if (Lower(ports[i]).find(Lower(name)) != std::string::npos) {
        ++matches;
        found = ports[i];
      }
    }
    if (ports) jack_free(ports);
    if (matches > 1) {
      error = "\"" + name + "\" names " + std::to_string(matches) +
              " JACK MIDI ports; give the full name (\"jack_lsp -t\" lists them)";
      return Connection::kFailed;
    }
  }
  if (found.empty()) return Connection::kNotFound;
  const int result = jack_connect(client_, found.c_str(), jack_port_name(midi_in_));
  if (result != 0 && result != EEXIST) {
    error = "cannot connect the JACK MIDI port \"" + found + "\"";
    return Connection::kFailed;
  }
  return Connection::kConnected;
}

void JackAudio::QueueMidi(const uint8_t* bytes, int size) {
  if (!IsChannelMessage(bytes, static_cast<size_t>(size))) return;
  TimedMidi message;
  message.frame = jack_frame_time(client_);
  message.size = static_cast<uint8_t>(size);
  memcpy(message.bytes, bytes, static_cast<size_t>(size));
  queue_.Push(message);
}

int JackAudio::OnProcess(uint32_t frames, void* self) {
  return static_cast<JackAudio*>(self)->Process(frames);
}

int JackAudio::OnBufferSize(uint32_t frames, void* self) {
  auto* audio = static_cast<JackAudio*>(self);
  audio->server_block_ = frames;
  audio->RequestChange();
  return 0;
}

int JackAudio::OnSampleRate(uint32_t rate, void* self) {
  auto* audio = static_cast<JackAudio*>(self);
  audio->server_rate_ = rate;
  audio->RequestChange();
  return 0;
}

int JackAudio::OnXrun(void* self) {
  static_cast<JackAudio*>(self)->xruns_.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

void JackAudio::OnShutdown(void* self) {
  g_quiet_jack = true;  // what libjack says of the lost connection from now on adds nothing
  static_cast<JackAudio*>(self)->server_stopped_ = true;
}

// Until the main thread has configured the plug-in anew, the blocks are silent.
void JackAudio::RequestChange() {
  if (server_block_.load() != static_cast<uint32_t>(block_size_.load()) ||
      server_rate_.load() != static_cast<uint32_t>(sample_rate_.load())) {
    paused_ = true;
  }
}

void JackAudio::ApplyServerChanges() {
  if (!paused_.load()) return;
  // Wait for the process callback to leave the plug-in; it never enters while paused.
  while (in_process_.load())
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  const uint32_t rate = server_rate_.load();
  const uint32_t block = server_block_.load();
  plugin_.Suspend();
  plugin_.Configure(rate, static_cast<int>(block));
  plugin_.Resume();
  sample_rate_ = rate;
  block_size_ = static_cast<int>(block);
  paused_ = false;
  RequestChange();  // a change that came in meanwhile pauses again
}

// Channel messages of this block from JACK (at their own frames) and from the queue (one block
// after their arrival), merged in time order into list_.
uint32_t JackAudio::GatherEvents(uint32_t frames) {
  int count = 0;
  auto add = [&](uint32_t offset, const uint8_t* bytes, size_t size) {
    if (count == kMaxEvents) return;
    vst::VstMidiEvent& e = midi_[count];
    e = vst::VstMidiEvent{};
    e.type = vst::kVstMidiType;
    e.byteSize = sizeof(vst::VstMidiEvent);
    e.deltaFrames = static_cast<vst::int32>(offset);
    for (size_t i = 0; i < size; ++i)
      e.midiData[i] = static_cast<char>(bytes[i]);
    // Insertion keeps equal times in arrival order.
    int at = count++;
    while (at > 0 && list_.events[at - 1]->deltaFrames > e.deltaFrames) {
      list_.events[at] = list_.events[at - 1];
      --at;
    }
    list_.events[at] = reinterpret_cast<vst::VstEvent*>(&e);
  };
  void* midi_buffer = jack_port_get_buffer(midi_in_, frames);
  const uint32_t jack_events = jack_midi_get_event_count(midi_buffer);
  for (uint32_t i = 0; i < jack_events; ++i) {
    jack_midi_event_t event;
    if (jack_midi_event_get(&event, midi_buffer, i) != 0) continue;
    if (IsChannelMessage(event.buffer, event.size))
      add(std::min(event.time, frames - 1), event.buffer, event.size);
  }
  const uint32_t block_start = jack_last_frame_time(client_);
  while (const TimedMidi* message = queue_.Peek()) {
    // The frame clock wraps (32 bits); the difference in its own width does not care.
    const int64_t offset = static_cast<int32_t>(message->frame - block_start) + int64_t{frames};
    if (offset >= static_cast<int64_t>(frames)) break;  // arrived during this block: the next
    add(static_cast<uint32_t>(std::max<int64_t>(offset, 0)), message->bytes, message->size);
    queue_.Pop();
  }
  list_.count = count;
  return static_cast<uint32_t>(count);
}

int JackAudio::Process(uint32_t frames) {
  in_process_ = true;
  auto* left = static_cast<float*>(jack_port_get_buffer(out_left_, frames));
  auto* right = static_cast<float*>(jack_port_get_buffer(out_right_, frames));
  if (paused_.load()) {
    std::fill(left, left + frames, 0.0f);
    std::fill(right, right + frames, 0.0f);
    in_process_ = false;
    return 0;
  }
  const jack_time_t start = jack_get_time();
  vst::AEffect* effect = plugin_.effect();
  if (GatherEvents(frames) > 0) {
    effect->dispatcher(effect, vst::effProcessEvents, 0, 0, &list_, 0.0f);
  }
  vst::VstTimeInfo& time = plugin_.host().time;
  time.samplePos = sample_position_;
  time.sampleRate = sample_rate_.load(std::memory_order_relaxed);
  float silence = 0.0f;
  float* inputs[1] = {&silence};  // the instrument has no inputs
  float* outputs[2] = {left, right};
  effect->processReplacing(effect, inputs, outputs, static_cast<vst::int32>(frames));
  sample_position_ += frames;
  const jack_time_t end = jack_get_time();
  const double duration_us = frames * 1e6 / time.sampleRate;
  const double busy_us = static_cast<double>(end - start);
  blocks_.fetch_add(1, std::memory_order_relaxed);
  busy_us_.fetch_add(static_cast<uint64_t>(busy_us), std::memory_order_relaxed);
  duration_us_.fetch_add(static_cast<uint64_t>(duration_us), std::memory_order_relaxed);
  const auto permille = static_cast<uint32_t>(1000.0 * busy_us / duration_us);
  if (permille > peak_permille_.load(std::memory_order_relaxed)) {
    peak_permille_.store(permille, std::memory_order_relaxed);
  }
  in_process_ = false;
  return 0;
}

AudioStats JackAudio::Stats() const {
  AudioStats stats;
  stats.blocks = blocks_.load();
  const uint64_t duration = duration_us_.load();
  stats.average_load = duration ? static_cast<double>(busy_us_.load()) / duration : 0.0;
  stats.peak_load = peak_permille_.load() / 1000.0;
  stats.xruns = xruns_.load();
  stats.dropped_midi = queue_.dropped();
  return stats;
}

}  // namespace vantor::standalone
