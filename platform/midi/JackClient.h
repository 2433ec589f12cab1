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

// Closes a client opened by OpenJackClient. libjack tells every client of a process, on that client's
// notification thread and under one lock for the whole process, when a client of the server comes or
// goes. Closing a client cancels its notification thread, and a cancellation landing while that thread
// handles such a message leaves the lock taken for good: every later open, close or message in the
// process then waits for ever, and the server with it. Our own opening and closing send such messages
// to our other clients, so opening and closing are taken one at a time, and a client is closed only once
// our other clients had time to handle the message about the last one. `serverGone` skips that wait.
void CloseJackClient(jack_client_t* client, bool serverGone);

// The names of the MIDI ports with those flags (JackPortIsInput or JackPortIsOutput).
std::vector<std::string> ListJackMidiPorts(jack_client_t* client, unsigned long flags);

class JackServerWatch;

// JACK cancels its client threads at any instruction when a client is closed or deactivated, which
// may follow at once on another thread. Our callbacks hold the cancellation off while they run (a
// cancellation landing inside one left its locks held or aborted the process): the first call at a
// callback's start, the second, as a plain call, at its end.
int HoldJackCancel();
void ReleaseJackCancel(int previous);

// Sets the process callback and the watch (JACK takes callbacks only from an inactive client).
void PrepareJackClient(jack_client_t* client, JackProcessCallback process, void* user,
                       JackServerWatch& watch);

// libjack's notification thread walks a client's list of ports on every latency notice (which any
// change of the server's graph sends to every active client) without a lock that registering or
// unregistering a port takes: a port unregistered meanwhile was freed under the walk. So a client
// of ours is active only while it has its one port: the port is registered before the client is
// activated, and the client deactivated before the port goes.
// The port (the client active), or null (said on the error console, the client inactive).
jack_port_t* OpenJackPort(jack_client_t* client, const std::string& name, unsigned long flags,
                          const char* role);
void CloseJackPort(jack_client_t* client, jack_port_t* port);

// Notes the server going away, whether the client is active or not (libjack hears of it when the
// server's socket closes): installed while the client is inactive.
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
