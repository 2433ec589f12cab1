// Posting onto the worker's three threads, the job switch, cancel and teardown, on the virtual
// clock: a job held at its overlay switch keeps its thread busy for as long as a test needs.
#include "tests/transfer/TransferTestHost.h"

#include "librarian/PatchLibrarian.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <stdexcept>
#include <thread>

namespace
{
LinkJob JobOf(LinkJobCode code, int partOrSlot = 0)
{
  LinkJob job;
  job.code = code;
  job.partOrSlot = partOrSlot;
  return job;
}
} // namespace

TEST(TransferWorker, APostToABusyThreadIsRefusedAndLeavesEverythingAsItWas)
{
  TransferTestHost host;
  PatchLibrarian librarian;
  host.librarian = &librarian;
  Gate release;
  std::atomic<int> held{0};
  host.onBusy = [&]
  {
    ++held;
    release.Wait();
  };
  TransferWorker worker(host, host);

  EXPECT_TRUE(worker.LaneIdle(TransferWorker::kJobsLane));
  ASSERT_TRUE(worker.PostBusyPulse());
  EXPECT_EQ(worker.sendBusy.load(), 1);
  while (held.load() == 0)
    std::this_thread::yield();
  EXPECT_FALSE(worker.LaneIdle(TransferWorker::kJobsLane));

  // Every poster of the jobs thread is refused, and the refused ones change nothing: a bank
  // request does not clear and arm the record that the running job may be filling.
  EXPECT_FALSE(worker.Post(JobOf(LinkJobCode::kRequestPartProgram, 2)));
  EXPECT_FALSE(worker.RequestCurrentProgram(1, true));
  EXPECT_EQ(worker.editBufferReceive.load(), 0);
  EXPECT_FALSE(worker.RequestProgramBank(3));
  EXPECT_FALSE(worker.RecordArmed(DumpKind::Program));
  EXPECT_FALSE(worker.RequestPatternBank());
  EXPECT_FALSE(worker.RecordArmed(DumpKind::Pattern));
  EXPECT_FALSE(worker.RequestPerformanceToLibrarian(0));
  EXPECT_FALSE(worker.RecordArmed(DumpKind::Performance));
  EXPECT_FALSE(worker.RequestPattern(9, true));
  EXPECT_EQ(worker.Sender(TransferWorker::kJobsLane).job.code, LinkJobCode::kBusyPulse);

  // The other two threads are free meanwhile.
  EXPECT_TRUE(worker.Post(JobOf(LinkJobCode::kTransportStart)));
  EXPECT_TRUE(WaitLaneIdle(worker, TransferWorker::kTransportLane));
  EXPECT_TRUE(worker.Post(JobOf(LinkJobCode::kMidiClock)));
  EXPECT_TRUE(WaitLaneIdle(worker, TransferWorker::kClockLane));

  release.Open();
  ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
  EXPECT_EQ(host.BusyEvents(), (std::vector<bool>{true, false}));
  EXPECT_EQ(worker.sendBusy.load(), 0);

  // Free again: the bank request arms its record under the receive target slot.
  // (The job, held at its start, would arm again for the mode it finds.)
  librarian.receiveTargetSlot = 17;
  Gate start;
  host.onBusy = [&] { start.Wait(); };
  ASSERT_TRUE(worker.RequestPerformanceToLibrarian(2));
  EXPECT_TRUE(worker.RecordArmed(DumpKind::Performance));
  EXPECT_EQ(worker.RecordSlot(DumpKind::Performance).number, 17u);
  start.Open();
  EXPECT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
}

