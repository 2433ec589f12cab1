#pragma once

#include <jack/jack.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// What the JACK input and output clients share: opening a client, listing MIDI ports and hearing
// of the server going away.

// A client of that name on the running server, never starting one; null (said on the error
// console, prefixed with `role`) when no server answers.
jack_client_t* OpenJackClient(const std::string& name, const char* role);

// The names of the MIDI ports with those flags (JackPortIsInput or JackPortIsOutput).
std::vector<std::string> ListJackMidiPorts(jack_client_t* client, unsigned long flags);

class JackServerWatch;

// JACK cancels its client threads at any instruction when a client is closed or deactivated, which
// may follow at once on another thread. Our callbacks hold the cancellation off while they run (a
// cancellation landing inside one left its locks held or aborted the process): the first call at a
// callback's start, the second, as a plain call, at its end.
int HoldJackCancel();
void ReleaseJackCancel(int previous);

// Sets the process callback and the watch, and activates the client; false (said) when it cannot.
bool ActivateJackClient(jack_client_t* client, JackProcessCallback process, void* user,
                        JackServerWatch& watch, const char* role);

// Notes the server going away: installed before the client is activated.
class JackServerWatch
{
public:
  void Install(jack_client_t* client) { jack_on_shutdown(client, &JackServerWatch::Stopped, this); }
  bool Gone() const { return gone_.load(); }
  // Called once, on JACK's thread, when the server goes.
  void SetHandler(std::function<void()> handler);

private:
  static void Stopped(void* user);
  void Notify();

  std::atomic<bool> gone_{false};
  std::mutex mutex_;
  std::function<void()> handler_; // under mutex_
};
