#include "platform/midi/MidiBackend.h"

#include <rtmidi/RtMidi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

namespace
{
// RtMidi's JACK output queues each message behind a 4-byte length in a ring buffer of 16384
// bytes (16383 usable) and drops, without a word, any message that does not fit.
constexpr size_t kJackRingBytes = 16383;
constexpr size_t kJackLengthPrefix = 4;
constexpr size_t kJackMaxMessage = kJackRingBytes - kJackLengthPrefix;
// Long enough for the JACK process cycle to have drained what we queued, for any usual period.
constexpr auto kJackDrainTime = std::chrono::milliseconds(60);
// The ALSA sequencer splits and reassembles long SysEx itself; bound it only by sanity.
constexpr size_t kAlsaMaxMessage = 1 << 20;

// Errors reported through RtMidi's error callback. Once a callback is installed the library no
// longer throws; every operation clears the record first and checks it afterwards.
struct ErrorRecord
{
  std::atomic<bool> failed{false}; // an error, not a warning
  std::atomic<bool> warned{false}; // a warning (RtMidi answers e.g. an invalid port number this way)

  void Clear()
  {
    failed = false;
    warned = false;
  }

  static void Callback(RtMidiError::Type type, const std::string& text, void* user)
  {
    auto* self = static_cast<ErrorRecord*>(user);
    std::fprintf(stderr, "\n%s\n\n", text.c_str());
    if (type == RtMidiError::WARNING || type == RtMidiError::DEBUG_WARNING)
      self->warned = true;
    else
      self->failed = true;
  }
};

// Picks ALSA or JACK once per back end, so both clients of a plug-in talk to the same system.
class ApiSelector
{
public:
  explicit ApiSelector(RtMidiApiChoice choice) : choice_(choice) {}

  template <class Client> std::unique_ptr<Client> Create(const std::string& clientName)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (choice_ == RtMidiApiChoice::Automatic || choice_ == RtMidiApiChoice::Alsa)
    {
      if (auto client = TryCreate<Client>(RtMidi::LINUX_ALSA, clientName))
      {
        choice_ = RtMidiApiChoice::Alsa;
        return client;
      }
      if (choice_ == RtMidiApiChoice::Alsa)
        return nullptr;
    }
    auto client = TryCreate<Client>(RtMidi::UNIX_JACK, clientName);
    if (client)
      choice_ = RtMidiApiChoice::Jack;
    return client;
  }

private:
  template <class Client> static std::unique_ptr<Client> TryCreate(RtMidi::Api api, const std::string& name)
  {
    try
    {
      auto client = std::make_unique<Client>(api, name);
      if (client->getCurrentApi() != api)
        return nullptr; // the library fell back on its own (API not compiled in)
      return client;
    }
    catch (const RtMidiError& error)
    {
      error.printMessage();
    }
    catch (...)
    {
    }
    return nullptr;
  }

  std::mutex mutex_;
  RtMidiApiChoice choice_;
};

template <class Client> unsigned CountPorts(Client& client, ErrorRecord& errors)
{
  errors.Clear();
  try
  {
    const unsigned count = client.getPortCount();
    return errors.failed ? 0 : count;
  }
  catch (const RtMidiError& error)
  {
    error.printMessage();
  }
  catch (...)
  {
  }
  return 0;
}

template <class Client> bool ReadPortName(Client& client, ErrorRecord& errors, unsigned port, std::string& name)
{
  errors.Clear();
  try
  {
    std::string text = client.getPortName(port);
    if (errors.failed || errors.warned)
      return false;
    name = std::move(text);
    return true;
  }
  catch (const RtMidiError& error)
  {
    error.printMessage();
  }
  catch (...)
  {
  }
  return false;
}

class RtMidiOutputClient final : public MidiOutputClient
{
public:
  explicit RtMidiOutputClient(std::unique_ptr<RtMidiOut> out) : out_(std::move(out))
  {
    jack_ = out_->getCurrentApi() == RtMidi::UNIX_JACK;
    out_->setErrorCallback(&ErrorRecord::Callback, &errors_);
  }

  ~RtMidiOutputClient() override { ClosePort(); }

  unsigned PortCount() override { return CountPorts(*out_, errors_); }
  bool PortName(unsigned port, std::string& name) override { return ReadPortName(*out_, errors_, port, name); }

  bool OpenPort(unsigned port, const std::string& portName) override
  {
    return Open([&] { out_->openPort(port, portName); });
  }

  bool OpenVirtualPort(const std::string& portName) override
  {
    return Open([&] { out_->openVirtualPort(portName); });
  }

  template <class Opener> bool Open(Opener open)
  {
    ClosePort();
    errors_.Clear();
    try
    {
      open();
    }
    catch (const RtMidiError& error)
    {
      error.printMessage();
      errors_.failed = true;
    }
    catch (...)
    {
      errors_.failed = true;
    }
    if (errors_.failed || errors_.warned)
    {
      ClosePort();
      return false;
    }
    open_ = true;
    return true;
  }

  void ClosePort() override
  {
    try
    {
      if (open_ || out_->isPortOpen())
        out_->closePort();
    }
    catch (...)
    {
    }
    open_ = false;
    recent_.clear();
  }

  // Our own record: the library does not count a virtual port as open.
  bool IsPortOpen() const override { return open_; }

  bool Send(const uint8_t* bytes, size_t size) override
  {
    if (!bytes || size == 0 || size > MaxMessageSize() || !open_)
      return false;
    if (jack_)
      WaitForJackRoom(size);
    errors_.Clear();
    try
    {
      out_->sendMessage(bytes, size);
    }
    catch (const RtMidiError& error)
    {
      error.printMessage();
      return false;
    }
    catch (...)
    {
      return false;
    }
    return !errors_.failed && !errors_.warned;
  }

