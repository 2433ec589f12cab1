// The JACK server stops under the link and comes back. The case runs a JACK server of its own (the
// other cases share the one of scripts/with-jack), with the plug-in in the test host and the
// simulated synthesizer as a child process, and needs only jackd; it skips without a JACK server
// unless VELK_REQUIRE_JACK=1.
#include "framework/plugin/ParameterIds.h"
#include "tests/support/EndToEndCase.h"
#include "tests/support/PrivateJackServer.h"
#include "tests/support/SimSynthProcess.h"
#include "tools/simsynth/SimSynth.h"
#include "tools/simsynth/SimSysEx.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace
{
class JackRestartEndToEnd : public ::testing::Test
{
protected:
  void SetUp() override
  {
    if (!HaveJack() && !EndToEndEnvIsOne("VELK_REQUIRE_JACK"))
      GTEST_SKIP() << "no JACK (JACK_DEFAULT_SERVER unset); run under scripts/with-jack";
    const std::string unique = UniqueClientName("restart");
    const char* shared = std::getenv("JACK_DEFAULT_SERVER");
    sharedServer = shared ? shared : "";
    server = std::make_unique<PrivateJackServer>("velk-" + unique);
    if (!server->Start())
    {
      // JACK keeps one registry of at most eight servers for the whole machine.
      if (server->Log().find("Too many servers") != std::string::npos)
        GTEST_SKIP() << "no room for another JACK server on this machine";
      FAIL() << "jackd did not start:\n" << server->Log();
    }
    setenv("JACK_DEFAULT_SERVER", server->Name().c_str(), 1);
    setenv("VELK_MIDI_BACKEND", "jack", 1);
    simClient = "velk-sim-" + unique;
    dataFolder = ScaledClockAndDataFolder("restart");
    // The diagnostic log (written because its file exists) says what the plug-in saw.
    std::ofstream(*dataFolder / "VELK Editor LOG.txt").close();

    ASSERT_NO_FATAL_FAILURE(StartSimulator());
    ASSERT_TRUE(host.Load(VELK_PLUGIN_PATH)) << host.LastError();
    ASSERT_TRUE(host.Open(48000.0, kBlock));
  }

  void TearDown() override
  {
    host.Close();
    StopSimulator();
    server.reset();
    if (sharedServer.empty())
      unsetenv("JACK_DEFAULT_SERVER");
    else
      setenv("JACK_DEFAULT_SERVER", sharedServer.c_str(), 1);
    unsetenv("VELK_MIDI_BACKEND");
    unsetenv("VELK_DATA_DIR");
    dataFolder.reset();
  }

  // The simulator under the same client name each time, so its ports keep the names the project holds.
  void StartSimulator()
  {
    sim = std::make_unique<SimSynthProcess>();
    ASSERT_TRUE(StartSimSynth(*sim, simClient, 3, 23, simIn, simOut))
        << "the simulated synthesizer did not start";
  }

  void StopSimulator()
  {
    if (!sim) return;
    sim->WriteLine("QUIT");
    sim->Finish(5s);
    sim.reset();
  }

  std::vector<std::string> SimLog() { return SimAnswerLines(*sim, "LOG"); }

  std::string PluginLog()
  {
    std::ifstream in(*dataFolder / "VELK Editor LOG.txt");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Runs audio blocks until the condition holds, or the bound passes.
  bool ProcessUntil(const std::function<bool()>& done, std::chrono::milliseconds bound = 30s)
  {
    return ProcessBlocksUntil(host, kBlock, done, bound);
  }

  // After the recall the handshake finds the synthesizer (it answers the device-id request with its
  // globals); a controller from the host passes on once it is over. The next probe goes out only
  // while none has arrived.
  bool WaitForLink()
  {
    const std::string answer = "OUT " + SimHex(SimSynth(3, 23).Globals()[1]);
    return ProcessUntil(
        [&]
        {
          const std::vector<std::string> log = SimLog();
          if (FirstIndexOf(log, "IN B0 07 64", FirstIndexOf(log, answer)) < log.size()) return true;
          host.QueueMidi(0, 0xB0, 7, 100);
          return false;
        });
  }

  static constexpr int kBlock = 256;
  static constexpr const char* kEditBufferRequest = "IN F0 00 20 29 01 24 03 08 F7";
  std::string sharedServer;
  std::unique_ptr<PrivateJackServer> server;
  std::unique_ptr<TempFolder> dataFolder;
  std::string simClient, simIn, simOut;
  std::unique_ptr<SimSynthProcess> sim;
  vsthost::VstHost host;
};
} // namespace

// The server stops while the synthesizer's part is being requested: the plug-in drops its lost
// clients and says so; once the server is back, recalling the project makes new clients and the
// link comes back with its handshake.
TEST_F(JackRestartEndToEnd, TheLinkComesBackAfterTheServerRestarts)
{
  ProgramChunk chunk;
  ASSERT_TRUE(ChunkWithPorts(host, simIn, simOut, chunk));
  chunk.SetValue(kMIDIFilterDirectToHardware, 1.0);
  chunk.SetValue(kMIDIFilterToDAWBuffer, 0.0);
  chunk.SetValue(kPartProgramChange, 1.0); // part 1 follows program changes from the host
  chunk.SetValue(kControlLibrary, 0.0);
  chunk.SetValue(kGlobalMidiChannel, 3.0);
  ASSERT_GE(chunk.tail.size(), 4u);
  chunk.tail[0] = 3;
  ASSERT_TRUE(host.SetChunk(chunk.Bytes(), false));
  ASSERT_TRUE(WaitForLink()) << "nothing reached the synthesizer's port \"" << simIn << "\"";

  // A transfer under way: the part's edit buffer is asked for, and the server goes.
  host.QueueMidi(0, 0xC0, 5, 0);
  ASSERT_TRUE(ProcessUntil([&] { return FirstIndexOf(SimLog(), kEditBufferRequest) < SimLog().size(); }))
      << "the synthesizer was not asked for the part";
  server->Stop(SIGKILL);
  ASSERT_TRUE(ProcessUntil([&] { return PluginLog().find("The MIDI server stopped") != std::string::npos; }))
      << "the plug-in did not see the server go:\n"
      << PluginLog();
  StopSimulator();

  // The server comes back under its name, and the synthesizer with it; the project is recalled again.
  ASSERT_TRUE(server->Start()) << "jackd did not start again:\n" << server->Log();
  ASSERT_NO_FATAL_FAILURE(StartSimulator());
  ASSERT_TRUE(host.SetChunk(chunk.Bytes(), false));
  EXPECT_TRUE(WaitForLink()) << "the link did not come back:\n" << PluginLog();

  // Closing is prompt after all this.
  const auto start = std::chrono::steady_clock::now();
  host.Close();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}
