#pragma once

#include "framework/plugin/IMidiMessage.h"
#include "framework/plugin/ISysExMessage.h"
#include "framework/plugin/MidiInputQueue.h"
#include "framework/plugin/OutputSendQueue.h"
#include "platform/midi/MidiBackend.h"
#include "platform/thread/WakeSignal.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <stop_token>
#include <thread>
#include <vector>

// Receives what arrives on the hardware MIDI input, on the delivery thread of IMidiPorts.
class IMidiInputSink
{
public:
  virtual ~IMidiInputSink() = default;
  virtual void HandleMidiMessage(const IMidiMessage& message, bool fromDevice) = 0;
  virtual void HandleSysExMessage(const ISysExMessage& message, bool fromDevice) = 0;
};

// The outcome of a device send. Everything but kSent means nothing left the port.
enum class MidiSendStatus
{
  kSent,
  kNoOutput, // no output port open
  kNoBytes,  // nothing to send
  kInvalid,  // not a MIDI message (no status byte, or a length that does not match it)
  kTooLarge, // larger than the output port can carry
  kFailed,   // the MIDI library refused it
};

const char* MidiSendStatusText(MidiSendStatus status);

// The hardware MIDI ports of one plug-in object: the output and input clients, the port lists
// the device menus show, opening a port by name, the device sends, and the delivery of
// incoming messages to a sink on a thread of our own (the library's input callback only
// queues the bytes).
//
// Port lists: entry 0 is always "Select MIDI Device", entry i is port i - 1. A list is built on
// its first listing and answered unchanged afterwards; finding and selecting a port by name
// look at the ports present now (ports come and go) and bring the list up to date.
//
// Selecting and closing ports never wait for the delivery thread, so they may be called with a
// lock held that the input handlers take (project recall runs under the parameter lock). Only
// Shutdown joins that thread: call it holding no such lock.
class IMidiPorts
{
public:
  static constexpr const char* kNoDeviceName = "Select MIDI Device";
  static constexpr const char* kOutputClientName = "RtMidi Output Client";
  static constexpr const char* kInputClientName = "RtMidi Input Client";
  static constexpr const char* kOutputPortName = "RtMidi Output";
  static constexpr const char* kInputPortName = "RtMidi Input";

  // Without a back end, the RtMidi back end is created on first use.
  explicit IMidiPorts(std::shared_ptr<MidiBackend> backend = nullptr);
  ~IMidiPorts();

  IMidiPorts(const IMidiPorts&) = delete;
  IMidiPorts& operator=(const IMidiPorts&) = delete;

  // Only while no port is open (false then); drops the clients that only listed ports.
  bool SetBackend(std::shared_ptr<MidiBackend> backend);
  // Where incoming messages go; set it before an input port is opened.
  void SetSink(IMidiInputSink* sink);
  // Called when the MIDI server of a client goes away (a JACK server stopped), on the library's
  // thread: it must only note it and wake a thread of ours, which then calls DropLostClients.
  void SetServerGoneListener(std::function<void()> listener);
  // Closes the ports of the clients whose server has gone and drops those clients: the next
  // listing or selection makes new ones. The lists, the selections and finding a port drop such
  // clients too: true when one was dropped, here or there, since the last call.
  bool DropLostClients();

  std::vector<std::string> ListMidiOutputPorts();
  std::vector<std::string> ListMidiInputPorts();
  // List index of the named port among the ports present now; -1 when none. Exact names first,
  // then names compared without ALSA's trailing client:port numbers ("Synth 24:0").
  int FindMidiOutputPort(const std::string& name);
  int FindMidiInputPort(const std::string& name);
  // Closes the current port of that direction and opens the named one. `index` 0 means no
  // device. Answers (and writes back into `index`) the list index opened, 0 when none. A client
  // that a running MIDI server refuses is asked for again a few times (a loaded server answers
  // late), so these may take a few seconds: call them where a wait does no harm (the
  // port-selection thread), never on the audio or the user-interface thread.
  int SelectMidiOutputPort(int& index, const std::string& name);
  int SelectMidiInputPort(int& index, const std::string& name);
  // Whether the last selection opened nothing because a running MIDI server refused its client.
  bool ServerRefusedClient() const { return serverRefused_.load(); }

  int ChosenOutputIndex() const { return chosenOutput_.load(); }
  int ChosenInputIndex() const { return chosenInput_.load(); }
  bool IsOutputOpen() const;
  bool IsInputOpen() const;
  // Whether a client exists (clients are made only when ports are listed or selected).
  bool HasClients() const;

  // Closes the output port once what was sent has left the library's buffer.
  void CloseMidiOutput();
  // Closes the input port; what it had queued is thrown away. A message the sink is being handed
  // at this moment (or is about to be) may still arrive; nothing received later does.
  void CloseMidiInput();
  // Both, forget the sink and join the delivery thread: no message reaches the sink afterwards.
  // Call before the sink is torn down, holding no lock an input handler takes.
  void Shutdown();

  // Sends from any thread. A short message never waits behind a SysEx message another thread is
  // sending (a SysEx waiting for room in the library's buffer holds no lock a short one needs).
  // Status byte, then the data bytes the status implies; data bytes above 0x7F become 0x7F.
  MidiSendStatus SendMidiToDevice(const IMidiMessage& message);
  // A SysEx message, with or without its F0 and F7: they are added where missing. Data bytes
  // above 0x7F become 0x7F.
  MidiSendStatus SendSysExToDevice(const uint8_t* bytes, int length);
  // One complete message: a SysEx message (starting F0), or a status byte with exactly the
  // data bytes it implies.
  MidiSendStatus SendBytesToDevice(const uint8_t* bytes, int length);
  // As SendBytesToDevice; the vector is emptied and its storage freed afterwards.
  MidiSendStatus SendVectorToDevice(std::vector<uint8_t>& bytes);
  MidiSendStatus LastSendStatus() const { return lastSend_.load(); }

