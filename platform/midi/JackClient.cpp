#include "platform/midi/JackClient.h"

#include <jack/midiport.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <pthread.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace
{
// Time for a notification thread to be scheduled and handle one message on a loaded machine.
constexpr auto kSettle = std::chrono::milliseconds(100);
// How long an open waits for our clients that lost their server to be closed by their owners.
constexpr auto kLostClientsWait = std::chrono::milliseconds(2000);
constexpr auto kLostClientsPoll = std::chrono::milliseconds(5);
// The pause before a client refused by a running server is asked for again; doubled each time.
constexpr auto kFirstRetryPause = std::chrono::milliseconds(100);
// Our clients open at once in the process (a JACK server takes a few hundred in all).
constexpr size_t kMaxClients = 256;

// Server losses heard by our clients in this process (see JackServerWatch::Gone).
std::atomic<uint64_t> lossesHeard{0};

// Our clients are opened and closed one at a time in the process; when the latest of them was.
// Nothing here needs tearing down (a client closed at exit, or as the plug-in unloads, finds it
// whole): a plain mutex and trivially destroyed members.
struct OpenClose
{
  std::mutex mutex;
  std::chrono::steady_clock::time_point last; // under mutex
};

OpenClose& OpeningAndClosing()
{
  static OpenClose state;
  return state;
}

// Our open clients: the losses heard before each was opened, and its port once it has one.
struct OpenClient
{
  jack_client_t* client;
  uint64_t lossesBefore;
  jack_port_t* port;
};

struct OpenClients
{
  std::mutex mutex;
  OpenClient entries[kMaxClients]; // the first `count`, under mutex
  size_t count = 0;
};

OpenClients& Clients()
{
  static OpenClients clients;
  return clients;
}

// With the clients' mutex held.
OpenClient* Find(OpenClients& clients, jack_client_t* client)
{
  for (size_t i = 0; i < clients.count; ++i)
    if (clients.entries[i].client == client) return &clients.entries[i];
  return nullptr;
}

bool AnyLost()
{
  OpenClients& clients = Clients();
  std::lock_guard<std::mutex> lock(clients.mutex);
  const uint64_t heard = lossesHeard.load();
  for (size_t i = 0; i < clients.count; ++i)
    if (clients.entries[i].lossesBefore < heard) return true;
  return false;
}

bool Add(jack_client_t* client, uint64_t lossesBefore)
{
  OpenClients& clients = Clients();
  std::lock_guard<std::mutex> lock(clients.mutex);
  if (clients.count == kMaxClients) return false;
  clients.entries[clients.count++] = {client, lossesBefore, nullptr};
  return true;
}

void Remove(jack_client_t* client)
{
  OpenClients& clients = Clients();
  std::lock_guard<std::mutex> lock(clients.mutex);
  if (OpenClient* entry = Find(clients, client)) *entry = clients.entries[--clients.count];
}

// libjack is kept loaded once a client of ours used it: each load of the library maps the JACK
// registry of shared memory again and never unmaps it, and a host loads and unloads the plug-in
// again and again.
void KeepJackLoaded()
{
  static std::once_flag once;
  std::call_once(once,
                 []
                 {
                   if (!dlopen("libjack.so.0", RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE))
                     std::fprintf(stderr, "MIDI: the JACK library could not be kept loaded\n");
                 });
}

// Waits (bounded, without the lock) until none of our clients lost its server; false when one still has.
bool WaitUntilNoneLost(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds bound)
{
  const auto giveUp = std::chrono::steady_clock::now() + bound;
  while (AnyLost())
  {
    if (std::chrono::steady_clock::now() >= giveUp) return false;
    // Their owners close them on threads of their own, through CloseJackClient.
    lock.unlock();
    std::this_thread::sleep_for(kLostClientsPoll);
    lock.lock();
  }
  return true;
}
} // namespace

jack_client_t* OpenJackClient(const std::string& name, const char* role, int attempts, bool* refused)
{
  KeepJackLoaded();
  if (refused) *refused = false;
  OpenClose& state = OpeningAndClosing();
  std::unique_lock<std::mutex> lock(state.mutex);
  auto pause = kFirstRetryPause;
  for (int attempt = 1;; ++attempt)
  {
    // The first open after a client of the process heard its server go frees every client libjack
    // still holds, and closing one of ours afterwards crashed: ours are closed before any open.
    // Only a caller that may wait (see `attempts`) waits for their owners to close them.
    if (!WaitUntilNoneLost(lock, attempts > 1 ? kLostClientsWait : std::chrono::milliseconds(0)))
    {
      std::fprintf(stderr, "%s: a JACK client whose server went away is still open: not opening another\n",
                   role);
      return nullptr;
    }
    const uint64_t heard = lossesHeard.load();
    jack_status_t status{};
    jack_client_t* client = jack_client_open(name.c_str(), JackNoStartServer, &status);
    state.last = std::chrono::steady_clock::now();
    if (client)
    {
      if (refused) *refused = false;
      if (Add(client, heard)) return client;
      std::fprintf(stderr, "%s: too many JACK clients of ours\n", role);
      jack_client_close(client);
      return nullptr;
    }
    const bool running = JackServerAnswers();
    std::fprintf(stderr, "%s: %s (status 0x%x)\n", role,
                 running ? "the JACK server refused the client" : "no JACK server answers", unsigned(status));
    if (!running) return nullptr;
    if (refused) *refused = true;
    if (attempt >= attempts) return nullptr;
    // A loaded server answers late and refuses the client: it is asked again a little later, while
    // our other clients may open and close.
    lock.unlock();
    std::this_thread::sleep_for(pause);
    pause *= 2;
    lock.lock();
  }
}

