// The test rig of the standalone program: child processes, the private JACK server and the
// playing and recording clients.
#include "standalone/jack_test_rig.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace vantor::testing {
namespace {

using Clock = std::chrono::steady_clock;

// Polls `done` every few milliseconds until it holds or `seconds` pass.
template <typename Done>
bool WaitUntil(Done&& done, double seconds) {
  const auto until = Clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    if (done()) return true;
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void Quiet(const char*) {}

}  // namespace

// ---- Child

bool Child::Start(const std::vector<std::string>& argv,
                  const std::map<std::string, std::string>& environment,
                  const std::filesystem::path& log) {
  log_ = log;
  std::vector<std::string> env_strings;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string key = entry.substr(0, entry.find('='));
    if (!environment.count(key)) env_strings.push_back(entry);
  }
  for (const auto& [key, value] : environment) {
    if (!value.empty()) env_strings.push_back(key + "=" + value);
  }
  std::vector<char*> args, envp;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  for (const std::string& e : env_strings)
    envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  fflush(stdout);
  fflush(stderr);
  pid_ = fork();
  if (pid_ == 0) {
    // A test that crashes takes its servers and programs with it. A server writing to a client
    // that has gone gets an error, not SIGPIPE, which would end it before it unregisters (JACK
    // keeps a few server slots per machine, and a killed server's slot stays taken).
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    signal(SIGPIPE, SIG_IGN);
    FILE* out = fopen(log.c_str(), "w");
    if (out) {
      dup2(fileno(out), 1);
      dup2(fileno(out), 2);
    }
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  return pid_ > 0;
}

Child::~Child() {
  if (Running()) {
    kill(pid_, SIGKILL);
    Wait(10);
  }
}

bool Child::Running() {
  if (pid_ <= 0) return false;
  int status = 0;
  const pid_t done = waitpid(pid_, &status, WNOHANG);
  if (done == 0) return true;
  status_ = done != pid_          ? -1
            : WIFEXITED(status)   ? WEXITSTATUS(status)
            : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                  : -1;
  pid_ = -1;
  return false;
}

void Child::Signal(int signal_number) {
  if (pid_ > 0) kill(pid_, signal_number);
}

int Child::Wait(double seconds) {
  if (!WaitUntil([&] { return !Running(); }, seconds)) return -1;
  return status_;
}

std::string Child::Output() const {
  std::ifstream in(log_);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Child::WaitForOutput(const std::string& text, double seconds) {
  bool ended = false;
  const bool found = WaitUntil(
      [&] {
        if (Output().find(text) != std::string::npos) return true;
        ended = !Running();
        return ended;
      },
      seconds);
  return found && Output().find(text) != std::string::npos;
}

// ---- JackServer

bool JackServer::Start(const std::filesystem::path& folder, std::string& error,
                       const std::string& suffix) {
  // The same name each run takes over the slot a killed server of that name left in JACK's
  // machine-wide registry (which has eight); a name of this process's own while another run
  // holds it.
  for (const std::string& name :
       {"vantor-test" + suffix, "vantor-test-" + std::to_string(getpid()) + suffix}) {
    if (StartNamed(name, folder / (name + ".log"), error)) return true;
  }
  return false;
}

bool JackServer::StartNamed(const std::string& name, const std::filesystem::path& log,
                            std::string& error) {
  name_ = name;
  const std::string jack_wait = (std::filesystem::path(JACKD_BINARY).parent_path() / "jack_wait");
  Child check;
  if (!check.Start({jack_wait, "-s", name_, "-c"}, {}, log.string() + ".check") ||
      check.Wait(60) != 0 || check.Output() == "running\n") {
    error = "a server named " + name_ + " is running already";
    return false;
  }
  // -r: no real-time scheduling, which test machines seldom allow; -S: each block waits for
  // every client, so a busy machine delays the clock instead of dropping blocks.
  const std::vector<std::string> argv = {JACKD_BINARY,
                                         "-n",
                                         name_,
                                         "-r",
                                         "-S",
                                         "-d",
                                         "dummy",
                                         "-r",
                                         std::to_string(kSampleRate),
                                         "-p",
                                         std::to_string(kBlockSize)};
  if (!jackd_.Start(argv, {{"JACK_NO_AUDIO_RESERVATION", "1"}}, log)) {
    error = "jackd did not start";
    return false;
  }
  // Ready when a client can join; asked by jack_wait, as one process of ours must never be the
  // client of two servers (libjack keeps one server's state per process).
  Child wait;
  if (!wait.Start({jack_wait, "-s", name_, "-w", "-t", "60"}, {}, log.string() + ".wait")) {
    error = "jack_wait did not start";
    return false;
  }
  // jackd ends at once when it cannot start (the name taken, no server slot left).
  WaitUntil([&] { return !wait.Running() || !jackd_.Running(); }, 90);
  if (wait.Wait(0) != 0 || !jackd_.Running()) {
    error = "jackd did not come up: " + jackd_.Output();
    return false;
  }
  return true;
}

void JackServer::Stop() {
  if (!jackd_.Running()) return;
  jackd_.Signal(SIGTERM);
  if (jackd_.Wait(20) < 0) jackd_.Signal(SIGKILL);
}

// ---- JackRig

bool JackRig::Open(const std::string& server, std::string& error) {
  jack_set_error_function(Quiet);
  jack_set_info_function(Quiet);
  const auto options = static_cast<jack_options_t>(JackNoStartServer | JackServerName);
  jack_status_t status{};
  player_ = jack_client_open("test-player", options, &status, server.c_str());
  recorder_ = jack_client_open("test-recorder", options, &status, server.c_str());
  if (!player_ || !recorder_) {
    error = "the test's JACK clients could not join the server";
    return false;
  }
  midi_out_ = jack_port_register(player_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
  in_left_ = jack_port_register(recorder_, "in_L", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  in_right_ = jack_port_register(recorder_, "in_R", JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
  jack_set_process_callback(player_, OnPlay, this);
  jack_set_process_callback(recorder_, OnRecord, this);
  jack_set_xrun_callback(
      player_,
      [](void* arg) {
        static_cast<JackRig*>(arg)->xruns_.fetch_add(1);
        return 0;
      },
      this);
  if (!midi_out_ || !in_left_ || !in_right_ || jack_activate(player_) != 0 ||
      jack_activate(recorder_) != 0) {
    error = "the test's JACK clients could not start";
    return false;
  }
  return WaitUntil([&] { return recording_.load(); }, 30) ||
         (error = "the recorder got no block", false);
}

JackRig::~JackRig() {
  if (player_) jack_client_close(player_);
  if (recorder_) jack_client_close(recorder_);
}

bool JackRig::WaitForPort(const std::string& name, double seconds) {
  return WaitUntil([&] { return jack_port_by_name(player_, name.c_str()) != nullptr; }, seconds);
}

bool JackRig::Connect(const std::string& from, const std::string& to) {
  const int result = jack_connect(player_, from.c_str(), to.c_str());
  return result == 0 || result == EEXIST;
}

bool JackRig::Connected(const std::string& port, const std::string& other) {
  // Another client's connections reach this client's view of the graph a little later.
  return WaitUntil(
      [&] {
        jack_port_t* p = jack_port_by_name(player_, port.c_str());
        return p && jack_port_connected_to(p, other.c_str());
      },
      10);
}

uint32_t JackRig::Now() const {
  return jack_frame_time(player_);
}

int JackRig::BlockSize() const {
  return static_cast<int>(jack_get_buffer_size(player_));
}

bool JackRig::SetBlockSize(int frames) {
  return jack_set_buffer_size(player_, static_cast<jack_nframes_t>(frames)) == 0;
}

void JackRig::Send(uint32_t frame, uint8_t status, uint8_t data1, uint8_t data2) {
  standalone::TimedMidi message;
  message.frame = frame;
  message.bytes[0] = status;
  message.bytes[1] = data1;
  message.bytes[2] = data2;
  message.size = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 2 : 3;
  outgoing_.Push(message);
}

int JackRig::OnPlay(uint32_t frames, void* arg) {
  auto* rig = static_cast<JackRig*>(arg);
  void* buffer = jack_port_get_buffer(rig->midi_out_, frames);
  jack_midi_clear_buffer(buffer);
  const uint32_t start = jack_last_frame_time(rig->player_);
  while (const standalone::TimedMidi* m = rig->outgoing_.Peek()) {
    const int32_t offset = static_cast<int32_t>(m->frame - start);
    if (offset >= static_cast<int32_t>(frames)) break;
    jack_midi_event_write(buffer, static_cast<uint32_t>(std::max(offset, 0)), m->bytes, m->size);
    rig->outgoing_.Pop();
  }
  return 0;
}

int JackRig::OnRecord(uint32_t frames, void* arg) {
  auto* rig = static_cast<JackRig*>(arg);
  const auto* left = static_cast<const float*>(jack_port_get_buffer(rig->in_left_, frames));
  const uint32_t start = jack_last_frame_time(rig->recorder_);
  // Blocks the server skipped (an xrun) leave silence, never older sound from the ring.
  const uint32_t end = rig->recorded_end_.load(std::memory_order_relaxed);
  if (rig->recording_ && static_cast<int32_t>(start - end) > 0) {
    for (uint32_t f = end, n = 0; f != start && n < kHistory; ++f, ++n)
      rig->left_[f % kHistory] = 0.0f;
  }
  for (uint32_t i = 0; i < frames; ++i)
    rig->left_[(start + i) % kHistory] = left[i];
  rig->recorded_end_.store(start + frames, std::memory_order_release);
  rig->recording_ = true;
  return 0;
}

bool JackRig::WaitForFrame(uint32_t frame, double seconds) {
  return WaitUntil([&] { return static_cast<int32_t>(recorded_end_.load() - frame) >= 0; },
                   seconds);
}

std::vector<double> JackRig::Left(uint32_t from, int count) const {
  std::vector<double> out(static_cast<size_t>(count), 0.0);
  const uint32_t end = recorded_end_.load(std::memory_order_acquire);
  for (int i = 0; i < count; ++i) {
    const uint32_t frame = from + static_cast<uint32_t>(i);
    const int32_t age = static_cast<int32_t>(end - frame);
    if (age > 0 && age <= static_cast<int32_t>(kHistory)) out[i] = left_[frame % kHistory];
  }
  return out;
}

// ---- measurements

int FirstAbove(const std::vector<double>& samples, double threshold, int from) {
  for (size_t i = static_cast<size_t>(std::max(from, 0)); i < samples.size(); ++i) {
    if (std::fabs(samples[i]) > threshold) return static_cast<int>(i);
  }
  return -1;
}

double Peak(const std::vector<double>& samples, int from, int count) {
  const size_t end =
      count < 0 ? samples.size() : std::min(samples.size(), static_cast<size_t>(from + count));
  double peak = 0.0;
  for (size_t i = static_cast<size_t>(from); i < end; ++i)
    peak = std::max(peak, std::fabs(samples[i]));
  return peak;
}

}  // namespace vantor::testing
