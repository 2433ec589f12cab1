// The request jobs and the handshake against a fake synthesizer on the loopback port, on the
// virtual clock: the exact requests, the ids a scan tries, the time-outs and their texts.
#include "tests/jobs/FakeSynth.h"

#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/output/DeviceSender.h"
#include "link/dumps/GlobalDump.h"
#include "link/dumps/PerformanceDump.h"
#include "link/dumps/ProgramDump.h"

#include <gtest/gtest.h>

namespace
{
constexpr int kDelay100 = 2; // kLibSyncTimer value of a 100 ms delay

LinkJob JobOf(LinkJobCode code, int partOrSlot = 0)
{
  LinkJob job;
  job.code = code;
  job.partOrSlot = partOrSlot;
  return job;
}

struct Rig
{
  Rig()
  {
    host.librarian = &librarian;
    host.Set(kLibSyncTimer, kDelay100);
    host.worker = &worker;
  }

  FakeSynth host;
  PatchLibrarian librarian;
  TransferWorker worker{host, host};
};

// A program slot answer: the memory form the synthesizer sends for a memory request.
std::vector<Bytes> ProgramSlotAnswer(const Bytes& request)
{
  if (request[kSysExTypeOffset] != kSysExMemoryRequest) return {};
  SysExAddress address;
  address.deviceId = request[kSysExDeviceIdOffset];
  return BuildInitProgram(address, request[8], request[9]);
}
} // namespace

TEST(RequestJobs, AProgramRequestAsksForTheSelectedSlotAndStoresTheAnswer)
{
  Rig r;
  r.librarian.selectedLeftSlot = 5;
  r.librarian.receiveTargetSlot = 5;
  r.host.reply = ProgramSlotAnswer;
  const int64_t start = r.host.clock.NowMs();
  ASSERT_TRUE(r.worker.RequestProgram(false, 2));
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));

  EXPECT_EQ(r.host.Sent(),
            (std::vector<Bytes>{{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x13, 0x07, 0x05, 0xF7}}));
  EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kCompletedText);
  EXPECT_EQ(r.host.BusyEvents(), (std::vector<bool>{true, false}));
  EXPECT_EQ(r.worker.Sender(TransferWorker::kJobsLane).failed.load(), 0);
  LibrarianSlot stored;
  ASSERT_TRUE(r.librarian.CopySlot(0, 5, &stored));
  EXPECT_EQ(stored.messages.size(), 2u);
  EXPECT_EQ(stored.name.substr(0, 12), "Init Program");
  // The bank now holds a received slot: it shows as unsaved.
  EXPECT_EQ(r.host.receptionsFinished.load(), 1);
  // Answered at the first poll: one wait of the delay.
  EXPECT_EQ(r.host.clock.NowMs() - start, 100);
  EXPECT_EQ(r.host.pendingRequestId.load(), -1);
}

TEST(RequestJobs, ASilentSynthesizerTimesOutAfterTheScanOfAllSixteenIds)
{
  Rig r;
  const int64_t start = r.host.clock.NowMs();
  ASSERT_TRUE(r.worker.RequestProgram(false, 0));
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));

  // 30 polls of 100 ms plus sixteen tried ids of 100 ms.
  EXPECT_EQ(r.host.clock.NowMs() - start, 4600);
  const auto requests = r.host.SentOfType(kSysExMemoryRequest);
  ASSERT_EQ(requests.size(), 17u);
  EXPECT_EQ(requests[0][kSysExDeviceIdOffset], 15);
  for (int id = 0; id < 16; ++id)
    EXPECT_EQ(requests[size_t(id) + 1][kSysExDeviceIdOffset], id);
  EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kTimedOutText);
  EXPECT_TRUE(r.host.HasStatus("Please wait, checking DeviceID 16"));
  EXPECT_EQ(r.worker.Sender(TransferWorker::kJobsLane).failed.load(), 1);
  EXPECT_EQ(r.host.receptionsFinished.load(), 0);
  // Nothing is coming: no record waits on, no reception holds incoming messages back.
  EXPECT_FALSE(r.worker.RecordArmed(DumpKind::Program));
  EXPECT_EQ(r.worker.editBufferReceive.load(), 0);
  EXPECT_EQ(r.host.BusyEvents(), (std::vector<bool>{true, false}));
}

