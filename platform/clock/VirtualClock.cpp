#include "platform/clock/VirtualClock.h"

namespace
{
// The clock the calling thread works for, when it is a worker.
thread_local const VirtualClock* tWorkerOf = nullptr;
} // namespace

bool VirtualClock::SleepMs(int64_t ms, std::stop_token stop)
{
  std::unique_lock<std::mutex> lock(mMutex);
  if (stop.stop_requested()) return false;
  if (ms <= 0) return true;
  if (mAutoAdvance)
  {
    mNowNs += ms * 1000000;
    mChanged.notify_all();
    return true;
  }
  const bool worker = tWorkerOf == this;
  const int64_t deadline = mNowNs.load() + ms * 1000000;
  const auto entry = mDeadlines.insert(deadline);
  if (worker) --mRunningWorkers;
  mChanged.notify_all();
  mChanged.wait(lock, stop, [&] { return mNowNs.load() >= deadline; });
  const bool woken = mNowNs.load() >= deadline;
  mDeadlines.erase(entry);
  if (woken) --mWaking;
  if (worker) ++mRunningWorkers;
  mChanged.notify_all();
  return woken;
}

void VirtualClock::EnterThread()
{
  std::lock_guard<std::mutex> lock(mMutex);
  tWorkerOf = this;
  ++mRunningWorkers;
}

void VirtualClock::LeaveThread()
{
  std::lock_guard<std::mutex> lock(mMutex);
  if (tWorkerOf != this) return;
  tWorkerOf = nullptr;
  --mRunningWorkers;
  mChanged.notify_all();
}

void VirtualClock::SetAutoAdvance(bool on)
{
  std::lock_guard<std::mutex> lock(mMutex);
  mAutoAdvance = on;
}

bool VirtualClock::Settled() const
{
  if (mRunningWorkers > 0 || mWaking > 0) return false;
  // A sleeper whose deadline has come is still on its way out.
  return mDeadlines.empty() || *mDeadlines.begin() > mNowNs.load();
}

bool VirtualClock::SettleLocked(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds bound)
{
  return mChanged.wait_for(lock, bound, [&] { return Settled(); });
}

bool VirtualClock::Advance(int64_t ms)
{
  std::unique_lock<std::mutex> lock(mMutex);
  const int64_t target = mNowNs.load() + (ms > 0 ? ms * 1000000 : 0);
  for (;;)
  {
    if (!SettleLocked(lock, kSettleBound)) return false;
    // The next deadline within reach, or the target.
    int64_t next = target;
    if (!mDeadlines.empty() && *mDeadlines.begin() < target) next = *mDeadlines.begin();
    if (next > mNowNs.load()) mNowNs = next;
    int due = 0;
    for (auto it = mDeadlines.begin(); it != mDeadlines.end() && *it <= next; ++it)
      ++due;
    mWaking = due;
    mChanged.notify_all();
    if (next >= target && due == 0) return true;
  }
}

bool VirtualClock::WaitForSleepers(int count, std::chrono::milliseconds bound)
{
  std::unique_lock<std::mutex> lock(mMutex);
  return mChanged.wait_for(lock, bound,
                           [&] { return int(mDeadlines.size()) >= count && mRunningWorkers <= 0; });
}

int VirtualClock::Sleepers()
{
  std::lock_guard<std::mutex> lock(mMutex);
  return int(mDeadlines.size());
}
