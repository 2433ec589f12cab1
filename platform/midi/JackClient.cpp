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

bool ActivateJackClient(jack_client_t* client, JackProcessCallback process, void* user,
                        JackServerWatch& watch, const char* role)
{
  jack_set_process_callback(client, process, user);
  watch.Install(client);
  if (jack_activate(client) == 0) return true;
  std::fprintf(stderr, "%s: the JACK client could not be activated\n", role);
  return false;
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