TEST(RequestJobs, AScanThatFindsTheSynthesizerOnAnotherIdAdoptsIt)
{
  Rig r;
  r.host.synthId = 3;
  r.host.reply = ProgramSlotAnswer;
  ASSERT_TRUE(r.worker.RequestProgram(false, 1));
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));

  const auto requests = r.host.SentOfType(kSysExMemoryRequest);
  ASSERT_EQ(requests.size(), 5u); // id 15, then 0 to 3
  EXPECT_EQ(requests.back()[kSysExDeviceIdOffset], 3);
  EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kCompletedText);
  EXPECT_EQ(r.host.deviceId.load(), 3);
  EXPECT_EQ(r.host.IntParam(kGlobalMidiChannel), 3);

  // The next request goes to the adopted id at once.
  r.host.ClearSent();
  ASSERT_TRUE(r.worker.RequestProgram(false, 1));
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
  ASSERT_EQ(r.host.SentOfType(kSysExMemoryRequest).size(), 1u);
}

// A slow synthesizer on id 3: its answer comes in only while the scan tries id 4. The id taken is
// the one the answer came from, not the one being tried when it was seen.
TEST(RequestJobs, AnAnswerLateInTheScanAdoptsTheIdItCameFrom)
{
  Rig r;
  r.host.synthId = 4;
  r.host.reply = [](const Bytes& request)
  {
    Bytes late = request;
    late[kSysExDeviceIdOffset] = 3;
    return ProgramSlotAnswer(late);
  };
  ASSERT_TRUE(r.worker.RequestProgram(false, 1));
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));

  const auto requests = r.host.SentOfType(kSysExMemoryRequest);
  ASSERT_EQ(requests.size(), 6u); // id 15, then 0 to 4
  EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kCompletedText);
  EXPECT_EQ(r.host.deviceId.load(), 3);
  EXPECT_EQ(r.host.IntParam(kGlobalMidiChannel), 3);
}

TEST(RequestJobs, AProgramBankRequestsEverySlotInOrderAndShowsItsProgress)
{
  Rig r;
  r.host.reply = ProgramSlotAnswer;
  ASSERT_TRUE(r.worker.RequestProgramBank(3));
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));

  const auto requests = r.host.SentOfType(kSysExMemoryRequest);
  ASSERT_EQ(requests.size(), 128u);
  for (size_t n = 0; n < requests.size(); ++n)
  {
    EXPECT_EQ(requests[n][8], 8) << n;
    EXPECT_EQ(requests[n][9], n);
  }
  ASSERT_FALSE(r.host.partTexts.empty());
  EXPECT_EQ(r.host.partTexts.front().second, "Processed 0/127");
  EXPECT_EQ(r.host.partTexts.back().second, "Processed 127/127");
  EXPECT_TRUE(r.host.HasStatus("Please wait! 99% received.."));
  EXPECT_FALSE(r.host.HasStatus("Please wait! 100% received.."));
  EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kCompletedText);
  EXPECT_EQ(r.librarian.selectedLeftSlot.load(), 0);
  EXPECT_EQ(r.host.receptionsFinished.load(), 1);
  for (int n : {0, 64, 127})
  {
    LibrarianSlot slot;
    ASSERT_TRUE(r.librarian.CopySlot(0, n, &slot));
    EXPECT_EQ(slot.messages.size(), 2u) << n;
    EXPECT_EQ(slot.messages[0][9], n);
  }
}

