#include "link/output/DeviceSender.h"

#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/host/LinkHost.h"
#include "link/host/LinkState.h"
#include "link/output/LogSysExOut.h"

#include <algorithm>
#include <cstdio>

DeviceSender::DeviceSender(LinkHost& host) : mHost(host), mState(host.State()) {}

namespace
{
uint8_t DataByte(int value)
{
  return uint8_t(std::clamp(value, 0, 0x7F));
}

IMidiMessage Short(uint8_t kind, int channel, int data1, int data2)
{
  IMidiMessage message;
  message.status = uint8_t(kind | (channel & 0x0F));
  message.data1 = DataByte(data1);
  message.data2 = DataByte(data2);
  return message;
}

bool ValidPart(int part)
{
  return part >= 0 && part < kPartCount;
}
} // namespace

int DeviceSender::GlobalChannel()
{
  return std::clamp(mHost.IntParam(kGlobalMidiChannel), 0, 15);
}

int DeviceSender::PartChannel(int part)
{
  if (!ValidPart(part)) return GlobalChannel();
  const int channel = mHost.IntParam(kMultiPartMIDICh + part);
  return channel < 0 || channel > 15 ? GlobalChannel() : channel;
}

bool DeviceSender::Wait(int ms)
{
  return mHost.LinkClock().SleepMs(ms, mHost.LinkStop());
}

void DeviceSender::LightPart(int part)
{
  if (!ValidPart(part) || !mHost.EditorOpen()) return;
  int32_t dark = 0;
  // While lit, further traffic does not renew the light's time.
  if (!mState.ledLit[size_t(part)].compare_exchange_strong(dark, 1)) return;
  mState.ledTime[size_t(part)] = int32_t(uint32_t(mHost.LinkClock().NowMs()));
  mHost.SetParamInEditor(kMIDILed + part, 1.0);
}

void DeviceSender::DimActivityLights()
{
  if (!mHost.EditorOpen()) return;
  const uint32_t now = uint32_t(mHost.LinkClock().NowMs());
  for (int part = 0; part < kPartCount; ++part)
  {
    if (!mState.ledLit[size_t(part)]) continue;
    // Unsigned difference: the millisecond count may wrap like the system's 32-bit timer.
    if (now - uint32_t(mState.ledTime[size_t(part)].load()) < 100) continue;
    mHost.SetParamInEditor(kMIDILed + part, 0.0);
    mState.ledLit[size_t(part)] = 0;
  }
}

void DeviceSender::SendMidiToHardware(const IMidiMessage& message, bool quiet)
{
  if (!mState.midiOutputReady)
  {
    mHost.SetStatusText(kSetMidiFirst);
    return;
  }
  if (!mState.ledsShowIncoming)
  {
    const int channel = message.status & 0x0F;
    for (int part = 0; part < kPartCount; ++part)
      if (mHost.IntParam(kMultiPartMIDICh + part) == channel)
      {
        LightPart(part);
        break;
      }
  }
  IMidiMessage out = message;
  out.data1 = std::min<uint8_t>(out.data1, 0x7F);
  out.data2 = std::min<uint8_t>(out.data2, 0x7F);
  mHost.DeviceSendShort(out);
  if (!quiet) std::fputs("Plug-in MIDI Out ", stdout);
}

void DeviceSender::SendSysExToHardware(const uint8_t* bytes, int length)
{
  if (!mState.midiOutputReady)
  {
    mHost.SetStatusText(kSetMidiFirst);
    return;
  }
  if (!bytes || length <= 0) return;
  if (!mState.ledsShowIncoming && length > 8 && bytes[2] == 0x20 && bytes[3] == 0x29) LightPart(bytes[8]);
  mHost.DeviceSendSysEx(bytes, length);
  LogSysExOut(bytes, length);
}

void DeviceSender::SendGated(const IMidiMessage& message, bool quiet)
{
  if (mState.connectPending || !mState.editorReady) return;
  if (mState.queueShortMidi)
    mState.midiQueue.Add(message);
  else
    SendMidiToHardware(message, quiet);
}

