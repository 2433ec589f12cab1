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
// Kept free of SysEx for short messages (146 of them within one drain time, more than a MIDI
// cable carries), so that the audio thread never waits behind a dump.
constexpr size_t kJackShortReserve = 1024;
constexpr size_t kJackMaxMessage = kJackRingBytes - kJackShortReserve - kJackLengthPrefix;
constexpr size_t kShortMessage = 3;
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
      if (choice_ == RtMidiApiChoice::Alsa) return nullptr;
    }
    auto client = TryCreate<Client>(RtMidi::UNIX_JACK, clientName);
    if (client) choice_ = RtMidiApiChoice::Jack;
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

// Runs one library call with its errors caught; true when it raised neither an error nor a warning.
template <class Call> bool Attempt(ErrorRecord& errors, Call call)
{
  errors.Clear();
  try
  {
    call();
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
  return !errors.failed && !errors.warned;
}

// What the output and input clients share: the library object with its error record, port
// listing, and the open state of our own port.
template <class Library, class Interface> class RtMidiClient : public Interface
{
public:
  explicit RtMidiClient(std::unique_ptr<Library> library) : library_(std::move(library))
  {
    library_->setErrorCallback(&ErrorRecord::Callback, &errors_);
  }

  unsigned PortCount() override
  {
    unsigned count = 0;
    Attempt(errors_, [&] { count = library_->getPortCount(); });
    return errors_.failed ? 0 : count; // a warning (no JACK server) still answers the count
  }

  bool PortName(unsigned port, std::string& name) override
  {
    std::string text;
    if (!Attempt(errors_, [&] { text = library_->getPortName(port); })) return false;
    name = std::move(text);
    return true;
  }

  // Our own record: the library does not count a virtual port as open.
  bool IsPortOpen() const override { return open_; }

protected:
  // The port must be closed before; on failure it is closed again (the library may have half opened it).
  template <class Opener> bool OpenWith(Opener open)
  {
    if (!Attempt(errors_, open))
    {
      this->ClosePort();
      return false;
    }
    open_ = true;
    return true;
  }

  void CloseLibraryPort()
  {
    try
    {
      if (open_ || library_->isPortOpen()) library_->closePort();
    }
    catch (...)
    {
    }
    open_ = false;
  }

  std::unique_ptr<Library> library_;
  ErrorRecord errors_;
  bool open_ = false;
};

class RtMidiOutputClient final : public RtMidiClient<RtMidiOut, MidiOutputClient>
{
public:
  explicit RtMidiOutputClient(std::unique_ptr<RtMidiOut> out)
      : RtMidiClient(std::move(out)), jack_(library_->getCurrentApi() == RtMidi::UNIX_JACK)
  {
  }

  ~RtMidiOutputClient() override { ClosePort(); }

  bool OpenPort(unsigned port, const std::string& portName) override
  {
    ClosePort();
    return OpenWith([&] { library_->openPort(port, portName); });
  }

  bool OpenVirtualPort(const std::string& portName) override
  {
    ClosePort();
    return OpenWith([&] { library_->openVirtualPort(portName); });
  }

  // Closing first lets the library's JACK ring buffer drain: a port closed under it drops what
  // it still holds, which was reported as sent.
  void ClosePort() override
  {
    if (open_) std::this_thread::sleep_until(DrainedBy());
    CloseLibraryPort();
    recent_.clear();
    queued_ = 0;
  }

  bool Send(const uint8_t* bytes, size_t size) override
  {
    if (!bytes || size == 0 || size > MaxMessageSize() || !open_) return false;
    if (jack_)
    {
      std::chrono::steady_clock::time_point retry;
      while (!RoomFor(size, retry))
        std::this_thread::sleep_until(retry);
      recent_.emplace_back(std::chrono::steady_clock::now(), size + kJackLengthPrefix);
      queued_ += size + kJackLengthPrefix;
    }
    return Attempt(errors_, [&] { library_->sendMessage(bytes, size); });
  }

  size_t MaxMessageSize() const override { return jack_ ? kJackMaxMessage : kAlsaMaxMessage; }

  // The library cannot tell how full its JACK ring buffer is, and drops silently when it is
  // full; so we keep our own account of what was queued recently and count an entry as
  // drained once the process cycle has had time to take it.
  bool RoomFor(size_t size, std::chrono::steady_clock::time_point& retry) override
  {
    if (!jack_) return true;
    const auto now = std::chrono::steady_clock::now();
    while (!recent_.empty() && now - recent_.front().first >= kJackDrainTime)
    {
      queued_ -= recent_.front().second;
      recent_.pop_front();
    }
    const size_t needed = size + kJackLengthPrefix;
    const size_t room = size <= kShortMessage ? kJackRingBytes : kJackRingBytes - kJackShortReserve;
    if (queued_ + needed <= room) return true;
    // The first moment enough of the oldest entries will have drained.
    size_t stays = queued_;
    for (const auto& entry : recent_)
    {
      stays -= entry.second;
      retry = entry.first + kJackDrainTime;
      if (stays + needed <= room) break;
    }
    return false;
  }

  std::chrono::steady_clock::time_point DrainedBy() const override
  {
    return recent_.empty() ? std::chrono::steady_clock::time_point{} : recent_.back().first + kJackDrainTime;
  }

private:
  const bool jack_;
  std::deque<std::pair<std::chrono::steady_clock::time_point, size_t>> recent_;
  size_t queued_ = 0;
};

class RtMidiInputClient final : public RtMidiClient<RtMidiIn, MidiInputClient>
{
public:
  explicit RtMidiInputClient(std::unique_ptr<RtMidiIn> in) : RtMidiClient(std::move(in))
  {
    // Installed once for the client's lifetime; whether anything is passed on is decided
    // by accepting_, so a port can be closed while the library's thread is inside.
    library_->setCallback(&RtMidiInputClient::OnMessage, this);
    library_->ignoreTypes(false, true, true); // keep SysEx; drop timing clock and active sensing
  }

  ~RtMidiInputClient() override
  {
    ClosePort();
    try
    {
      library_->cancelCallback();
    }
    catch (...)
    {
    }
  }

  bool OpenPort(unsigned port, const std::string& portName, MidiInputCallback callback) override
  {
    return Open(std::move(callback), [&] { library_->openPort(port, portName); });
  }

  bool OpenVirtualPort(const std::string& portName, MidiInputCallback callback) override
  {
    return Open(std::move(callback), [&] { library_->openVirtualPort(portName); });
  }

  void ClosePort() override
  {
    accepting_.store(false);
    CloseLibraryPort();
    // A delivery that saw accepting_ set before we cleared it may still be running.
    while (inCallback_.load() > 0)
      std::this_thread::yield();
    callback_ = nullptr;
  }

private:
  template <class Opener> bool Open(MidiInputCallback callback, Opener open)
  {
    ClosePort();
    callback_ = std::move(callback);
    if (!OpenWith(open)) return false;
    accepting_.store(true); // publishes callback_ (and this object) to the library's thread
    return true;
  }

  static void OnMessage(double, std::vector<unsigned char>* message, void* user)
  {
    auto* self = static_cast<RtMidiInputClient*>(user);
    // Read accepting_ first: it is our only synchronisation with the thread that set us up
    // (the library's own hand-over of the port is not visible to the memory model).
    if (!self || !message || message->empty() || !self->accepting_.load()) return;
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

  MidiInputCallback callback_;
  std::atomic<bool> accepting_{false};
  std::atomic<int> inCallback_{0};
};

template <class Client, class Library> std::unique_ptr<Client> Wrap(std::unique_ptr<Library> library)
{
  if (!library) return nullptr;
  try
  {
    return std::make_unique<Client>(std::move(library));
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

class RtMidiBackend final : public MidiBackend
{
public:
  explicit RtMidiBackend(RtMidiApiChoice choice) : selector_(choice) {}

  std::unique_ptr<MidiOutputClient> CreateOutput(const std::string& clientName) override
  {
    return Wrap<RtMidiOutputClient>(selector_.Create<RtMidiOut>(clientName));
  }

  std::unique_ptr<MidiInputClient> CreateInput(const std::string& clientName) override
  {
    return Wrap<RtMidiInputClient>(selector_.Create<RtMidiIn>(clientName));
  }

private:
  ApiSelector selector_;
};
} // namespace

std::shared_ptr<MidiBackend> CreateRtMidiBackend(RtMidiApiChoice api)
{
  return std::make_shared<RtMidiBackend>(api);
}