TEST(TransferWorker, TheJobSwitchRunsEachCodeAndClearsAPendingRequestOnItsEnd)
{
  TransferTestHost host;
  TransferWorker worker(host, host);

  // Busy pulses: the overlay on and off again.
  for (LinkJobCode code :
       {LinkJobCode::kBusyPulse, LinkJobCode::kRequestPattern, LinkJobCode::kRequestPatternBank})
  {
    host.busyEvents.clear();
    ASSERT_TRUE(worker.Post(JobOf(code)));
    ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
    EXPECT_EQ(host.BusyEvents(), (std::vector<bool>{true, false})) << int(code);
  }
  // kNone and codes outside the table (13 has no job) do nothing and say nothing.
  host.statusTexts.clear();
  for (LinkJobCode code : {LinkJobCode::kNone, LinkJobCode(13), LinkJobCode(23), LinkJobCode(255)})
  {
    ASSERT_TRUE(worker.Post(JobOf(code)));
    ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
  }
  EXPECT_TRUE(host.StatusTexts().empty());
  host.pendingRequestId = 4;
  HoldTheClock(host);
  ASSERT_TRUE(worker.RequestCurrentProgram(4, true));
  EXPECT_EQ(worker.editBufferReceive.load(), 1);
  ReleaseTheClock(host);
  ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
  EXPECT_EQ(host.StatusTexts().back(), MIDIMessageSender::kTimedOutText);
  // The request the job made ended with it, whatever became of it.
  EXPECT_EQ(host.pendingRequestId.load(), -1);

  // A pattern request to the editor names the target slot.
  ASSERT_TRUE(worker.RequestPattern(11, true));
  ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
  EXPECT_EQ(worker.Sender(TransferWorker::kJobsLane).job.partOrSlot, 11);
  // It sends nothing, so it leaves no edit-buffer reception open to take the next dump.
  EXPECT_EQ(worker.editBufferReceive.load(), 0);

  // A slot to load travels as a copy, which the thread frees after the job.
  LibrarianSlot slot;
  slot.name = "Pad";
  slot.AddMessage(std::vector<uint8_t>(297, 1));
  ASSERT_TRUE(worker.LoadSlot(slot, 3, true));
  ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
  EXPECT_TRUE(worker.Sender(TransferWorker::kJobsLane).job.slot.IsEmpty());
  EXPECT_EQ(worker.sendBusy.load(), 0);
}

TEST(TransferWorker, AudioBlockPostsTransportClockAndTheDeferredProgramRequest)
{
  TransferTestHost host;
  Gate release;
  std::atomic<int> held{0};
  host.onBusy = [&]
  {
    ++held;
    release.Wait();
  };
  TransferWorker worker(host, host);
  host.sendClock = 1;

  // Start once per run of the transport, Stop when it ends; none while short MIDI is queued.
  host.queueShortMidi = 1;
  worker.PostFromAudioBlock(true);
  EXPECT_EQ(host.transportStartSent.load(), 0);
  host.queueShortMidi = 0;
  worker.PostFromAudioBlock(true);
  EXPECT_EQ(host.transportStartSent.load(), 1);
  EXPECT_EQ(worker.Sender(TransferWorker::kTransportLane).job.code, LinkJobCode::kTransportStart);
  ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kTransportLane));
  worker.PostFromAudioBlock(false);
  EXPECT_EQ(host.transportStartSent.load(), 0);
  EXPECT_EQ(worker.Sender(TransferWorker::kTransportLane).job.code, LinkJobCode::kTransportStop);

  // The clock job starts once while it is on and an output is set.
  EXPECT_EQ(host.clockJobStarted.load(), 1);
  EXPECT_EQ(worker.clockRun.load(), 1);
  EXPECT_EQ(worker.Sender(TransferWorker::kClockLane).job.code, LinkJobCode::kMidiClock);

  // A deferred program request waits for the jobs thread, then goes out on the next block.
  ASSERT_TRUE(worker.PostBusyPulse());
  while (held.load() == 0)
    std::this_thread::yield();
  host.selectedPart = 5;
  host.deferredPartRequest = 1;
  worker.PostFromAudioBlock(false);
  worker.PostFromAudioBlock(false);
  EXPECT_EQ(host.deferredPartRequest.load(), 1);
  EXPECT_EQ(worker.editBufferReceive.load(), 0);
  release.Open();
  ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
  HoldTheClock(host);
  worker.PostFromAudioBlock(false);
  EXPECT_EQ(host.deferredPartRequest.load(), 0);
  EXPECT_EQ(worker.editBufferReceive.load(), 1);
  const LinkJob& job = worker.Sender(TransferWorker::kJobsLane).job;
  EXPECT_EQ(job.code, LinkJobCode::kRequestPartProgram);
  EXPECT_EQ(job.partOrSlot, 5);
  EXPECT_TRUE(job.toEditorFlag);
  ReleaseTheClock(host);
  EXPECT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
}

