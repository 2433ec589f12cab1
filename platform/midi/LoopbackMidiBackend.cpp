#include "platform/midi/LoopbackMidiBackend.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace
{
enum PortKind : unsigned
{
  kSource = 1,
  kDestination = 2,
};

struct Port
{
  std::string name;
  unsigned kind = 0;
  bool unreadable = false;
  int connections = 0;
  std::vector<std::vector<uint8_t>> received;
};

class LoopbackInputClient;

// A library client is not safe for use from two threads at once; the hub counts every time
// one of ours is.
class UseGuard
{
public:
  UseGuard(std::atomic<int>& users, std::atomic<int>& overlaps) : users_(users)
  {
    if (users_.fetch_add(1) > 0) overlaps.fetch_add(1);
  }
  ~UseGuard() { users_.fetch_sub(1); }

private:
  std::atomic<int>& users_;
};
} // namespace

struct LoopbackMidiBackend::Hub
{
  mutable std::mutex mutex; // ports, settings, queue
  mutable std::condition_variable changed;
  std::vector<Port> ports;
  bool failClients = false;
  bool failOpen = false;
  size_t maxMessage = 1 << 20;
  bool holdLong = false; // no room for messages longer than three bytes
  bool full = false;     // no room for any message
  bool holdOpen = false; // output opens block
  int opensHeld = 0;     // output opens blocked now
  int roomRefusals = 0;
  int countQueries = 0;
  std::atomic<int> concurrentUses{0};
  int clientsCreated = 0;
  int clientsAlive = 0;
  std::atomic<int> generation{0}; // advanced each time the server stops
  // Server-gone handlers of the clients: the handler mutex is held while they run, so a client
  // going away waits for its handler.
  std::mutex handlerMutex;
  std::map<const void*, std::function<void()>> goneHandlers;

  void SetGoneHandler(const void* client, std::function<void()> handler)
  {
    std::lock_guard<std::mutex> lock(handlerMutex);
    if (handler)
      goneHandlers[client] = std::move(handler);
    else
      goneHandlers.erase(client);
  }

  void ClientMade()
  {
    ++clientsCreated;
    ++clientsAlive;
  }

  void ClientGone(const void* client)
  {
    SetGoneHandler(client, nullptr);
    std::lock_guard<std::mutex> lock(mutex);
    --clientsAlive;
  }

  // Delivery: messages queued by sources, handed out on the hub's thread. deliverMutex is held
  // while a callback runs, so closing an input waits for a delivery in progress.
  std::deque<std::pair<std::string, std::vector<uint8_t>>> queue;
  size_t inFlight = 0;
  bool stop = false;
  std::thread thread;
  std::mutex deliverMutex;
  std::map<LoopbackInputClient*, std::string> inputs; // open input -> source port name

  ~Hub()
  {
    {
      std::lock_guard<std::mutex> lock(mutex);
      stop = true;
    }
    changed.notify_all();
    if (thread.joinable()) thread.join();
  }

  Port* Find(const std::string& name)
  {
    for (auto& port : ports)
      if (port.name == name) return &port;
    return nullptr;
  }

  // The ports of one kind in listing order.
  std::vector<Port*> Listed(unsigned kind)
  {
    std::vector<Port*> listed;
    for (auto& port : ports)
      if (port.kind & kind) listed.push_back(&port);
    return listed;
  }

  unsigned Count(unsigned kind)
  {
    std::lock_guard<std::mutex> lock(mutex);
    ++countQueries;
    return static_cast<unsigned>(Listed(kind).size());
  }

  bool Name(unsigned kind, unsigned index, std::string& name)
  {
    std::lock_guard<std::mutex> lock(mutex);
    auto listed = Listed(kind);
    if (index >= listed.size() || listed[index]->unreadable) return false;
    name = listed[index]->name;
    return true;
  }

  // Connects to port `index` of a kind; the port's name, or empty when the open fails.
  std::string Connect(unsigned kind, unsigned index)
  {
    std::lock_guard<std::mutex> lock(mutex);
    auto listed = Listed(kind);
    if (failOpen || index >= listed.size()) return {};
    ++listed[index]->connections;
    return listed[index]->name;
  }

