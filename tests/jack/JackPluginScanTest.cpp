// A host's scanner loads the plug-in and may end without closing it. Loading makes no MIDI
// client, so such a scan leaves no dead client on the JACK server: on a synchronous server a
// dead client holds up every cycle, and the next load waited about ten seconds for it. Run under
// scripts/with-jack; without a server the tests skip, unless VELK_REQUIRE_JACK=1.
#include "platform/midi/MidiBackend.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace
{
bool JackRequired()
{
  const char* value = std::getenv("VELK_REQUIRE_JACK");
  return value && std::string(value) == "1";
}

std::string UniqueName(const char* role)
{
  static std::atomic<int> next{0};
  return std::string("velk-") + role + "-" + std::to_string(::getpid()) + "-" +
         std::to_string(next.fetch_add(1));
}

// Whether a client of that name is on the server, asked by a client of our own.
bool ClientPresent(const char* name)
{
  jack_status_t status{};
  jack_client_t* probe = jack_client_open(UniqueName("probe").c_str(), JackNoStartServer, &status);
  if (!probe) return false;
  char* uuid = jack_get_uuid_for_client_name(probe, name);
  const bool present = uuid != nullptr;
  if (uuid) jack_free(uuid);
  jack_client_close(probe);
  return present;
}

class JackPluginScan : public testing::Test
{
protected:
  void SetUp() override
  {
    if (!std::getenv("JACK_DEFAULT_SERVER") && !JackRequired())
      GTEST_SKIP() << "no JACK server (JACK_DEFAULT_SERVER unset); run under scripts/with-jack";
    jack_status_t status{};
    jack_client_t* probe = jack_client_open(UniqueName("probe").c_str(), JackNoStartServer, &status);
    if (!probe)
    {
      if (JackRequired()) FAIL() << "VELK_REQUIRE_JACK=1 but no JACK server is reachable";
      GTEST_SKIP() << "JACK server not reachable";
    }
    jack_client_close(probe);
    dataDir = std::filesystem::temp_directory_path() / UniqueName("scan");
    std::filesystem::create_directories(dataDir);
    setenv("VELK_DATA_DIR", dataDir.c_str(), 1);
    // The plug-in's own back end on this server, whatever the machine's ALSA offers.
    setenv("VELK_MIDI_BACKEND", "jack", 1);
  }

  void TearDown() override
  {
    unsetenv("VELK_MIDI_BACKEND");
    unsetenv("VELK_DATA_DIR");
    std::error_code ec;
    if (!dataDir.empty()) std::filesystem::remove_all(dataDir, ec);
  }

  std::filesystem::path dataDir;
};
} // namespace

TEST_F(JackPluginScan, LoadingThePluginMakesNoJackClient)
{
  vsthost::VstHost host;
  ASSERT_TRUE(host.Load(VELK_PLUGIN_PATH)) << host.LastError();
  ASSERT_TRUE(host.Open(48000.0, 256));
  EXPECT_FALSE(ClientPresent("RtMidi Output Client"));
  EXPECT_FALSE(ClientPresent("RtMidi Input Client"));
  host.Close();
}

// A scan that ends without effClose (the process exits under the loaded plug-in), then a MIDI
// connection on the same server: a message crosses at once, as it does without the scan.
TEST_F(JackPluginScan, AScanEndingWithoutCloseHoldsUpNoLaterLoad)
{
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0)
  {
    vsthost::VstHost host;
    const bool loaded = host.Load(VELK_PLUGIN_PATH) && host.Open(48000.0, 256);
    _exit(loaded ? 0 : 3); // no effClose, no destructors: what a crashing or impatient scanner leaves
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0) << "the scanner could not load the plug-in";

  const auto start = std::chrono::steady_clock::now();
  auto backend = CreateRtMidiBackend(RtMidiApiChoice::Jack);
  const std::string peerName = UniqueName("scan-peer");
  auto peer = backend->CreateInput(peerName);
  ASSERT_NE(peer, nullptr);
  std::atomic<int> arrived{0};
  ASSERT_TRUE(peer->OpenVirtualPort("in", [&](const uint8_t*, size_t) { arrived.fetch_add(1); }));
  auto out = backend->CreateOutput(UniqueName("scan-out"));
  ASSERT_NE(out, nullptr);
  std::string name;
  unsigned port = 0;
  for (; port < out->PortCount(); ++port)
    if (out->PortName(port, name) && name == peerName + ":in") break;
  ASSERT_TRUE(out->OpenPort(port, "out"));
  const uint8_t probe = 0xF6;
  // Probes until one arrives (a connection takes effect a few cycles after it is made); bounded
  // well below the ten seconds a dead client held every cycle up, and far above a loaded machine's
  // few hundred milliseconds.
  while (arrived.load() == 0 && std::chrono::steady_clock::now() - start < 30s)
  {
    out->Send(&probe, 1);
    std::this_thread::sleep_for(20ms);
  }
  const auto took = std::chrono::steady_clock::now() - start;
  ASSERT_GT(arrived.load(), 0) << "nothing crossed the server";
  EXPECT_LT(took, 4s) << "the server was held up for "
                      << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
  out->ClosePort();
  peer->ClosePort();
}
