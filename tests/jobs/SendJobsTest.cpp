// The send jobs against the loopback port on the virtual clock: which dumps leave, in which
// order and how far apart, and what a store puts into the librarian instead.
#include "tests/jobs/FakeSynth.h"

#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/output/DeviceSender.h"
#include "link/dumps/GlobalDump.h"
#include "link/dumps/PerformanceDump.h"

#include <gtest/gtest.h>

namespace
{
struct SendRig
{
  SendRig()
  {
    host.librarian = &librarian;
    host.Set(kLibSyncTimer, 2); // 100 ms
  }
  LinkJob Job(LinkJobCode code, int part = 0, bool store = false)
  {
    LinkJob job;
    job.code = code;
    job.partOrSlot = part;
    job.storeFlag = store;
    return job;
  }
  // Runs a storing job for the selected slot n: nothing may leave; answers what the slot holds.
  LibrarianSlot StoreInto(int n, const LinkJob& job)
  {
    host.ClearSent();
    librarian.selectedLeftSlot = n;
    librarian.receiveTargetSlot = n;
    EXPECT_TRUE(RunJob(worker, job));
    EXPECT_EQ(host.SentCount(), 0u);
    LibrarianSlot slot;
    EXPECT_TRUE(librarian.CopySlot(0, n, &slot));
    return slot;
  }
  // The synthesizer's two global messages as the handshake receives them, each byte that carries
  // no setting of the editor's set to `filler`.
  void ReceiveGlobals(uint8_t filler = 0x55)
  {
    host.connectPending = 1;
    for (Bytes message :
         {BuildGlobalDumpA(host.plug, SysExAddress{}), BuildGlobalDumpB(host.plug, SysExAddress{})})
    {
      for (size_t i = 8; i + 1 < message.size(); ++i)
        if (message[i] == 0) message[i] = filler;
      worker.ReceiveSysExMessage(message.data(), message.size(), true);
    }
    host.connectPending = 0;
  }
  // Type byte and length of every message sent, and when it left.
  std::vector<std::pair<int, size_t>> Shapes()
  {
    std::vector<std::pair<int, size_t>> out;
    for (const Bytes& m : host.Sent())
      out.emplace_back(m.size() > 7 ? m[7] : -1, m.size());
    return out;
  }

  FakeSynth host;
  PatchLibrarian librarian;
  TransferWorker worker{host, host};
};
} // namespace

TEST(SendJobs, APartProgramGoesOutAsItsTwoMessagesPaced)
{
  SendRig r;
  const int64_t start = r.host.clock.NowMs();
  ASSERT_TRUE(RunJob(r.worker, r.Job(LinkJobCode::kSendPartProgram, 3)));
  EXPECT_EQ(r.Shapes(), (std::vector<std::pair<int, size_t>>{{0x00, 296}, {0x1E, 98}}));
  for (const Bytes& m : r.host.Sent())
    EXPECT_EQ(m[8], 3);
  // The program's name, as sent, is the project's name of part 4 (name slot 4).
  EXPECT_EQ(r.host.ProjectNames(), (std::vector<std::pair<int, std::string>>{{4, std::string(16, ' ')}}));
  ExpectSevenBitData(r.host.Sent());
  EXPECT_EQ(r.host.SendTimes(), (std::vector<int64_t>{start, start + 150}));
  EXPECT_EQ(r.host.clock.NowMs() - start, 300);
  EXPECT_EQ(r.worker.sendBusy.load(), 0);
  EXPECT_EQ(r.host.BusyEvents(), (std::vector<bool>{true, false}));

  // Stored instead: the selected slot of the left bank takes it in memory form, nothing leaves.
  r.host.Set(kRequestFromBank, 2);
  const LibrarianSlot slot = r.StoreInto(9, r.Job(LinkJobCode::kSendPartProgram, 1, true));
  ASSERT_EQ(slot.messages.size(), 2u);
  EXPECT_EQ(slot.messages[0][7], 0x02);
  EXPECT_EQ(slot.messages[0][8], 7);
  EXPECT_EQ(slot.messages[0][9], 9);
  EXPECT_EQ(slot.messages[1][7], 0x1F);
  EXPECT_FALSE(r.worker.RecordArmed(DumpKind::Program));
  EXPECT_EQ(r.host.receptionsFinished.load(), 1);
}

