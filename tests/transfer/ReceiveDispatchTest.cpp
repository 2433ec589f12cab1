// The receive dispatcher: answers collected into the armed librarian slot, edit-buffer dumps into
// the parameters, global settings during the handshake, and everything else left alone.
#include "tests/transfer/TransferTestHost.h"

#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/dumps/DumpForms.h"
#include "link/dumps/GlobalDump.h"
#include "link/dumps/PerformanceDump.h"
#include "link/dumps/ProgramDump.h"
#include "link/dumps/SysExFrame.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace
{
const SysExAddress kAddress{0, 15};

struct Receiver
{
  Receiver() : worker(host, host) { host.librarian = &librarian; }
  void Receive(const Bytes& m, bool fromDevice = true)
  {
    worker.ReceiveSysExMessage(m.data(), m.size(), fromDevice);
  }
  std::vector<double> Values()
  {
    std::vector<double> v;
    for (int i = 0; i < IEffectBase::kNumParameters; ++i)
      v.push_back(host.plug.ParameterAt(i)->Value());
    return v;
  }
  // Every dump parameter of the plug-in set to a random value of its range, for messages that
  // carry something else than zeros; the values are then moved away so a parse shows.
  void Scramble(unsigned seed)
  {
    std::mt19937 random(seed);
    for (const DumpTable& table : AllDumpTables())
      ForEachDrivenParameter(table,
                             [&](int index, const DumpField&)
                             {
                               IParameter* p = host.plug.ParameterAt(index);
                               p->SetClamped(
                                   std::uniform_real_distribution<double>(p->Min(), p->Max())(random));
                               p->SetClamped(std::round(p->Value()));
                             });
  }

  TransferTestHost host;
  PatchLibrarian librarian;
  TransferWorker worker;
};
} // namespace

TEST(ReceiveDispatch, APerformanceAnswerFillsTheSelectedSlotInMemoryForm)
{
  Receiver r;
  r.Scramble(1);
  const Bytes common = BuildPerformanceCommon(r.host.plug, kAddress);
  const Bytes vocoder = BuildPerformanceType1B(r.host.plug, kAddress);
  const Bytes parts = BuildPerformanceParts(r.host.plug, kAddress);
  ASSERT_EQ(common.size(), 381u);
  ASSERT_EQ(vocoder.size(), 25u);
  ASSERT_EQ(parts.size(), 473u);

  r.librarian.SetMode(PatchLibrarian::kPerformances);
  r.librarian.selectedLeftSlot = 7;
  r.librarian.receiveTargetSlot = 5;
  r.host.performanceMode = 1;
  r.host.hardwareAnswered = 1;
  r.host.requestProcessed = 1;
  r.worker.editBufferReceive = 1;
  r.worker.ArmReceive(true);
  EXPECT_EQ(r.worker.editBufferReceive.load(), 0);
  EXPECT_EQ(r.host.hardwareAnswered.load(), 0);
  EXPECT_EQ(r.host.requestProcessed.load(), 0);
  EXPECT_TRUE(r.worker.RecordArmed(DumpKind::Performance));
  EXPECT_FALSE(r.worker.RecordArmed(DumpKind::Program));
  EXPECT_FALSE(r.worker.RecordArmed(DumpKind::Pattern));

  const std::vector<double> before = r.Values();
  r.Receive(common);
  r.Receive(vocoder);
  EXPECT_EQ(r.worker.replyComplete.load(), 0);
  EXPECT_EQ(r.host.slotsReceived.load(), 0);
  r.Receive(parts);
  EXPECT_EQ(r.worker.replyComplete.load(), 1);
  EXPECT_EQ(r.host.slotsReceived.load(), 1);
  EXPECT_FALSE(r.worker.RecordArmed(DumpKind::Performance));
  // Collected, not parsed: the editor's parameters are untouched.
  EXPECT_EQ(r.Values(), before);

  LibrarianSlot stored;
  ASSERT_TRUE(r.librarian.CopySlot(PatchLibrarian::kLeft, 7, &stored));
  ASSERT_EQ(stored.messages.size(), 3u);
  const size_t sizes[] = {383, 27, 475};
  for (int i = 0; i < 3; ++i)
  {
    const Bytes& m = stored.messages[size_t(i)];
    EXPECT_EQ(m.size(), sizes[i]);
    bool memory = false;
    EXPECT_EQ(SlotMessageIndex(DumpKind::Performance, m.data(), m.size(), &memory), i);
    EXPECT_TRUE(memory);
    EXPECT_EQ(m[8], 1) << "bank A";
    EXPECT_EQ(m[9], 5) << "the receive target slot";
  }
  // A second answer without a new arming goes nowhere.
  r.Receive(common);
  EXPECT_EQ(r.host.slotsReceived.load(), 1);
}

