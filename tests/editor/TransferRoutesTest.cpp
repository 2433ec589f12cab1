// The editor's routes into the transfer worker against the loopback port on the virtual clock:
// when the settled edits' dumps go, which flags a menu's performance send raises, and how a
// program selection is followed up.
#include "editor/TransferRoutes.h"
#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/output/DeviceSender.h"
#include "tests/jobs/FakeSynth.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
struct RoutesRig
{
  RoutesRig()
  {
    host.librarian = &librarian;
    host.worker = &worker;
    host.Set(kLibSyncTimer, 2);
    host.clockJobStarted = 1; // no clock job on the clock lane meanwhile
  }
  // The type byte (or status byte) of every message sent, in order.
  std::vector<int> Kinds()
  {
    std::vector<int> out;
    for (const Bytes& m : host.Sent())
      out.push_back(m.empty() ? -1 : m[0] == 0xF0 && m.size() > 8 ? m[7] : m[0]);
    return out;
  }
  // Audio blocks until the jobs thread has nothing left to do.
  void ProcessUntilIdle()
  {
    for (int i = 0; i < 400; ++i)
    {
      worker.PostFromAudioBlock(false);
      routes.Tick();
      ASSERT_TRUE(WaitLaneIdle(worker, TransferWorker::kJobsLane));
      if (!host.deferredPartRequest) host.clock.Advance(10);
    }
  }

  FakeSynth host;
  PatchLibrarian librarian;
  TransferWorker worker{host, host};
  TransferRoutes routes{host, host.plug, worker};
};
} // namespace

TEST(TransferRoutes, SettledEditsSendTheirDumpOnceAndNeverWhileATransferRuns)
{
  RoutesRig r;
  const int keyfollow = kOscillator1Keyfollow + 2;
  ASSERT_EQ(r.routes.Settled().CarrierOf(keyfollow), SettledEdits::Carrier::kProgram);

  // A drag: a change every 40 ms, blocks in between; nothing leaves while it moves.
  for (int step = 0; step < 8; ++step)
  {
    r.routes.ParameterChanged(keyfollow, true);
    r.routes.Tick();
    r.host.clock.Advance(40);
    r.routes.Tick();
  }
  EXPECT_EQ(r.host.SentCount(), 0u);
  // Settled, but a transfer runs: it waits for it.
  r.host.transferBusy = 1;
  r.host.clock.Advance(SettledEdits::kSettleMs);
  r.routes.Tick();
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
  EXPECT_EQ(r.host.SentCount(), 0u);
  r.host.transferBusy = 0;
  r.routes.Tick();
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
  // Part 3's program, both messages, to the edit buffer; once.
  EXPECT_EQ(r.Kinds(), (std::vector<int>{0x00, 0x1E}));
  for (const Bytes& m : r.host.Sent())
    EXPECT_EQ(m[8], 2);
  r.routes.Tick();
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
  EXPECT_EQ(r.host.SentCount(), 2u);

  // A change that a received controller made, or one without an output, sends nothing.
  r.host.ClearSent();
  r.host.applyingReceivedController = 1;
  r.routes.ParameterChanged(keyfollow, true);
  r.host.applyingReceivedController = 0;
  r.routes.ParameterChanged(kOscillator1Keyfollow, true);
  r.host.midiOutputReady = 0;
  r.host.clock.Advance(SettledEdits::kSettleMs);
  r.routes.Tick();
  r.host.midiOutputReady = 1;
  r.routes.Tick();
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
  EXPECT_EQ(r.host.SentCount(), 0u);
}

// A settled edit's dump goes in the background: the overlay, which would blink over the editor
// and swallow the user's next click, stays hidden; a send the user starts from a menu shows it.
TEST(TransferRoutes, SettledEditsSendWithoutTheOverlayAndAMenuSendShowsIt)
{
  RoutesRig r;
  int globalsParam = -1;
  for (int index = 0; index < r.host.plug.NumParameters() && globalsParam < 0; ++index)
    if (r.routes.Settled().CarrierOf(index) == SettledEdits::Carrier::kGlobals) globalsParam = index;
  ASSERT_GE(globalsParam, 0) << "no global setting travels only in its dump";
  const int program = kOscillator1Keyfollow + 1, performance = kFXMultiDelaySend;
  ASSERT_EQ(r.routes.Settled().CarrierOf(program), SettledEdits::Carrier::kProgram);
  ASSERT_EQ(r.routes.Settled().CarrierOf(performance), SettledEdits::Carrier::kPerformance);

  for (int param : {program, performance, globalsParam})
  {
    SCOPED_TRACE(param);
    r.host.ClearSent();
    r.routes.ParameterChanged(param, true);
    r.host.clock.Advance(SettledEdits::kSettleMs);
    r.routes.Tick();
    ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
    if (param != globalsParam)
    {
      EXPECT_GT(r.host.SentCount(), 0u) << "the dump went";
    }
    EXPECT_TRUE(r.host.BusyEvents().empty());
  }
  EXPECT_FALSE(r.routes.Settled().Pending());

  // The same sends from the menus: the overlay on for the job, then off.
  for (ILibrarianHost::Transfer transfer :
       {ILibrarianHost::Transfer::kSendPart, ILibrarianHost::Transfer::kSendGlobals,
        ILibrarianHost::Transfer::kSendPerformance})
  {
    SCOPED_TRACE(int(transfer));
    r.host.busyEvents.clear();
    r.routes.Transfer(transfer, 0);
    ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
    const std::vector<bool> events = r.host.BusyEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_TRUE(events.front());
    EXPECT_FALSE(events.back());
  }
}

