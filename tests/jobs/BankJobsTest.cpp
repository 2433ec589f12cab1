// Bank write, slot load and the initial slots, on the loopback port and the virtual clock.
#include "tests/jobs/FakeSynth.h"

#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/dumps/PerformanceDump.h"
#include "link/dumps/ProgramDump.h"

#include <gtest/gtest.h>

namespace
{
struct BankRig
{
  BankRig()
  {
    host.librarian = &librarian;
    host.Set(kLibSyncTimer, 2); // 100 ms
    host.worker = &worker;
  }
  LinkJob Job(LinkJobCode code, int bank = 0)
  {
    LinkJob job;
    job.code = code;
    job.bank = bank;
    return job;
  }
  std::vector<Bytes> SysExSent()
  {
    std::vector<Bytes> out;
    for (const Bytes& m : host.Sent())
      if (m[0] == 0xF0) out.push_back(m);
    return out;
  }

  FakeSynth host;
  PatchLibrarian librarian;
  TransferWorker worker{host, host};
};

LibrarianSlot SlotOf(std::vector<Bytes> messages, uint32_t number = 0)
{
  LibrarianSlot slot;
  slot.number = number;
  for (Bytes& m : messages)
    slot.AddMessage(std::move(m));
  return slot;
}
} // namespace

TEST(BankJobs, AProgramBankWriteSendsEveryFilledSlotInMemoryFormPaddedToFullSize)
{
  BankRig r;
  SysExAddress address;
  for (int n = 0; n < 128; ++n)
  {
    if (n == 50) continue; // an empty slot is skipped
    std::vector<Bytes> messages = BuildInitProgram(address, 5, 0);
    if (n == 7) messages[1].erase(messages[1].end() - 2); // a 98-byte second message
    ASSERT_TRUE(r.librarian.PutSlot(0, n, SlotOf(messages, uint32_t(n))));
  }
  const int64_t start = r.host.clock.NowMs();
  ASSERT_TRUE(RunJob(r.worker, r.Job(LinkJobCode::kWriteBank, 2)));

  EXPECT_EQ(r.host.Sent().front(), (Bytes{0xB0, 0x7B, 0x00}));
  const auto sent = r.SysExSent();
  ASSERT_EQ(sent.size(), 254u);
  ExpectSevenBitData(sent);
  for (size_t i = 0; i < sent.size(); ++i)
  {
    const int slot = int(i / 2) + (i / 2 >= 50 ? 1 : 0);
    EXPECT_EQ(sent[i].size(), i % 2 ? 99u : 297u) << i;
    EXPECT_EQ(sent[i][7], i % 2 ? 0x1F : 0x02);
    EXPECT_EQ(sent[i][8], 7);
    EXPECT_EQ(sent[i][9], slot) << i;
  }
  EXPECT_EQ(r.host.clock.NowMs() - start, 50 + 254 * 100);
  // The write says what it wrote: the empty slot was not.
  EXPECT_EQ(r.host.LastStatus(), "Data write completed: 127 of 128 slots written");
  EXPECT_EQ(r.host.partTexts.back().second, "Skipped empty: 051");
  EXPECT_EQ(r.librarian.selectedLeftSlot.load(), 0);
  EXPECT_EQ(r.host.BusyEvents(), (std::vector<bool>{true, false}));

  // Every slot filled: completed, all processed.
  ASSERT_TRUE(r.librarian.PutSlot(0, 50, SlotOf(BuildInitProgram(address, 5, 0), 50)));
  ASSERT_TRUE(RunJob(r.worker, r.Job(LinkJobCode::kWriteBank, 2)));
  EXPECT_EQ(r.host.LastStatus(), "Data write completed!");
  EXPECT_EQ(r.host.partTexts.back().second, "Processed 127/127");
}

