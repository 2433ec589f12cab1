#pragma once

#include <cstdint>
#include <stop_token>

// Time for everything that paces or times out MIDI traffic: a monotonic clock and sleeps that a
// stop token ends at once. Real, scaled and virtual clocks share this seam, so that tests of
// time-outs and pacing run in milliseconds and a plug-in being torn down never waits out a sleep.
class Clock
{
public:
  virtual ~Clock() = default;

  // Monotonic time of this clock; only differences mean anything.
  virtual int64_t NowNs() = 0;
  int64_t NowMs() { return NowNs() / 1000000; }

  // Sleeps ms milliseconds of this clock's time. True after the whole wait; false when the stop
  // token ended it (at once when it was already set). A wait of 0 or less returns at once.
  virtual bool SleepMs(int64_t ms, std::stop_token stop = {}) = 0;
  // Sleeps until this clock's time reaches deadlineNs; the same answers as SleepMs. Clocks that
  // cannot wait finer than a millisecond wake at the first whole millisecond at or after it.
  virtual bool SleepUntilNs(int64_t deadlineNs, std::stop_token stop = {})
  {
    const int64_t remaining = deadlineNs - NowNs();
    if (remaining <= 0) return !stop.stop_requested();
    return SleepMs((remaining + 999999) / 1000000, std::move(stop));
  }

  // A thread that does its work between sleeps of this clock (a worker) says so for as long as
  // it runs; the virtual clock then knows when that work is done. The other clocks ignore it.
  virtual void EnterThread() {}
  virtual void LeaveThread() {}
};

// Marks the calling thread as a worker of the clock for the scope's lifetime.
class ClockThreadScope
{
public:
  explicit ClockThreadScope(Clock& clock) : mClock(clock) { mClock.EnterThread(); }
  ~ClockThreadScope() { mClock.LeaveThread(); }
  ClockThreadScope(const ClockThreadScope&) = delete;
  ClockThreadScope& operator=(const ClockThreadScope&) = delete;

private:
  Clock& mClock;
};