  void Disconnect(const std::string& name)
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (Port* port = Find(name)) port->connections = std::max(0, port->connections - 1);
  }

  bool Enqueue(const std::string& source, std::vector<uint8_t> bytes)
  {
    {
      std::lock_guard<std::mutex> lock(mutex);
      Port* port = Find(source);
      if (!port || !(port->kind & kSource)) return false;
      queue.emplace_back(source, std::move(bytes));
      if (!thread.joinable()) thread = std::thread([this] { Run(); });
    }
    changed.notify_all();
    return true;
  }

  void Run();
};

namespace
{
class LoopbackOutputClient final : public MidiOutputClient
{
public:
  explicit LoopbackOutputClient(std::shared_ptr<LoopbackMidiBackend::Hub> hub)
      : hub_(std::move(hub)), generation_(hub_->generation.load())
  {
  }
  ~LoopbackOutputClient() override
  {
    ClosePort();
    hub_->ClientGone(this);
  }

  bool ServerGone() const override { return generation_ != hub_->generation.load(); }
  void SetServerGoneHandler(std::function<void()> handler) override
  {
    hub_->SetGoneHandler(this, std::move(handler));
  }

  unsigned PortCount() override
  {
    UseGuard use(users_, hub_->concurrentUses);
    return hub_->Count(kDestination);
  }
  bool PortName(unsigned port, std::string& name) override
  {
    UseGuard use(users_, hub_->concurrentUses);
    return hub_->Name(kDestination, port, name);
  }

  bool OpenPort(unsigned port, const std::string&) override
  {
    ClosePort();
    UseGuard use(users_, hub_->concurrentUses);
    {
      std::unique_lock<std::mutex> lock(hub_->mutex);
      if (hub_->holdOpen)
      {
        ++hub_->opensHeld;
        hub_->changed.notify_all();
        hub_->changed.wait(lock, [&] { return !hub_->holdOpen; });
        --hub_->opensHeld;
      }
    }
    connected_ = hub_->Connect(kDestination, port);
    return !connected_.empty();
  }

  bool OpenVirtualPort(const std::string&) override { return false; }

  void ClosePort() override
  {
    UseGuard use(users_, hub_->concurrentUses);
    if (!connected_.empty()) hub_->Disconnect(connected_);
    connected_.clear();
  }

  bool IsPortOpen() const override { return !connected_.empty(); }

  bool Send(const uint8_t* bytes, size_t size) override
  {
    UseGuard use(users_, hub_->concurrentUses);
    if (connected_.empty() || !bytes || size == 0 || ServerGone()) return false;
    std::vector<uint8_t> message(bytes, bytes + size);
    bool loop = false;
    {
      std::unique_lock<std::mutex> lock(hub_->mutex);
      hub_->changed.wait(lock, [&] { return !hub_->full && (size <= 3 || !hub_->holdLong); });
      Port* port = hub_->Find(connected_);
      if (!port || size > hub_->maxMessage) return false; // the device went away, or the message does not fit
      port->received.push_back(message);
      loop = (port->kind & kSource) != 0;
    }
    hub_->changed.notify_all();
    if (loop) hub_->Enqueue(connected_, std::move(message));
    return true;
  }

  size_t MaxMessageSize() const override
  {
    std::lock_guard<std::mutex> lock(hub_->mutex);
    return hub_->maxMessage;
  }

  bool RoomFor(size_t size, std::chrono::steady_clock::time_point& retry) override
  {
    std::lock_guard<std::mutex> lock(hub_->mutex);
    if (!hub_->full && (size <= 3 || !hub_->holdLong)) return true;
    ++hub_->roomRefusals;
    retry = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
    return false;
  }

private:
  std::shared_ptr<LoopbackMidiBackend::Hub> hub_;
  const int generation_;
  std::string connected_;
  std::atomic<int> users_{0};
};

class LoopbackInputClient final : public MidiInputClient
{
public:
  explicit LoopbackInputClient(std::shared_ptr<LoopbackMidiBackend::Hub> hub)
      : hub_(std::move(hub)), generation_(hub_->generation.load())
  {
  }
  ~LoopbackInputClient() override
  {
    ClosePort();
    hub_->ClientGone(this);
  }

  bool ServerGone() const override { return generation_ != hub_->generation.load(); }
  void SetServerGoneHandler(std::function<void()> handler) override
  {
    hub_->SetGoneHandler(this, std::move(handler));
  }

