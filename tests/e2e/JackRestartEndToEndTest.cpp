// The JACK server stops under the link and comes back. The case runs a JACK server of its own (the
// other cases share the one of scripts/with-jack), with the plug-in in the test host and the
// simulated synthesizer as a child process, and needs only jackd; it skips without a JACK server
// unless VELK_REQUIRE_JACK=1.
#include "framework/plugin/ParameterIds.h"
#include "tests/support/EndToEndCase.h"
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
// A private JACK server on the dummy driver, synchronous as scripts/with-jack runs it.
class PrivateJackServer
{
public:
  explicit PrivateJackServer(std::string name)
      : name_(std::move(name)), log_(std::filesystem::temp_directory_path() / (name_ + ".log"))
  {
  }
  ~PrivateJackServer()
  {
    // A killed server leaves its entry in JACK's registry of servers (eight at most, shared by
    // every user of the machine), which only a server of the same name takes back: one is started
    // and stopped as a user stops it, which leaves nothing.
    if (killed_) Start();
    Stop(SIGTERM);
    std::error_code ec;
    std::filesystem::remove(log_, ec);
  }

  bool Start()
  {
    pid_ = fork();
    if (pid_ == 0)
    {
      const int out = open(log_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (out >= 0)
      {
        dup2(out, 1);
        dup2(out, 2);
      }
      setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
      execlp("jackd", "jackd", "-S", "--no-realtime", "-n", name_.c_str(), "-d", "dummy", "-r", "48000", "-p",
             "256", static_cast<char*>(nullptr));
      _exit(127);
    }
    if (pid_ < 0) return false;
    killed_ = false;
    const std::string wait = "jack_wait -s '" + name_ + "' -w -t 20 >/dev/null 2>&1";
    return std::system(wait.c_str()) == 0 && kill(pid_, 0) == 0;
  }

  // SIGKILL as a crash ends it, no client told beforehand; SIGTERM as a user stops it.
  void Stop(int signal)
  {
    if (pid_ <= 0) return;
    kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    killed_ = signal == SIGKILL;
  }

  const std::string& Name() const { return name_; }
  // What the server said, for a failure's message.
  std::string Log() const
  {
    std::ifstream in(log_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

private:
  std::string name_;
  std::filesystem::path log_;
  pid_t pid_ = -1;
  bool killed_ = false;
};

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
    ASSERT_TRUE(StartSimSynth(*sim, simClient, 3, 23, simIn, simOut)) << "the simulated synthesizer did not start";
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
