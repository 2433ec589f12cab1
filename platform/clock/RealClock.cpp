#include "platform/clock/RealClock.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

int64_t RealClock::NowNs()
{
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool RealClock::SleepMs(int64_t ms, std::stop_token stop)
{
  if (stop.stop_requested()) return false;
  if (ms <= 0) return true;
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock<std::mutex> lock(mutex);
  // Nothing but the stop token ends this wait early.
  wake.wait_for(lock, stop, std::chrono::milliseconds(ms), [] { return false; });
  return !stop.stop_requested();
}

bool RealClock::SleepUntilNs(int64_t deadlineNs, std::stop_token stop)
{
  if (stop.stop_requested()) return false;
  const std::chrono::steady_clock::time_point deadline{std::chrono::nanoseconds(deadlineNs)};
  if (deadline <= std::chrono::steady_clock::now()) return true;
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock<std::mutex> lock(mutex);
  wake.wait_until(lock, stop, deadline, [] { return false; });
  return !stop.stop_requested();
}
