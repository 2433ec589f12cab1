#include "framework/plugin/IMidiPorts.h"

#include "framework/plugin/AudioThreadScope.h"
#include "framework/plugin/SysExAssembler.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace
{
uint8_t DataByte(uint8_t value)
{
  return value > 0x7F ? 0x7F : value;
}

bool IsPortAddress(const std::string& text)
{
  const size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (i != colon && (text[i] < '0' || text[i] > '9')) return false;
  return true;
}
} // namespace

const char* MidiSendStatusText(MidiSendStatus status)
{
  switch (status)
  {
  case MidiSendStatus::kSent:
    return "sent";
  case MidiSendStatus::kNoOutput:
    return "no MIDI output port is open";
  case MidiSendStatus::kNoBytes:
    return "nothing to send";
  case MidiSendStatus::kInvalid:
    return "not a valid MIDI message";
  case MidiSendStatus::kTooLarge:
    return "message larger than the MIDI output can carry";
  case MidiSendStatus::kFailed:
    return "the MIDI output refused the message";
  }
  return "unknown";
}

IMidiPorts::IMidiPorts(std::shared_ptr<MidiBackend> backend) : backend_(std::move(backend)) {}

IMidiPorts::~IMidiPorts()
{
  Shutdown();
}

bool IMidiPorts::SetBackend(std::shared_ptr<MidiBackend> backend)
{
  std::lock_guard<std::mutex> lock(portsMutex_);
  if (IsOutputOpen() || IsInputOpen()) return false;
  // Clients made only to list ports (the editor's device menus do at start-up) belong to the old
  // back end: drop them with their names, so the next listing asks the new one.
  {
    std::lock_guard<std::mutex> send(sendMutex_);
    output_.reset();
  }
  input_.reset();
  outputNames_.clear();
  inputNames_.clear();
  backend_ = std::move(backend);
  return true;
}

void IMidiPorts::SetSink(IMidiInputSink* sink)
{
  sink_.store(sink);
}

void IMidiPorts::SetServerGoneListener(std::function<void()> listener)
{
  std::lock_guard<std::mutex> lock(listenerMutex_);
  serverGoneListener_ = std::move(listener);
}

void IMidiPorts::ServerGone()
{
  std::lock_guard<std::mutex> lock(listenerMutex_);
  if (serverGoneListener_) serverGoneListener_();
}

bool IMidiPorts::DropLostOutput()
{
  {
    std::lock_guard<std::mutex> send(sendMutex_);
    if (!output_ || !output_->ServerGone()) return false;
  }
  outputLive_ = false;
  CloseOutput();      // delivers nothing more: it returns at once
  outputWake_.Post(); // what was queued for it is dropped
  {
    std::lock_guard<std::mutex> send(sendMutex_);
    output_.reset();
  }
  outputNames_.clear();
  lostSinceAsked_ = true;
  return true;
}

bool IMidiPorts::DropLostInput()
{
  if (!input_ || !input_->ServerGone()) return false;
  CloseInput();
  input_.reset();
  inputNames_.clear();
  lostSinceAsked_ = true;
  return true;
}

void IMidiPorts::DropAllLost()
{
  DropLostOutput();
  DropLostInput();
}

bool IMidiPorts::DropLostClients()
{
  std::lock_guard<std::mutex> lock(portsMutex_);
  DropAllLost();
  return lostSinceAsked_.exchange(false);
}

bool IMidiPorts::HasClients() const
{
  std::lock_guard<std::mutex> lock(portsMutex_);
  std::lock_guard<std::mutex> send(sendMutex_);
  return output_ || input_;
}

MidiBackend* IMidiPorts::Backend()
{
  if (!backend_) backend_ = CreateDefaultMidiBackend();
  return backend_.get();
}

bool IMidiPorts::EnsureOutputClient(bool patient)
{
  DropAllLost();
  if (!output_)
  {
    bool refused = false;
    auto client = patient ? Backend()->CreateOutputPatiently(kOutputClientName, refused)
                          : Backend()->CreateOutput(kOutputClientName);
    if (patient) serverRefused_ = refused;
    if (client) client->SetServerGoneHandler([this] { ServerGone(); });
    std::lock_guard<std::mutex> send(sendMutex_);
    output_ = std::move(client);
  }
  return output_ != nullptr;
}

bool IMidiPorts::EnsureInputClient(bool patient)
{
  DropAllLost();
  if (!input_)
  {
    bool refused = false;
    input_ = patient ? Backend()->CreateInputPatiently(kInputClientName, refused)
                     : Backend()->CreateInput(kInputClientName);
    if (patient) serverRefused_ = refused;
    if (input_) input_->SetServerGoneHandler([this] { ServerGone(); });
  }
  return input_ != nullptr;
}

