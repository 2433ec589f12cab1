// Two rules our JACK clients keep because of how libjack works inside:
// - Its notification thread walks a client's list of ports on every latency notice without a lock
//   that registering or unregistering a port takes (a port closed on an active client was freed under
//   the walk, which crashed that thread, and a walk begun just before a deactivation goes on after
//   it): our clients change their ports only before they are first activated.
// - Closing a client cancels its notification thread, and a cancellation while that thread handled
//   the message about another client coming or going left a lock of libjack's taken for good (the
//   process, then the server, waited for ever): a client of ours is closed only some time after our
//   last client was opened or closed.
// This executable stands in for the JACK calls that open, activate, deactivate and close a client and
// that register and unregister a port: each is passed on to libjack and recorded (and an open may be
// refused on purpose, see JackOpenRefusals.h). Run under
// scripts/with-jack; without a server the tests skip, unless VELK_REQUIRE_JACK=1.
#include "platform/midi/JackMidiInput.h"
#include "platform/midi/JackMidiOutput.h"
#include "tests/jack/JackOpenRefusals.h"

#include <jack/jack.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

namespace
{
class Ledger
{
public:
  static Ledger& Get()
  {
    static Ledger* ledger = new Ledger; // never destroyed: a client may still be closed at exit
    return *ledger;
  }

  void Activated(jack_client_t* client)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    active_.insert(client);
    everActive_.insert(client);
  }
  void Deactivated(jack_client_t* client)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    active_.erase(client);
  }
  void PortChanged(jack_client_t* client)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++changes_;
    if (active_.count(client)) ++onActive_;
    if (everActive_.count(client)) ++onOnceActive_;
  }
  // A closed client's address may be given to a new one.
  void Closed(jack_client_t* client)
  {
    std::lock_guard<std::mutex> lock(mutex_);
    active_.erase(client);
    everActive_.erase(client);
  }
  int OnOnceActive()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return onOnceActive_;
  }
  int Changes()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return changes_;
  }
  int OnActive()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return onActive_;
  }

  // When a client was opened or closed, and the shortest time from that to the start of a close.
  void OpenedOrClosed()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last_ = Clock::now();
  }
  void Closing()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++closes_;
    if (last_ != Clock::time_point{}) shortest_ = std::min(shortest_, Clock::now() - last_);
  }
  int Closes()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return closes_;
  }
  std::chrono::milliseconds ShortestBeforeAClose()
  {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::chrono::duration_cast<std::chrono::milliseconds>(shortest_);
  }

private:
  using Clock = std::chrono::steady_clock;
  std::mutex mutex_;
  std::set<jack_client_t*> active_;
  std::set<jack_client_t*> everActive_;
  int changes_ = 0;
  int onActive_ = 0;
  int onOnceActive_ = 0;
  Clock::time_point last_{};
  Clock::duration shortest_ = Clock::duration::max();
  int closes_ = 0;
};

bool SkipWithoutJack()
{
  const char* required = std::getenv("VELK_REQUIRE_JACK");
  return !std::getenv("JACK_DEFAULT_SERVER") && !(required && std::string(required) == "1");
}

template <class Function> Function Next(const char* name)
{
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

std::string UniqueName(const char* role)
{
  static std::atomic<int> next{0};
  return std::string("velk-rule-") + role + "-" + std::to_string(::getpid()) + "-" +
         std::to_string(next.fetch_add(1));
}

// The index under which a lister names the port, or -1.
template <class Lister> int IndexOf(Lister& lister, const std::string& wanted)
{
  for (unsigned port = 0; port < lister.PortCount(); ++port)
  {
    std::string name;
    if (lister.PortName(port, name) && name == wanted) return int(port);
  }
  return -1;
}
} // namespace

std::atomic<int> gJackOpensToRefuse{0};

extern "C"
{
  int jack_activate(jack_client_t* client)
  {
    static const auto next = Next<int (*)(jack_client_t*)>("jack_activate");
    Ledger::Get().Activated(client); // libjack marks the client active before it asks the server
    return next(client);
  }

  int jack_deactivate(jack_client_t* client)
  {
    static const auto next = Next<int (*)(jack_client_t*)>("jack_deactivate");
    const int result = next(client);
    Ledger::Get().Deactivated(client);
    return result;
  }

  // Our clients pass no variable arguments (no server name).
  jack_client_t* jack_client_open(const char* name, jack_options_t options, jack_status_t* status, ...)
  {
    static const auto next =
        Next<jack_client_t* (*)(const char*, jack_options_t, jack_status_t*, ...)>("jack_client_open");
    for (int left = gJackOpensToRefuse.load(); left > 0;)
      if (gJackOpensToRefuse.compare_exchange_weak(left, left - 1))
      {
        if (status) *status = jack_status_t(JackFailure | JackServerError);
        return nullptr;
      }
    jack_client_t* client = next(name, options, status);
    Ledger::Get().OpenedOrClosed();
    return client;
  }

  int jack_client_close(jack_client_t* client)
  {
    static const auto next = Next<int (*)(jack_client_t*)>("jack_client_close");
    Ledger::Get().Closing();
    const int result = next(client);
    Ledger::Get().Closed(client);
    Ledger::Get().OpenedOrClosed();
    return result;
  }

  jack_port_t* jack_port_register(jack_client_t* client, const char* name, const char* type,
                                  unsigned long flags, unsigned long bufferSize)
  {
    static const auto next =
        Next<jack_port_t* (*)(jack_client_t*, const char*, const char*, unsigned long, unsigned long)>(
            "jack_port_register");
    Ledger::Get().PortChanged(client);
    return next(client, name, type, flags, bufferSize);
  }

  int jack_port_unregister(jack_client_t* client, jack_port_t* port)
  {
    static const auto next = Next<int (*)(jack_client_t*, jack_port_t*)>("jack_port_unregister");
    Ledger::Get().PortChanged(client);
    return next(client, port);
  }
}

