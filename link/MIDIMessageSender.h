#pragma once

#include "link/LinkHost.h"

#include <Poco/Runnable.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>

class TransferHost;
class TransferWorker;

// The job record of one worker thread and its dispatcher: the poster writes the job into `job`
// while the thread is idle, the thread runs it. Jobs wait only through Sleep, which ends early on
// a cancel or when the worker goes, so every job can be abandoned at any of its waits.
class MIDIMessageSender : public Poco::Runnable
{
public:
  static constexpr int kLastJobCode = 22;
  static constexpr const char* kNotAvailableText = "This transfer is not available yet";

  MIDIMessageSender(TransferWorker& worker, LinkHost& host, TransferHost& transferHost);

  // The job switch: runs the job in `job` to its end on the calling thread.
  void run() override;

  // ---- for the jobs ----
  // Sleeps ms on the link's clock; false when the job was cancelled or the worker is going.
  bool Sleep(int64_t ms);
  bool Cancelled() const { return cancel.load() != 0; }

  // Raises the cancel flag and ends a running sleep of this record's job.
  void Cancel();
  // Called by the worker thread before and after a job (cancel flag cleared; a fresh stop for
  // its sleeps, which the worker's own stop also ends).
  void BeginJob(std::stop_token workerStop);
  void EndJob();

  LinkJob job;
  std::atomic<uint8_t> failed{0};
  std::atomic<uint8_t> cancel{0};

  // The overlay for as long as a job runs: on at construction, off again on every way out of the
  // job (completed, cancelled, timed out or thrown).
  class BusyScope
  {
  public:
    explicit BusyScope(TransferHost& host);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    TransferHost& mHost;
  };

private:
  // Jobs 3, 8, 13 and 14: the overlay on, then off again; a dump job's busy mark cleared.
  void BusyPulse();
  // A job this build does not carry yet: said plainly instead of silently doing nothing.
  void NotAvailable();

  TransferWorker& mWorker;
  LinkHost& mHost;
  TransferHost& mTransferHost;

  std::mutex mStopMutex; // BeginJob / EndJob against Cancel from another thread
  std::stop_source mJobStop;
  std::optional<std::stop_callback<std::function<void()>>> mWorkerStopLink;
};
