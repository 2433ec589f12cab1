#include "platform/midi/MidiBackend.h"

#ifndef _WIN32
#include "platform/midi/JackMidiInput.h"
#include "platform/midi/JackMidiOutput.h"

#include <dlfcn.h>
#include <unistd.h>
#endif

#include <rtmidi/RtMidi.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace
{
// The ALSA sequencer and the Windows multimedia API split and reassemble long SysEx themselves;
// bound it only by sanity.
constexpr size_t kAlsaMaxMessage = 1 << 20;
#ifdef _WIN32
// Windows hands SysEx over in buffers of this size; a dump longer than one buffer is joined again.
constexpr unsigned kWinSysExBufferSize = 4096;
constexpr unsigned kWinSysExBufferCount = 8;
#endif

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
// Windows has one system: the multimedia API, whatever was asked for.
class ApiSelector
{
public:
  explicit ApiSelector(RtMidiApiChoice choice) : choice_(choice) {}

  // The library's client on the system chosen; null with `jack` set when that system is JACK, where
  // our own clients stand in for the library's. The library's JACK client is never made: it opens,
  // activates and closes a JACK client of its own, outside the order in which ours are opened and
  // closed (see JackClient.h), and a new client sets libjack freeing the clients that lost their server.
  template <class Client> std::unique_ptr<Client> Create(const std::string& clientName, bool& jack)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    jack = false;
#ifdef _WIN32
    return TryCreate<Client>(RtMidi::WINDOWS_MM, clientName);
#else
    // Without the sequencer device ALSA cannot open, and each failed open costs the ALSA library's
    // configuration a little memory it never gives back: go straight to JACK then.
    if (choice_ == RtMidiApiChoice::Automatic && !AlsaSequencerPresent()) choice_ = RtMidiApiChoice::Jack;
    if (choice_ == RtMidiApiChoice::Automatic || choice_ == RtMidiApiChoice::Alsa)
    {
      KeepAlsaLoaded();
      if (auto client = TryCreate<Client>(RtMidi::LINUX_ALSA, clientName))
      {
        choice_ = RtMidiApiChoice::Alsa;
        return client;
      }
      if (choice_ == RtMidiApiChoice::Alsa) return nullptr;
    }
    choice_ = RtMidiApiChoice::Jack;
    jack = true;
    return nullptr;
#endif
  }

private:
#ifndef _WIN32
  // Opening a sequencer reads the ALSA configuration into the ALSA library's own globals, which it
  // keeps for the process. If that library were unloaded with the plug-in (a host rescanning its
  // plug-ins loads and unloads it again and again), the configuration would be lost each time: the
  // library stays loaded once the plug-in has used it. Freeing the configuration instead is not
  // safe: the host may be using ALSA itself.
  static bool AlsaSequencerPresent()
  {
    return access("/dev/snd/seq", R_OK | W_OK) == 0;
  }

  static void KeepAlsaLoaded()
  {
    static std::once_flag once;
    std::call_once(once,
                   []
                   {
                     if (!dlopen("libasound.so.2", RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE))
                       std::fprintf(stderr, "MIDI: the ALSA library could not be kept loaded\n");
                   });
  }
#endif

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

// The output through the ALSA sequencer (under JACK the output is JackMidiOutput).
class RtMidiOutputClient final : public RtMidiClient<RtMidiOut, MidiOutputClient>
{
public:
  explicit RtMidiOutputClient(std::unique_ptr<RtMidiOut> out) : RtMidiClient(std::move(out)) {}

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

  void ClosePort() override { CloseLibraryPort(); }

  bool Send(const uint8_t* bytes, size_t size) override
  {
    if (!bytes || size == 0 || size > MaxMessageSize() || !open_) return false;
    return Attempt(errors_, [&] { library_->sendMessage(bytes, size); });
  }

  size_t MaxMessageSize() const override { return kAlsaMaxMessage; }
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
#ifdef _WIN32
    // Larger SysEx buffers than the library's 1 KiB: a dump arrives in fewer pieces.
    library_->setBufferSize(kWinSysExBufferSize, kWinSysExBufferCount);
#endif
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
    bool refused = false;
    return Output(clientName, 1, refused);
  }

  std::unique_ptr<MidiInputClient> CreateInput(const std::string& clientName) override
  {
    bool refused = false;
    return Input(clientName, 1, refused);
  }

  std::unique_ptr<MidiOutputClient> CreateOutputPatiently(const std::string& clientName,
                                                          bool& refused) override
  {
    return Output(clientName, kPatientAttempts, refused);
  }

  std::unique_ptr<MidiInputClient> CreateInputPatiently(const std::string& clientName, bool& refused) override
  {
    return Input(clientName, kPatientAttempts, refused);
  }

private:
  // A refused JACK client is asked for up to this many times (pauses of 0.1, 0.2 and 0.4 s).
  static constexpr int kPatientAttempts = 4;

  std::unique_ptr<MidiOutputClient> Output(const std::string& clientName, int attempts, bool& refused)
  {
    refused = false;
    bool jack = false;
    auto library = selector_.Create<RtMidiOut>(clientName, jack);
#ifndef _WIN32
    // RtMidi's JACK output drops silently when its buffer is full, cannot tell how full it is and
    // closes under what it still holds: under JACK our own output client stands in for it.
    if (jack) return CreateJackMidiOutput(clientName, attempts, &refused);
#else
    (void)attempts;
#endif
    return Wrap<RtMidiOutputClient>(std::move(library));
  }

  std::unique_ptr<MidiInputClient> Input(const std::string& clientName, int attempts, bool& refused)
  {
    refused = false;
    bool jack = false;
    auto library = selector_.Create<RtMidiIn>(clientName, jack);
#ifndef _WIN32
    // RtMidi's JACK input never hears of the server going away: ours does.
    if (jack) return CreateJackMidiInput(clientName, attempts, &refused);
#else
    (void)attempts;
#endif
    return Wrap<RtMidiInputClient>(std::move(library));
  }

  ApiSelector selector_;
};
} // namespace

std::shared_ptr<MidiBackend> CreateRtMidiBackend(RtMidiApiChoice api)
{
  return std::make_shared<RtMidiBackend>(api);
}
