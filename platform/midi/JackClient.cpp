#include "platform/midi/JackClient.h"

#include <jack/midiport.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include <pthread.h>

namespace
{
// Time for a notification thread to be scheduled and handle one message on a loaded machine.
constexpr auto kSettle = std::chrono::milliseconds(100);

// Our clients are opened and closed one at a time in the process; when the latest of them was.
struct OpenClose
{
  std::mutex mutex;
  std::chrono::steady_clock::time_point last; // under mutex
};

OpenClose& OpeningAndClosing()
{
  // Nothing to tear down (the mutex and the time are trivially destroyed), so a client closed at exit is
  // safe.
  static OpenClose state;
  return state;
}
} // namespace

jack_client_t* OpenJackClient(const std::string& name, const char* role)
{
  OpenClose& state = OpeningAndClosing();
  std::lock_guard<std::mutex> lock(state.mutex);
  jack_status_t status{};
  jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
  state.last = std::chrono::steady_clock::now();
  if (!client) std::fprintf(stderr, "%s: no JACK server answers (status 0x%x)\n", role, unsigned(status));
  return client;
}

void CloseJackClient(jack_client_t* client, bool serverGone)
{
  OpenClose& state = OpeningAndClosing();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (!serverGone) std::this_thread::sleep_until(state.last + kSettle);
  jack_client_close(client);
  state.last = std::chrono::steady_clock::now();
}

std::vector<std::string> ListJackMidiPorts(jack_client_t* client, unsigned long flags)
{
  std::vector<std::string> names;
  const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
  for (const char** p = ports; p && *p; ++p)
    names.emplace_back(*p);
  if (ports) jack_free(ports);
  return names;
}

void PrepareJackClient(jack_client_t* client, JackProcessCallback process, void* user, JackServerWatch& watch)
{
  jack_set_process_callback(client, process, user);
  watch.Install(client);
}

jack_port_t* OpenJackPort(jack_client_t* client, const std::string& name, unsigned long flags,
                          const char* role)
{
  jack_port_t* port = jack_port_register(client, name.c_str(), JACK_DEFAULT_MIDI_TYPE, flags, 0);
  if (!port)
  {
    std::fprintf(stderr, "%s: cannot create the JACK port \"%s\"\n", role, name.c_str());
    return nullptr;
  }
  if (jack_activate(client) == 0) return port;
  std::fprintf(stderr, "%s: the JACK client could not be activated\n", role);
  CloseJackPort(client, port); // a refused activation may leave the client marked active
  return nullptr;
}

void CloseJackPort(jack_client_t* client, jack_port_t* port)
{
  jack_deactivate(client);
  jack_port_unregister(client, port);
}

int HoldJackCancel()
{
  int previous = PTHREAD_CANCEL_ENABLE;
  pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &previous);
  return previous;
}

void ReleaseJackCancel(int previous)
{
  pthread_setcancelstate(previous, nullptr);
}

void JackServerWatch::SetHandler(std::function<void()> handler)
{
  std::lock_guard<std::mutex> lock(mutex_);
  handler_ = std::move(handler);
}

void JackServerWatch::Stopped(void* user)
{
  // On JACK's notification thread; the handler wakes the thread that closes the client.
  const int previous = HoldJackCancel();
  static_cast<JackServerWatch*>(user)->Notify();
  ReleaseJackCancel(previous);
}

void JackServerWatch::Notify()
{
  gone_.store(true);
  std::lock_guard<std::mutex> lock(mutex_);
  if (handler_) handler_();
}
