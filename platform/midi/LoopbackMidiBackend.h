#pragma once

#include "platform/midi/MidiBackend.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// An in-process MIDI system for tests. The test adds named ports that stand for devices:
// a source port appears in input listings and sends what the test injects; a destination port
// appears in output listings and records what it receives; a loop port is both, and sends back
// in whatever it receives. Input is delivered on the back end's own thread, as a real MIDI
// library does. Faults of a real library (failing opens, unreadable names, no client, a size
// limit) can be switched on.
class LoopbackMidiBackend final : public MidiBackend
{
public:
  LoopbackMidiBackend();
  ~LoopbackMidiBackend() override;

  std::unique_ptr<MidiOutputClient> CreateOutput(const std::string& clientName) override;
  std::unique_ptr<MidiInputClient> CreateInput(const std::string& clientName) override;

  void AddSourcePort(const std::string& name);
  void AddDestinationPort(const std::string& name);
  void AddLoopPort(const std::string& name);
  void RemovePort(const std::string& name);

  // The source port sends one message; false when there is no such source.
  bool Inject(const std::string& source, std::vector<uint8_t> bytes);
  // Blocks until every injected message was handed to the input clients.
  void WaitUntilDelivered();

  // Messages the destination port received, in order.
  std::vector<std::vector<uint8_t>> Received(const std::string& destination) const;
  bool WaitForReceived(const std::string& destination, size_t count, std::chrono::milliseconds timeout) const;
  void ClearReceived(const std::string& destination);

  // How many clients have the port open.
  int Connections(const std::string& port) const;
  // How many times a client asked the back end for its port list.
  int PortCountQueries() const;
  // How many times a client was entered by one thread while another was inside it.
  int ConcurrentClientUses() const;
  // How many clients were created, and how many exist now.
  int ClientsCreated() const;
  int ClientsAlive() const;
  // The MIDI server stops (and is back at once for clients created afterwards): every existing
  // client reports its server gone, calls its handler (on the calling thread), sends and receives
  // nothing more.
  void StopServer();

  void SetFailClientCreation(bool fail);
  void SetFailOpen(bool fail);
  void SetUnreadablePortName(const std::string& port, bool unreadable);
  void SetMaxMessageSize(size_t size);
  // While held, outputs have no room for anything longer than three bytes (as a library buffer
  // full of SysEx, with the room short messages keep): long sends wait, short ones go.
  void SetLongMessagesHeld(bool held);
  // How often an output answered that it had no room.
  int RoomRefusals() const;
  // While full, outputs have room for nothing: every send waits.
  void SetOutputsFull(bool full);
  // While held, opening an output port blocks (as a MIDI system that takes its time) until released.
  void SetOutputOpenHeld(bool held);
  // Waits up to the time for an output open to be blocked by the hold; true when one is.
  bool WaitForHeldOpen(std::chrono::milliseconds timeout) const;

  struct Hub;

private:
  std::shared_ptr<Hub> hub_;
};