TEST(SendJobs, APerformanceSendsGlobalsAndPartsFirstWhenAskedThenItsThreeMessages)
{
  SendRig r;
  r.ReceiveGlobals();
  r.host.sendGlobalsFirst = 1;
  r.host.sendPartsFirst = 1;
  const int64_t start = r.host.clock.NowMs();
  ASSERT_TRUE(RunJob(r.worker, r.Job(LinkJobCode::kSendPerformance)));
  std::vector<std::pair<int, size_t>> expected{{0x0F, 281}, {0x15, 297}};
  for (int part = 0; part < 8; ++part)
  {
    expected.emplace_back(0x00, 296);
    expected.emplace_back(0x1E, 98);
  }
  expected.insert(expected.end(), {{0x05, 381}, {0x1B, 25}, {0x20, 473}});
  EXPECT_EQ(r.Shapes(), expected);
  ExpectSevenBitData(r.host.Sent());
  // Globals 2 x 200 ms, eight parts of 300 ms, then 200 + 200 + 500 ms.
  EXPECT_EQ(r.host.clock.NowMs() - start, 400 + 8 * 300 + 900);
  EXPECT_EQ(r.host.performanceSend.load(), 0);
  EXPECT_EQ(r.host.sendGlobalsFirst.load(), 0);
  EXPECT_EQ(r.host.sendPartsFirst.load(), 0);
  EXPECT_EQ(r.worker.sendBusy.load(), 0);
  // One overlay for the whole send, not one per part.
  EXPECT_EQ(r.host.BusyEvents(), (std::vector<bool>{true, true, false, false}));

  // The next send is the performance alone.
  r.host.ClearSent();
  ASSERT_TRUE(RunJob(r.worker, r.Job(LinkJobCode::kSendPerformance)));
  EXPECT_EQ(r.Shapes(), (std::vector<std::pair<int, size_t>>{{0x05, 381}, {0x1B, 25}, {0x20, 473}}));

  // Stored: the three memory messages in the selected slot, nothing sent.
  r.host.performanceMode = 1;
  r.librarian.SetMode(PatchLibrarian::kPerformances);
  const LibrarianSlot slot = r.StoreInto(4, r.Job(LinkJobCode::kSendPerformance, 0, true));
  ASSERT_EQ(slot.messages.size(), 3u);
  EXPECT_EQ(slot.messages[2][7], 0x21);
  EXPECT_EQ(slot.messages[0][9], 4);
}

TEST(SendJobs, GlobalsWaitTwiceTheDelayAndACancelStopsTheRest)
{
  SendRig r;
  r.ReceiveGlobals();
  const int64_t start = r.host.clock.NowMs();
  ASSERT_TRUE(RunJob(r.worker, r.Job(LinkJobCode::kSendGlobals)));
  EXPECT_EQ(r.Shapes(), (std::vector<std::pair<int, size_t>>{{0x0F, 281}, {0x15, 297}}));
  EXPECT_EQ(r.host.SendTimes(), (std::vector<int64_t>{start, start + 200}));

  // Cancelled during the first wait of a performance with its parts: nothing more leaves.
  r.host.ClearSent();
  r.host.sendPartsFirst = 1;
  r.host.onBusy = [&] { r.worker.CancelJob(); };
  ASSERT_TRUE(RunJob(r.worker, r.Job(LinkJobCode::kSendPerformance)));
  EXPECT_EQ(r.host.Sent().size(), 1u);
  EXPECT_EQ(r.host.performanceSend.load(), 0);
  EXPECT_EQ(r.worker.sendBusy.load(), 0);

  // Without an output each send says so and the job still ends.
  SendRig silent;
  silent.ReceiveGlobals();
  silent.host.midiOutputReady = 0;
  ASSERT_TRUE(RunJob(silent.worker, silent.Job(LinkJobCode::kSendGlobals)));
  EXPECT_EQ(silent.host.StatusTexts(),
            (std::vector<std::string>{DeviceSender::kSetMidiFirst, DeviceSender::kSetMidiFirst}));
}

