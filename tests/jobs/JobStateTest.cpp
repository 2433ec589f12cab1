// What a job leaves behind for the next one: no pending request id, no record armed for an
// answer that nothing asked for, and no field of the job record of the job before.
#include "tests/jobs/FakeSynth.h"

#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/dumps/DumpForms.h"
#include "link/dumps/PerformanceDump.h"
#include "link/dumps/ProgramDump.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
struct Rig
{
  Rig()
  {
    host.librarian = &librarian;
    host.Set(kLibSyncTimer, 2); // 100 ms
    host.worker = &worker;
    host.clockJobStarted = 1; // no clock job from the audio blocks
  }

  FakeSynth host;
  PatchLibrarian librarian;
  TransferWorker worker{host, host};
};

LinkJob JobOf(LinkJobCode code, int partOrSlot = 0)
{
  LinkJob job;
  job.code = code;
  job.partOrSlot = partOrSlot;
  return job;
}

size_t ProgramChangesSent(FakeSynth& host)
{
  const auto sends = host.ShortSends();
  return size_t(
      std::count_if(sends.begin(), sends.end(), [](const auto& s) { return (s.first & 0xF0) == 0xC0; }));
}
} // namespace

// A pending request id ends with the job, whichever job it was (a slot load after a program change
// in the librarian view among them), so a later edit-buffer answer is taken whole.
TEST(JobState, APendingRequestEndsWithEveryJob)
{
  Rig r;
  for (LinkJobCode code : {LinkJobCode::kLoadSlot, LinkJobCode::kBusyPulse, LinkJobCode::kSendPartProgram})
  {
    r.host.pendingRequestId = 1;
    ASSERT_TRUE(RunJob(r.worker, JobOf(code, 1)));
    EXPECT_EQ(r.host.pendingRequestId.load(), -1) << int(code);
  }
}

// "Receive from Hardware > All Patterns" asks the synthesizer for nothing: it arms no record and
// says so. A pattern dump that the synthesizer sends later, in program mode, changes no program
// slot; nor does a slot completed for a record of another kind than the left pane's bank.
TEST(JobState, APatternBankRequestArmsNothingAndSaysSo)
{
  Rig r;
  r.librarian.SetMode(PatchLibrarian::kPatterns);
  r.host.patternMode = 1;
  ASSERT_TRUE(r.worker.RequestPatternBank());
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
  EXPECT_FALSE(r.worker.RecordArmed(DumpKind::Pattern));
  EXPECT_TRUE(r.host.Sent().empty());
  EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kNoPatternRequestText);

  r.host.patternMode = 0;
  r.librarian.SetMode(PatchLibrarian::kPrograms);
  r.librarian.selectedLeftSlot = 7;
  SysExAddress address;
  address.deviceId = 15;
  const Bytes pattern = BuildInitPattern(address, 7);
  r.worker.ReceiveSysExMessage(pattern.data(), pattern.size(), true);
  LibrarianSlot slot;
  EXPECT_FALSE(r.librarian.CopySlot(PatchLibrarian::kLeft, 7, &slot) && !slot.IsEmpty());

  // A pattern record armed while the mode was patterns, completed once it is programs.
  r.host.patternMode = 1;
  r.worker.ArmReceive(true);
  r.host.patternMode = 0;
  const uint32_t refused = r.worker.refusedMessages.load();
  r.worker.ReceiveSysExMessage(pattern.data(), pattern.size(), true);
  EXPECT_FALSE(r.librarian.CopySlot(PatchLibrarian::kLeft, 7, &slot) && !slot.IsEmpty());
  EXPECT_EQ(r.worker.refusedMessages.load(), refused + 1);
}

// The part request the audio callback posts once the jobs thread is free is a job of its own: the
// program change of the request before it is not sent again.
TEST(JobState, TheDeferredPartRequestCarriesNothingOfTheJobBefore)
{
  Rig r;
  LinkJob followUp = JobOf(LinkJobCode::kRequestPartProgram, 0);
  followUp.toEditorFlag = true;
  followUp.programChange = 5;
  ASSERT_TRUE(RunJob(r.worker, followUp));
  ASSERT_EQ(ProgramChangesSent(r.host), 1u);

  r.host.deferredPartRequest = 1;
  r.host.selectedPart = 2;
  r.worker.PostFromAudioBlock(false);
  EXPECT_EQ(r.host.deferredPartRequest.load(), 0);
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));
  EXPECT_EQ(ProgramChangesSent(r.host), 1u);
  const auto requests = r.host.SentOfType(kSysExEditBufferRequest);
  EXPECT_EQ(requests.size(), 2u);
}
