// A host may end its process with exit() while a thread of its own still runs the plug-in: what
// the plug-in shares process-wide (its clock among it) must outlive the static destructors.
#include "tests/support/ChildOfThisProgram.h"
#include "tests/support/TempFolder.h"
#include "tools/vsthost/VstHost.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

namespace
{
constexpr const char* kChildVariable = "VELK_PLUGIN_EXIT_CHILD";
std::atomic<long> gBlocks{0};

// Registered before the plug-in is loaded, so it runs after every static destructor of the
// plug-in's: the thread must go on running the plug-in meanwhile.
void WaitForMoreBlocks()
{
  const long from = gBlocks.load();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (gBlocks.load() < from + 20000 && std::chrono::steady_clock::now() < end)
    std::this_thread::yield();
}

[[noreturn]] void RunChild()
{
  std::atexit(WaitForMoreBlocks);
  // Never destroyed: the process ends while its thread still uses it.
  auto* host = new vsthost::VstHost;
  if (!host->Load(VELK_PLUGIN_PATH) || !host->Open(48000.0, 64)) std::_Exit(3);
  const std::vector<uint8_t> project = host->GetChunk(false);
  std::thread(
      [host, project]
      {
        // The audio thread's blocks, with a project recalled now and then as a host's other thread would.
        for (long n = 0;; ++n)
        {
          // The transport starting and stopping: the worker's start and stop jobs run meanwhile.
          host->Transport().playing = (n / 8) % 2 == 0;
          host->ProcessReplacing(64);
          if (n % 16 == 0) host->SetChunk(project, false);
          gBlocks.fetch_add(1);
        }
      })
      .detach();
  while (gBlocks.load() < 100)
    std::this_thread::yield();
  std::exit(0);
}
} // namespace

TEST(PluginExit, ExitWhileAThreadRunsThePluginEndsCleanly)
{
  if (std::getenv(kChildVariable)) RunChild();
  TempFolder folder{"plugin-exit"};
  const int status = RunChildOfThisProgram(
      "PluginExit.*", {{kChildVariable, "1"}, {"VELK_DATA_DIR", folder.Path().string()}});
  ASSERT_NE(status, -1);
  ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal "
                                 << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
