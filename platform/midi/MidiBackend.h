#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The seam between the plug-in and a MIDI library. A back end creates one output client and
// one input client per plug-in object; each client lists the ports it can reach and opens at
// most one of them. Library errors never escape: they are printed to the error console and
// answered as failures.

// Called for every message an open input port receives, on the back end's own thread (under
// JACK the real-time thread): it must only copy the bytes away.
using MidiInputCallback = std::function<void(const uint8_t* bytes, size_t size)>;

class MidiPortLister
{
public:
  virtual ~MidiPortLister() = default;

  // Ports currently reachable; 0 when the library cannot say.
  virtual unsigned PortCount() = 0;
  // The name of a port as the library reports it; false (name untouched) on a library error.
  virtual bool PortName(unsigned port, std::string& name) = 0;
  // Whether the MIDI server this client talked to has gone away (a JACK server stopped): the
  // client then reaches nothing ever again and is to be replaced by a new one.
  virtual bool ServerGone() const { return false; }
  // Called once, on the library's thread, when the server goes away; it must only note it and
  // wake a thread of ours. Set it before a port is opened; a client without a server to lose
  // never calls it.
  virtual void SetServerGoneHandler(std::function<void()> handler) { (void)handler; }
};

class MidiOutputClient : public MidiPortLister
{
public:
  // Opens the port under our own port name; false (and nothing open) on a library error.
  virtual bool OpenPort(unsigned port, const std::string& portName) = 0;
  // Opens a port of our own that other programs connect to (for simulated devices and tests);
  // false where the back end has none.
  virtual bool OpenVirtualPort(const std::string& portName) = 0;
  virtual void ClosePort() = 0;
  virtual bool IsPortOpen() const = 0;
  // One complete message; false when nothing open or the library refused it. Waits, when the
  // library's buffer has no room for it, until there is.
  virtual bool Send(const uint8_t* bytes, size_t size) = 0;
  // The largest message the back end delivers intact.
  virtual size_t MaxMessageSize() const = 0;
  // Whether a message of `size` bytes would go out now without waiting for room; when not,
  // `retry` is the earliest time worth asking again. Room is kept for short messages (three bytes
  // or fewer) that long ones never take, so a short message never waits behind SysEx.
  virtual bool RoomFor(size_t size, std::chrono::steady_clock::time_point& retry)
  {
    (void)size;
    (void)retry;
    return true;
  }
  // Returns once what was sent before the call has been delivered (bounded); other threads may send
  // meanwhile. ClosePort does it too, so closing does not lose what was accepted.
  virtual void WaitUntilDelivered() {}
};

class MidiInputClient : public MidiPortLister
{
public:
  // Opens the port under our own port name and delivers every message to the callback, SysEx
  // included, timing clock and active sensing filtered out. False (nothing open) on an error.
  virtual bool OpenPort(unsigned port, const std::string& portName, MidiInputCallback callback) = 0;
  virtual bool OpenVirtualPort(const std::string& portName, MidiInputCallback callback) = 0;
  // After this returns the callback is not running and will not be called again.
  virtual void ClosePort() = 0;
  virtual bool IsPortOpen() const = 0;
};

class MidiBackend
{
public:
  virtual ~MidiBackend() = default;

  // Null when the library cannot create a client.
  virtual std::unique_ptr<MidiOutputClient> CreateOutput(const std::string& clientName) = 0;
  virtual std::unique_ptr<MidiInputClient> CreateInput(const std::string& clientName) = 0;
  // The same for a thread that may wait a few seconds (never the audio or the user-interface
  // thread): a client that a running MIDI server refused (a loaded server answers too late) is asked
  // for again a few times, with growing pauses. `refused` tells whether a running server refused it
  // still (rather than there being no server).
  virtual std::unique_ptr<MidiOutputClient> CreateOutputPatiently(const std::string& clientName,
                                                                  bool& refused)
  {
    refused = false;
    return CreateOutput(clientName);
  }
  virtual std::unique_ptr<MidiInputClient> CreateInputPatiently(const std::string& clientName, bool& refused)
  {
    refused = false;
    return CreateInput(clientName);
  }
};

// Which system MIDI service the RtMidi back end uses. Automatic tries ALSA first and falls back
// to JACK when ALSA cannot start (no sequencer device, as on machines without sound hardware).
enum class RtMidiApiChoice
{
  Automatic,
  Alsa,
  Jack,
};

std::shared_ptr<MidiBackend> CreateRtMidiBackend(RtMidiApiChoice api = RtMidiApiChoice::Automatic);

// The back end a plug-in uses when nobody chose one: RtMidi (automatic), unless the environment
// variable VELK_MIDI_BACKEND says "alsa", "jack" or "loopback". The test suites that need no system
// MIDI set "loopback", so that hundreds of editors built in parallel never crowd one JACK server.
std::shared_ptr<MidiBackend> CreateDefaultMidiBackend();
