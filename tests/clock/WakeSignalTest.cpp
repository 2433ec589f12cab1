#include "platform/thread/WakeSignal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

// Posts made before a wait are kept, one wait each; with none left a wait times out.
TEST(WakeSignal, PostsAreCountedAndEachWakesOneWait)
{
  WakeSignal signal;
  EXPECT_FALSE(signal.WaitFor(0ms));
  signal.Post();
  signal.Post();
  EXPECT_TRUE(signal.WaitFor(0ms));
  EXPECT_TRUE(signal.WaitFor(0ms));
  EXPECT_FALSE(signal.WaitFor(20ms));

  // Posts from two threads while a third takes them: none lost, none extra.
  constexpr int kEach = 5000;
  std::vector<std::thread> posters;
  for (int t = 0; t < 2; ++t)
    posters.emplace_back(
        [&]
        {
          for (int i = 0; i < kEach; ++i)
            signal.Post();
        });
  int taken = 0;
  while (taken < 2 * kEach && signal.WaitFor(10s))
    ++taken;
  for (std::thread& t : posters)
    t.join();
  EXPECT_EQ(taken, 2 * kEach);
  EXPECT_FALSE(signal.WaitFor(0ms));
}

// A thread asleep in a long wait wakes at the post, not at its time-out (a release the waiter missed
// would keep it asleep for the whole wait), again and again.
TEST(WakeSignal, APostWakesASleepingWaiter)
{
  WakeSignal request, done;
  std::atomic<int> woken{0};
  std::thread waiter(
      [&]
      {
        for (int round = 0; round < 20; ++round)
        {
          if (!request.WaitFor(20s)) return;
          ++woken;
          done.Post();
        }
      });
  for (int round = 0; round < 20; ++round)
  {
    std::this_thread::sleep_for(2ms); // the waiter is asleep again by now, mostly
    request.Post();
    ASSERT_TRUE(done.WaitFor(20s)) << "round " << round;
  }
  waiter.join();
  EXPECT_EQ(woken.load(), 20);
}