TEST(TransferWorker, CancelEndsTheRunningWaitAndIsForgottenByTheNextJob)
{
  TransferTestHost host;
  host.clock.SetAutoAdvance(false);
  std::atomic<int> sleepAnswer{-1};
  std::atomic<int> cancelledAtStart{-1};
  std::unique_ptr<TransferWorker> worker;
  TransferWorker* jobWorker = nullptr; // the jobs' view, which the teardown below does not write
  host.onBusy = [&]
  {
    MIDIMessageSender& sender = jobWorker->Sender(TransferWorker::kJobsLane);
    cancelledAtStart = sender.Cancelled();
    sleepAnswer = sender.Sleep(60000);
  };
  worker = std::make_unique<TransferWorker>(host, host);
  jobWorker = worker.get();

  // A cancel while nothing runs is not carried into the next job.
  worker->CancelJob();
  ASSERT_TRUE(worker->PostBusyPulse());
  ASSERT_TRUE(host.clock.WaitForSleepers(1));
  EXPECT_EQ(cancelledAtStart.load(), 0);
  // Nothing but the cancel ends this wait: the virtual clock stands still.
  worker->CancelJob();
  ASSERT_TRUE(WaitLaneIdle(*worker, TransferWorker::kJobsLane));
  EXPECT_EQ(sleepAnswer.load(), 0);
  EXPECT_EQ(host.BusyEvents(), (std::vector<bool>{true, false}));

  // Without a cancel the wait runs its length of clock time.
  sleepAnswer = -1;
  ASSERT_TRUE(worker->PostBusyPulse());
  ASSERT_TRUE(host.clock.WaitForSleepers(1));
  EXPECT_TRUE(host.clock.Advance(60000));
  ASSERT_TRUE(WaitLaneIdle(*worker, TransferWorker::kJobsLane));
  EXPECT_EQ(sleepAnswer.load(), 1);

  // Teardown in the middle of a wait: the wait ends and the threads are joined.
  sleepAnswer = -1;
  ASSERT_TRUE(worker->PostBusyPulse());
  ASSERT_TRUE(host.clock.WaitForSleepers(1));
  worker.reset();
  EXPECT_EQ(sleepAnswer.load(), 0);
}

// Posters on three threads at once (audio blocks, MIDI input, the editor) against teardown in the
// middle of a job, a hundred times: nothing is posted twice onto a thread, nothing is left running.
TEST(TransferWorker, PostersOnThreeThreadsAgainstTeardownMidJob)
{
  const int threadsBefore = ThreadCount();
  for (int round = 0; round < 100; ++round)
  {
    TransferTestHost host;
    host.clock.SetAutoAdvance(false);
    std::atomic<int> running{0}, overlap{0};
    std::unique_ptr<TransferWorker> worker;
    TransferWorker* jobWorker = nullptr;
    host.onBusy = [&]
    {
      if (running.fetch_add(1) != 0) ++overlap;
      jobWorker->Sender(TransferWorker::kJobsLane).Sleep(1000000);
      running.fetch_sub(1);
    };
    worker = std::make_unique<TransferWorker>(host, host);
    jobWorker = worker.get();
    std::atomic<bool> go{false}, stop{false};
    std::atomic<int> accepted{0};
    auto poster = [&](auto post)
    {
      while (!go)
        std::this_thread::yield();
      while (!stop)
        if (post()) ++accepted;
    };
    std::thread audio(poster,
                      [&]
                      {
                        host.deferredPartRequest = 1;
                        worker->PostFromAudioBlock((accepted & 1) != 0);
                        return false;
                      });
    std::thread midi(poster,
                     [&]
                     {
                       const std::vector<uint8_t> m(25, 0);
                       worker->ReceiveSysExMessage(m.data(), m.size(), true);
                       return worker->RequestCurrentProgram(1, false);
                     });
    std::thread editor(poster, [&] { return worker->PostBusyPulse() || worker->RequestProgramBank(1); });
    go = true;
    // Let a job start, then take the worker down under the posters' feet.
    while (running.load() == 0 && accepted.load() < 50)
      std::this_thread::yield();
    stop = true;
    audio.join();
    midi.join();
    editor.join();
    worker.reset();
    EXPECT_EQ(overlap.load(), 0);
    EXPECT_EQ(running.load(), 0);
  }
  EXPECT_EQ(ThreadCount(), threadsBefore);
}