TEST(JackPortRule, PortsChangeOnlyWhileTheClientIsInactive)
{
  if (SkipWithoutJack())
    GTEST_SKIP() << "no JACK server (JACK_DEFAULT_SERVER unset); run under scripts/with-jack";

  // A stand-in device with a port each way, and our two clients opening, reopening and closing
  // ports connected to it; each client ends once with its port closed and once with it open.
  const std::string deviceOut = UniqueName("device-out"), deviceIn = UniqueName("device-in");
  auto deviceOutput = CreateJackMidiOutput(deviceOut);
  auto deviceInput = CreateJackMidiInput(deviceIn);
  ASSERT_TRUE(deviceOutput && deviceInput) << "no JACK server reachable";
  ASSERT_TRUE(deviceOutput->OpenVirtualPort("out"));
  ASSERT_TRUE(deviceInput->OpenVirtualPort("in", [](const uint8_t*, size_t) {}));

  for (int round = 0; round < 2; ++round)
  {
    auto input = CreateJackMidiInput(UniqueName("in"));
    auto output = CreateJackMidiOutput(UniqueName("out"));
    ASSERT_TRUE(input && output);
    const int from = IndexOf(*input, deviceOut + ":out"), to = IndexOf(*output, deviceIn + ":in");
    ASSERT_GE(from, 0);
    ASSERT_GE(to, 0);
    for (int open = 0; open < 2; ++open)
    {
      EXPECT_TRUE(input->OpenPort(unsigned(from), "in", [](const uint8_t*, size_t) {}));
      EXPECT_TRUE(output->OpenPort(unsigned(to), "out"));
    }
    if (round == 0)
    {
      input->ClosePort();
      output->ClosePort();
    }
  }
  deviceOutput->ClosePort();
  deviceInput->ClosePort();

  EXPECT_GT(Ledger::Get().Changes(), 0) << "the JACK calls did not pass through this test's stand-ins";
  EXPECT_EQ(Ledger::Get().OnActive(), 0) << "ports registered or unregistered on an active client";
  // A walk of the port list that began while the client was active may still run after it was
  // deactivated: a client's ports change only before it is first activated.
  EXPECT_EQ(Ledger::Get().OnOnceActive(), 0) << "ports registered or unregistered on a client once active";
}

TEST(JackPortRule, AClientClosesOnlyAfterTheLastOpenOrCloseHadTimeToBeHeard)
{
  if (SkipWithoutJack())
    GTEST_SKIP() << "no JACK server (JACK_DEFAULT_SERVER unset); run under scripts/with-jack";

  const int closedBefore = Ledger::Get().Closes();
  // As a plug-in ends (its two clients, one with its port open, closed one after the other), as a port
  // list is read (two clients opened and closed at once), and from several threads at once.
  {
    auto input = CreateJackMidiInput(UniqueName("in"));
    auto output = CreateJackMidiOutput(UniqueName("out"));
    ASSERT_TRUE(input && output) << "no JACK server reachable";
    ASSERT_TRUE(input->OpenVirtualPort("in", [](const uint8_t*, size_t) {}));
  }
  {
    auto input = CreateJackMidiInput(UniqueName("list-in"));
    auto output = CreateJackMidiOutput(UniqueName("list-out"));
    ASSERT_TRUE(input && output);
  }
  std::vector<std::thread> threads;
  for (int i = 0; i < 3; ++i)
    threads.emplace_back([] { CreateJackMidiOutput(UniqueName("thread-out")); });
  for (std::thread& thread : threads)
    thread.join();

  EXPECT_EQ(Ledger::Get().Closes() - closedBefore, 7)
      << "the JACK calls did not pass through this test's stand-ins";
  EXPECT_GE(Ledger::Get().ShortestBeforeAClose().count(), 100)
      << "a client was closed right after another was opened or closed";
}