TEST(RequestJobs, ABankRequestEndsAtASlotSilentTwiceAndACancelStopsIt)
{
  {
    Rig r;
    r.host.performanceMode = 1;
    r.librarian.SetMode(PatchLibrarian::kPerformances);
    r.host.reply = [](const Bytes& request) -> std::vector<Bytes>
    {
      if (request[9] >= 10) return {};
      SysExAddress address;
      address.deviceId = request[kSysExDeviceIdOffset];
      return BuildInitPerformance(address, request[8], request[9]);
    };
    const int64_t start = r.host.clock.NowMs();
    ASSERT_TRUE(r.worker.RequestPerformanceBank(1));
    ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
    const auto requests = r.host.SentOfType(kSysExMemoryRequest);
    // Slots 0 to 9 once each, then slot 10 twice with its scan each time; slot 11 is never asked for.
    ASSERT_EQ(requests.size(), 10u + 2u * 17u);
    EXPECT_EQ(requests.back()[8], 2);
    EXPECT_EQ(requests.back()[9], 10);
    EXPECT_EQ(r.host.LastStatus(), "CONNECTION TIMED OUT! No answer for slot 011.");
    EXPECT_EQ(r.librarian.selectedLeftSlot.load(), 0);
    // Ten answered slots (100 ms and 25 ms each) and two time-outs of 4.6 s, not minutes.
    EXPECT_EQ(r.host.clock.NowMs() - start, 10 * 125 + 2 * 4600);
    EXPECT_EQ(r.host.partTexts.back().second, "Processed 9/127");
  }
  {
    Rig r;
    r.host.reply = [&](const Bytes& request)
    {
      if (request[9] == 5) r.worker.CancelJob();
      return ProgramSlotAnswer(request);
    };
    ASSERT_TRUE(r.worker.RequestProgramBank(0));
    ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
    const auto requests = r.host.SentOfType(kSysExMemoryRequest);
    ASSERT_EQ(requests.size(), 6u);
    EXPECT_EQ(r.host.LastStatus(), "Data request cancelled!");
    EXPECT_EQ(r.host.changeHandlers, (std::vector<int>{kRefreshFolders}));
    EXPECT_EQ(r.librarian.selectedLeftSlot.load(), 0);
    EXPECT_EQ(r.worker.Sender(TransferWorker::kJobsLane).failed.load(), 1);
    EXPECT_EQ(r.host.BusyEvents(), (std::vector<bool>{true, false}));
  }
}

namespace
{
// A program bank of the synthesizer whose slots all differ: slot n's name and a byte of its second
// message carry n.
std::vector<Bytes> DistinctProgramSlot(const Bytes& request)
{
  std::vector<Bytes> answer = ProgramSlotAnswer(request);
  if (answer.size() != 2) return answer;
  answer[0][10] = uint8_t('A' + request[9] % 26);
  answer[0][11] = uint8_t('0' + request[9] % 10);
  answer[1][20] = request[9];
  return answer;
}

// Receives program bank A from a synthesizer on id 3 at cable pace (30 ms, then 3,125 bytes/s)
// that drops the answers to the first `lost` requests for slot 40 addressed to it; the bank must
// arrive whole.
void ExpectWholeBankDespiteLostAnswers(int lost, int delaySetting)
{
  Rig r;
  r.host.Set(kLibSyncTimer, delaySetting);
  r.host.synthId = 3;
  r.host.deviceId = 3;
  r.host.cableBytesPerSecond = 3125;
  r.host.cableDelayMs = 30;
  int asked40 = 0;
  r.host.reply = [&](const Bytes& request) -> std::vector<Bytes>
  {
    if (request[9] == 40 && asked40++ < lost) return {};
    return DistinctProgramSlot(request);
  };
  ASSERT_TRUE(r.worker.RequestProgramBank(0));
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));

  EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kCompletedText);
  EXPECT_EQ(r.host.partTexts.back().second, "Processed 127/127");
  for (int n = 0; n < 128; ++n)
  {
    LibrarianSlot slot;
    ASSERT_TRUE(r.librarian.CopySlot(0, n, &slot));
    Bytes request(11, 0);
    request[kSysExTypeOffset] = kSysExMemoryRequest;
    request[kSysExDeviceIdOffset] = 3;
    request[8] = 5;
    request[9] = uint8_t(n);
    EXPECT_EQ(slot.messages, DistinctProgramSlot(request)) << "slot " << n;
  }
  EXPECT_EQ(r.host.deviceId.load(), 3);
}
} // namespace

// At cable pace the answer to the scan's request comes in while later ids are tried: what has come
// is kept (the record is armed once per slot) and the scan stops at the next id.
TEST(RequestJobs, ABankAtCablePaceKeepsAnAnswerThatArrivesDuringTheScan)
{
  ExpectWholeBankDespiteLostAnswers(1, 0); // a delay of 50 ms: the answer spans three tried ids
}