  size_t MaxMessageSize() const override { return jack_ ? kJackMaxMessage : kAlsaMaxMessage; }

private:
  // The library cannot tell how full its JACK ring buffer is, and drops silently when it is
  // full; so we keep our own account of what was queued recently and wait, when a message
  // would not fit, until the process cycle has had time to drain the oldest entries.
  void WaitForJackRoom(size_t size)
  {
    const size_t needed = size + kJackLengthPrefix;
    for (;;)
    {
      const auto now = std::chrono::steady_clock::now();
      while (!recent_.empty() && now - recent_.front().first >= kJackDrainTime)
      {
        queued_ -= recent_.front().second;
        recent_.pop_front();
      }
      if (recent_.empty() || queued_ + needed <= kJackRingBytes)
        break;
      std::this_thread::sleep_until(recent_.front().first + kJackDrainTime);
    }
    recent_.emplace_back(std::chrono::steady_clock::now(), needed);
    queued_ += needed;
  }

  std::unique_ptr<RtMidiOut> out_;
  ErrorRecord errors_;
  bool jack_ = false;
  bool open_ = false;
  std::deque<std::pair<std::chrono::steady_clock::time_point, size_t>> recent_;
  size_t queued_ = 0;
};

class RtMidiInputClient final : public MidiInputClient
{
public:
  explicit RtMidiInputClient(std::unique_ptr<RtMidiIn> in) : in_(std::move(in))
  {
    in_->setErrorCallback(&ErrorRecord::Callback, &errors_);
    // Installed once for the client's lifetime; whether anything is passed on is decided
    // by accepting_, so a port can be closed while the library's thread is inside.
    in_->setCallback(&RtMidiInputClient::OnMessage, this);
    in_->ignoreTypes(false, true, true); // keep SysEx; drop timing clock and active sensing
  }

  ~RtMidiInputClient() override
  {
    ClosePort();
    try
    {
      in_->cancelCallback();
    }
    catch (...)
    {
    }
  }

  unsigned PortCount() override { return CountPorts(*in_, errors_); }
  bool PortName(unsigned port, std::string& name) override { return ReadPortName(*in_, errors_, port, name); }

  bool OpenPort(unsigned port, const std::string& portName, MidiInputCallback callback) override
  {
    return Open(std::move(callback), [&] { in_->openPort(port, portName); });
  }

  bool OpenVirtualPort(const std::string& portName, MidiInputCallback callback) override
  {
    return Open(std::move(callback), [&] { in_->openVirtualPort(portName); });
  }

  template <class Opener> bool Open(MidiInputCallback callback, Opener open)
  {
    ClosePort();
    callback_ = std::move(callback);
    errors_.Clear();
    try
    {
      open();
    }
    catch (const RtMidiError& error)
    {
      error.printMessage();
      errors_.failed = true;
    }
    catch (...)
    {
      errors_.failed = true;
    }
    if (errors_.failed || errors_.warned)
    {
      ClosePort();
      return false;
    }
    open_ = true;
    accepting_.store(true);
    return true;
  }

  void ClosePort() override
  {
    accepting_.store(false);
    try
    {
      if (open_ || in_->isPortOpen())
        in_->closePort();
    }
    catch (...)
    {
    }
    // A delivery that saw accepting_ set before we cleared it may still be running.
    while (inCallback_.load() > 0)
      std::this_thread::yield();
    open_ = false;
    callback_ = nullptr;
  }

  bool IsPortOpen() const override { return open_; }

private:
  static void OnMessage(double, std::vector<unsigned char>* message, void* user)
  {
    auto* self = static_cast<RtMidiInputClient*>(user);
    if (!self || !message || message->empty())
      return;
    self->inCallback_.fetch_add(1);
    if (self->accepting_.load())
    {
      try
      {
        self->callback_(message->data(), message->size());
      }
      catch (...)
      {
      }
    }
    self->inCallback_.fetch_sub(1);
  }

  std::unique_ptr<RtMidiIn> in_;
  ErrorRecord errors_;
  MidiInputCallback callback_;
  bool open_ = false;
  std::atomic<bool> accepting_{false};
  std::atomic<int> inCallback_{0};
};

class RtMidiBackend final : public MidiBackend
{
public:
  explicit RtMidiBackend(RtMidiApiChoice choice) : selector_(choice) {}

  std::unique_ptr<MidiOutputClient> CreateOutput(const std::string& clientName) override
  {
    auto out = selector_.Create<RtMidiOut>(clientName);
    if (!out)
      return nullptr;
    try
    {
      return std::make_unique<RtMidiOutputClient>(std::move(out));
    }
    catch (...)
    {
      return nullptr;
    }
  }

  std::unique_ptr<MidiInputClient> CreateInput(const std::string& clientName) override
  {
    auto in = selector_.Create<RtMidiIn>(clientName);
    if (!in)
      return nullptr;
    try
    {
      return std::make_unique<RtMidiInputClient>(std::move(in));
    }
    catch (const RtMidiError& error)
    {
      error.printMessage();
      return nullptr;
    }
    catch (...)
    {
      return nullptr;
    }
  }

private:
  ApiSelector selector_;
};
} // namespace

std::shared_ptr<MidiBackend> CreateRtMidiBackend(RtMidiApiChoice api)
{
  return std::make_shared<RtMidiBackend>(api);
}
