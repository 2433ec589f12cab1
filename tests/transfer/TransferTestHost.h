#pragma once

// The link's host double with the transfer side: the dump plug-in the parsers write, recorded
// overlay switches and views, and a gate that holds a job on its thread for as long as a test
// needs the thread busy.

#include "link/dumps/DumpResult.h"
#include "link/host/TransferHost.h"
#include "link/transfer/TransferWorker.h"
#include "tests/link/LinkHostDouble.h"
#include "tests/support/DumpTestPlug.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Opened once; every wait after that returns at once.
class Gate
{
public:
  void Open()
  {
    std::lock_guard<std::mutex> lock(mMutex);
    mOpen = true;
    mChanged.notify_all();
  }
  void Wait()
  {
    std::unique_lock<std::mutex> lock(mMutex);
    mChanged.wait(lock, [&] { return mOpen; });
  }

private:
  std::mutex mMutex;
  std::condition_variable mChanged;
  bool mOpen = false;
};

class TransferTestHost : public LinkHostDouble, public TransferHost
{
public:
  IEffectBase& DumpPlug() override { return plug; }
  DumpContext CurrentDumpContext() override { return context; }
  void ShowTransferOverlay(bool on) override
  {
    {
      std::lock_guard<std::mutex> lock(mutex);
      busyEvents.push_back(on);
    }
    if (on && onBusy) onBusy();
  }
  void SetPartTexts(const std::string& info, const std::string& progress) override
  {
    std::lock_guard<std::mutex> lock(mutex);
    partTexts.emplace_back(info, progress);
  }
  void LibrarianSlotReceived() override { ++slotsReceived; }
  void RefreshMainView() override { ++mainViewRefreshes; }
  void FinishReceive() override { ++receptionsFinished; }
  void StoreProjectName(int slot, const std::string& name) override
  {
    std::lock_guard<std::mutex> lock(mutex);
    projectNames.emplace_back(slot, name);
  }
  std::vector<std::pair<int, std::string>> ProjectNames()
  {
    std::lock_guard<std::mutex> lock(mutex);
    return projectNames;
  }

  std::vector<bool> BusyEvents()
  {
    std::lock_guard<std::mutex> lock(mutex);
    return busyEvents;
  }
  std::vector<std::string> StatusTexts()
  {
    std::lock_guard<std::mutex> lock(mutex);
    return statusTexts;
  }

  DumpTestPlug plug;
  DumpContext context;
  // Runs on the job's thread when a job switches the overlay on.
  std::function<void()> onBusy;
  std::vector<bool> busyEvents;
  std::vector<std::pair<std::string, std::string>> partTexts;
  std::vector<std::pair<int, std::string>> projectNames;
  std::atomic<int> slotsReceived{0}, mainViewRefreshes{0}, receptionsFinished{0};
};

// Waits, in real time with a bound, until the lane has finished its job.
inline bool WaitLaneIdle(TransferWorker& worker, TransferWorker::Lane lane)
{
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!worker.LaneIdle(lane))
  {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::yield();
  }
  return true;
}

// What a request sets when it is posted is cleared again when its wait for the answer times out,
// at once on the auto-advancing clock: the test holds the clock still while it looks, then lets it
// run (the sleeping job wakes, and its later waits pass at once).
inline void HoldTheClock(TransferTestHost& host)
{
  host.clock.SetAutoAdvance(false);
}

inline void ReleaseTheClock(TransferTestHost& host)
{
  host.clock.SetAutoAdvance(true);
  host.clock.Advance(600000);
}

// Live threads of this process, once the count has settled: a thread just joined can still be
// listed for a moment after its join returns, and counting it would fail a test at random.
inline int ThreadCount()
{
  // A sanitizer runtime starts a thread of its own after the first thread is made: make one first,
  // so that count is the same before and after the threads under test.
  static const bool warmed = []
  {
    std::thread([] {}).join();
    return true;
  }();
  (void)warmed;
  const auto count = []
  {
    int n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/self/task", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
      ++n;
    return n;
  };
  // The same count for 50 ms running, within two seconds.
  int last = count(), same = 0;
  for (int i = 0; i < 200 && same < 5; ++i)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const int now = count();
    same = now == last ? same + 1 : 0;
    last = now;
  }
  return last;
}
