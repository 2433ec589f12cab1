// libjack's notification thread walks a client's list of ports on every latency notice without a
// lock that registering or unregistering a port takes (a port closed on an active client was freed
// under the walk, which crashed that thread): our clients change their ports only while inactive.
// This executable stands in for the JACK calls that activate, deactivate and close a client and that
// register and unregister a port: each is passed on to libjack, and a port change on a client
// activated and not deactivated since is counted. Run under scripts/with-jack; without a server the
// test skips, unless VELK_REQUIRE_JACK=1.
#include "platform/midi/JackMidiInput.h"
#include "platform/midi/JackMidiOutput.h"

#include <jack/jack.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

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

private:
  std::mutex mutex_;
  std::set<jack_client_t*> active_;
  int changes_ = 0;
  int onActive_ = 0;
};

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

  int jack_client_close(jack_client_t* client)
  {
    static const auto next = Next<int (*)(jack_client_t*)>("jack_client_close");
    const int result = next(client);
    Ledger::Get().Deactivated(client);
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
  const char* required = std::getenv("VELK_REQUIRE_JACK");
  if (!std::getenv("JACK_DEFAULT_SERVER") && !(required && std::string(required) == "1"))
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
}