// A slot whose answer is lost again during the scan is asked for once more.
TEST(RequestJobs, ABankSlotWhoseAnswersAreLostIsAskedForAgain)
{
  ExpectWholeBankDespiteLostAnswers(2, 2);
}

// Slot 10's answer comes twenty times over (as after repeated askings) on a slow cable: slot 11's answer
// waits behind them for longer than the scan's 25 polls. The repeats, refused, still show the cable
// busy: slot 11 is asked for once, and the bank arrives whole.
TEST(RequestJobs, AnswersQueuedOnTheCableKeepTheNextSlotWaitingWithoutAScan)
{
  Rig r;
  r.host.Set(kLibSyncTimer, 0); // 50 ms: 25 polls are 1.25 s, twenty answers on the cable 2.5 s
  r.host.synthId = 3;
  r.host.deviceId = 3;
  r.host.cableBytesPerSecond = 3125;
  r.host.cableDelayMs = 30;
  r.host.reply = [](const Bytes& request)
  {
    std::vector<Bytes> answer = DistinctProgramSlot(request);
    if (request[9] != 10) return answer;
    std::vector<Bytes> repeated;
    for (int i = 0; i < 20; ++i)
      repeated.insert(repeated.end(), answer.begin(), answer.end());
    return repeated;
  };
  ASSERT_TRUE(r.worker.RequestProgramBank(0));
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
  EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kCompletedText);
  size_t asked11 = 0;
  for (const Bytes& request : r.host.SentOfType(kSysExMemoryRequest))
    asked11 += request[9] == 11 ? 1 : 0;
  EXPECT_EQ(asked11, 1u);
  LibrarianSlot slot;
  ASSERT_TRUE(r.librarian.CopySlot(0, 127, &slot));
  EXPECT_EQ(slot.messages.size(), 2u);
}

TEST(RequestJobs, TheHandshakeAdoptsTheAnsweringIdOrSaysNoResponse)
{
  {
    Rig r;
    r.host.connectPending = 1;
    r.host.synthId = 4;
    r.host.reply = [&](const Bytes& request) -> std::vector<Bytes>
    {
      if (request[kSysExTypeOffset] != kSysExDeviceIdRequest) return {};
      SysExAddress address;
      address.deviceId = 4;
      // The synthesizer's global settings carry its own device id in byte 6.
      Bytes first = BuildGlobalDumpA(r.host.plug, address), second = BuildGlobalDumpB(r.host.plug, address);
      first[kSysExDeviceIdOffset] = second[kSysExDeviceIdOffset] = 4;
      return {first, second};
    };
    const int64_t start = r.host.clock.NowMs();
    ASSERT_TRUE(r.worker.Post(JobOf(LinkJobCode::kConnect)));
    ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
    const auto requests = r.host.SentOfType(kSysExDeviceIdRequest);
    ASSERT_EQ(requests.size(), 6u); // id 15, then 0 to 4
    EXPECT_EQ(r.host.clock.NowMs() - start, 25 * 1000 + 5 * 500);
    EXPECT_EQ(r.host.deviceId.load(), 4);
    EXPECT_EQ(r.host.LastStatus(), "Plug-in is ready to go!");
    EXPECT_EQ(r.host.connectPending.load(), 0);
    EXPECT_EQ(r.worker.globalsReceived.load(), 1);
  }
  {
    // The first global message alone is no answer: the second one's settings never came.
    Rig r;
    r.host.connectPending = 1;
    r.host.synthId = 4;
    r.host.reply = [&](const Bytes& request) -> std::vector<Bytes>
    {
      if (request[kSysExTypeOffset] != kSysExDeviceIdRequest) return {};
      Bytes first = BuildGlobalDumpA(r.host.plug, SysExAddress{0, 4});
      first[kSysExDeviceIdOffset] = 4;
      return {first};
    };
    const int64_t start = r.host.clock.NowMs();
    ASSERT_TRUE(r.worker.Post(JobOf(LinkJobCode::kConnect)));
    ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
    EXPECT_EQ(r.host.SentOfType(kSysExDeviceIdRequest).size(), 17u);
    EXPECT_EQ(r.host.clock.NowMs() - start, 35 * 1000 + 16 * 500);
    EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kNoResponseText);
    EXPECT_EQ(r.worker.globalsReceived.load(), 0);
    EXPECT_EQ(r.host.connectPending.load(), 0);
  }
  {
    Rig r;
    r.host.connectPending = 1;
    const int64_t start = r.host.clock.NowMs();
    ASSERT_TRUE(r.worker.Post(JobOf(LinkJobCode::kConnect)));
    ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
    EXPECT_EQ(r.host.SentOfType(kSysExDeviceIdRequest).size(), 17u);
    EXPECT_EQ(r.host.clock.NowMs() - start, 35 * 1000 + 16 * 500);
    EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kNoResponseText);
    EXPECT_TRUE(r.host.HasStatus("Connecting to Hardware"));
    EXPECT_EQ(r.host.deviceId.load(), 15);
    EXPECT_EQ(r.host.connectPending.load(), 0);
    EXPECT_EQ(r.host.BusyEvents(), (std::vector<bool>{true, false}));
  }
}

