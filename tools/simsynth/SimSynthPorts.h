#pragma once

#include "framework/plugin/MidiInputQueue.h"
#include "platform/clock/Clock.h"
#include "platform/midi/MidiBackend.h"
#include "platform/thread/WakeSignal.h"
#include "tools/simsynth/SimSynth.h"

#include <memory>
#include <string>
#include <thread>

// The simulated synthesizer on a MIDI back end: one input and one output client. The library's
// input callback only queues the bytes (under JACK it runs on the real-time thread); a thread of
// ours hands each message to the synthesizer, whose answers leave through the output port.
class SimSynthPorts
{
public:
  // The clock paces the slow fault; the delivery thread works between its sleeps.
  SimSynthPorts(SimSynth& synth, std::shared_ptr<MidiBackend> backend, Clock& clock);
  ~SimSynthPorts();
  SimSynthPorts(const SimSynthPorts&) = delete;
  SimSynthPorts& operator=(const SimSynthPorts&) = delete;

  // Ports of our own that the editor connects to: "<client>-in:in" and "<client>-out:out".
  bool OpenVirtual(const std::string& clientName);
  // Existing ports by their exact names (for back ends without ports of our own).
  bool OpenNamed(const std::string& clientName, const std::string& inputPort, const std::string& outputPort);
  // The names the editor selects: where it sends to, where it listens.
  const std::string& InputName() const { return inputName_; }
  const std::string& OutputName() const { return outputName_; }
  // Closes both ports and ends the delivery thread; answers still being paced are dropped.
  void Close();

private:
  bool CreateClients(const std::string& clientName);
  void Start();
  void Deliver(std::stop_token stop);

  SimSynth& synth_;
  std::shared_ptr<MidiBackend> backend_;
  Clock& clock_;
  std::unique_ptr<MidiInputClient> input_;
  std::unique_ptr<MidiOutputClient> output_;
  std::string inputName_;
  std::string outputName_;
  MidiInputQueue queue_;
  WakeSignal pending_;
  std::jthread thread_;
};
