#include "tools/simsynth/SimSynthPorts.h"

#include <cstdio>

namespace
{
// The index of the port with exactly this name; -1 when none.
int FindPort(MidiPortLister& lister, const std::string& name)
{
  const unsigned count = lister.PortCount();
  for (unsigned i = 0; i < count; ++i)
  {
    std::string candidate;
    if (lister.PortName(i, candidate) && candidate == name) return int(i);
  }
  return -1;
}
} // namespace

SimSynthPorts::SimSynthPorts(SimSynth& synth, std::shared_ptr<MidiBackend> backend, Clock& clock)
    : synth_(synth), backend_(std::move(backend)), clock_(clock)
{
}

SimSynthPorts::~SimSynthPorts()
{
  Close();
}

bool SimSynthPorts::CreateClients(const std::string& clientName)
{
  Close();
  if (!backend_) return false;
  input_ = backend_->CreateInput(clientName + "-in");
  output_ = backend_->CreateOutput(clientName + "-out");
  return input_ && output_;
}

bool SimSynthPorts::OpenVirtual(const std::string& clientName)
{
  if (!CreateClients(clientName)) return false;
  Start();
  if (!output_->OpenVirtualPort("out") || !input_->OpenVirtualPort("in",
                                                                   [this](const uint8_t* bytes, size_t size)
                                                                   {
                                                                     if (queue_.Push(bytes, size))
                                                                       pending_.Post();
                                                                   }))
  {
    Close();
    return false;
  }
  inputName_ = clientName + "-in:in";
  outputName_ = clientName + "-out:out";
  return true;
}

bool SimSynthPorts::OpenNamed(const std::string& clientName, const std::string& inputPort,
                              const std::string& outputPort)
{
  if (!CreateClients(clientName)) return false;
  const int in = FindPort(*input_, inputPort);
  const int out = FindPort(*output_, outputPort);
  if (in < 0 || out < 0)
  {
    std::fprintf(stderr, "simsynth: no port named \"%s\"\n", in < 0 ? inputPort.c_str() : outputPort.c_str());
    Close();
    return false;
  }
  Start();
  if (!output_->OpenPort(unsigned(out), "out") || !input_->OpenPort(unsigned(in), "in",
                                                                    [this](const uint8_t* bytes, size_t size)
                                                                    {
                                                                      if (queue_.Push(bytes, size))
                                                                        pending_.Post();
                                                                    }))
  {
    Close();
    return false;
  }
  inputName_ = inputPort;
  outputName_ = outputPort;
  return true;
}

void SimSynthPorts::Start()
{
  synth_.SetClock(&clock_);
  synth_.SetSender(
      [this](const SimBytes& message)
      {
        if (output_ && !output_->Send(message.data(), message.size()))
          std::fprintf(stderr, "simsynth: the output refused a message of %zu bytes\n", message.size());
      });
  thread_ = std::jthread([this](std::stop_token stop) { Deliver(stop); });
}

void SimSynthPorts::Close()
{
  // The input first: afterwards its callback no longer runs, so nothing is queued behind the thread.
  if (input_) input_->ClosePort();
  if (thread_.joinable())
  {
    thread_.request_stop();
    pending_.Post();
    thread_.join();
  }
  if (output_) output_->ClosePort();
  synth_.SetSender(nullptr);
  synth_.SetClock(nullptr);
  input_.reset();
  output_.reset();
  inputName_.clear();
  outputName_.clear();
}

void SimSynthPorts::Deliver(std::stop_token stop)
{
  SimBytes message;
  while (!stop.stop_requested())
  {
    pending_.Wait();
    while (!stop.stop_requested() && queue_.Pop(message))
    {
      // A worker of the clock while it answers, so that a test's virtual time knows when it is done.
      ClockThreadScope scope(clock_);
      synth_.Receive(message, stop);
    }
  }
}