TEST(RequestJobs, APartRequestSendsItsProgramChangeFirstAndGivesUpItsReception)
{
  {
    Rig r;
    r.host.Set(kMultiPartMIDICh + 2, 6);
    LinkJob job = JobOf(LinkJobCode::kRequestPartProgram, 2);
    job.toEditorFlag = true;
    job.programChange = 12;
    const int64_t start = r.host.clock.NowMs();
    ASSERT_TRUE(r.worker.Post(job));
    ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
    const auto sent = r.host.Sent();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Bytes{0xC6, 12}));
    EXPECT_EQ(sent[1], (Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x08, 0xF7}));
    EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kTimedOutText);
    // Program change wait, the first wait, 35 polls and the wait after a failure.
    EXPECT_EQ(r.host.clock.NowMs() - start, 25 + 100 + 35 * 100 + 100);
    EXPECT_EQ(r.worker.editBufferReceive.load(), 0);
    EXPECT_EQ(r.host.pendingRequestId.load(), -1);
  }
  {
    // An answer into the editor: the part's two program messages.
    Rig r;
    r.host.reply = [&](const Bytes& request) -> std::vector<Bytes>
    {
      if (request[kSysExTypeOffset] != kSysExEditBufferRequest) return {};
      SysExAddress address;
      return {BuildProgramDump(r.host.plug, 1, address), BuildProgramDumpB(r.host.plug, 1, address)};
    };
    ASSERT_TRUE(r.worker.RequestCurrentProgram(1, true));
    ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
    EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kCompletedText);
    EXPECT_EQ(r.worker.Sender(TransferWorker::kJobsLane).failed.load(), 0);
  }
}

TEST(RequestJobs, EditBufferRequestsTimeOutByTheirOwnRules)
{
  {
    // To the librarian: 200 polls of 25 ms whatever the delay, then half the delay.
    Rig r;
    r.host.Set(kLibSyncTimer, 6);
    const int64_t start = r.host.clock.NowMs();
    ASSERT_TRUE(r.worker.RequestEditBuffer(false));
    ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
    EXPECT_EQ(r.host.clock.NowMs() - start, 200 * 25 + 250);
    EXPECT_EQ(r.host.SentOfType(kSysExEditBufferRequest).size(), 1u);
    EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kTimedOutText);
  }
  {
    // To the editor: a scan at poll 30, the time-out at poll 40.
    Rig r;
    const int64_t start = r.host.clock.NowMs();
    ASSERT_TRUE(r.worker.RequestEditBuffer(true));
    ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
    EXPECT_EQ(r.host.clock.NowMs() - start, 40 * 100 + 16 * 100 + 50);
    EXPECT_EQ(r.host.SentOfType(kSysExEditBufferRequest).size(), 17u);
    EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kTimedOutText);
    EXPECT_EQ(r.worker.editBufferReceive.load(), 0);
    EXPECT_EQ(r.worker.editBufferPolling.load(), 0);
  }
  {
    // Without an output the gated send says so, and the job still ends.
    Rig r;
    r.host.midiOutputReady = 0;
    ASSERT_TRUE(r.worker.RequestEditBuffer(false));
    ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
    EXPECT_TRUE(r.host.HasStatus(DeviceSender::kSetMidiFirst));
    EXPECT_EQ(r.host.SentCount(), 0u);
  }
}
