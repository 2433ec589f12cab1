#include "platform/clock/ScaledClock.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>

namespace
{
int64_t SteadyNs()
{
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
} // namespace

ScaledClock::ScaledClock(double factor)
    : mFactor(std::isfinite(factor) && factor > 0.0 ? factor : 1.0), mStartNs(SteadyNs())
{
}

int64_t ScaledClock::NowNs()
{
  return mStartNs + int64_t(double(SteadyNs() - mStartNs) / mFactor);
}

bool ScaledClock::SleepMs(int64_t ms, std::stop_token stop)
{
  if (stop.stop_requested()) return false;
  if (ms <= 0) return true;
  // Wait until this clock's time has moved on by ms, so rounding never makes a wait short.
  const int64_t until = NowNs() + ms * 1000000;
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock<std::mutex> lock(mutex);
  while (!stop.stop_requested())
  {
    const int64_t left = until - NowNs();
    if (left <= 0) break;
    const auto real = std::chrono::nanoseconds(int64_t(std::ceil(double(left) * mFactor)));
    wake.wait_for(lock, stop, real, [] { return false; });
  }
  return !stop.stop_requested();
}
