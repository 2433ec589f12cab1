// The handler that hears of the JACK server going away runs on JACK's notification thread, which
// closing the client cancels at any instruction. Closing follows the notice at once on another
// thread, so the handler must not be cut off half way. The case runs a JACK server of its own and
// kills it; it skips without jackd's server list having room, unless VELK_REQUIRE_JACK=1.
#include "platform/midi/JackClient.h"
#include "tests/support/PrivateJackServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

#include <unistd.h>

using namespace std::chrono_literals;

namespace
{
int Idle(jack_nframes_t, void*)
{
  return 0;
}

// Work that cannot be unwound part way, as the standard library's is in many places.
void BusyFor(std::chrono::milliseconds span) noexcept
{
  const auto end = std::chrono::steady_clock::now() + span;
  volatile unsigned spin = 0;
  while (std::chrono::steady_clock::now() < end)
    spin = spin + 1;
}
} // namespace

TEST(JackServerWatch, AHandlerStillRunningWhenTheClientIsClosedFinishes)
{
  const char* required = std::getenv("VELK_REQUIRE_JACK");
  if (system("command -v jackd >/dev/null 2>&1") != 0)
  {
    if (required && std::string(required) == "1") FAIL() << "jackd is not installed";
    GTEST_SKIP() << "jackd is not installed";
  }
  PrivateJackServer server("velk-watch-" + std::to_string(getpid()));
  if (!server.Start())
  {
    if (server.Log().find("Too many servers") != std::string::npos)
      GTEST_SKIP() << "no room for another JACK server on this machine";
    FAIL() << "jackd did not start:\n" << server.Log();
  }
  const char* shared = std::getenv("JACK_DEFAULT_SERVER");
  const std::string sharedServer = shared ? shared : "";
  setenv("JACK_DEFAULT_SERVER", server.Name().c_str(), 1);

  jack_client_t* client = OpenJackClient("velk-watch", "watch test");
  ASSERT_NE(client, nullptr) << server.Log();
  JackServerWatch watch;
  std::mutex mutex;
  std::condition_variable noticed;
  bool heard = false;
  std::atomic<bool> finished{false};
  watch.SetHandler(
      [&]
      {
        {
          std::lock_guard<std::mutex> lock(mutex);
          heard = true;
        }
        noticed.notify_all();
        BusyFor(300ms);
        finished = true;
      });
  PrepareJackClient(client, &Idle, nullptr, watch);
  ASSERT_EQ(jack_activate(client), 0);
  // Our clients are inactive while they have no port open: such a client hears of the end too.
  jack_client_t* idle = OpenJackClient("velk-watch-idle", "watch test");
  ASSERT_NE(idle, nullptr) << server.Log();
  JackServerWatch idleWatch;
  bool idleHeard = false;
  idleWatch.SetHandler(
      [&]
      {
        {
          std::lock_guard<std::mutex> lock(mutex);
          idleHeard = true;
        }
        noticed.notify_all();
      });
  PrepareJackClient(idle, &Idle, nullptr, idleWatch);

  server.Stop(SIGKILL);
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(noticed.wait_for(lock, 20s, [&] { return heard; })) << "the server's end was not noticed";
  }
  // As the plug-in's port thread does on the notice: the lost client goes at once.
  CloseJackClient(client, true);
  std::this_thread::sleep_for(600ms); // PROBE
  EXPECT_TRUE(watch.Gone());
  EXPECT_TRUE(finished) << "closing the client cut the handler off";
  {
    std::unique_lock<std::mutex> lock(mutex);
    EXPECT_TRUE(noticed.wait_for(lock, 20s, [&] { return idleHeard; }))
        << "an inactive client did not notice the server's end";
  }
  EXPECT_TRUE(idleWatch.Gone());
  CloseJackClient(idle, true);

  if (sharedServer.empty())
    unsetenv("JACK_DEFAULT_SERVER");
  else
    setenv("JACK_DEFAULT_SERVER", sharedServer.c_str(), 1);
}
