// MIDI input through the ALSA sequencer: our client and port, and a thread that reads its events.
#include <alsa/asoundlib.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/midi_sequencer.h"

namespace vantor::platform {
namespace {

// libasound prints its own errors to the terminal; ours say what matters in one sentence.
void QuietErrors(const char*, int, const char*, int, const char*, ...) {}

class AlsaSequencerInput : public MidiSequencerInput {
 public:
  AlsaSequencerInput(snd_seq_t* seq, int port, snd_midi_event_t* decoder, int wake_read,
                     int wake_write, Receiver receiver)
      : seq_(seq),
        port_(port),
        decoder_(decoder),
        wake_read_(wake_read),
        wake_write_(wake_write),
        receiver_(std::move(receiver)) {
    thread_ = std::thread([this] { Run(); });
  }

  ~AlsaSequencerInput() override {
    stop_ = true;
    const char byte = 0;
    while (write(wake_write_, &byte, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
    close(wake_read_);
    close(wake_write_);
    snd_midi_event_free(decoder_);
    snd_seq_close(seq_);
  }

  bool Connect(const std::string& source, std::string& error) override {
    snd_seq_addr_t address{};
    if (snd_seq_parse_address(seq_, &address, source.c_str()) < 0) {
      error = "no ALSA sequencer client \"" + source + "\" (\"aconnect -i\" lists them)";
      return false;
    }
    if (const int err = snd_seq_connect_from(seq_, port_, address.client, address.port); err < 0) {
      error = "cannot connect the ALSA sequencer port " + std::to_string(address.client) + ":" +
              std::to_string(address.port) + " (\"" + source + "\"): " + snd_strerror(err);
      return false;
    }
    return true;
  }

  std::string Address() const override {
    return std::to_string(snd_seq_client_id(seq_)) + ":" + std::to_string(port_);
  }

 private:
  void Run() {
    const int count = snd_seq_poll_descriptors_count(seq_, POLLIN);
    std::vector<pollfd> fds(static_cast<size_t>(count) + 1);
    snd_seq_poll_descriptors(seq_, fds.data(), static_cast<unsigned>(count), POLLIN);
    fds[static_cast<size_t>(count)] = {wake_read_, POLLIN, 0};
    while (!stop_) {
      if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) break;
      ReadPending();
    }
  }

  void ReadPending() {
    snd_seq_event_t* event = nullptr;
    for (;;) {
      const int left = snd_seq_event_input(seq_, &event);
      if (left == -EAGAIN || left == -ENOENT) return;  // nothing more for now
      if (left == -ENOSPC) continue;                   // an overrun: events were lost, go on
      if (left < 0 || !event) return;
      unsigned char bytes[16];
      const long size = snd_midi_event_decode(decoder_, bytes, sizeof bytes, event);
      // One channel message per event; system messages and SysEx are not the instrument's.
      if (size >= 1 && size <= 3 && bytes[0] >= 0x80 && bytes[0] < 0xF0) {
        receiver_(bytes, static_cast<int>(size));
      }
    }
  }

  snd_seq_t* seq_;
  int port_;
  snd_midi_event_t* decoder_;
  int wake_read_, wake_write_;
  Receiver receiver_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace

std::unique_ptr<MidiSequencerInput> MidiSequencerInput::Open(const std::string& client_name,
                                                             const std::string& port_name,
                                                             Receiver receiver,
                                                             std::string& error) {
  snd_lib_error_set_handler(QuietErrors);
  snd_seq_t* seq = nullptr;
  if (const int err = snd_seq_open(&seq, "default", SND_SEQ_OPEN_DUPLEX, SND_SEQ_NONBLOCK);
      err < 0) {
    error = access("/dev/snd/seq", F_OK) != 0
                ? "this machine has no ALSA sequencer (/dev/snd/seq; the snd-seq kernel module)"
                : std::string("cannot open the ALSA sequencer: ") + snd_strerror(err);
    return nullptr;
  }
  snd_seq_set_client_name(seq, client_name.c_str());
  const int port = snd_seq_create_simple_port(
      seq, port_name.c_str(), SND_SEQ_PORT_CAP_WRITE | SND_SEQ_PORT_CAP_SUBS_WRITE,
      SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_SYNTHESIZER |
          SND_SEQ_PORT_TYPE_APPLICATION);
  snd_midi_event_t* decoder = nullptr;
  int wake[2] = {-1, -1};
  if (port < 0 || snd_midi_event_new(64, &decoder) < 0 || pipe(wake) != 0) {
    error = "cannot make an ALSA sequencer port";
    if (decoder) snd_midi_event_free(decoder);
    snd_seq_close(seq);
    return nullptr;
  }
  snd_midi_event_no_status(decoder, 1);  // every message with its status byte
  return std::make_unique<AlsaSequencerInput>(seq, port, decoder, wake[0], wake[1],
                                              std::move(receiver));
}

}  // namespace vantor::platform
