#include "platform/midi/JackMidiInput.h"

#include "platform/midi/JackClient.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

namespace
{
// The longest SysEx message joined from pieces (a whole dump of ours is far shorter).
constexpr size_t kMaxSysEx = 1 << 16;

class JackMidiInputClient final : public MidiInputClient
{
public:
  explicit JackMidiInputClient(jack_client_t* client) : client_(client)
  {
    PrepareJackClient(client_, &JackMidiInputClient::Process, this, server_);
  }

  ~JackMidiInputClient() override
  {
    // The client, active while it has a port, stops before the port goes; closing it removes the port.
    livePort_.store(nullptr);
    while (inProcess_.load() > 0)
      std::this_thread::yield();
    if (port_ && !server_.Gone()) jack_deactivate(client_);
    port_ = nullptr;
    CloseJackClient(client_, server_.Gone());
    callback_ = nullptr;
  }

  unsigned PortCount() override { return unsigned(ListPorts().size()); }

  bool PortName(unsigned port, std::string& name) override
  {
    const std::vector<std::string> ports = ListPorts();
    if (port >= ports.size()) return false;
    name = ports[port];
    return true;
  }

  bool OpenPort(unsigned port, const std::string& portName, MidiInputCallback callback) override
  {
    ClosePort();
    const std::vector<std::string> ports = ListPorts();
    if (port >= ports.size() || !Register(portName, std::move(callback))) return false;
    if (jack_connect(client_, ports[port].c_str(), jack_port_name(port_)) != 0)
    {
      std::fprintf(stderr, "MIDI input: cannot connect from \"%s\"\n", ports[port].c_str());
      ClosePort();
      return false;
    }
    return true;
  }

  bool OpenVirtualPort(const std::string& portName, MidiInputCallback callback) override
  {
    ClosePort();
    return Register(portName, std::move(callback));
  }

  void ClosePort() override
  {
    if (!port_) return;
    // The process callback lets go of the port (and the callback) before either goes.
    livePort_.store(nullptr);
    while (inProcess_.load() > 0)
      std::this_thread::yield();
    if (!server_.Gone()) CloseJackPort(client_, port_);
    port_ = nullptr;
    callback_ = nullptr;
  }

  bool IsPortOpen() const override { return port_ != nullptr; }

  bool ServerGone() const override { return server_.Gone(); }
  void SetServerGoneHandler(std::function<void()> handler) override
  {
    server_.SetHandler(std::move(handler));
  }

private:
  std::vector<std::string> ListPorts()
  {
    if (server_.Gone()) return {};
    return ListJackMidiPorts(client_, JackPortIsOutput);
  }

  bool Register(const std::string& portName, MidiInputCallback callback)
  {
    if (server_.Gone() || !callback) return false;
    jack_port_t* port = OpenJackPort(client_, portName, JackPortIsInput, "MIDI input");
    if (!port) return false;
    callback_ = std::move(callback);
    sysex_.clear();
    sysex_.reserve(kMaxSysEx);
    pieceScratch_.clear();
    pieceScratch_.reserve(kMaxSysEx);
    sysexOpen_ = false;
    port_ = port;
    livePort_.store(port); // publishes callback_ to the process callback
    return true;
  }

  static int Process(jack_nframes_t frames, void* user)
  {
    const int previous = HoldJackCancel();
    static_cast<JackMidiInputClient*>(user)->Cycle(frames);
    ReleaseJackCancel(previous);
    return 0;
  }

  void Cycle(jack_nframes_t frames)
  {
    inProcess_.fetch_add(1);
    if (jack_port_t* port = livePort_.load())
    {
      void* buffer = jack_port_get_buffer(port, frames);
      const uint32_t count = jack_midi_get_event_count(buffer);
      for (uint32_t i = 0; i < count; ++i)
      {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) == 0 && event.size > 0) Take(event.buffer, event.size);
      }
    }
    inProcess_.fetch_sub(1);
  }

  // On the process thread. A SysEx message may come in pieces (a bridge from ALSA sends it so):
  // they are joined. A real-time byte may stand anywhere, inside a piece too: it is passed on at once
  // (timing clock and active sensing left out), and the bytes around it stay one message.
  void Take(const uint8_t* bytes, size_t size)
  {
    if (std::none_of(bytes, bytes + size, [](uint8_t byte) { return byte >= 0xF8; }))
    {
      TakeMessage(bytes, size);
      return;
    }
    // Room was reserved when the port opened (no allocation here); a longer piece is dropped whole,
    // its real-time bytes still passed on.
    const bool fits = size <= pieceScratch_.capacity();
    pieceScratch_.clear();
    for (size_t i = 0; i < size; ++i)
    {
      if (bytes[i] < 0xF8)
      {
        if (fits) pieceScratch_.push_back(bytes[i]);
      }
      else if (bytes[i] != 0xF8 && bytes[i] != 0xFE)
        Deliver(&bytes[i], 1);
    }
    if (!fits) sysexOpen_ = false;
    if (!pieceScratch_.empty()) TakeMessage(pieceScratch_.data(), pieceScratch_.size());
  }

  // A piece without real-time bytes.
  void TakeMessage(const uint8_t* bytes, size_t size)
  {
    const uint8_t first = bytes[0];
    if (sysexOpen_ && (first < 0x80 || first == 0xF7))
    {
      Append(bytes, size);
      return;
    }
    sysexOpen_ = false; // a new status byte ends an unfinished SysEx message: it is dropped
    if (first == 0xF0 && bytes[size - 1] != 0xF7)
    {
      sysex_.clear();
      sysexOpen_ = true;
      Append(bytes, size);
      return;
    }
    Deliver(bytes, size);
  }

  void Append(const uint8_t* bytes, size_t size)
  {
    // Room was reserved when the port opened: no allocation here, and a message longer than that
    // is dropped whole.
    if (sysex_.size() + size > sysex_.capacity())
    {
      sysexOpen_ = false;
      return;
    }
    sysex_.insert(sysex_.end(), bytes, bytes + size);
    if (sysex_.back() != 0xF7) return;
    sysexOpen_ = false;
    Deliver(sysex_.data(), sysex_.size());
  }

  void Deliver(const uint8_t* bytes, size_t size)
  {
    try
    {
      callback_(bytes, size);
    }
    catch (...)
    {
    }
  }

  jack_client_t* client_;
  jack_port_t* port_ = nullptr;       // the opening thread's view; the client is active while it is set
  MidiInputCallback callback_;        // set before livePort_ publishes it
  std::vector<uint8_t> sysex_;        // a SysEx message in pieces, on the process thread
  std::vector<uint8_t> pieceScratch_; // a piece with its real-time bytes taken out, on the process thread
  bool sysexOpen_ = false;
  std::atomic<jack_port_t*> livePort_{nullptr};
  std::atomic<int> inProcess_{0};
  JackServerWatch server_;
};
} // namespace

std::unique_ptr<MidiInputClient> CreateJackMidiInput(const std::string& clientName, int attempts,
                                                     bool* refused)
{
  jack_client_t* client = OpenJackClient(clientName, "MIDI input", attempts, refused);
  if (!client) return nullptr;
  try
  {
    return std::make_unique<JackMidiInputClient>(client);
  }
  catch (...)
  {
    CloseJackClient(client, false);
    return nullptr;
  }
}