  // On the host's processing thread (AudioThreadScope) a send takes no lock a port change holds and
  // never waits: the message is queued (kSent) for the output thread, which hands it to the port once
  // a port change under way is done, or drops it when no port is open by then. Without an open port,
  // or one being chosen, it answers kNoOutput at once; a message the queue has no room for is dropped
  // (kFailed) and counted as an overflow.
  uint64_t OutputOverflows() const { return outputOverflows_.load(); }
  // Queued messages that never left: the overflows, and those that found no open port.
  uint64_t DroppedOutputMessages() const { return outputDropped_.load(); }
  // Waits, at most the time given, until what was queued so far was sent or dropped.
  bool WaitUntilQueuedOutputHandled(std::chrono::milliseconds timeout) const;

  // Hands one received message to the sink: one to three bytes as an IMidiMessage, a SysEx
  // message (or anything longer) as an ISysExMessage, both flagged as coming from the device.
  void ForwardMidiInput(const uint8_t* bytes, size_t size);
  // Messages lost because the delivery thread fell too far behind.
  uint64_t DroppedInputMessages() const { return queue_.Dropped(); }

  // A port name without ALSA's trailing client:port numbers.
  static std::string WithoutPortAddress(const std::string& name);

private:
  MidiBackend* Backend();
  // `patient`: on the port-selection thread, which may wait for a busy MIDI server.
  bool EnsureOutputClient(bool patient);
  bool EnsureInputClient(bool patient);
  // With portsMutex_ held: drop the client of that direction when its server has gone.
  bool DropLostOutput();
  bool DropLostInput();
  // Both directions: a MIDI library may free or break the clients that lost their server when a new
  // client is opened (libjack does), so every lost client goes before any new one is made.
  void DropAllLost();
  void ServerGone();
  static std::vector<std::string> ReadPortNames(MidiPortLister& lister);
  std::vector<std::string> ReadOutputNames();
  static int FindIn(const std::vector<std::string>& names, const std::string& name);
  // The two closes with portsMutex_ held.
  void CloseOutput();
  void CloseInput();
  // Sends once the output has room, waiting for it without the send mutex.
  MidiSendStatus Send(const uint8_t* bytes, size_t size);
  MidiSendStatus SendSysEx(const uint8_t* bytes, size_t size);
  MidiSendStatus Finish(MidiSendStatus status);
  template <typename ByteAt> MidiSendStatus Queue(size_t size, ByteAt byteAt);
  // With portsMutex_ held: a port change begins (queued messages wait for its end) and ends.
  void BeginOutputChange();
  void EndOutputChange();
  void StartOutputThread();
  void OutputLoop(std::stop_token stop);
  void DeliverQueued(std::vector<uint8_t>& message);
  void StartDelivery();
  void DeliveryLoop(std::stop_token stop, WakeSignal& wake);

  mutable std::mutex portsMutex_; // clients, lists, backend: the editor thread and project recall
  mutable std::mutex sendMutex_;  // the output client: every sending thread, held only briefly
  std::mutex sysexMutex_;         // one SysEx message at a time, with sysexScratch_; before sendMutex_
  std::shared_ptr<MidiBackend> backend_;
  std::unique_ptr<MidiOutputClient> output_;
  std::unique_ptr<MidiInputClient> input_;
  std::vector<std::string> outputNames_;
  std::vector<std::string> inputNames_;
  std::atomic<int> chosenOutput_{0};
  std::atomic<int> chosenInput_{0};
  std::atomic<MidiSendStatus> lastSend_{MidiSendStatus::kSent};
  std::vector<uint8_t> sysexScratch_; // under sysexMutex_

  std::atomic<IMidiInputSink*> sink_{nullptr};
  std::atomic<bool> lostSinceAsked_{false};
  std::atomic<bool> serverRefused_{false};
  std::mutex listenerMutex_;
  std::function<void()> serverGoneListener_; // under listenerMutex_
  // Its ring is set up by the first StartDelivery, before any input port opens.
  MidiInputQueue queue_{MidiInputQueue::kDefaultCapacity, MidiInputQueue::Deferred{}};
  // The delivery thread's own signal, posted by the input callback and by Shutdown: a
  // thread started while an old one is still being stopped never takes the old one's wake-up.
  std::shared_ptr<WakeSignal> deliveryWake_; // under portsMutex_
  // A close marks how far the queue had been written; the delivery thread drops what lies before.
  std::atomic<size_t> discardBefore_{0};
  std::atomic<bool> discardPending_{false};
  std::jthread delivery_; // under portsMutex_

  // The processing thread's messages and the thread that sends them.
  OutputSendQueue outputQueue_;
  WakeSignal outputWake_;
  std::atomic<bool> outputLive_{false};     // an output port is open
  std::atomic<bool> outputChanging_{false}; // one is being chosen: queued messages wait
  std::atomic<uint64_t> outputQueued_{0};
  std::atomic<uint64_t> outputHandled_{0};
  std::atomic<uint64_t> outputDropped_{0};
  std::atomic<uint64_t> outputOverflows_{0};
  std::jthread outputThread_; // under portsMutex_
};