TEST(ReceiveDispatch, APatternIsStoredWithItsNameAndStrayMessagesLeaveASlotIncomplete)
{
  Receiver r;
  r.librarian.SetMode(PatchLibrarian::kPatterns);
  r.librarian.selectedLeftSlot = 3;
  r.host.patternMode = 1;
  r.worker.ArmReceive(true);
  EXPECT_TRUE(r.worker.RecordArmed(DumpKind::Pattern));
  EXPECT_FALSE(r.worker.RecordArmed(DumpKind::Performance));
  EXPECT_FALSE(r.worker.RecordArmed(DumpKind::Program));

  // A message of another kind is not stored as a pattern.
  r.Receive(BuildProgramDumpB(r.host.plug, 0, kAddress));
  EXPECT_TRUE(r.worker.RecordArmed(DumpKind::Pattern));
  EXPECT_EQ(r.host.slotsReceived.load(), 0);

  Bytes pattern = BuildInitPattern(kAddress, 0);
  ASSERT_EQ(pattern.size(), 204u);
  r.Receive(pattern);
  EXPECT_EQ(r.host.slotsReceived.load(), 1);
  LibrarianSlot stored;
  ASSERT_TRUE(r.librarian.CopySlot(PatchLibrarian::kLeft, 3, &stored));
  ASSERT_EQ(stored.messages.size(), 1u);
  ASSERT_EQ(stored.messages[0].size(), 220u);
  EXPECT_EQ(std::string(stored.messages[0].begin() + 204, stored.messages[0].end()), "Requested Arp***");
  EXPECT_EQ(stored.name, "Requested Arp***");

  // Program mode: a program whose second message is missing stays incomplete and unstored.
  r.host.patternMode = 0;
  r.librarian.SetMode(PatchLibrarian::kPrograms);
  r.worker.ArmReceive(true);
  EXPECT_TRUE(r.worker.RecordArmed(DumpKind::Program));
  EXPECT_FALSE(r.worker.RecordArmed(DumpKind::Pattern));
  r.Receive(BuildProgramDump(r.host.plug, 0, kAddress));
  r.Receive(Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x1E, 0x00, 0xF7}); // cut short
  EXPECT_TRUE(r.worker.RecordArmed(DumpKind::Program));
  EXPECT_EQ(r.worker.RecordSlot(DumpKind::Program).messages.size(), 1u);
  EXPECT_EQ(r.host.slotsReceived.load(), 1);
  r.worker.EndReceive();
  EXPECT_FALSE(r.worker.RecordArmed(DumpKind::Program));
}

TEST(ReceiveDispatch, EditBufferDumpsGoToTheParametersOnlyWhileReceiveIsOn)
{
  Receiver source;
  source.Scramble(2);
  const Bytes main = BuildProgramDump(source.host.plug, 2, kAddress);
  const Bytes second = BuildProgramDumpB(source.host.plug, 2, kAddress);

  Receiver r;
  const std::vector<double> before = r.Values();
  // Nothing armed, receive off: nothing changes.
  r.Receive(main);
  r.Receive(second);
  EXPECT_EQ(r.Values(), before);
  // From the host, or with another header: not handled at all.
  r.worker.editBufferReceive = 1;
  r.Receive(main, false);
  Bytes foreign = main;
  foreign[2] = 0x21;
  r.Receive(foreign);
  for (size_t cut : {0, 1, 3, 7})
    r.worker.ReceiveSysExMessage(main.data(), cut, true);
  EXPECT_EQ(r.Values(), before);

  // Receive on: the program lands in part 2, and the second message completes the reply.
  r.worker.ArmReceive(false);
  EXPECT_EQ(r.worker.editBufferReceive.load(), 1);
  r.Receive(main);
  EXPECT_EQ(r.worker.replyComplete.load(), 0);
  r.Receive(second);
  EXPECT_EQ(r.worker.replyComplete.load(), 1);
  // The same parameters as the parsers give when called directly, and something did change.
  Receiver direct;
  ASSERT_TRUE(ParseProgramDump(direct.host.plug, main.data(), main.size(), DumpContext{}).Taken());
  ASSERT_TRUE(ParseProgramDumpB(direct.host.plug, second.data(), second.size(), DumpContext{}).Taken());
  EXPECT_EQ(r.Values(), direct.Values());
  EXPECT_NE(r.Values(), before);
  EXPECT_EQ(r.worker.messageConsumed.load(), 0);

  // A refused message of a known type tells why.
  Bytes shortMain(main.begin(), main.begin() + 200);
  shortMain.back() = 0xF7;
  r.Receive(shortMain);
  ASSERT_FALSE(r.host.StatusTexts().empty());
  EXPECT_FALSE(r.host.StatusTexts().back().empty());
}

