// The standalone program's JACK client: two audio outputs and a MIDI input driving the plug-in
// from JACK's process thread, and MIDI from other threads queued for the next block.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "standalone/midi_queue.h"
#include "tools/vsthost/plugin.h"

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

namespace vantor::standalone {

// How much of each block's time the plug-in took, and what went wrong, since activation.
struct AudioStats {
  uint64_t blocks = 0;
  double average_load = 0.0;  // time in the plug-in over the blocks' duration, 0..1
  double peak_load = 0.0;     // of the busiest block
  uint64_t xruns = 0;
  uint64_t dropped_midi = 0;  // queued messages lost to a full queue
};

class JackAudio {
 public:
  enum class OpenFailure { kNone, kNoServer, kOther };
  // Opens a client named `name` (JACK may add a number) on `server` (empty: JACK's default).
  // The plug-in is configured for the server's sample rate and block size and resumed.
  static std::unique_ptr<JackAudio> Open(const std::string& server, const std::string& name,
                                         vsthost::Plugin& plugin, OpenFailure& failure,
                                         std::string& error);
  ~JackAudio();  // deactivates and closes the client
  JackAudio(const JackAudio&) = delete;
  JackAudio& operator=(const JackAudio&) = delete;

  bool Activate(std::string& error);
  // Stops the process callbacks; the plug-in is not called from JACK's thread afterwards.
  void Deactivate();

  std::string ClientName() const;
  double sample_rate() const { return sample_rate_.load(); }
  int block_size() const { return block_size_.load(); }

  // Connects out_L and out_R to the first two physical playback ports; the number connected.
  int ConnectPlayback();
  enum class Connection { kConnected, kNotFound, kFailed };
  // A JACK MIDI output by its full name, or by a part of its name that only one port has.
  Connection ConnectMidiSource(const std::string& name, std::string& error);

  // From one other thread (the sequencer's): a message, played at the same point of the next
  // block as it arrived in this one, so its timing keeps the spacing it had.
  void QueueMidi(const uint8_t* bytes, int size);

  // On the main thread: follows a change of the server's sample rate or block size.
  void ApplyServerChanges();
  bool ServerStopped() const { return server_stopped_.load(); }
  AudioStats Stats() const;

 private:
  JackAudio(jack_client_t* client, vsthost::Plugin& plugin) : client_(client), plugin_(plugin) {}
  static int OnProcess(uint32_t frames, void* self);
  static int OnBufferSize(uint32_t frames, void* self);
  static int OnSampleRate(uint32_t rate, void* self);
  static int OnXrun(void* self);
  static void OnShutdown(void* self);
  int Process(uint32_t frames);
  void RequestChange();
  uint32_t GatherEvents(uint32_t frames);

  jack_client_t* client_;
  vsthost::Plugin& plugin_;
  jack_port_t* out_left_ = nullptr;
  jack_port_t* out_right_ = nullptr;
  jack_port_t* midi_in_ = nullptr;
  bool active_ = false;

  // What the plug-in is configured for, and what the server asked for since.
  std::atomic<double> sample_rate_{0.0};
  std::atomic<int> block_size_{0};
  std::atomic<uint32_t> server_rate_{0};
  std::atomic<uint32_t> server_block_{0};
  // The process callback stays out of the plug-in while `paused_` (a change is being applied);
  // `in_process_` tells the main thread when the callback has left it.
  std::atomic<bool> paused_{false};
  std::atomic<bool> in_process_{false};
  std::atomic<bool> server_stopped_{false};

  MidiQueue<1024> queue_;
  double sample_position_ = 0.0;  // of the next block, for the plug-in's time information

  // The events of one block, laid out as the VstEvents list the plug-in takes.
  static constexpr int kMaxEvents = 512;
  struct EventList {
    vst::int32 count;
    vst::intptr reserved;
    vst::VstEvent* events[kMaxEvents];
  };
  EventList list_{};
  vst::VstMidiEvent midi_[kMaxEvents]{};

  std::atomic<uint64_t> blocks_{0};
  std::atomic<uint64_t> busy_us_{0};      // time in the plug-in
  std::atomic<uint64_t> duration_us_{0};  // the blocks' own duration
  std::atomic<uint32_t> peak_permille_{0};
  std::atomic<uint64_t> xruns_{0};
};

}  // namespace vantor::standalone