TEST(TransferWorker, TheOwnersStopEndsARunningWait)
{
  TransferTestHost host;
  host.clock.SetAutoAdvance(false);
  std::atomic<int> sleepAnswer{-1};
  TransferWorker* jobWorker = nullptr;
  host.onBusy = [&] { sleepAnswer = jobWorker->Sender(TransferWorker::kJobsLane).Sleep(60000); };
  TransferWorker worker(host, host);
  jobWorker = &worker;
  ASSERT_TRUE(worker.PostBusyPulse());
  ASSERT_TRUE(host.clock.WaitForSleepers(1));
  // The owner's teardown begins: the job ends before the worker is even asked to.
  host.stop.request_stop();
  ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
  EXPECT_EQ(sleepAnswer.load(), 0);
}

TEST(TransferWorker, AJobFailingAsItShowsTheOverlayHidesItAndLeavesTheThreadWorking)
{
  TransferTestHost host;
  host.onBusy = [] { throw std::runtime_error("no overlay"); };
  TransferWorker worker(host, host);
  ASSERT_TRUE(worker.PostBusyPulse());
  ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
  EXPECT_EQ(host.BusyEvents(), (std::vector<bool>{true, false}));
  // The thread survived and takes the next job.
  host.onBusy = nullptr;
  ASSERT_TRUE(worker.PostBusyPulse());
  ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
  EXPECT_EQ(host.BusyEvents().size(), 4u);
}

#ifdef __linux__
namespace
{
std::set<std::string> ThreadIds()
{
  std::set<std::string> ids;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
    ids.insert(task.path().filename().string());
  return ids;
}

// Context switches (voluntary and forced) of the given threads of this process, read from /proc.
long SwitchesOf(const std::set<std::string>& threads)
{
  long total = 0;
  for (const std::string& id : threads)
  {
    std::ifstream status("/proc/self/task/" + id + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
        total += std::stol(line.substr(line.find(':') + 1));
  }
  return total;
}
} // namespace

// With nothing to do, the three threads sleep until a post or the teardown wakes them: a timed wait
// woke each ten times a second, for nothing, as long as the plug-in was loaded.
TEST(TransferWorker, IdleThreadsSleepUntilWokenAndStillEndAtTeardown)
{
  TransferTestHost host;
  // A sanitizer's runtime starts a thread of its own once the first thread is made: make one first,
  // so that only the worker's threads are new below.
  std::thread([] {}).join();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const std::set<std::string> others = ThreadIds();
  auto worker = std::make_unique<TransferWorker>(host, host);
  // Each thread has run a job and gone back to its wait.
  for (LinkJobCode code : {LinkJobCode::kBusyPulse, LinkJobCode::kTransportStart, LinkJobCode::kMidiClock})
  {
    ASSERT_TRUE(worker->Post(JobOf(code)));
    ASSERT_TRUE(WaitLaneIdle(*worker, TransferWorker::LaneOf(code)));
  }
  std::set<std::string> lanes;
  for (const std::string& id : ThreadIds())
    if (!others.count(id)) lanes.insert(id);
  ASSERT_EQ(lanes.size(), 3u);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const long before = SwitchesOf(lanes);
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  EXPECT_LE(SwitchesOf(lanes) - before, 2) << "idle threads woke up";

  // Still woken by a post, and ended by the teardown at once.
  ASSERT_TRUE(worker->PostBusyPulse());
  ASSERT_TRUE(WaitLaneIdle(*worker, TransferWorker::kJobsLane));
  const auto start = std::chrono::steady_clock::now();
  worker.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}
#endif
