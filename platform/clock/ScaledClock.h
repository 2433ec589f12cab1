#pragma once

#include "platform/clock/Clock.h"

// The steady clock with time stretched by a factor: every wait lasts factor times its length
// in real time, and the clock's time runs 1 / factor times as fast, so time-outs measured on it
// agree with its waits. A factor of 0.1 runs a transfer's pacing ten times faster.
class ScaledClock final : public Clock
{
public:
  // A factor that is not a positive finite number counts as 1.
  explicit ScaledClock(double factor);

  double Factor() const { return mFactor; }
  int64_t NowNs() override;
  bool SleepMs(int64_t ms, std::stop_token stop = {}) override;

private:
  double mFactor;
  int64_t mStartNs;
};
