#include "platform/clock/RealClock.h"
#include "platform/clock/ScaledClock.h"
#include "platform/clock/SystemClock.h"
#include "platform/clock/VirtualClock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace
{
template <class F> std::chrono::milliseconds RealTimeOf(F&& f)
{
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
}
} // namespace

TEST(Clock, RealSleepsLastAndEndAtOnceOnStop)
{
  RealClock clock;
  const int64_t before = clock.NowMs();
  EXPECT_TRUE(clock.SleepMs(20));
  EXPECT_GE(clock.NowMs() - before, 20);
  EXPECT_TRUE(clock.SleepMs(0));
  EXPECT_TRUE(clock.SleepMs(-5));

  std::stop_source stop;
  bool full = true;
  std::thread sleeper([&] { full = clock.SleepMs(60000, stop.get_token()); });
  std::this_thread::sleep_for(20ms); // (the stop works whether or not the sleep has begun)
  const auto woke = RealTimeOf(
      [&]
      {
        stop.request_stop();
        sleeper.join();
      });
  EXPECT_FALSE(full);
  EXPECT_LT(woke, 5s);
  EXPECT_FALSE(clock.SleepMs(10, stop.get_token())); // already stopped: no wait at all
}

TEST(Clock, ScaledClockRunsWaitsFasterAndItsTimeAgrees)
{
  ScaledClock clock(0.01);
  EXPECT_EQ(clock.Factor(), 0.01);
  const int64_t before = clock.NowMs();
  const auto real = RealTimeOf([&] { EXPECT_TRUE(clock.SleepMs(2000)); });
  EXPECT_GE(clock.NowMs() - before, 2000); // never short on its own time
  EXPECT_LT(real, 1500ms);                 // 20 ms of real time, with room for a loaded machine
  std::stop_source stop;
  stop.request_stop();
  EXPECT_FALSE(clock.SleepMs(1000, stop.get_token()));

  EXPECT_EQ(ScaledClock(0.0).Factor(), 1.0);
  EXPECT_EQ(ScaledClock(-2.0).Factor(), 1.0);
  EXPECT_EQ(ScaledClock(2.5).Factor(), 2.5);

  EXPECT_EQ(ClockScaleFromText("0.1"), 0.1);
  EXPECT_EQ(ClockScaleFromText("1e-3"), 0.001);
  EXPECT_EQ(ClockScaleFromText(nullptr), 1.0);
  for (const char* bad : {"", "abc", "0", "-1", "0,5", "0.5x", "inf", "nan"})
    EXPECT_EQ(ClockScaleFromText(bad), 1.0) << bad;
}

TEST(Clock, VirtualTimeMovesOnlyWhenTheTestSays)
{
  VirtualClock clock(5000000);
  EXPECT_EQ(clock.NowMs(), 5);
  clock.SetAutoAdvance(true);
  EXPECT_TRUE(clock.SleepMs(25));
  EXPECT_EQ(clock.NowMs(), 30);
  EXPECT_EQ(clock.NowNs(), 30000000);
  clock.SetAutoAdvance(false);
  EXPECT_TRUE(clock.Advance(70));
  EXPECT_EQ(clock.NowMs(), 100);

  // Two workers pacing themselves: after each Advance their work up to that time is done.
  std::mutex mutex;
  std::vector<std::pair<int, int64_t>> log;
  std::stop_source stop;
  auto worker = [&](int id, int step, int times)
  {
    ClockThreadScope scope(clock);
    for (int i = 0; i < times && clock.SleepMs(step, stop.get_token()); ++i)
    {
      std::lock_guard<std::mutex> lock(mutex);
      log.emplace_back(id, clock.NowMs());
    }
  };
  std::thread a(worker, 1, 30, 3);
  std::thread b(worker, 2, 50, 100);
  ASSERT_TRUE(clock.WaitForSleepers(2));
  ASSERT_TRUE(clock.Advance(99));
  {
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(log, (std::vector<std::pair<int, int64_t>>{{1, 130}, {2, 150}, {1, 160}, {1, 190}}));
  }
  EXPECT_EQ(clock.NowMs(), 199);
  a.join(); // done after three steps
  ASSERT_TRUE(clock.Advance(1));
  {
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(log.back(), (std::pair<int, int64_t>{2, 200}));
    EXPECT_EQ(log.size(), 5u);
  }
  // A stop ends the sleep of a virtual clock as well.
  ASSERT_TRUE(clock.WaitForSleepers(1));
  stop.request_stop();
  b.join();
  EXPECT_EQ(clock.Sleepers(), 0);
  EXPECT_EQ(clock.NowMs(), 200);
}