std::vector<std::string> IMidiPorts::ReadPortNames(MidiPortLister& lister)
{
  std::vector<std::string> names{kNoDeviceName};
  const unsigned count = lister.PortCount();
  for (unsigned port = 0; port < count; ++port)
  {
    // An unreadable name still takes its place, so that list index i + 1 stays port i.
    std::string name;
    lister.PortName(port, name);
    names.push_back(name);
  }
  return names;
}

// The output client is shared with every sending thread: it is only used under the send mutex.
std::vector<std::string> IMidiPorts::ReadOutputNames()
{
  std::lock_guard<std::mutex> send(sendMutex_);
  return ReadPortNames(*output_);
}

std::string IMidiPorts::WithoutPortAddress(const std::string& name)
{
  size_t end = name.find_last_not_of(' ');
  if (end == std::string::npos) return name;
  const size_t blank = name.rfind(' ', end);
  if (blank == std::string::npos || !IsPortAddress(name.substr(blank + 1, end - blank))) return name;
  const size_t last = name.find_last_not_of(' ', blank);
  return last == std::string::npos ? std::string() : name.substr(0, last + 1);
}

int IMidiPorts::FindIn(const std::vector<std::string>& names, const std::string& name)
{
  if (name.empty()) return -1;
  for (size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return static_cast<int>(i);
  // ALSA numbers clients as they come; after a reboot the same device may be "Synth 28:0".
  const std::string bare = WithoutPortAddress(name);
  for (size_t i = 1; i < names.size(); ++i)
    if (!names[i].empty() && WithoutPortAddress(names[i]) == bare) return static_cast<int>(i);
  return -1;
}

std::vector<std::string> IMidiPorts::ListMidiOutputPorts()
{
  std::lock_guard<std::mutex> lock(portsMutex_);
  DropLostOutput();
  if (!output_ || outputNames_.empty())
  {
    if (!IsOutputOpen()) chosenOutput_ = 0;
    outputNames_ = EnsureOutputClient(false) ? ReadOutputNames() : std::vector<std::string>{kNoDeviceName};
  }
  return outputNames_;
}

std::vector<std::string> IMidiPorts::ListMidiInputPorts()
{
  std::lock_guard<std::mutex> lock(portsMutex_);
  DropLostInput();
  if (!input_ || inputNames_.empty())
  {
    if (!IsInputOpen()) chosenInput_ = 0;
    inputNames_ = EnsureInputClient(false) ? ReadPortNames(*input_) : std::vector<std::string>{kNoDeviceName};
  }
  return inputNames_;
}

int IMidiPorts::FindMidiOutputPort(const std::string& name)
{
  std::lock_guard<std::mutex> lock(portsMutex_);
  DropLostOutput();
  if (output_) outputNames_ = ReadOutputNames();
  return FindIn(output_ ? outputNames_ : std::vector<std::string>{kNoDeviceName}, name);
}

int IMidiPorts::FindMidiInputPort(const std::string& name)
{
  std::lock_guard<std::mutex> lock(portsMutex_);
  DropLostInput();
  if (input_) inputNames_ = ReadPortNames(*input_);
  return FindIn(input_ ? inputNames_ : std::vector<std::string>{kNoDeviceName}, name);
}

int IMidiPorts::SelectMidiOutputPort(int& index, const std::string& name)
{
  std::lock_guard<std::mutex> lock(portsMutex_);
  BeginOutputChange();
  struct Settle
  {
    IMidiPorts& ports;
    ~Settle() { ports.EndOutputChange(); }
  } settle{*this};
  CloseOutput();
  const int asked = index;
  index = 0;
  serverRefused_ = false;
  if (asked == 0 || !EnsureOutputClient(true)) return 0;
  outputNames_ = ReadOutputNames();
  const int found = FindIn(outputNames_, name);
  if (found <= 0) return 0;
  bool opened = false;
  {
    std::lock_guard<std::mutex> send(sendMutex_);
    opened = output_->OpenPort(static_cast<unsigned>(found - 1), kOutputPortName);
  }
  if (!opened)
  {
    std::fprintf(stderr, "MIDI output \"%s\" could not be opened\n", name.c_str());
    return 0;
  }
  chosenOutput_ = found;
  index = found;
  return found;
}

int IMidiPorts::SelectMidiInputPort(int& index, const std::string& name)
{
  std::lock_guard<std::mutex> lock(portsMutex_);
  CloseInput();
  const int asked = index;
  index = 0;
  serverRefused_ = false;
  if (asked == 0 || !EnsureInputClient(true)) return 0;
  inputNames_ = ReadPortNames(*input_);
  const int found = FindIn(inputNames_, name);
  if (found <= 0) return 0;
  StartDelivery();
  const bool opened = input_->OpenPort(static_cast<unsigned>(found - 1), kInputPortName,
                                       [this, wake = deliveryWake_](const uint8_t* bytes, size_t size)
                                       {
                                         // The library's thread (real-time under JACK): copy only.
                                         if (queue_.Push(bytes, size)) wake->Post();
                                       });
  if (!opened)
  {
    std::fprintf(stderr, "MIDI input \"%s\" could not be opened\n", name.c_str());
    return 0;
  }
  chosenInput_ = found;
  index = found;
  return found;
}

bool IMidiPorts::IsOutputOpen() const
{
  std::lock_guard<std::mutex> send(sendMutex_);
  return output_ && output_->IsPortOpen() && !output_->ServerGone();
}

bool IMidiPorts::IsInputOpen() const
{
  return chosenInput_.load() > 0;
}

void IMidiPorts::CloseMidiOutput()
{
  std::lock_guard<std::mutex> lock(portsMutex_);
  outputLive_ = false;
  CloseOutput();
  outputWake_.Post();
}

void IMidiPorts::CloseMidiInput()
{
  std::lock_guard<std::mutex> lock(portsMutex_);
  CloseInput();
}

void IMidiPorts::CloseOutput()
{
  // Let what was sent be delivered without holding up the other senders (the client stays: it is
  // replaced only under the ports lock, which our caller holds).
  MidiOutputClient* output = nullptr;
  {
    std::lock_guard<std::mutex> send(sendMutex_);
    if (output_ && output_->IsPortOpen()) output = output_.get();
  }
  if (output) output->WaitUntilDelivered();
  std::lock_guard<std::mutex> send(sendMutex_);
  if (output_) output_->ClosePort();
  chosenOutput_ = 0;
}

void IMidiPorts::CloseInput()
{
  if (input_) input_->ClosePort(); // no callback runs after this
  chosenInput_ = 0;
  // No join here: the delivery thread may be waiting for a lock our caller holds.
  discardBefore_.store(queue_.WrittenPosition());
  discardPending_.store(true);
}

void IMidiPorts::Shutdown()
{
  std::jthread delivery;
  std::jthread output;
  std::shared_ptr<WakeSignal> wake;
  {
    std::lock_guard<std::mutex> lock(portsMutex_);
    sink_.store(nullptr);
    CloseInput();
    outputLive_ = false;
    outputChanging_ = false;
    CloseOutput();
    input_.reset();
    {
      std::lock_guard<std::mutex> send(sendMutex_);
      output_.reset();
    }
    outputNames_.clear();
    inputNames_.clear();
    delivery = std::move(delivery_);
    wake = std::move(deliveryWake_);
    output = std::move(outputThread_);
  }
  // The output thread drops what is still queued and ends; it takes no lock a caller may hold
  // beyond the send lock, so it is joined here too.
  if (output.joinable())
  {
    output.request_stop();
    outputWake_.Post();
    if (output.get_id() == std::this_thread::get_id())
      output.detach();
    else
      output.join();
  }
  // Joined outside the ports lock, which a handler on that thread may be waiting for.
  if (!delivery.joinable()) return;
  delivery.request_stop();
  // Woken by hand, not by a stop callback: under Wine the C++ library's stop callbacks hung the
  // MIDI suite.
  if (wake) wake->Post();
  if (delivery.get_id() == std::this_thread::get_id())
    delivery.detach(); // a handler shutting its own ports down: the loop ends when it returns
  else
    delivery.join();
}

void IMidiPorts::StartDelivery()
{
  if (delivery_.joinable()) return;
  // Nothing is producing now (the input port is closed) and the thread that consumes starts below.
  queue_.Allocate();
  queue_.Clear();
  discardPending_ = false;
  deliveryWake_ = std::make_shared<WakeSignal>();
  delivery_ = std::jthread([this, wake = deliveryWake_](std::stop_token stop) { DeliveryLoop(stop, *wake); });
}

void IMidiPorts::DeliveryLoop(std::stop_token stop, WakeSignal& wake)
{
  std::vector<uint8_t> message;
  message.reserve(4096);
  // What the library delivers becomes whole messages here: SysEx from its F0 to its F7 only.
  SysExAssembler assembler;
  const SysExAssembler::Emit forward = [this](const uint8_t* bytes, size_t size)
  { ForwardMidiInput(bytes, size); };
  // Idle, the thread sleeps until input arrives or it is stopped (the assembler keeps no timer: an
  // unterminated message waits for the next status byte, not for the clock). Shutdown wakes it to
  // stop. On Windows it still looks every tenth of a second (see below).
  while (!stop.stop_requested())
  {
#ifdef _WIN32
    // Bounded there: the C++ library under Wine was seen to miss a wake-up (the MIDI suite hung),
    // and the stop request is then still seen within a tenth of a second.
    if (!wake.WaitFor(std::chrono::milliseconds(100))) continue;
#else
    wake.Wait();
#endif
    for (;;)
    {
      if (stop.stop_requested()) return;
      if (discardPending_.exchange(false))
      {
        queue_.SkipTo(discardBefore_.load());
        assembler.Reset();
      }
      if (!queue_.Pop(message)) break;
      assembler.Take(message.data(), message.size(), forward);
    }
  }
}

void IMidiPorts::ForwardMidiInput(const uint8_t* bytes, size_t size)
{
  IMidiInputSink* sink = sink_.load();
  if (!sink || !bytes || size == 0) return;
  try
  {
    if (size <= 3 && bytes[0] != 0xF0)
    {
      IMidiMessage message;
      message.status = bytes[0];
      message.data1 = size > 1 ? bytes[1] : 0;
      message.data2 = size > 2 ? bytes[2] : 0;
      sink->HandleMidiMessage(message, true);
    }
    else
    {
      ISysExMessage message;
      message.size = static_cast<int32_t>(size);
      message.bytes = bytes;
      sink->HandleSysExMessage(message, true);
    }
  }
  catch (...)
  {
    // A handler's failure must not end the delivery thread.
  }
}

MidiSendStatus IMidiPorts::Finish(MidiSendStatus status)
{
  lastSend_ = status;
  return status;
}

template <typename ByteAt> MidiSendStatus IMidiPorts::Queue(size_t size, ByteAt byteAt)
{
  if (!outputLive_.load() && !outputChanging_.load()) return Finish(MidiSendStatus::kNoOutput);
  if (!outputQueue_.Push(size, byteAt))
  {
    outputOverflows_.fetch_add(1);
    outputDropped_.fetch_add(1);
    return Finish(size > OutputSendQueue::kMaxMessage ? MidiSendStatus::kTooLarge : MidiSendStatus::kFailed);
  }
  outputQueued_.fetch_add(1);
  outputWake_.Post();
  return Finish(MidiSendStatus::kSent);
}

bool IMidiPorts::WaitUntilQueuedOutputHandled(std::chrono::milliseconds timeout) const
{
  const uint64_t queued = outputQueued_.load();
  const auto giveUp = std::chrono::steady_clock::now() + timeout;
  while (outputHandled_.load() < queued)
  {
    if (std::chrono::steady_clock::now() >= giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void IMidiPorts::BeginOutputChange()
{
  StartOutputThread();
  // In this order: a message sent meanwhile is queued for the new port, not refused.
  outputChanging_ = true;
  outputLive_ = false;
}

void IMidiPorts::EndOutputChange()
{
  bool open = false;
  {
    std::lock_guard<std::mutex> send(sendMutex_);
    open = output_ && output_->IsPortOpen() && !output_->ServerGone();
  }
  outputLive_ = open;
  outputChanging_ = false;
  outputWake_.Post();
}

void IMidiPorts::StartOutputThread()
{
  if (outputThread_.joinable()) return;
  outputThread_ = std::jthread([this](std::stop_token stop) { OutputLoop(stop); });
}

void IMidiPorts::OutputLoop(std::stop_token stop)
{
  std::vector<uint8_t> message;
  message.reserve(OutputSendQueue::kMaxMessage);
  while (!stop.stop_requested())
  {
#ifdef _WIN32
    // Bounded there, as the delivery thread's wait (the stop request is seen within a tenth of a second).
    if (!outputWake_.WaitFor(std::chrono::milliseconds(100))) continue;
#else
    outputWake_.Wait();
#endif
    if (stop.stop_requested()) break;
    DeliverQueued(message);
  }
  // Nothing is sent any more: what is left is dropped.
  while (outputQueue_.Pop(message))
  {
    outputDropped_.fetch_add(1);
    outputHandled_.fetch_add(1);
  }
}

void IMidiPorts::DeliverQueued(std::vector<uint8_t>& message)
{
  for (;;)
  {
    // While a port is being chosen the messages wait for it; its end wakes this thread again.
    if (outputChanging_.load()) return;
    const bool live = outputLive_.load();
    if (!outputQueue_.Pop(message)) return;
    const MidiSendStatus status = live ? Send(message.data(), message.size()) : MidiSendStatus::kNoOutput;
    if (status != MidiSendStatus::kSent) outputDropped_.fetch_add(1);
    outputHandled_.fetch_add(1);
  }
}

MidiSendStatus IMidiPorts::Send(const uint8_t* bytes, size_t size)
{
  if (AudioThreadScope::Active()) return Queue(size, [bytes](size_t i) { return bytes[i]; });
  // A buffer that stays full means the MIDI system has stopped taking messages.
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (;;)
  {
    std::chrono::steady_clock::time_point retry;
    {
      std::lock_guard<std::mutex> send(sendMutex_);
      if (!output_ || !output_->IsPortOpen() || output_->ServerGone())
        return Finish(MidiSendStatus::kNoOutput);
      const size_t limit = output_->MaxMessageSize();
      if (size > limit)
      {
        std::fprintf(stderr, "MIDI output: message of %zu bytes not sent, the port carries at most %zu\n",
                     size, limit);
        return Finish(MidiSendStatus::kTooLarge);
      }
      if (output_->RoomFor(size, retry))
        return Finish(output_->Send(bytes, size) ? MidiSendStatus::kSent : MidiSendStatus::kFailed);
    }
    if (std::chrono::steady_clock::now() >= giveUp)
    {
      std::fprintf(stderr, "MIDI output: no room for a message of %zu bytes for 2 s, not sent\n", size);
      return Finish(MidiSendStatus::kFailed);
    }
    std::this_thread::sleep_until(std::min(retry, giveUp));
  }
}

MidiSendStatus IMidiPorts::SendSysEx(const uint8_t* bytes, size_t size)
{
  size_t first = bytes[0] == 0xF0 ? 1 : 0;
  size_t end = size;
  if (end > first && bytes[end - 1] == 0xF7) --end;
  if (end <= first) return Finish(MidiSendStatus::kInvalid);
  const size_t total = end - first + 2;
  if (AudioThreadScope::Active())
    return Queue(
        total,
        [&](size_t i) {
          return i == 0 ? uint8_t(0xF0) : i + 1 == total ? uint8_t(0xF7) : DataByte(bytes[first + i - 1]);
        });

  std::lock_guard<std::mutex> turn(sysexMutex_);
  sysexScratch_.resize(total);
  sysexScratch_[0] = 0xF0;
  for (size_t i = first; i < end; ++i)
    sysexScratch_[i - first + 1] = DataByte(bytes[i]);
  sysexScratch_[total - 1] = 0xF7;
  const MidiSendStatus status = Send(sysexScratch_.data(), total);
  if (sysexScratch_.capacity() > 65536) std::vector<uint8_t>().swap(sysexScratch_);
  return status;
}

MidiSendStatus IMidiPorts::SendMidiToDevice(const IMidiMessage& message)
{
  const int length = IMidiMessage::LengthForStatus(message.status);
  if (length == 0) return Finish(MidiSendStatus::kInvalid);
  const uint8_t bytes[3] = {message.status, DataByte(message.data1), DataByte(message.data2)};
  return Send(bytes, static_cast<size_t>(length));
}

MidiSendStatus IMidiPorts::SendSysExToDevice(const uint8_t* bytes, int length)
{
  if (!bytes || length <= 0) return Finish(MidiSendStatus::kNoBytes);
  return SendSysEx(bytes, static_cast<size_t>(length));
}

MidiSendStatus IMidiPorts::SendBytesToDevice(const uint8_t* bytes, int length)
{
  if (!bytes || length <= 0) return Finish(MidiSendStatus::kNoBytes);
  if (bytes[0] == 0xF0) return SendSysEx(bytes, static_cast<size_t>(length));
  const int expected = IMidiMessage::LengthForStatus(bytes[0]);
  if (expected == 0 || length != expected) return Finish(MidiSendStatus::kInvalid);
  uint8_t message[3] = {bytes[0], 0, 0};
  for (int i = 1; i < length; ++i)
    message[i] = DataByte(bytes[i]);
  return Send(message, static_cast<size_t>(length));
}

MidiSendStatus IMidiPorts::SendVectorToDevice(std::vector<uint8_t>& bytes)
{
  const MidiSendStatus status = SendBytesToDevice(bytes.data(), static_cast<int>(bytes.size()));
  std::vector<uint8_t>().swap(bytes);
  return status;
}
