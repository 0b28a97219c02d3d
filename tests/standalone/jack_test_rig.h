// What the standalone program's tests drive it with: a private JACK server (the dummy driver),
// the program as a child process, and a JACK client of our own that plays MIDI into it and
// records what it plays.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "standalone/midi_queue.h"

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

namespace vantor::testing {

// A child process with its standard output and error in a file.
class Child {
 public:
  // `environment` entries replace or add to this process's variables; an empty value removes one.
  bool Start(const std::vector<std::string>& argv,
             const std::map<std::string, std::string>& environment,
             const std::filesystem::path& log);
  ~Child();
  bool Running();
  void Signal(int signal_number);
  // The exit status (128 + the signal's number for one ended by a signal), or -1 when it did not
  // end within `seconds`.
  int Wait(double seconds);
  // Everything it has printed so far.
  std::string Output() const;
  // Waits until its output holds `text`; false when it ends or `seconds` pass first.
  bool WaitForOutput(const std::string& text, double seconds);

 private:
  int pid_ = -1;
  int status_ = -1;
  std::filesystem::path log_;
};

// jackd with the dummy driver under a name of its own, so runs never share a server.
class JackServer {
 public:
  static constexpr int kSampleRate = 48000;
  static constexpr int kBlockSize = 256;
  // `suffix` tells apart several servers of one test process.
  bool Start(const std::filesystem::path& folder, std::string& error,
             const std::string& suffix = "");
  void Stop();
  ~JackServer() { Stop(); }
  const std::string& name() const { return name_; }

 private:
  bool StartNamed(const std::string& name, const std::filesystem::path& log, std::string& error);
  std::string name_;
  Child jackd_;
};

// Two clients of the test: one plays MIDI at chosen frames, the other records a stereo input
// with the frame of every sample, so the time from an event to the sound is exact.
class JackRig {
 public:
  bool Open(const std::string& server, std::string& error);
  ~JackRig();

  // Waits until a port of that full name exists.
  bool WaitForPort(const std::string& name, double seconds);
  bool Connect(const std::string& from, const std::string& to);
  // Waits a while for the connection to show; false when it never does.
  bool Connected(const std::string& port, const std::string& other);
  // The server's frame clock now, and its block size.
  uint32_t Now() const;
  int BlockSize() const;
  bool SetBlockSize(int frames);
  // Deadlines the server reported missed so far.
  uint64_t Xruns() const { return xruns_.load(); }

  // Sends a channel message at the absolute frame `frame` (events must come in time order).
  void Send(uint32_t frame, uint8_t status, uint8_t data1, uint8_t data2);

  // The recording: frames from the recorder's first block on, left channel.
  // Waits until the recording reaches `frame`; false after `seconds`.
  bool WaitForFrame(uint32_t frame, double seconds);
  // Samples [from, from + count) of the left channel by absolute frame; zeros for frames not
  // (or no longer) recorded.
  std::vector<double> Left(uint32_t from, int count) const;

 private:
  static int OnPlay(uint32_t frames, void* self);
  static int OnRecord(uint32_t frames, void* self);

  jack_client_t* player_ = nullptr;
  jack_client_t* recorder_ = nullptr;
  jack_port_t* midi_out_ = nullptr;
  jack_port_t* in_left_ = nullptr;
  jack_port_t* in_right_ = nullptr;
  standalone::MidiQueue<256> outgoing_;
  // A ring of the last kHistory frames; `recorded_end_` is the absolute frame after the last.
  static constexpr uint32_t kHistory = 1u << 20;  // about 22 s at 48 kHz
  std::vector<float> left_ = std::vector<float>(kHistory);
  std::atomic<uint32_t> recorded_end_{0};
  std::atomic<bool> recording_{false};
  std::atomic<uint64_t> xruns_{0};
};

// The first frame from `from` on where |x| exceeds `threshold`; -1 when none.
int FirstAbove(const std::vector<double>& samples, double threshold, int from = 0);
double Peak(const std::vector<double>& samples, int from = 0, int count = -1);

}  // namespace vantor::testing