bool JackServerAnswers()
{
  // Where libjack reaches the server it is given (JACK_DEFAULT_SERVER, else "default"): a socket in
  // /dev/shm named after it and the user. A stopped server's socket may be left behind, but refuses.
  const char* server = std::getenv("JACK_DEFAULT_SERVER");
  std::string name = server && *server ? server : "default";
  std::replace(name.begin(), name.end(), '/', '_');
  std::replace(name.begin(), name.end(), '\\', '_');
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string path = "/dev/shm/jack_" + name + "_" + std::to_string(getuid()) + "_0";
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool answers = connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  close(fd);
  return answers;
}

void CloseJackClient(jack_client_t* client, bool serverGone)
{
  OpenClose& state = OpeningAndClosing();
  std::lock_guard<std::mutex> lock(state.mutex);
  if (!serverGone) std::this_thread::sleep_until(state.last + kSettle);
  jack_client_close(client);
  Remove(client);
  state.last = std::chrono::steady_clock::now();
}

uint64_t JackLossesHeardBefore(jack_client_t* client)
{
  OpenClients& clients = Clients();
  std::lock_guard<std::mutex> lock(clients.mutex);
  if (const OpenClient* entry = Find(clients, client)) return entry->lossesBefore;
  return lossesHeard.load();
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

namespace
{
jack_port_t* PortOf(jack_client_t* client)
{
  OpenClients& clients = Clients();
  std::lock_guard<std::mutex> lock(clients.mutex);
  const OpenClient* entry = Find(clients, client);
  return entry ? entry->port : nullptr;
}

void KeepPort(jack_client_t* client, jack_port_t* port)
{
  OpenClients& clients = Clients();
  std::lock_guard<std::mutex> lock(clients.mutex);
  if (OpenClient* entry = Find(clients, client)) entry->port = port;
}
} // namespace

jack_port_t* OpenJackPort(jack_client_t* client, const std::string& name, unsigned long flags,
                          const char* role)
{
  jack_port_t* port = PortOf(client);
  if (!port)
  {
    // The client has never been active: nothing walks its list of ports.
    port = jack_port_register(client, name.c_str(), JACK_DEFAULT_MIDI_TYPE, flags, 0);
    if (!port)
    {
      std::fprintf(stderr, "%s: cannot create the JACK port \"%s\"\n", role, name.c_str());
      return nullptr;
    }
    KeepPort(client, port);
  }
  else if ((unsigned long)jack_port_flags(port) != flags)
  {
    std::fprintf(stderr, "%s: the JACK client has a port of the other direction\n", role);
    return nullptr;
  }
  else if (name != jack_port_short_name(port) && jack_port_rename(client, port, name.c_str()) != 0)
  {
    // A rename changes the port's name only, not the client's list of ports.
    std::fprintf(stderr, "%s: cannot name the JACK port \"%s\"\n", role, name.c_str());
    return nullptr;
  }
  if (jack_activate(client) == 0) return port;
  std::fprintf(stderr, "%s: the JACK client could not be activated\n", role);
  CloseJackPort(client, port); // a refused activation may leave the client marked active
  return nullptr;
}

void CloseJackPort(jack_client_t* client, jack_port_t* port)
{
  // Deactivating disconnects the port; the port itself stays with the client (see OpenJackPort).
  (void)port;
  jack_deactivate(client);
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

void JackServerWatch::Install(jack_client_t* client)
{
  lossesBefore_ = JackLossesHeardBefore(client);
  jack_on_shutdown(client, &JackServerWatch::Stopped, this);
}

bool JackServerWatch::Gone() const
{
  return gone_.load() || lossesHeard.load() > lossesBefore_;
}

void JackServerWatch::Notify()
{
  if (!gone_.exchange(true)) lossesHeard.fetch_add(1);
  std::lock_guard<std::mutex> lock(mutex_);
  if (handler_) handler_();
}