void DeviceSender::SendAllNotesOff(int part, bool allParts, bool quiet)
{
  if (!mState.midiOutputReady) return;
  if (!allParts)
  {
    SendGated(Short(0xB0, PartChannel(part), 123, 0), quiet);
    return;
  }
  for (int p = 0; p < kPartCount; ++p)
    if (mHost.IntParam(kMultiPartStatus + p) != 0) SendGated(Short(0xB0, PartChannel(p), 123, 0), quiet);
}

void DeviceSender::SendPartProgramChange(int program, int part)
{
  if (!mState.midiOutputReady || !ValidPart(part)) return;
  const int value = std::clamp(program, 0, 127);
  mHost.SetParamInEditor(kMultiPartPatch + part, value);
  SendMidiToHardware(Short(0xC0, PartChannel(part), value, 0));
  Wait(25);
}

void DeviceSender::SendPartBankSelect(int part, int bank, bool wait)
{
  if (!mState.midiOutputReady || !ValidPart(part)) return;
  if (bank < 0) bank = mHost.IntParam(kRequestFromBank);
  mHost.SetParamInEditor(kMultiPartBank + part, bank);
  SendMidiToHardware(Short(0xB0, PartChannel(part), 32, bank + 5));
  if (wait) Wait(25);
}

int DeviceSender::DuplicateOf(int part)
{
  if (!ValidPart(part)) return -1;
  const int bank = mHost.IntParam(kMultiPartBank + part);
  const int program = mHost.IntParam(kMultiPartPatch + part);
  for (int q = 0; q < kPartCount; ++q)
    if (q != part && mHost.IntParam(kMultiPartStatus + q) == 1 && mState.lastBank[size_t(q)] == bank &&
        mState.lastProgram[size_t(q)] == program)
      return q;
  return -1;
}

bool DeviceSender::SelectPartProgram(int part)
{
  if (!ValidPart(part)) return false;
  int channel = 0, bank = 0, program = 0;
  if (mState.performanceMode)
  {
    channel = GlobalChannel();
    bank = mHost.IntParam(kMultiBank) + 96;
    program = mHost.IntParam(kMultiPatch);
  }
  else
  {
    channel = PartChannel(part);
    bank = mHost.IntParam(kMultiPartBank + part) + 5;
    program = mHost.IntParam(kMultiPartPatch + part);
    const int keptBank = mState.lastBank[size_t(part)].exchange(bank - 5);
    const int keptProgram = mState.lastProgram[size_t(part)].exchange(program);
    const int other = DuplicateOf(part);
    if (other >= 0 && !mState.conflictWindowSuppressed)
    {
      // Nothing is sent: the part keeps the selection it last sent, so no other part meets the refused one.
      mState.lastBank[size_t(part)] = keptBank;
      mState.lastProgram[size_t(part)] = keptProgram;
      mState.conflictPart = part;
      mHost.ShowProgramConflict(part, other);
      return false;
    }
  }

  if (mState.midiOutputReady) SendGated(Short(0xB0, channel, 123, 0));
  SendMidiToHardware(Short(0xB0, channel, 0, 0));
  if (!Wait(25)) return true;
  SendMidiToHardware(Short(0xB0, channel, 32, bank));
  if (!Wait(25)) return true;
  SendMidiToHardware(Short(0xC0, channel, program, 0));
  if (Wait(50)) Wait(GetMidiDelay());
  return true;
}

void DeviceSender::SendNrpn(int value, bool blockIncoming)
{
  mState.transferBusy = 1;
  mState.conflictWindowSuppressed = 0;
  mState.incomingMidiBlocked = blockIncoming ? 1 : 0;
  const int channel = GlobalChannel();
  SendMidiToHardware(Short(0xB0, channel, 98, 113));
  if (Wait(25))
  {
    mHost.SetMidiDisplayText("NRPN");
    SendMidiToHardware(Short(0xB0, channel, 6, value + 76));
  }
  mState.incomingMidiBlocked = 0;
  mState.transferBusy = 0;
}

