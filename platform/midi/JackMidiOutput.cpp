#include "platform/midi/JackMidiOutput.h"

#include "platform/midi/JackClient.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace
{
// The largest message, as under RtMidi's JACK output before (a SysEx dump of ours is far smaller).
constexpr size_t kMaxMessage = 16379;
constexpr size_t kShortMessage = 3;
constexpr size_t kLengthPrefix = sizeof(uint32_t);
// Room for a few cycles of dumps and several hundred short messages; JACK rounds up to a power of two.
constexpr size_t kLongRingBytes = 1 << 16;
constexpr size_t kShortRingBytes = 1 << 12;
// How long a send waits for room, and a close for delivery, before it gives up: the process
// callback has stopped (a server gone or stalled).
constexpr auto kSendWait = std::chrono::seconds(2);
constexpr auto kCloseWait = std::chrono::seconds(2);
constexpr auto kPoll = std::chrono::milliseconds(1);

class JackMidiOutputClient final : public MidiOutputClient
{
public:
  JackMidiOutputClient(jack_client_t* client, jack_ringbuffer_t* shortRing, jack_ringbuffer_t* longRing)
      : client_(client), short_(shortRing), long_(longRing)
  {
    PrepareJackClient(client_, &JackMidiOutputClient::Process, this, server_);
  }

  ~JackMidiOutputClient() override
  {
    // The client, active while it has a port, stops before the port goes (see OpenJackPort).
    // Closing the client removes the port.
    WaitUntilDelivered();
    livePort_.store(nullptr);
    while (inProcess_.load() > 0)
      std::this_thread::yield();
    if (port_ && !server_.Gone()) jack_deactivate(client_);
    port_ = nullptr;
    CloseJackClient(client_, server_.Gone());
    jack_ringbuffer_free(short_);
    jack_ringbuffer_free(long_);
  }

  unsigned PortCount() override { return unsigned(ListPorts().size()); }

  bool PortName(unsigned port, std::string& name) override
  {
    const std::vector<std::string> ports = ListPorts();
    if (port >= ports.size()) return false;
    name = ports[port];
    return true;
  }

  bool OpenPort(unsigned port, const std::string& portName) override
  {
    ClosePort();
    const std::vector<std::string> ports = ListPorts();
    if (port >= ports.size() || !Register(portName)) return false;
    if (jack_connect(client_, jack_port_name(port_), ports[port].c_str()) != 0)
    {
      std::fprintf(stderr, "MIDI output: cannot connect to \"%s\"\n", ports[port].c_str());
      Unregister();
      return false;
    }
    // The connection takes effect at a cycle boundary: what the first cycles carried would reach
    // nobody (the first request after a project is recalled went missing). Opening runs on the
    // port-selection thread, so it may wait a few cycles, bounded.
    const uint64_t from = cycles_.load();
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (cycles_.load() < from + 3 && !server_.Gone() && std::chrono::steady_clock::now() < giveUp)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
  }

  bool OpenVirtualPort(const std::string& portName) override
  {
    ClosePort();
    return Register(portName);
  }

  void ClosePort() override
  {
    if (!port_) return;
    WaitUntilDelivered();
    Unregister();
  }

  bool IsPortOpen() const override { return port_ != nullptr; }

  bool Send(const uint8_t* bytes, size_t size) override
  {
    if (!bytes || size == 0 || size > kMaxMessage || !port_ || server_.Gone()) return false;
    const auto giveUp = std::chrono::steady_clock::now() + kSendWait;
    std::chrono::steady_clock::time_point retry;
    while (!RoomFor(size, retry))
    {
      if (server_.Gone() || std::chrono::steady_clock::now() >= giveUp) return false;
      std::this_thread::sleep_until(retry);
    }
    jack_ringbuffer_t* ring = size <= kShortMessage ? short_ : long_;
    const uint32_t length = uint32_t(size);
    // The length last would be safer, but the reader takes a message only once it is whole.
    jack_ringbuffer_write(ring, reinterpret_cast<const char*>(&length), kLengthPrefix);
    jack_ringbuffer_write(ring, reinterpret_cast<const char*>(bytes), size);
    written_.fetch_add(1);
    return true;
  }

  size_t MaxMessageSize() const override { return kMaxMessage; }

  bool ServerGone() const override { return server_.Gone(); }
  void SetServerGoneHandler(std::function<void()> handler) override
  {
    server_.SetHandler(std::move(handler));
  }

  bool RoomFor(size_t size, std::chrono::steady_clock::time_point& retry) override
  {
    jack_ringbuffer_t* ring = size <= kShortMessage ? short_ : long_;
    // Without a server there is no room to wait for: Send answers at once.
    if (server_.Gone() || jack_ringbuffer_write_space(ring) >= size + kLengthPrefix) return true;
    retry = std::chrono::steady_clock::now() + kPoll;
    return false;
  }

private:
  std::vector<std::string> ListPorts()
  {
    if (server_.Gone()) return {};
    return ListJackMidiPorts(client_, JackPortIsInput);
  }

  bool Register(const std::string& portName)
  {
    if (server_.Gone()) return false;
    jack_port_t* port = OpenJackPort(client_, portName, JackPortIsOutput, "MIDI output");
    if (!port) return false;
    // Nothing left over from a port closed before.
    jack_ringbuffer_reset(short_);
    jack_ringbuffer_reset(long_);
    taken_.store(written_.load()); // what a timed-out close left is gone with them
    port_ = port;
    livePort_.store(port);
    return true;
  }

  // The process callback lets go of the port before it is unregistered.
  void Unregister()
  {
    livePort_.store(nullptr);
    while (inProcess_.load() > 0)
      std::this_thread::yield();
    if (!server_.Gone()) CloseJackPort(client_, port_);
    port_ = nullptr;
  }

  void WaitUntilDelivered() override
  {
    if (!port_) return;
    const uint64_t written = written_.load();
    const auto giveUp = std::chrono::steady_clock::now() + kCloseWait;
    bool allTaken = false;
    uint64_t takenBy = 0; // no earlier than the cycle that took the last of them
    while (!server_.Gone() && std::chrono::steady_clock::now() < giveUp)
    {
      // Counted from the cycle that took what was sent before the call, not from the latest: other
      // threads may go on sending, and a close must not wait for them to stop.
      if (!allTaken && taken_.load() >= written)
      {
        allTaken = true;
        takenBy = std::min(cycles_.load(), lastTakenCycle_.load());
      }
      // One cycle put the last message into our port; the other side reads it in that cycle, or on an
      // asynchronous server up to a cycle or two later when it runs late: a few cycles (~20 ms) more.
      if (allTaken && (written == 0 || cycles_.load() >= takenBy + 4)) return;
      std::this_thread::sleep_for(kPoll);
    }
    const uint64_t taken = taken_.load();
    if (taken < written)
      std::fprintf(stderr, "MIDI output: %llu messages not yet delivered when the port closed\n",
                   static_cast<unsigned long long>(written - taken));
  }

  static int Process(jack_nframes_t frames, void* user)
  {
    const int previous = HoldJackCancel();
    static_cast<JackMidiOutputClient*>(user)->Cycle(frames);
    ReleaseJackCancel(previous);
    return 0;
  }

  void Cycle(jack_nframes_t frames)
  {
    inProcess_.fetch_add(1);
    const uint64_t cycle = cycles_.load();
    if (jack_port_t* port = livePort_.load())
    {
      void* buffer = jack_port_get_buffer(port, frames);
      jack_midi_clear_buffer(buffer);
      uint64_t taken = 0;
      if (Drain(short_, buffer, taken)) Drain(long_, buffer, taken);
      if (taken > 0)
      {
        lastTakenCycle_.store(cycle);
        taken_.fetch_add(taken);
      }
    }
    inProcess_.fetch_sub(1);
    cycles_.store(cycle + 1);
  }

  // Moves whole messages from the ring into this cycle's port buffer while they fit; false when
  // one had to stay for the next cycle.
  static bool Drain(jack_ringbuffer_t* ring, void* buffer, uint64_t& taken)
  {
    for (;;)
    {
      uint32_t length = 0;
      const size_t available = jack_ringbuffer_read_space(ring);
      if (available < kLengthPrefix) return true;
      jack_ringbuffer_peek(ring, reinterpret_cast<char*>(&length), kLengthPrefix);
      if (available < kLengthPrefix + length) return true; // still being written
      jack_midi_data_t* event = jack_midi_event_reserve(buffer, 0, length);
      if (!event && jack_midi_get_event_count(buffer) == 0)
      {
        // Larger than an empty port buffer holds (a very short period): it can never go, and
        // must not hold back what follows.
        jack_ringbuffer_read_advance(ring, kLengthPrefix + length);
        ++taken;
        continue;
      }
      if (!event) return false;
      jack_ringbuffer_read_advance(ring, kLengthPrefix);
      jack_ringbuffer_read(ring, reinterpret_cast<char*>(event), length);
      ++taken;
    }
  }

  jack_client_t* client_;
  jack_ringbuffer_t* short_;
  jack_ringbuffer_t* long_;
  jack_port_t* port_ = nullptr;                 // the sending thread's view; the client is active while set
  std::atomic<jack_port_t*> livePort_{nullptr}; // the process callback's
  std::atomic<int> inProcess_{0};
  std::atomic<uint64_t> cycles_{0};         // process cycles run
  std::atomic<uint64_t> written_{0};        // messages put into the rings
  std::atomic<uint64_t> taken_{0};          // messages the process callback took out
  std::atomic<uint64_t> lastTakenCycle_{0}; // the cycle that took the latest
  JackServerWatch server_;
};
} // namespace

std::unique_ptr<MidiOutputClient> CreateJackMidiOutput(const std::string& clientName, int attempts,
                                                       bool* refused)
{
  jack_client_t* client = OpenJackClient(clientName, "MIDI output", attempts, refused);
  if (!client) return nullptr;
  jack_ringbuffer_t* shortRing = jack_ringbuffer_create(kShortRingBytes);
  jack_ringbuffer_t* longRing = jack_ringbuffer_create(kLongRingBytes);
  if (!shortRing || !longRing)
  {
    if (shortRing) jack_ringbuffer_free(shortRing);
    if (longRing) jack_ringbuffer_free(longRing);
    CloseJackClient(client, false);
    return nullptr;
  }
  try
  {
    return std::make_unique<JackMidiOutputClient>(client, shortRing, longRing);
  }
  catch (...)
  {
    jack_ringbuffer_free(shortRing);
    jack_ringbuffer_free(longRing);
    CloseJackClient(client, false);
    return nullptr;
  }
}
