// A host that rescans its plug-ins loads and unloads the library again and again. Each cycle here
// loads the plug-in, lets a recalled project open a JACK client on a JACK server of the test's own,
// and unloads it: the JACK library maps JACK's registry of shared memory once per load of the library
// and never unmaps it, so it stays loaded once used, and the mappings must not grow with the cycles.
// Needs only jackd; skips when jackd's server list has no room.
#include "tests/support/EndToEndRig.h"
#include "tests/support/PrivateJackServer.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace
{
constexpr const char* kNowhere = "velk-unload-jack-nowhere";

std::string ReadText(const std::filesystem::path& path)
{
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Load, recall a project naming an output port (a JACK client is opened to look for it), wait until the
// plug-in has looked, unload. False on a failure.
bool JackCycle(const std::filesystem::path& log)
{
  vsthost::VstHost host;
  if (!host.Load(VELK_PLUGIN_PATH) || !host.Open(48000.0, 256)) return false;
  ProgramChunk chunk;
  if (!chunk.Parse(host.GetChunk(false)) || chunk.names.size() <= size_t(ProgramChunk::kMidiOutputName))
    return false;
  chunk.names[ProgramChunk::kMidiOutputName] = kNowhere;
  if (!host.SetChunk(chunk.Bytes(), false)) return false;
  const std::string looked = std::string("MIDI output \"") + kNowhere + "\" of the project is not present";
  const auto deadline = std::chrono::steady_clock::now() + 30s;
  while (ReadText(log).find(looked) == std::string::npos)
  {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(2ms);
  }
  host.Close();
  return true;
}

// Mappings of JACK's registry of shared memory in this process.
int RegistryMappings()
{
  std::ifstream maps("/proc/self/maps");
  int count = 0;
  for (std::string line; std::getline(maps, line);)
    if (line.find("jack-shm-registry") != std::string::npos) ++count;
  return count;
}
} // namespace

TEST(PluginUnloadJack, ReloadingWithJackClientsMapsTheJackRegistryOnce)
{
  if (system("command -v jackd >/dev/null 2>&1") != 0) GTEST_SKIP() << "jackd is not installed";
  PrivateJackServer server("velk-unload-" + std::to_string(getpid()));
  if (!server.Start())
  {
    if (server.Log().find("Too many servers") != std::string::npos)
      GTEST_SKIP() << "no room for another JACK server on this machine";
    FAIL() << "jackd did not start:\n" << server.Log();
  }
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("velk-unload-jack-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "VELK Editor LOG.txt").close(); // the log says when the ports were looked for

  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0)
  {
    // A fresh process, which has not loaded the JACK library: what the cycles leave is all there is.
    close(pipeFds[0]);
    setenv("VELK_DATA_DIR", dir.c_str(), 1);
    setenv("VELK_MIDI_BACKEND", "jack", 1);
    setenv("JACK_DEFAULT_SERVER", server.Name().c_str(), 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    bool ok = true;
    int first = 0;
    for (int i = 0; i < 8 && ok; ++i)
    {
      ok = JackCycle(dir / "VELK Editor LOG.txt");
      if (i == 0) first = RegistryMappings();
    }
    char line[64];
    const int n = std::snprintf(line, sizeof line, "%d %d %d\n", ok ? 1 : 0, first, RegistryMappings());
    ssize_t written = write(pipeFds[1], line, size_t(n));
    (void)written;
    _exit(0);
  }
  close(pipeFds[1]);
  std::string answer;
  char buffer[64];
  ssize_t n;
  while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0)
    answer.append(buffer, size_t(n));
  close(pipeFds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);

  int ok = 0, first = 0, last = 0;
  ASSERT_EQ(std::sscanf(answer.c_str(), "%d %d %d", &ok, &first, &last), 3) << "the child ended early";
  ASSERT_EQ(ok, 1) << "a load, recall or unload failed:\n" << server.Log();
  EXPECT_GE(first, 1) << "no JACK client was opened: the registry was never mapped";
  EXPECT_EQ(last, first) << "the JACK registry is mapped once more with every load of the plug-in";
}
