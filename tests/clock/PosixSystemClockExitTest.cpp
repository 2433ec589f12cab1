// A host may end its process with exit() while its audio thread still runs a plug-in that reads the
// time: the plug-in's clock must still be there after the static destructors have run.
#include "platform/clock/SystemClock.h"
#include "tests/support/ChildOfThisProgram.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace
{
constexpr const char* kChildVariable = "VELK_CLOCK_EXIT_CHILD";
std::atomic<long> gReads{0};

// Registered before the clock is first used, so it runs after the clock's destructor would have: the
// reading thread must go on reading while the process exits.
void WaitForMoreReads()
{
  const long from = gReads.load();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (gReads.load() < from + 10000 && std::chrono::steady_clock::now() < end)
    std::this_thread::yield();
}

[[noreturn]] void RunChild()
{
  std::atexit(WaitForMoreReads);
  std::thread(
      []
      {
        for (;;)
        {
          volatile int64_t now = SystemClock().NowMs();
          (void)now;
          gReads.fetch_add(1);
        }
      })
      .detach();
  while (gReads.load() < 1000)
    std::this_thread::yield();
  std::exit(0);
}
} // namespace

TEST(SystemClockExit, AThreadReadingTheClockOutlivesTheStaticDestructors)
{
  if (std::getenv(kChildVariable)) RunChild();
  // A fresh process of this program, in which nothing has used the clock yet.
  const int status = RunChildOfThisProgram("SystemClockExit.*", {{kChildVariable, "1"}});
  ASSERT_NE(status, -1);
  ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal "
                                 << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
