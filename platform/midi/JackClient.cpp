#include "platform/midi/JackClient.h"

#include <jack/midiport.h>

#include <cstdio>

#include <pthread.h>

jack_client_t* OpenJackClient(const std::string& name, const char* role)
{
  jack_status_t status{};
  jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
  if (!client) std::fprintf(stderr, "%s: no JACK server answers (status 0x%x)\n", role, unsigned(status));
  return client;
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
