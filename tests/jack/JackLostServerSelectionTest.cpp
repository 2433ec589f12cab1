// The JACK server stops while the plug-in's ports are open, and a recalled project selects them again
// before the lost clients were dropped: the selection must close every lost client before it opens a
// new one (libjack frees the clients that lost their server at the next open in the process, and
// closing one of them afterwards crashed). The plug-in's side runs in a child process, so that a crash
// fails the case instead of ending the suite. The case runs JACK servers of its own and needs only
// jackd; it skips when jackd's server list has no room, unless VELK_REQUIRE_JACK=1.
#include "framework/plugin/IMidiPorts.h"
#include "platform/midi/JackMidiInput.h"
#include "platform/midi/JackMidiOutput.h"
#include "platform/midi/MidiBackend.h"
#include "tests/support/PrivateJackServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace
{
// What the child answers through its exit status.
enum ChildResult
{
  kDone = 0,
  kNoDevice = 10,
  kOutputNotOpened,
  kInputNotOpened,
  kNoParent,
  kLossNotHeard,
  kOpenedWithoutServer,
  kLossNotReported,
};

bool ReadByte(int fd)
{
  char byte = 0;
  return read(fd, &byte, 1) == 1;
}

void WriteByte(int fd)
{
  const char byte = 1;
  ssize_t written = write(fd, &byte, 1);
  (void)written;
}

// The plug-in's ports open on a stand-in device; once the parent stopped the server and both clients
// heard it, the ports are selected again as a recall does (output first, then input).
int SelectAcrossTheLoss(const std::string& server, int toParent, int fromParent)
{
  setenv("JACK_DEFAULT_SERVER", server.c_str(), 1);
  setenv("JACK_NO_START_SERVER", "1", 1);
  const std::string device = "velk-lost-device-" + std::to_string(getpid());
  auto deviceOut = CreateJackMidiOutput(device + "-out");
  auto deviceIn = CreateJackMidiInput(device + "-in");
  if (!deviceOut || !deviceIn || !deviceOut->OpenVirtualPort("out") ||
      !deviceIn->OpenVirtualPort("in", [](const uint8_t*, size_t) {}))
    return kNoDevice;

  IMidiPorts ports(CreateRtMidiBackend(RtMidiApiChoice::Jack));
  std::atomic<int> heard{0};
  ports.SetServerGoneListener([&] { heard.fetch_add(1); });
  int index = 1;
  if (ports.SelectMidiOutputPort(index, device + "-in:in") <= 0) return kOutputNotOpened;
  index = 1;
  if (ports.SelectMidiInputPort(index, device + "-out:out") <= 0) return kInputNotOpened;

  WriteByte(toParent);
  if (!ReadByte(fromParent)) return kNoParent;
  const auto giveUp = std::chrono::steady_clock::now() + 20s;
  while (heard.load() < 2 && std::chrono::steady_clock::now() < giveUp)
    std::this_thread::sleep_for(5ms);
  if (heard.load() < 2) return kLossNotHeard;
  // The device's process went with the server.
  deviceOut.reset();
  deviceIn.reset();

  index = 1;
  if (ports.SelectMidiOutputPort(index, device + "-in:in") != 0) return kOpenedWithoutServer;
  index = 1;
  if (ports.SelectMidiInputPort(index, device + "-out:out") != 0) return kOpenedWithoutServer;
  // The selections dropped the lost clients; the port thread still hears of it.
  if (!ports.DropLostClients()) return kLossNotReported;
  ports.Shutdown();
  return kDone;
}
} // namespace

TEST(JackLostServerSelection, SelectingAgainAfterTheServerStoppedClosesTheLostClientsFirst)
{
  const char* required = std::getenv("VELK_REQUIRE_JACK");
  if (system("command -v jackd >/dev/null 2>&1") != 0)
  {
    if (required && std::string(required) == "1") FAIL() << "jackd is not installed";
    GTEST_SKIP() << "jackd is not installed";
  }
  // As a user stops it, and as a crash ends it.
  for (int signal : {SIGTERM, SIGKILL})
  {
    PrivateJackServer server("velk-lost-" + std::to_string(getpid()) + "-" + std::to_string(signal));
    if (!server.Start())
    {
      if (server.Log().find("Too many servers") != std::string::npos)
        GTEST_SKIP() << "no room for another JACK server on this machine";
      FAIL() << "jackd did not start:\n" << server.Log();
    }
    int up[2], down[2];
    ASSERT_EQ(pipe(up), 0);
    ASSERT_EQ(pipe(down), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
      close(up[0]);
      close(down[1]);
      _exit(SelectAcrossTheLoss(server.Name(), up[1], down[0]));
    }
    close(up[1]);
    close(down[0]);
    const bool ready = ReadByte(up[0]);
    if (ready) server.Stop(signal);
    WriteByte(down[1]);
    close(down[1]);
    close(up[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the plug-in's side ended by signal " << WTERMSIG(status)
                                   << " after the server was stopped by signal " << signal;
    EXPECT_EQ(WEXITSTATUS(status), kDone) << "after the server was stopped by signal " << signal << ":\n"
                                          << server.Log();
  }
}
