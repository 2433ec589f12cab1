// The jobs that send the editor's state to the synthesizer or store it into the librarian: the
// performance (0), the global settings (1) and one part's program (2).
#include "link/transfer/MIDIMessageSender.h"

#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/output/DeviceSender.h"
#include "link/dumps/DumpForms.h"
#include "link/dumps/GlobalDump.h"
#include "link/dumps/PerformanceDump.h"
#include "link/dumps/ProgramDump.h"
#include "link/host/TransferHost.h"
#include "link/transfer/TransferWorker.h"

bool MIDIMessageSender::SendPaced(const std::vector<uint8_t>& message, int64_t waitMs)
{
  DeviceSender(mHost).SendSysExToHardware(message.data(), int(message.size()));
  return Sleep(waitMs);
}

void MIDIMessageSender::InjectSlot(const std::vector<std::vector<uint8_t>>& messages)
{
  mWorker.ArmReceive(true);
  for (const std::vector<uint8_t>& message : messages)
    mWorker.ReceiveSysExMessage(message.data(), message.size(), true);
  mWorker.EndReceive();
  mTransferHost.FinishReceive();
}

bool MIDIMessageSender::SendPartProgram(int part, bool store)
{
  const bool inPerformance = mState.performanceSend != 0;
  // A performance send keeps the overlay up across all its parts.
  BusyScope busy(mTransferHost, !inPerformance && !job.quiet);
  IEffectBase& plug = mTransferHost.DumpPlug();
  bool going = true;
  if (store)
  {
    PatchLibrarian* librarian = mHost.Librarian();
    const int slot = librarian ? librarian->selectedLeftSlot.load() : 0;
    InjectSlot(BuildProgramForSlot(plug, part, Address(), mHost.IntParam(kRequestFromBank) + 5, slot));
  }
  else
  {
    const std::vector<uint8_t> main = BuildProgramDump(plug, part, Address());
    // The name the synthesizer now holds is the project's (a performance names its parts itself).
    if (!inPerformance) mTransferHost.StoreProjectName(1 + part, ProgramDumpName(main));
    going = SendPaced(main, 150) && SendPaced(BuildProgramDumpB(plug, part, Address()), 150);
    if (!inPerformance) mState.transferBusy = 0;
  }
  mWorker.sendBusy = 0;
  return going;
}

bool MIDIMessageSender::SendGlobalSettings()
{
  BusyScope busy(mTransferHost, !job.quiet);
  IEffectBase& plug = mTransferHost.DumpPlug();
  // Most of the two messages is the synthesizer's own, which the editor never shows: without the
  // synthesizer's last messages to keep it from, sending would overwrite it with zeros.
  const std::vector<uint8_t> receivedA = mWorker.ReceivedGlobals(0), receivedB = mWorker.ReceivedGlobals(1);
  if (receivedA.empty() || receivedB.empty())
  {
    mHost.SetStatusText(kNoGlobalsText);
    return true;
  }
  const int wait = 2 * Delay();
  return SendPaced(BuildGlobalDumpA(plug, Address(), &receivedA), wait) &&
         SendPaced(BuildGlobalDumpB(plug, Address(), &receivedB), wait);
}

void MIDIMessageSender::SendPerformance(bool store)
{
  BusyScope busy(mTransferHost, !job.quiet);
  IEffectBase& plug = mTransferHost.DumpPlug();
  bool going = true;
  if (mState.sendGlobalsFirst.exchange(0)) going = SendGlobalSettings();
  // The parts' programs go to the synthesizer only: a stored performance slot holds the
  // performance alone.
  if (going && mState.sendPartsFirst.exchange(0) && !store)
  {
    mState.performanceSend = 1;
    for (int part = 0; part < 8 && going; ++part)
    {
      mWorker.sendBusy = 1;
      going = SendPartProgram(part, false);
    }
  }
  // The settings no parameter carries are the synthesizer's, as it last sent them.
  const std::vector<std::vector<uint8_t>> received{mWorker.Received().Last(kSysExPerformanceEditBuffer),
                                                   mWorker.Received().Last(kSysExPerformanceEditBuffer2),
                                                   mWorker.Received().Last(kSysExPerformanceEditParts)};
  if (going && store)
  {
    PatchLibrarian* librarian = mHost.Librarian();
    const int slot = librarian ? librarian->selectedLeftSlot.load() : 0;
    InjectSlot(
        BuildPerformanceForSlot(plug, Address(), DefaultBankCode(DumpKind::Performance), slot, &received));
  }
  else if (going)
  {
    const std::vector<uint8_t> common = BuildPerformanceCommon(plug, Address(), &received[0]);
    going = SendPaced(common, 200) && SendPaced(BuildPerformanceType1B(plug, Address(), &received[1]), 200) &&
            SendPaced(BuildPerformanceParts(plug, Address(), &received[2]), 500);
    mTransferHost.StoreProjectName(0, PerformanceDumpName(common));
  }
  mState.performanceSend = 0;
  mState.transferBusy = 0;
  mWorker.sendBusy = 0;
}