// A bank that arrived only in part (slots 1-40 of a request that ended) is written as what it is:
// 40 slots, and the skipped ones named, never "completed" with 127 of 127.
TEST(BankJobs, ABankWriteNamesTheEmptySlotsItSkipped)
{
  BankRig r;
  SysExAddress address;
  for (int n = 0; n < 40; ++n)
    ASSERT_TRUE(r.librarian.PutSlot(0, n, SlotOf(BuildInitProgram(address, 5, n), uint32_t(n))));
  ASSERT_TRUE(RunJob(r.worker, r.Job(LinkJobCode::kWriteBank, 1)));
  EXPECT_EQ(r.SysExSent().size(), 80u);
  EXPECT_EQ(r.host.LastStatus(), "Data write completed: 40 of 128 slots written");
  EXPECT_EQ(r.host.partTexts.back().second, "Skipped empty: 041-128");

  // Scattered gaps are listed as runs; a long list ends with how many it leaves out.
  for (int n : {45, 47, 48, 60, 70, 90, 100})
    ASSERT_TRUE(r.librarian.PutSlot(0, n, SlotOf(BuildInitProgram(address, 5, n), uint32_t(n))));
  ASSERT_TRUE(RunJob(r.worker, r.Job(LinkJobCode::kWriteBank, 1)));
  EXPECT_EQ(r.host.LastStatus(), "Data write completed: 47 of 128 slots written");
  EXPECT_EQ(r.host.partTexts.back().second, "Skipped empty: 041-045, 047, 050-060, 062-070, ... (55 more)");
}

TEST(BankJobs, APerformanceBankWritePadsShortMessagesAndACancelStopsAtOnce)
{
  BankRig r;
  r.host.performanceMode = 1;
  r.librarian.SetMode(PatchLibrarian::kPerformances);
  SysExAddress address;
  for (int n = 0; n < 128; ++n)
  {
    std::vector<Bytes> messages = BuildInitPerformance(address, 1, n);
    if (n == 0)
    {
      messages[1].erase(messages[1].end() - 2);                        // 26 bytes
      messages[2].erase(messages[2].end() - 5, messages[2].end() - 1); // 471 bytes
    }
    ASSERT_TRUE(r.librarian.PutSlot(0, n, SlotOf(messages)));
  }
  r.host.reply = [&](const Bytes& message)
  {
    if (message[9] == 3) r.worker.CancelJob();
    return std::vector<Bytes>{};
  };
  ASSERT_TRUE(RunJob(r.worker, r.Job(LinkJobCode::kWriteBank, 3)));
  const auto sent = r.SysExSent();
  // Slots 0 to 2 whole, the first message of slot 3, then nothing.
  ASSERT_EQ(sent.size(), 10u);
  EXPECT_EQ(sent[1].size(), 27u);
  EXPECT_EQ(sent[1][7], 0x1C);
  EXPECT_EQ(sent[1].back(), 0xF7);
  EXPECT_EQ(sent[2].size(), 475u);
  EXPECT_EQ(sent[2][8], 4);
  EXPECT_EQ(r.host.LastStatus(), "Data write CANCELLED!");
  EXPECT_EQ(r.librarian.selectedLeftSlot.load(), 0);
  EXPECT_EQ(r.host.BusyEvents(), (std::vector<bool>{true, false}));
}

TEST(BankJobs, LoadingAProgramSlotMovesTheEditorThenSendsThePartsEditBuffer)
{
  BankRig r;
  SysExAddress address;
  LibrarianSlot slot = SlotOf(BuildInitProgram(address, 6, 12), 12);
  ASSERT_TRUE(r.worker.LoadSlot(slot, 3, false));
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));

  const auto sent = r.SysExSent();
  ASSERT_EQ(sent.size(), 2u);
  // Edit form, without the memory form's extra byte, for part 3.
  EXPECT_EQ(sent[0].size(), 296u);
  EXPECT_EQ(sent[0][7], 0x00);
  EXPECT_EQ(sent[0][8], 3);
  EXPECT_EQ(sent[1].size(), 98u);
  EXPECT_EQ(sent[1][8], 3);
  // What leaves is what the editor took from the slot: the name came through the parser.
  EXPECT_EQ(std::string(sent[0].begin() + 9, sent[0].begin() + 21), "Init Program");
  EXPECT_EQ(r.worker.editBufferReceive.load(), 0);
  EXPECT_EQ(r.worker.slotLoad.load(), 0);
  EXPECT_EQ(r.worker.sendBusy.load(), 0);
  EXPECT_EQ(r.host.transferBusy.load(), 0);
}