TEST(ReceiveDispatch, AnEditBufferRequestIsAnsweredByThePerformancesLastMessageAndThenRefreshesTheView)
{
  Receiver source;
  source.Scramble(3);
  Receiver r;
  r.worker.ArmReceive(false);
  r.worker.editBufferPolling = 1;
  // The eight part programs come first: none of them completes the reply (the request would end
  // and close the reception before the performance's own messages).
  for (int part = 0; part < 8; ++part)
  {
    r.Receive(BuildProgramDump(source.host.plug, part, kAddress));
    r.Receive(BuildProgramDumpB(source.host.plug, part, kAddress));
    EXPECT_EQ(r.worker.replyComplete.load(), 0) << "part " << part;
  }
  r.Receive(BuildPerformanceCommon(source.host.plug, kAddress));
  r.Receive(BuildPerformanceType1B(source.host.plug, kAddress));
  EXPECT_EQ(r.worker.replyComplete.load(), 0) << "still polling";
  EXPECT_EQ(r.host.mainViewRefreshes.load(), 0);
  r.host.pendingRequestId = 0;
  r.Receive(BuildPerformanceParts(source.host.plug, kAddress));
  EXPECT_EQ(r.worker.replyComplete.load(), 1);
  EXPECT_EQ(r.worker.editBufferPolling.load(), 0);
  EXPECT_EQ(r.host.mainViewRefreshes.load(), 1);
  EXPECT_EQ(r.host.pendingRequestId.load(), -1);
  // Once: later messages do not refresh it again.
  r.Receive(BuildPerformanceType1B(source.host.plug, kAddress));
  EXPECT_EQ(r.host.mainViewRefreshes.load(), 1);

  // The program of the part a request names completes it, as does any program without a request.
  r.worker.editBufferPolling = 1;
  r.worker.replyComplete = 0;
  r.host.pendingRequestId = 3;
  r.Receive(BuildProgramDump(source.host.plug, 3, kAddress));
  r.Receive(BuildProgramDumpB(source.host.plug, 3, kAddress));
  EXPECT_EQ(r.worker.replyComplete.load(), 1);
  r.worker.editBufferPolling = 0;
  r.worker.replyComplete = 0;
  r.host.pendingRequestId = -1;
  r.Receive(BuildProgramDump(source.host.plug, 7, kAddress));
  r.Receive(BuildProgramDumpB(source.host.plug, 7, kAddress));
  EXPECT_EQ(r.worker.replyComplete.load(), 1);

  // Without a request the parts message completes the reply as well.
  r.worker.replyComplete = 0;
  r.Receive(BuildPerformanceParts(source.host.plug, kAddress));
  EXPECT_EQ(r.worker.replyComplete.load(), 1);

  // A short message while receive is off ends a request's bytes.
  r.worker.editBufferReceive = 0;
  r.worker.editBufferPolling = 1;
  r.worker.editBufferViewRefresh = 1;
  r.Receive(Bytes{0xF0, 0x00, 0x20, 0x29, 0x01, 0x24, 0x0F, 0x7F, 0xF7});
  EXPECT_EQ(r.worker.editBufferPolling.load(), 0);
  EXPECT_EQ(r.worker.editBufferViewRefresh.load(), 0);
}

