#pragma once

#include <jack/jack.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// What the JACK input and output clients share: opening a client, listing MIDI ports and hearing
// of the server going away.

// A client of that name on the running server, never starting one; null (said on the error
// console, prefixed with `role`) when no server answers. libjack frees every client of the process
// at the first open after one of them heard its server go: an open is refused while a client of ours
// that lost its server is still open (with more than one attempt, it waits up to 2 s for it to close).
// A loaded server may refuse a client although it runs (it answered too late): up to `attempts`
// opens are made then, with pauses of 0.1 s, 0.2 s, ... between them, so more than one only where
// the caller may wait. `refused` (when given) tells whether a running server refused the last one.
jack_client_t* OpenJackClient(const std::string& name, const char* role, int attempts = 1,
                              bool* refused = nullptr);

// Whether the JACK server a client would be opened on runs and takes connections.
bool JackServerAnswers();

// Closes a client opened by OpenJackClient. libjack tells every client of a process, on that client's
// notification thread and under one lock for the whole process, when a client of the server comes or
// goes. Closing a client cancels its notification thread, and a cancellation landing while that thread
// handles such a message leaves the lock taken for good: every later open, close or message in the
// process then waits for ever, and the server with it. Our own opening and closing send such messages
// to our other clients, so opening and closing are taken one at a time, and a client is closed only once
// our other clients had time to handle the message about the last one. `serverGone` skips that wait.
void CloseJackClient(jack_client_t* client, bool serverGone);

// How many server losses our clients had heard when this client of ours was opened.
uint64_t JackLossesHeardBefore(jack_client_t* client);

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
// unregistering a port takes, and a walk that began just before the client was deactivated goes on
// after it: a port unregistered then was freed under the walk, and the thread crashed. So the list
// of ports of a client of ours changes once only, before the client is first activated: its one
// port is registered then and kept until the client is closed; a port opened again is the same port
// (renamed when asked for under another name), and closing the port deactivates the client, which
// disconnects the port.
// The port (the client active), or null (said on the error console, the client inactive).
jack_port_t* OpenJackPort(jack_client_t* client, const std::string& name, unsigned long flags,
                          const char* role);
void CloseJackPort(jack_client_t* client, jack_port_t* port);

// Notes the server going away, whether the client is active or not (libjack hears of it when the
// server's socket closes): installed while the client is inactive.
class JackServerWatch
{
public:
  void Install(jack_client_t* client);
  // Also when another client of ours heard of a loss since this one opened: libjack then marks the
  // server gone for the whole process and answers no more requests of its clients.
  bool Gone() const;
  // Called once, on JACK's thread, when the server goes.
  void SetHandler(std::function<void()> handler);

private:
  static void Stopped(void* user);
  void Notify();

  std::atomic<bool> gone_{false};
  uint64_t lossesBefore_ = 0; // set by Install, before any JACK thread calls
  std::mutex mutex_;
  std::function<void()> handler_; // under mutex_
};