TEST(TransferRoutes, APerformanceSendRaisesItsFlagsOnlyForTheJobItStarts)
{
  RoutesRig r;
  // A bank write holds the jobs thread at its first message.
  Gate release;
  std::atomic<bool> held{false};
  r.host.onShort = [&](const IMidiMessage&)
  {
    held = true;
    release.Wait();
  };
  LinkJob write;
  write.code = LinkJobCode::kWriteBank;
  ASSERT_TRUE(r.worker.Post(write));
  while (!held)
    std::this_thread::yield();
  r.routes.Transfer(ILibrarianHost::Transfer::kSendPerformance, 0);
  EXPECT_EQ(r.host.LastStatus(), TransferRoutes::kBusyText);
  EXPECT_EQ(r.host.sendGlobalsFirst.load(), 0);
  EXPECT_EQ(r.host.sendPartsFirst.load(), 0);
  release.Open();
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
  r.host.onShort = nullptr;

  // Idle: the eight part programs, then the performance (the globals were never received, so they
  // stay where they are, and the status line says why).
  r.host.ClearSent();
  r.routes.Transfer(ILibrarianHost::Transfer::kSendPerformance, 0);
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
  std::vector<int> expected;
  for (int part = 0; part < 8; ++part)
    expected.insert(expected.end(), {0x00, 0x1E});
  expected.insert(expected.end(), {0x05, 0x1B, 0x20});
  EXPECT_EQ(r.Kinds(), expected);
  EXPECT_TRUE(r.host.HasStatus(MIDIMessageSender::kNoGlobalsText));
  EXPECT_EQ(r.host.sendGlobalsFirst.load(), 0);
  EXPECT_EQ(r.host.sendPartsFirst.load(), 0);

  // Without an output nothing is posted.
  r.host.midiOutputReady = 0;
  r.routes.Transfer(ILibrarianHost::Transfer::kSendGlobals, 0);
  EXPECT_EQ(r.host.LastStatus(), DeviceSender::kSetMidiFirst);
}

// The selected part's program chosen: bank and program change, then its request into the editor;
// a part with a locked section goes back whole once the request has ended, never before it.
TEST(TransferRoutes, ASelectedProgramComesIntoTheEditorAndALockedPartGoesBackAfterIt)
{
  for (bool locked : {false, true})
  {
    SCOPED_TRACE(locked ? "locked" : "unlocked");
    RoutesRig r;
    r.host.Set(kGlobalMidiChannel, 3);
    r.host.Set(kMultiPartMIDICh, 0);
    r.host.Set(kMultiPartBank, 1);
    r.host.Set(kMultiPartPatch, 9);
    r.host.Set(kSectionLockFilter, locked ? 1 : 0);
    r.routes.ParameterChanged(kMultiPartPatch, true);
    EXPECT_EQ(r.host.SentCount(), 0u) << "nothing waits under the change handler";
    r.routes.IdleTick();
    ASSERT_NO_FATAL_FAILURE(r.ProcessUntilIdle());
    const std::vector<int> kinds = r.Kinds();
    std::vector<int> expected{0xB0, 0xB0, 0xB0, 0xC0, 0x08};
    if (locked) expected.insert(expected.end(), {0x00, 0x1E});
    EXPECT_EQ(kinds, expected);
    const std::vector<Bytes> sent = r.host.Sent();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(sent[2], (Bytes{0xB0, 32, 6}));
    EXPECT_EQ(sent[3][1], 9);
    EXPECT_EQ(r.host.deferredPartRequest.load(), 0);
  }
}

// Another part's program chosen: the synthesizer answers requests with its selected part only, so
// nothing is asked for; a part with a locked section goes back whole, one without stays as it is.
TEST(TransferRoutes, AnotherPartsProgramIsSelectedAndALockedOneResent)
{
  for (bool locked : {false, true})
  {
    SCOPED_TRACE(locked ? "locked" : "unlocked");
    RoutesRig r;
    r.host.Set(kMultiPartMIDICh + 3, 5);
    r.host.Set(kMultiPartPatch + 3, 17);
    r.host.Set(kSectionLockOsc2 + 3, locked ? 1 : 0);
    r.routes.ParameterChanged(kMultiPartPatch + 3, true);
    r.routes.IdleTick();
    ASSERT_NO_FATAL_FAILURE(r.ProcessUntilIdle());
    EXPECT_EQ(r.Kinds(), (std::vector<int>{0xB5, 0xB5, 0xB5, 0xC5}));
    EXPECT_EQ(r.host.deferredPartRequest.load(), 0);
    ASSERT_EQ(r.host.posted.size(), locked ? 1u : 0u);
    if (locked)
    {
      EXPECT_EQ(r.host.posted[0].code, LinkJobCode::kSendPartProgram);
      EXPECT_EQ(r.host.posted[0].partOrSlot, 3);
      EXPECT_FALSE(r.host.posted[0].storeFlag);
    }
  }
}