TEST(BankJobs, LoadingAPerformanceGivesEachPartItsOwnChannelAndSendsThePerformance)
{
  BankRig r;
  r.host.performanceMode = 1;
  SysExAddress address;
  LibrarianSlot slot = SlotOf(BuildInitPerformance(address, 1, 0));
  ASSERT_TRUE(r.worker.LoadSlot(slot, 0, false));
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));

  for (int p = 0; p < 8; ++p)
  {
    EXPECT_EQ(r.host.IntParam(kMultiPartMIDICh + p), p);
  }
  const auto sent = r.SysExSent();
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(sent[0][7], 0x05);
  EXPECT_EQ(sent[0].size(), 381u);
  for (int p = 0; p < 8; ++p)
    EXPECT_EQ(sent[0][kPerformancePartBlock + 2 + kPerformancePartStride * size_t(p)], p);
  EXPECT_EQ(sent[2][7], 0x20);
}

TEST(BankJobs, InitJobsFillTheSelectedSlotUnlessOnlyTheTargetIsAsked)
{
  BankRig r;
  r.librarian.selectedLeftSlot = 6;
  r.librarian.receiveTargetSlot = 6;
  r.host.Set(kRequestFromBank, 1);
  LinkJob job = r.Job(LinkJobCode::kInitProgramSlot);
  ASSERT_TRUE(RunJob(r.worker, job));
  LibrarianSlot stored;
  ASSERT_TRUE(r.librarian.CopySlot(0, 6, &stored));
  EXPECT_EQ(stored.name.substr(0, 12), "Init Program");
  ASSERT_EQ(stored.messages.size(), 2u);
  EXPECT_EQ(stored.messages[0][8], 6);
  EXPECT_EQ(stored.messages[0][9], 6);
  EXPECT_EQ(r.host.SentCount(), 0u);

  r.host.patternMode = 1;
  r.librarian.SetMode(PatchLibrarian::kPatterns);
  ASSERT_TRUE(RunJob(r.worker, r.Job(LinkJobCode::kInitPatternSlot)));
  ASSERT_TRUE(r.librarian.CopySlot(0, 6, &stored));
  ASSERT_EQ(stored.messages.size(), 1u);
  EXPECT_EQ(stored.messages[0][7], 0x0C);

  // With the init target set and no interface update wanted: the overlay blinks, nothing more.
  r.host.patternMode = 0;
  r.host.performanceMode = 1;
  r.librarian.SetMode(PatchLibrarian::kPerformances);
  r.host.busyEvents.clear();
  job = r.Job(LinkJobCode::kInitPerformanceSlot);
  job.initTarget = 1;
  ASSERT_TRUE(RunJob(r.worker, job));
  EXPECT_FALSE(r.librarian.CopySlot(0, 6, &stored) && !stored.IsEmpty());
  EXPECT_EQ(r.host.BusyEvents(), (std::vector<bool>{true, false}));
  job.initTarget = 0;
  ASSERT_TRUE(RunJob(r.worker, job));
  ASSERT_TRUE(r.librarian.CopySlot(0, 6, &stored));
  EXPECT_EQ(stored.messages.size(), 3u);
  EXPECT_EQ(stored.name.substr(0, 9), "Init Perf");
}

TEST(BankJobs, APerformanceLoadWithReselectionReselectsThePartsThenAsksForTheEditBuffer)
{
  BankRig r;
  r.host.performanceMode = 1;
  r.host.reply = [&](const Bytes& request) -> std::vector<Bytes>
  {
    if (request[kSysExTypeOffset] != kSysExEditBufferRequest) return {};
    SysExAddress address;
    return {BuildPerformanceCommon(r.host.plug, address), BuildPerformanceType1B(r.host.plug, address),
            BuildPerformanceParts(r.host.plug, address)};
  };
  SysExAddress address;
  ASSERT_TRUE(r.worker.LoadSlot(SlotOf(BuildInitPerformance(address, 1, 0)), 0, true));
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));

  std::vector<int> types;
  int shorts = 0;
  for (const Bytes& m : r.host.Sent())
  {
    if (m[0] == 0xF0)
    {
      types.push_back(m[7]);
    }
    else if (++shorts % 3 == 2)
    {
      // The bank select of part p, on channel p.
      EXPECT_EQ(m, (Bytes{uint8_t(0xB0 | (shorts / 3)), 32, 5})) << shorts;
    }
  }
  EXPECT_EQ(shorts, 24);
  EXPECT_EQ(types, (std::vector<int>{0x05, 0x1B, 0x20, 0x05, 0x1B, 0x20, 0x08}));
  EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kCompletedText);
  EXPECT_EQ(r.host.reselectingParts.load(), 0);
  EXPECT_EQ(r.worker.editBufferReceive.load(), 0);
  EXPECT_EQ(r.host.transferBusy.load(), 0);
}