TEST(ReceiveDispatch, TheHandshakeTakesTheAnsweringDeviceIdAndItsGlobalSettings)
{
  Receiver source;
  source.Scramble(4);
  Bytes global = BuildGlobalDumpB(source.host.plug, SysExAddress{0, 3});
  ASSERT_EQ(global.size(), 297u);
  global[6] = 3; // the answering synthesizer's device id

  Receiver r;
  r.host.deviceId = 15;
  // Not during a handshake: ignored.
  r.Receive(global);
  EXPECT_EQ(r.host.deviceId.load(), 15);

  r.host.connectPending = 1;
  r.Receive(global);
  EXPECT_EQ(r.host.deviceId.load(), 3);
  EXPECT_EQ(r.host.ParamValue(kGlobalMidiChannel), 3.0);
  EXPECT_EQ(r.worker.globalsReceived.load(), 1);
  EXPECT_EQ(r.worker.replyComplete.load(), 1);
  EXPECT_EQ(BuildGlobalDumpB(r.host.plug, SysExAddress{0, 3}, &global), global);
}

// The handshake's answer is both global messages: the first alone leaves it waiting (the second's
// local control, trims, pedal and switches are still to come), the second completes it.
TEST(ReceiveDispatch, OnlyTheSecondGlobalMessageCompletesTheHandshake)
{
  Receiver source;
  source.Scramble(5);
  source.host.plug.Set(kGlobalMasterTune, 33);
  source.host.plug.Set(kGlobalAudioIn1Trim, 7);
  const Bytes first = BuildGlobalDumpA(source.host.plug, SysExAddress{0, 3});
  const Bytes second = BuildGlobalDumpB(source.host.plug, SysExAddress{0, 3});

  Receiver r;
  r.host.connectPending = 1;
  r.Receive(first);
  EXPECT_EQ(r.host.plug.Value(kGlobalMasterTune), 33.0);
  EXPECT_EQ(r.worker.replyComplete.load(), 0);
  EXPECT_EQ(r.worker.globalsReceived.load(), 0);
  r.Receive(second);
  EXPECT_EQ(r.host.plug.Value(kGlobalAudioIn1Trim), 7.0);
  EXPECT_EQ(r.worker.replyComplete.load(), 1);
  EXPECT_EQ(r.worker.globalsReceived.load(), 1);
  // Both are kept for the next send of the global settings.
  EXPECT_EQ(r.worker.Received().Last(kSysExGlobalSettings), first);
  EXPECT_EQ(r.worker.Received().Last(kSysExGlobalSettings2), second);
}

// A received performance selects its part for the owner too (later requests and texts address
// it); received names go to the project's names, the performance's as name 0, a part's program's
// as name part + 1.
TEST(ReceiveDispatch, AReceivedPerformanceSelectsItsPartAndNamesGoToTheProject)
{
  Receiver source;
  source.Scramble(6);
  source.host.plug.Set(kQuickTab, 5);
  source.host.plug.ParameterAt(kMultiName)->AddValueText(0, "Stage Split");
  source.host.plug.ParameterAt(kPatchName + 2)->AddValueText(0, "Warm Brass");

  Receiver r;
  r.host.selectedPart = 1;
  r.worker.ArmReceive(false);
  r.Receive(BuildProgramDump(source.host.plug, 2, kAddress));
  r.Receive(BuildProgramDumpB(source.host.plug, 2, kAddress));
  EXPECT_EQ(r.host.selectedPart.load(), 1) << "a program selects no part";
  const Bytes common = BuildPerformanceCommon(source.host.plug, kAddress);
  r.Receive(common);
  EXPECT_EQ(r.host.plug.Value(kQuickTab), 5.0);
  EXPECT_EQ(r.host.selectedPart.load(), 5);
  r.Receive(BuildPerformanceType1B(source.host.plug, kAddress));
  r.Receive(BuildPerformanceParts(source.host.plug, kAddress));
  EXPECT_EQ(r.host.ProjectNames(),
            (std::vector<std::pair<int, std::string>>{{3, "Warm Brass      "}, {0, "Stage Split     "}}));
  EXPECT_EQ(r.worker.Received().Last(kSysExPerformanceEditBuffer), common);

  // Not received into the editor (no reception on): no name, no part.
  Receiver idle;
  idle.Receive(common);
  EXPECT_TRUE(idle.host.ProjectNames().empty());
  EXPECT_EQ(idle.host.selectedPart.load(), 0);
  EXPECT_TRUE(idle.worker.Received().Last(kSysExPerformanceEditBuffer).empty());
}
