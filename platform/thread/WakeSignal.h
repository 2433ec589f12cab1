#pragma once

#include <chrono>
#include <memory>

// Wakes a waiting thread: each Post lets one wait return, and posts made while nobody waits are kept
// (counted). Post never blocks, so a MIDI driver's callback may call it. On Windows it is the
// system's semaphore: the C++ library's there can miss a release.
class WakeSignal
{
public:
  WakeSignal();
  ~WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  void Post();
  // True when it took a post, false when the time ran out first.
  bool WaitFor(std::chrono::milliseconds timeout);
  void Wait();

private:
  struct State;
  std::unique_ptr<State> mState;
};
