// A stress case: ports opened and closed again and again on our JACK clients while the server's graph
// keeps changing. libjack's notification thread walks the client's list of ports on every latency
// notice (which a graph change anywhere on the server sends to every active client) without a lock
// that registering or unregistering a port takes, and a walk that began just before the client was
// deactivated goes on after it: a port unregistered then was freed under the walk, and the thread
// crashed (now and then, more often on a loaded machine). Run under scripts/with-jack; without a
// server the test skips, unless VELK_REQUIRE_JACK=1.
#include "platform/midi/JackClient.h"
#include "platform/midi/JackMidiInput.h"
#include "platform/midi/JackMidiOutput.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace
{
std::string UniqueName(const char* role)
{
  static std::atomic<int> next{0};
  return std::string("velk-churn-") + role + "-" + std::to_string(::getpid()) + "-" +
         std::to_string(next.fetch_add(1));
}

int Idle(jack_nframes_t, void*)
{
  return 0;
}

// A client of the test's own whose two ports are connected and disconnected without pause: each
// change reaches the graph at the next cycle and sends every active client a latency notice.
class GraphChurner
{
public:
  bool Start()
  {
    // Opened and closed as ours are, one at a time with them.
    client_ = OpenJackClient(UniqueName("graph"), "churn test");
    if (!client_) return false;
    // Registered before activation: this client's own list of ports never changes while it runs.
    jack_port_t* out = jack_port_register(client_, "out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    jack_port_t* in = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    jack_set_process_callback(client_, &Idle, nullptr);
    if (!out || !in || jack_activate(client_) != 0) return false;
    from_ = jack_port_name(out);
    to_ = jack_port_name(in);
    thread_ = std::thread(
        [this]
        {
          while (!stop_.load())
          {
            jack_connect(client_, from_.c_str(), to_.c_str());
            jack_disconnect(client_, from_.c_str(), to_.c_str());
          }
        });
    return true;
  }

  ~GraphChurner()
  {
    stop_.store(true);
    if (thread_.joinable()) thread_.join();
    if (client_) CloseJackClient(client_, false);
  }

private:
  jack_client_t* client_ = nullptr;
  std::string from_, to_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

bool JackRequired()
{
  const char* value = std::getenv("VELK_REQUIRE_JACK");
  return value && std::string(value) == "1";
}
} // namespace

TEST(JackPortChurn, PortsOpenAndCloseWhileTheGraphChanges)
{
  if (!std::getenv("JACK_DEFAULT_SERVER") && !JackRequired())
    GTEST_SKIP() << "no JACK server (JACK_DEFAULT_SERVER unset); run under scripts/with-jack";
  GraphChurner churner;
  ASSERT_TRUE(churner.Start()) << "no JACK server reachable";

  constexpr int kRounds = 40;
  std::atomic<int> tried{0}, opened{0};
  auto churn = [&](auto open, auto close)
  {
    for (int round = 0; round < kRounds; ++round)
    {
      tried.fetch_add(1);
      if (open()) opened.fetch_add(1);
      close();
    }
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
  {
    threads.emplace_back(
        [&]
        {
          auto output = CreateJackMidiOutput(UniqueName("out"));
          ASSERT_NE(output, nullptr);
          churn([&] { return output->OpenVirtualPort("out"); }, [&] { output->ClosePort(); });
        });
    threads.emplace_back(
        [&]
        {
          auto input = CreateJackMidiInput(UniqueName("in"));
          ASSERT_NE(input, nullptr);
          churn([&] { return input->OpenVirtualPort("in", [](const uint8_t*, size_t) {}); },
                [&] { input->ClosePort(); });
        });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(tried.load(), 8 * kRounds);
  EXPECT_EQ(opened.load(), tried.load());
}