  unsigned PortCount() override
  {
    UseGuard use(users_, hub_->concurrentUses);
    return hub_->Count(kSource);
  }
  bool PortName(unsigned port, std::string& name) override
  {
    UseGuard use(users_, hub_->concurrentUses);
    return hub_->Name(kSource, port, name);
  }

  bool OpenPort(unsigned port, const std::string&, MidiInputCallback callback) override
  {
    ClosePort();
    UseGuard use(users_, hub_->concurrentUses);
    const std::string name = hub_->Connect(kSource, port);
    if (name.empty()) return false;
    std::lock_guard<std::mutex> lock(hub_->deliverMutex);
    callback_ = std::move(callback);
    connected_ = name;
    hub_->inputs[this] = name;
    return true;
  }

  bool OpenVirtualPort(const std::string&, MidiInputCallback) override { return false; }

  void ClosePort() override
  {
    UseGuard use(users_, hub_->concurrentUses);
    std::string name;
    {
      std::lock_guard<std::mutex> lock(hub_->deliverMutex);
      hub_->inputs.erase(this);
      name.swap(connected_);
      callback_ = nullptr;
    }
    if (!name.empty()) hub_->Disconnect(name);
  }

  bool IsPortOpen() const override { return !connected_.empty(); }

  // Called on the hub's thread with deliverMutex held.
  void Deliver(const std::vector<uint8_t>& bytes)
  {
    if (callback_ && !ServerGone()) callback_(bytes.data(), bytes.size());
  }

private:
  std::shared_ptr<LoopbackMidiBackend::Hub> hub_;
  const int generation_;
  MidiInputCallback callback_;
  std::string connected_;
  std::atomic<int> users_{0};
};
} // namespace

void LoopbackMidiBackend::Hub::Run()
{
  std::unique_lock<std::mutex> lock(mutex);
  for (;;)
  {
    changed.wait(lock, [this] { return stop || !queue.empty(); });
    if (stop) return;
    auto [source, bytes] = std::move(queue.front());
    queue.pop_front();
    ++inFlight;
    lock.unlock();
    {
      std::lock_guard<std::mutex> deliver(deliverMutex);
      for (auto& [client, port] : inputs)
        if (port == source) client->Deliver(bytes);
    }
    lock.lock();
    --inFlight;
    changed.notify_all();
  }
}

LoopbackMidiBackend::LoopbackMidiBackend() : hub_(std::make_shared<Hub>()) {}

LoopbackMidiBackend::~LoopbackMidiBackend() = default;

std::unique_ptr<MidiOutputClient> LoopbackMidiBackend::CreateOutput(const std::string&)
{
  std::lock_guard<std::mutex> lock(hub_->mutex);
  if (hub_->failClients) return nullptr;
  hub_->ClientMade();
  return std::make_unique<LoopbackOutputClient>(hub_);
}

std::unique_ptr<MidiInputClient> LoopbackMidiBackend::CreateInput(const std::string&)
{
  std::lock_guard<std::mutex> lock(hub_->mutex);
  if (hub_->failClients) return nullptr;
  hub_->ClientMade();
  return std::make_unique<LoopbackInputClient>(hub_);
}

static void AddPort(LoopbackMidiBackend::Hub& hub, const std::string& name, unsigned kind)
{
  std::lock_guard<std::mutex> lock(hub.mutex);
  if (Port* port = hub.Find(name))
    port->kind |= kind;
  else
    hub.ports.push_back(Port{name, kind, false, 0, {}});
}

void LoopbackMidiBackend::AddSourcePort(const std::string& name)
{
  AddPort(*hub_, name, kSource);
}
void LoopbackMidiBackend::AddDestinationPort(const std::string& name)
{
  AddPort(*hub_, name, kDestination);
}
void LoopbackMidiBackend::AddLoopPort(const std::string& name)
{
  AddPort(*hub_, name, kSource | kDestination);
}

void LoopbackMidiBackend::RemovePort(const std::string& name)
{
  std::lock_guard<std::mutex> lock(hub_->mutex);
  auto& ports = hub_->ports;
  ports.erase(std::remove_if(ports.begin(), ports.end(), [&](const Port& p) { return p.name == name; }),
              ports.end());
}

bool LoopbackMidiBackend::Inject(const std::string& source, std::vector<uint8_t> bytes)
{
  return hub_->Enqueue(source, std::move(bytes));
}