void DeviceSender::ResendPartIfLocked(int part)
{
  if (!ValidPart(part)) return;
  if (mState.midiOutputReady && !mState.transferBusy && !Wait(100)) return;
  constexpr int kSectionLockGroups = 22;
  bool locked = false;
  for (int group = 0; group < kSectionLockGroups && !locked; ++group)
    locked = mHost.IntParam(kSectionLockOsc1 + kPartCount * group + part) == 1;
  if (!locked || !mHost.JobsThreadIdle()) return;
  LinkJob job;
  job.code = LinkJobCode::kSendPartProgram;
  job.partOrSlot = part;
  job.storeFlag = false;
  mHost.PostJob(job);
}

bool DeviceSender::TakeLibrarianSlot(int slot, int side, LibrarianSlot& copy)
{
  PatchLibrarian* librarian = mHost.Librarian();
  if (!librarian) return false;
  {
    auto lock = librarian->Lock();
    BankEntry* bank = librarian->Bank(side);
    if (!bank) return false;
    if (bank->NumSlots() < BankEntry::kNumSlots) bank->Resize(BankEntry::kNumSlots);
    const LibrarianSlot* stored = bank->Slot(slot);
    if (!stored || stored->IsEmpty()) return false;
    copy.CopyFrom(*stored);
  }
  mHost.SetLoadedSlot(slot);
  return true;
}

bool DeviceSender::SendLibrarianSlot(int slot, int side, int part)
{
  LinkJob job;
  job.code = LinkJobCode::kLoadSlot;
  job.partOrSlot = part;
  job.reselectParts = mState.performanceMode != 0;
  if (!TakeLibrarianSlot(slot, side, job.slot)) return false;
  if (!mState.midiOutputReady) return false;
  return mHost.JobsThreadIdle() && mHost.PostJob(job);
}

bool DeviceSender::PostLibrarianSlot(int slot, int side, int part)
{
  if (!mHost.Librarian() || slot < 0 || slot >= BankEntry::kNumSlots || !mState.midiOutputReady) return false;
  LinkJob job;
  job.code = LinkJobCode::kLoadSlot;
  job.partOrSlot = part;
  job.side = side;
  job.slot.number = uint32_t(slot);
  job.slotFromBank = true;
  job.reselectParts = mState.performanceMode != 0;
  return mHost.JobsThreadIdle() && mHost.PostJob(job);
}

bool DeviceSender::ReselectPerformanceParts()
{
  mState.reselectingParts = 1;
  bool going = Wait(500);
  for (int part = 0; part < kPartCount && going; ++part)
  {
    const int program = std::clamp(mHost.IntParam(kMultiPartPatch + part), 0, 127);
    const int bank = mHost.IntParam(kMultiPartBank + part);
    // A different program first, so the synthesizer really loads the one that follows.
    mHost.DeviceSendShort(Short(0xC0, part, program == 127 ? 126 : program + 1, 0));
    going = Wait(75);
    if (!going) break;
    mHost.DeviceSendShort(Short(0xB0, part, 32, bank + 5));
    going = Wait(75);
    if (!going) break;
    mHost.DeviceSendShort(Short(0xC0, part, program, 0));
    going = Wait(75);
  }
  mState.conflictWindowSuppressed = 0;
  mState.reselectingParts = 0;
  return going;
}

bool DeviceSender::RequestConnect()
{
  mState.connectPending = 1;
  LinkJob handshake;
  handshake.code = LinkJobCode::kConnect;
  if (mState.midiOutputReady && !mState.transferBusy && mHost.JobsThreadIdle() && mHost.PostJob(handshake))
  {
    Wait(100);
    return true;
  }
  // Nothing will ever clear it otherwise, and every controller would stay muted.
  mState.connectPending = 0;
  return false;
}

int DeviceSender::GetMidiDelay()
{
  static constexpr int kDelays[] = {50, 75, 100, 200, 300, 400, 500};
  const int value = mHost.IntParam(kLibSyncTimer);
  return value >= 0 && value < 7 ? kDelays[value] : 100;
}
