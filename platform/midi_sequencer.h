// MIDI from the system's sequencer (the ALSA sequencer on Linux): a port of our own that other
// programs and keyboards connect to.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vantor::platform {

class MidiSequencerInput {
 public:
  // Gets each channel message (1 to 3 bytes, with its status byte) on the sequencer's own thread,
  // as it arrives. System messages are left out.
  using Receiver = std::function<void(const uint8_t* bytes, int size)>;

  // Opens a client named `client_name` with one input port `port_name`; `receiver` is called until
  // the object is destroyed. Null with a sentence in `error` where there is no sequencer.
  static std::unique_ptr<MidiSequencerInput> Open(const std::string& client_name,
                                                  const std::string& port_name, Receiver receiver,
                                                  std::string& error);
  virtual ~MidiSequencerInput() = default;

  // Connects a source to our port: "client:port" in numbers, a client's name (or the start of
  // one), or "name:port". False with a sentence when there is no such source.
  virtual bool Connect(const std::string& source, std::string& error) = 0;
  // Our port's address, "client:port".
  virtual std::string Address() const = 0;
};

}  // namespace vantor::platform