void LoopbackMidiBackend::WaitUntilDelivered()
{
  std::unique_lock<std::mutex> lock(hub_->mutex);
  hub_->changed.wait(lock, [this] { return hub_->queue.empty() && hub_->inFlight == 0; });
}

std::vector<std::vector<uint8_t>> LoopbackMidiBackend::Received(const std::string& destination) const
{
  std::lock_guard<std::mutex> lock(hub_->mutex);
  Port* port = hub_->Find(destination);
  return port ? port->received : std::vector<std::vector<uint8_t>>{};
}

bool LoopbackMidiBackend::WaitForReceived(const std::string& destination, size_t count,
                                          std::chrono::milliseconds timeout) const
{
  std::unique_lock<std::mutex> lock(hub_->mutex);
  return hub_->changed.wait_for(lock, timeout,
                                [&]
                                {
                                  Port* port = hub_->Find(destination);
                                  return port && port->received.size() >= count;
                                });
}

void LoopbackMidiBackend::ClearReceived(const std::string& destination)
{
  std::lock_guard<std::mutex> lock(hub_->mutex);
  if (Port* port = hub_->Find(destination)) port->received.clear();
}

int LoopbackMidiBackend::Connections(const std::string& port) const
{
  std::lock_guard<std::mutex> lock(hub_->mutex);
  Port* found = hub_->Find(port);
  return found ? found->connections : 0;
}

int LoopbackMidiBackend::PortCountQueries() const
{
  std::lock_guard<std::mutex> lock(hub_->mutex);
  return hub_->countQueries;
}

int LoopbackMidiBackend::ClientsCreated() const
{
  std::lock_guard<std::mutex> lock(hub_->mutex);
  return hub_->clientsCreated;
}

int LoopbackMidiBackend::ClientsAlive() const
{
  std::lock_guard<std::mutex> lock(hub_->mutex);
  return hub_->clientsAlive;
}

void LoopbackMidiBackend::StopServer()
{
  std::lock_guard<std::mutex> lock(hub_->handlerMutex);
  hub_->generation.fetch_add(1);
  for (auto& [client, handler] : hub_->goneHandlers)
    handler();
  hub_->goneHandlers.clear();
}

int LoopbackMidiBackend::ConcurrentClientUses() const
{
  return hub_->concurrentUses.load();
}

void LoopbackMidiBackend::SetFailClientCreation(bool fail)
{
  std::lock_guard<std::mutex> lock(hub_->mutex);
  hub_->failClients = fail;
}

void LoopbackMidiBackend::SetFailOpen(bool fail)
{
  std::lock_guard<std::mutex> lock(hub_->mutex);
  hub_->failOpen = fail;
}

void LoopbackMidiBackend::SetUnreadablePortName(const std::string& port, bool unreadable)
{
  std::lock_guard<std::mutex> lock(hub_->mutex);
  if (Port* found = hub_->Find(port)) found->unreadable = unreadable;
}

void LoopbackMidiBackend::SetLongMessagesHeld(bool held)
{
  {
    std::lock_guard<std::mutex> lock(hub_->mutex);
    hub_->holdLong = held;
  }
  hub_->changed.notify_all();
}

int LoopbackMidiBackend::RoomRefusals() const
{
  std::lock_guard<std::mutex> lock(hub_->mutex);
  return hub_->roomRefusals;
}

void LoopbackMidiBackend::SetMaxMessageSize(size_t size)
{
  std::lock_guard<std::mutex> lock(hub_->mutex);
  hub_->maxMessage = size;
}

void LoopbackMidiBackend::SetOutputsFull(bool full)
{
  {
    std::lock_guard<std::mutex> lock(hub_->mutex);
    hub_->full = full;
  }
  hub_->changed.notify_all();
}

void LoopbackMidiBackend::SetOutputOpenHeld(bool held)
{
  {
    std::lock_guard<std::mutex> lock(hub_->mutex);
    hub_->holdOpen = held;
  }
  hub_->changed.notify_all();
}

bool LoopbackMidiBackend::WaitForHeldOpen(std::chrono::milliseconds timeout) const
{
  std::unique_lock<std::mutex> lock(hub_->mutex);
  return hub_->changed.wait_for(lock, timeout, [&] { return hub_->opensHeld > 0; });
}
