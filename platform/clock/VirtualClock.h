#pragma once

#include "platform/clock/Clock.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <set>
#include <mutex>

// A clock for tests: time stands still until the test moves it. Advance wakes the sleepers in the
// order of their deadlines and, after each step, waits until the work they do is done: until
// every woken worker thread (one inside a ClockThreadScope) sleeps again or has left its scope,
// and every other woken thread has returned from its sleep. Those waits are bounded in real time,
// so a test that goes wrong fails instead of hanging.
class VirtualClock final : public Clock
{
public:
  static constexpr std::chrono::milliseconds kSettleBound{10000};

  explicit VirtualClock(int64_t startNs = 0) : mNowNs(startNs) {}

  int64_t NowNs() override { return mNowNs.load(); }
  bool SleepMs(int64_t ms, std::stop_token stop = {}) override;
  void EnterThread() override;
  void LeaveThread() override;

  // With auto-advance on, a sleep moves the time on by its own length and returns at once: for
  // code that the test runs on its own thread.
  void SetAutoAdvance(bool on);

  // Moves the time on by ms (see above). False when the work did not settle within the bound.
  bool Advance(int64_t ms);
  // Waits until at least count threads sleep on the clock and every worker is asleep or gone;
  // false after the bound.
  bool WaitForSleepers(int count, std::chrono::milliseconds bound = kSettleBound);
  int Sleepers();

private:
  bool Settled() const;
  bool SettleLocked(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds bound);

  std::mutex mMutex;
  std::condition_variable_any mChanged;
  std::atomic<int64_t> mNowNs;
  bool mAutoAdvance = false;
  std::multiset<int64_t> mDeadlines; // one deadline per sleeper
  int mRunningWorkers = 0;           // workers awake (doing work)
  int mWaking = 0;                   // sleepers whose deadline came and that have not yet returned
};
