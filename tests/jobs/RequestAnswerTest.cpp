// Which messages answer a request: an edit-buffer request into the editor completes with one
// program as well as with a performance, and a librarian slot takes only the answer it asked for.
#include "tests/jobs/FakeSynth.h"

#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/dumps/DumpForms.h"
#include "link/dumps/PerformanceDump.h"
#include "link/dumps/ProgramDump.h"

#include <gtest/gtest.h>

namespace
{
struct Rig
{
  Rig()
  {
    host.librarian = &librarian;
    host.Set(kLibSyncTimer, 2); // 100 ms
    host.worker = &worker;
  }

  FakeSynth host;
  PatchLibrarian librarian;
  TransferWorker worker{host, host};
};

SysExAddress AddressOf(int deviceId)
{
  SysExAddress address;
  address.deviceId = deviceId;
  return address;
}

// A program as the synthesizer sends its edit buffer: edit form, the part in byte 8.
std::vector<Bytes> EditProgram(int deviceId, int part, uint8_t mark = 0)
{
  std::vector<Bytes> messages = BuildInitProgram(AddressOf(deviceId), 5, 0);
  for (Bytes& m : messages)
  {
    EXPECT_TRUE(ToEditForm(m, DumpKind::Program, part));
    m[40] = mark;
  }
  return messages;
}

LinkJob EditBufferToEditor()
{
  LinkJob job;
  job.code = LinkJobCode::kRequestEditBuffer;
  job.toEditorFlag = true;
  return job;
}
} // namespace

// In program mode the synthesizer answers the edit-buffer request with the selected part's program
// alone. Taken, it completes the request: at once for another part than the first, and for the
// first (with which a performance's answer begins too) once nothing more has followed it. A
// performance's answer is still taken whole, every part's program and the performance.
TEST(RequestAnswer, AOneProgramAnswerCompletesTheEditBufferRequest)
{
  for (int part : {3, 0})
  {
    Rig r;
    r.host.reply = [&](const Bytes& request)
    {
      return request[kSysExTypeOffset] == kSysExEditBufferRequest ? EditProgram(15, part)
                                                                  : std::vector<Bytes>{};
    };
    const int64_t start = r.host.clock.NowMs();
    ASSERT_TRUE(RunJob(r.worker, EditBufferToEditor()));
    EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kCompletedText) << part;
    EXPECT_EQ(r.host.SentOfType(kSysExEditBufferRequest).size(), 1u) << part;
    EXPECT_LE(r.host.clock.NowMs() - start, 1000) << part;
    EXPECT_EQ(r.worker.Sender(TransferWorker::kJobsLane).failed.load(), 0);
  }

  Rig r;
  r.host.reply = [&](const Bytes& request)
  {
    std::vector<Bytes> answer;
    if (request[kSysExTypeOffset] != kSysExEditBufferRequest) return answer;
    for (int part = 0; part < 8; ++part)
      for (Bytes& m : EditProgram(15, part))
        answer.push_back(std::move(m));
    for (Bytes& m : BuildInitPerformance(AddressOf(15), 1, 0))
    {
      EXPECT_TRUE(ToEditForm(m, DumpKind::Performance, 0));
      answer.push_back(std::move(m));
    }
    return answer;
  };
  ASSERT_TRUE(RunJob(r.worker, EditBufferToEditor()));
  EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kCompletedText);
  std::vector<int> named;
  for (const auto& [slot, name] : r.host.ProjectNames())
    named.push_back(slot);
  EXPECT_EQ(named, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 0}));
}

// While a bank request waits for each slot, dumps that were not asked for come first: another
// device's program in edit form and in memory form for the very slot, and the synthesizer's own
// edit buffer sent unasked. Each is refused and counted; every slot holds the synthesizer's answer.
TEST(RequestAnswer, ABankSlotTakesOnlyTheAnswerItAskedFor)
{
  Rig r;
  r.host.reply = [&](const Bytes& request)
  {
    std::vector<Bytes> answer;
    if (request[kSysExTypeOffset] != kSysExMemoryRequest) return answer;
    for (Bytes& m : EditProgram(4, 0, 0x33))
      answer.push_back(std::move(m));
    for (Bytes& m : BuildInitProgram(AddressOf(4), request[8], request[9]))
    {
      m[40] = 0x34;
      answer.push_back(std::move(m));
    }
    for (Bytes& m : EditProgram(15, 0, 0x35))
      answer.push_back(std::move(m));
    for (Bytes& m : BuildInitProgram(AddressOf(15), request[8], request[9]))
      answer.push_back(std::move(m));
    return answer;
  };
  ASSERT_TRUE(r.worker.RequestProgramBank(1));
  ASSERT_TRUE(WaitLaneIdle(r.worker, TransferWorker::kJobsLane));

  EXPECT_EQ(r.host.LastStatus(), MIDIMessageSender::kCompletedText);
  EXPECT_EQ(r.host.SentOfType(kSysExMemoryRequest).size(), 128u);
  EXPECT_EQ(r.worker.refusedMessages.load(), 128u * 6u);
  for (int n = 0; n < 128; ++n)
  {
    LibrarianSlot slot;
    ASSERT_TRUE(r.librarian.CopySlot(PatchLibrarian::kLeft, n, &slot));
    EXPECT_EQ(slot.messages, BuildInitProgram(AddressOf(15), 6, n)) << n;
  }
}