// What the synthesizer sent goes back as it came: the bytes of the performance and the global
// settings that no parameter carries (its own settings) are those it last sent, not zeros.
TEST(SendJobs, ThePerformanceAndGlobalsGoBackWithTheSynthesizersOwnBytes)
{
  SendRig r;
  const SysExAddress address{0, 15};
  Bytes vocoder = BuildPerformanceType1B(r.host.plug, address);
  Bytes parts = BuildPerformanceParts(r.host.plug, address);
  Bytes first = BuildGlobalDumpA(r.host.plug, address), second = BuildGlobalDumpB(r.host.plug, address);
  for (size_t i = 16; i < 24; ++i)
    vocoder[i] = uint8_t(0x20 + i);
  for (size_t i = 328; i < 472; ++i)
    parts[i] = uint8_t(i & 0x7F);
  parts[8 + 15] = 0x3C; // field 15 of part 0, not read
  first[100] = 0x33;
  second[200] = 0x44;
  for (Bytes* m : {&vocoder, &parts, &first, &second})
    (*m)[kSysExDeviceIdOffset] = 15;

  r.worker.ArmReceive(false);
  r.worker.ReceiveSysExMessage(vocoder.data(), vocoder.size(), true);
  r.worker.ReceiveSysExMessage(parts.data(), parts.size(), true);
  r.worker.EndReceive();
  r.host.connectPending = 1;
  r.worker.ReceiveSysExMessage(first.data(), first.size(), true);
  r.worker.ReceiveSysExMessage(second.data(), second.size(), true);
  r.host.connectPending = 0;

  r.host.plug.ParameterAt(kMultiName)->AddValueText(0, "Back Again");
  r.host.sendGlobalsFirst = 1;
  ASSERT_TRUE(RunJob(r.worker, r.Job(LinkJobCode::kSendPerformance)));
  // The name the synthesizer now holds is the project's performance name.
  ASSERT_FALSE(r.host.ProjectNames().empty());
  EXPECT_EQ(r.host.ProjectNames().back(), (std::pair<int, std::string>(0, "Back Again      ")));
  std::vector<Bytes> sent = r.host.Sent();
  ASSERT_EQ(sent.size(), 5u);
  for (Bytes& m : sent)
    m[kSysExDeviceIdOffset] = 15; // the device id the job addresses is not the point here
  EXPECT_EQ(sent[0], first) << ByteDifferences(sent[0], first);
  EXPECT_EQ(sent[1], second) << ByteDifferences(sent[1], second);
  EXPECT_EQ(sent[3], vocoder) << ByteDifferences(sent[3], vocoder);
  EXPECT_EQ(sent[4], parts) << ByteDifferences(sent[4], parts);

  // Stored into a slot, the performance keeps them too.
  r.host.performanceMode = 1;
  r.librarian.SetMode(PatchLibrarian::kPerformances);
  const LibrarianSlot slot = r.StoreInto(2, r.Job(LinkJobCode::kSendPerformance, 0, true));
  ASSERT_EQ(slot.messages.size(), 3u);
  ASSERT_EQ(slot.messages[2].size(), 475u);
  EXPECT_EQ(slot.messages[2][330], parts[328]);
  EXPECT_EQ(slot.messages[1][18], vocoder[16]);
}

// The global messages hold far more of the synthesizer's settings than the editor shows: what goes
// back keeps the synthesizer's own bytes, and before the synthesizer ever sent them nothing goes.
TEST(SendJobs, GlobalsKeepTheSynthesizersOwnBytesAndAreNotSentBeforeTheyCame)
{
  SendRig r;
  ASSERT_TRUE(RunJob(r.worker, r.Job(LinkJobCode::kSendGlobals)));
  EXPECT_EQ(r.host.SentCount(), 0u);
  EXPECT_TRUE(r.host.HasStatus(MIDIMessageSender::kNoGlobalsText));

  r.ReceiveGlobals(0x55);
  ASSERT_TRUE(RunJob(r.worker, r.Job(LinkJobCode::kSendGlobals)));
  ASSERT_EQ(r.host.Sent().size(), 2u);
  for (const Bytes& sent : r.host.Sent())
  {
    const Bytes received = r.worker.ReceivedGlobals(sent[7] == 0x0F ? 0 : 1);
    ASSERT_EQ(sent.size(), received.size());
    size_t kept = 0;
    for (size_t i = 8; i + 1 < sent.size(); ++i)
      kept += sent[i] == 0x55 && received[i] == 0x55;
    // Only the few bytes of the editor's own settings may differ from what came.
    EXPECT_GT(kept, sent.size() / 2) << "type " << int(sent[7]);
  }
}
