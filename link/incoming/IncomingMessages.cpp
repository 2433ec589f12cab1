#include "link/incoming/IncomingMessages.h"

#include "config/ConfigReader.h"
#include "config/MidiMapRecord.h"
#include "framework/controls/IControl.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "link/output/DeviceSender.h"
#include "link/host/LinkHost.h"
#include "link/host/LinkState.h"

#include <algorithm>

IncomingMessages::IncomingMessages(LinkHost& host) : mHost(host), mState(host.State()) {}

namespace
{
bool In(int v, int first, int last)
{
  return v >= first && v <= last;
}

// The part of a per-part parameter of the eight indices from base, or -1.
int PartOf(int index, int base)
{
  return In(index, base, base + kPartCount - 1) ? index - base : -1;
}

// The per-part effects parameters that a part without its own effects hands to the multi-mode ones.
bool IsPartEffect(int p)
{
  return In(p, kFXDistortionOverdrive, kFXCMorph + kPartCount - 1) &&
         !In(p, kFXPanPosition, kFXPanPosition + kPartCount - 1);
}

// The early-reflection parameter of a reverb early-reflection or room parameter (either mode),
// or -1. The room parameter of a part is the early reflection's index + 16.
int ReverbEarlyRef(int p)
{
  for (int base : {int(kFXReverbEarlyRef), int(kFXMultiReverbEarlyRef)})
  {
    if (PartOf(p, base) >= 0) return p;
    if (PartOf(p, base + 16) >= 0) return p - 16;
  }
  return -1;
}

// A channel message whose data bytes are all 0..127: a data byte with the top bit set is a broken
// message, never a value.
bool IsValidChannelMessage(const IMidiMessage& m)
{
  if (m.status < 0x80 || m.status > 0xEF || m.data1 > 0x7F) return false;
  return IMidiMessage::LengthForStatus(m.status) != 3 || m.data2 <= 0x7F;
}

bool BankSelectLsbOfBank(int v)
{
  return v == 64 || v == 66 || v == 80 || v == 96;
}
} // namespace

int IncomingMessages::PartOnChannel(int channel)
{
  // A part channel above 15 is the global channel (DeviceSender::PartChannel).
  DeviceSender sender(mHost);
  for (int part = 0; part < kPartCount; ++part)
    if (sender.PartChannel(part) == channel) return part;
  return -1;
}

int IncomingMessages::ChannelKey(int channel)
{
  const int part = PartOnChannel(channel);
  return part >= 0 ? part + 1 : channel + 1;
}

bool IncomingMessages::SwitchOn(int type, bool deviceSide)
{
  return mState.passThrough[size_t(type + (deviceSide ? kDeviceSide : 0))] != 0;
}

void IncomingMessages::HandleMidiMessage(const IMidiMessage& message, bool fromDevice)
{
  if (mState.transferBusy || mState.incomingMidiBlocked || mHost.EditBufferReceiveOn()) return;
  if (fromDevice && mHost.IntParam(kMasterKeyboard) == 1) return;
  if (!IsValidChannelMessage(message)) return;
  if (fromDevice)
  {
    ReceiveMidiMessage(message);
    return;
  }
  const int part = PartOnChannel(message.status & 0x0F);
  ReceivePartMidiMessage(message, part < 0 ? 0 : part);
}

void IncomingMessages::ReceiveMidiMessage(const IMidiMessage& message)
{
  if (!IsValidChannelMessage(message)) return;
  mState.fromHostFlag = 0;
  switch (message.status & 0xF0)
  {
  case 0x80:
  case 0x90:
    if (!SwitchOn(kNoteSwitch, true)) return;
    break;
  case 0xA0:
    if (!SwitchOn(kPolyPressureSwitch, true)) return;
    break;
  case 0xD0:
    if (!SwitchOn(kChannelPressureSwitch, true)) return;
    break;
  case 0xE0:
    if (!SwitchOn(kPitchBendSwitch, true)) return;
    break;
  case 0xB0:
    if (SwitchOn(kCcSwitch, true)) DeviceController(message);
    return;
  case 0xC0:
    if (SwitchOn(kProgramSwitch, true)) DeviceProgramChange(message);
    return;
  default:
    return;
  }
  PassOn(message, true);
}

void IncomingMessages::ReceivePartMidiMessage(const IMidiMessage& message, int part)
{
  if (!mState.midiOutputReady || !IsValidChannelMessage(message)) return;
  mState.fromHostFlag = 1;
  if (part < 0 || part >= kPartCount) part = 0;
  switch (message.status & 0xF0)
  {
  case 0x80:
  case 0x90:
    if (!SwitchOn(kNoteSwitch, false)) return;
    break;
  case 0xA0:
    if (!SwitchOn(kPolyPressureSwitch, false)) return;
    break;
  case 0xD0:
    if (!SwitchOn(kChannelPressureSwitch, false)) return;
    break;
  case 0xE0:
    if (!SwitchOn(kPitchBendSwitch, false)) return;
    break;
  case 0xB0:
    if (SwitchOn(kCcSwitch, false)) HostController(message);
    return;
  case 0xC0:
    if (SwitchOn(kProgramSwitch, false)) HostProgramChange(message, part);
    return;
  default:
    return;
  }
  PassOn(message, false);
}

void IncomingMessages::DeviceController(const IMidiMessage& message)
{
  const int channel = message.status & 0x0F;
  const int c = message.data1;
  const int v = message.data2;
  if (c == 99 || c == 98)
  {
    (c == 99 ? mNrpnMsb : mNrpnLsb) = v;
    PassOn(message, true);
    return;
  }
  if (c != 6)
  {
    mNrpnMsb = 0;
    mNrpnLsb = kNoNrpnLsb;
  }
  // The synthesizer's bank select of its own: MSB 0 then the bank's LSB, neither mapped nor passed.
  if (c == 0 && v == 0)
  {
    mBankSelectZero = true;
    return;
  }
  if (c == 32 && mBankSelectZero && BankSelectLsbOfBank(v))
  {
    mBankSelectZero = false;
    return;
  }
  if (c == 6 && mNrpnLsb == 113 && channel == DeviceSender(mHost).GlobalChannel() &&
      (In(v, 76, 83) || In(v, 55, 62)))
  {
    mHost.SetParamInEditor(kQuickTab, v >= 76 ? v - 76 : v - 55);
    mHost.RunSecondaryChangeHandler(kQuickTab);
  }
  Resolve(c, ChannelKey(channel), v, true, true);
  PassOn(message, true);
}

void IncomingMessages::HostController(const IMidiMessage& message)
{
  const int c = message.data1;
  const int v = message.data2;
  if (c == 0 && v == 0) return;
  if (c == 32 && BankSelectLsbOfBank(v)) return;
  // The host's NRPN numbers are not assembled: its controller 6 is a plain controller.
  Resolve(c, ChannelKey(message.status & 0x0F), v, false, false);
  PassOn(message, false);
}

void IncomingMessages::PrepareReception()
{
  mState.requestProcessed = 0;
  mState.hardwareAnswered = 0;
  mHost.PrepareEditBufferReceive();
}

void IncomingMessages::LoadLibrarianSlot(int program, int part)
{
  // No request id is left pending: the slot load asks for nothing, and a pending id would cut a
  // later answer down to this part's program.
  mHost.StoreReceivedProgram(program);
  PrepareReception();
  // On the host's processing thread too: the jobs thread copies the slot, this one only posts.
  if (!DeviceSender(mHost).PostLibrarianSlot(program, mHost.LibrarianViewSide(), part))
    mHost.CancelEditBufferReceive();
}

void IncomingMessages::FollowUpProgramChange(int program, int part)
{
  // The request names its part itself while it runs (the pending request id).
  LinkJob job;
  job.code = LinkJobCode::kRequestPartProgram;
  job.partOrSlot = part;
  job.toEditorFlag = true;
  job.programChange = program;
  if (!(mHost.JobsThreadIdle() && mHost.PostJob(job))) mHost.CancelEditBufferReceive();
}

bool IncomingMessages::TransferRunning(bool processingThread)
{
  // Preparing the follow-up would end the reception a running transfer waits for (its receive
  // record disarmed, the librarian's selected slot moved), and its post would be refused anyway.
  if (mHost.JobsThreadIdle()) return false;
  if (processingThread)
    mHost.SetStatusTextFromProcessing(kProgramChangeDuringTransfer);
  else
    mHost.SetStatusText(kProgramChangeDuringTransfer);
  return true;
}

void IncomingMessages::DeviceProgramChange(const IMidiMessage& message)
{
  const int channel = message.status & 0x0F;
  const bool global = channel == DeviceSender(mHost).GlobalChannel();
  const int listening = PartOnChannel(channel);
  const int part = listening < 0 ? 0 : listening;
  if (!global && mHost.IntParam(kPartLock + part) == 1) return;
  if (TransferRunning(false)) return;
  const int program = std::min<int>(message.data1, 127);
  const bool library = mHost.IntParam(kControlLibrary) == 1;
  mHost.ProgramChangeReceived(library && global == bool(mState.performanceMode));
  if (library)
  {
    if (global && !mState.performanceMode)
    {
      mHost.SetStatusText(kTurnOnPerformanceMode);
      return;
    }
    if (!global && mState.performanceMode)
    {
      mHost.SetStatusText(kTurnOnProgramMode);
      return;
    }
    LoadLibrarianSlot(program, part);
    return;
  }
  PrepareReception();
  if (global)
  {
    LinkJob job;
    job.code = LinkJobCode::kRequestEditBuffer;
    job.toEditorFlag = true;
    if (!(mHost.JobsThreadIdle() && mHost.PostJob(job))) mHost.CancelEditBufferReceive();
  }
  else
    FollowUpProgramChange(program, part);
  mHost.StoreReceivedProgram(program);
}

void IncomingMessages::HostProgramChange(const IMidiMessage& message, int part)
{
  if (mHost.IntParam(kPartLock + part) == 1) return;
  const bool library = mHost.IntParam(kControlLibrary) == 1;
  if ((library || mHost.IntParam(kPartProgramChange + part) == 1) && TransferRunning(true)) return;
  const int program = std::min<int>(message.data1, 127);
  mHost.ProgramChangeReceived(library);
  if (library)
  {
    LoadLibrarianSlot(program, part);
    return;
  }
  if (mHost.IntParam(kPartProgramChange + part) != 1) return;
  PrepareReception();
  FollowUpProgramChange(program, part);
  mHost.StoreReceivedProgram(program);
}

void IncomingMessages::ResolveControllerToParam(int c, int key, int v, bool apply)
{
  Resolve(c, key, v, apply, apply);
}

namespace
{
// A value received for a control, as the user would have set it: the parameter's own value
// (controllers with an off and an on value give 0 or 1) on its normalised scale.
void ReceiveAsUser(IControl* control, int value)
{
  IParameter* param = control->Parameter();
  if (!param) return;
  double plain = value;
  const MidiMapRecord* record = param->MidiMap();
  if (record && record->kind == MidiMapRecord::kCcOffOn) plain = value == record->offValue ? 0.0 : 1.0;
  control->ReceiveUserValue(param->NormaliseValue(plain));
}
} // namespace

void IncomingMessages::Resolve(int c, int key, int v, bool apply, bool assembled)
{
  ConfigReader* config = mHost.LinkConfig();
  if (!config) return;
  NrpnDecode d;
  bool nrpn = false;
  IControl* control = nullptr;
  if (c == 6 && assembled && mNrpnLsb != kNoNrpnLsb)
  {
    // The number stays as assembled, so a repeated data entry means the same parameter.
    d = DecodeNrpn(mNrpnMsb, mNrpnLsb, v);
    switch (d.action)
    {
    case NrpnDecode::kIgnore:
      return;
    case NrpnDecode::kPartOn:
    case NrpnDecode::kPartOff:
      mHost.SetParamInEditor(kMultiPartStatus + d.part, d.action == NrpnDecode::kPartOn ? 1.0 : 0.0);
      return;
    case NrpnDecode::kSelectPart:
      mHost.SetParamInEditor(kQuickTab, d.part);
      mHost.RunSecondaryChangeHandler(kQuickTab);
      return;
    case NrpnDecode::kLookup:
      break;
    }
    control = config->FindInNrpnMap(key, d.msbKey, d.base, d.lsbKey, d.block);
    nrpn = control != nullptr;
  }
  // On the synthesizer's global channel (the key of channel + 1) the controls registered for it
  // come first, then the plain ones of that channel.
  const bool globalKey = key == DeviceSender(mHost).GlobalChannel() + 1;
  if (!control && globalKey) control = config->FindInCcMap(key, c, 1);
  if (!control) control = config->FindInCcMap(key, c, 0);
  if (!control)
  {
    // Bank select of a part: only a part key names a part.
    if (c == 32 && In(v, 64, 66) && In(key, 1, kPartCount))
    {
      const int part = key - 1;
      mHost.SetParamInEditor(kMultiPartBank + part, v - 64);
      mHost.SetParamInEditor(kCurrentBank, v - 64);
      DeviceSender(mHost).SendPartBankSelect(part, v - 64, false);
    }
    return;
  }

  auto lookUp = [&](int block)
  {
    return nrpn ? config->FindInNrpnMap(key, d.msbKey, d.base, d.lsbKey, block)
                : config->FindInCcMap(key, c, block);
  };
  mState.applyingReceivedController = 0;
  int p = control->ParamIdx();
  if (IsPartEffect(p))
  {
    const int part = (p - kFXDistortionOverdrive) % kPartCount;
    if (mHost.IntParam(kMultiPartEffectsUsed + part) == 0)
      if (IControl* multi = lookUp(1)) control = multi;
  }
  else if (In(p, kMultiArpBank, kMultiArpProgram + kPartCount - 1))
  {
    const int part = (p - kMultiArpBank) % kPartCount;
    if (mHost.IntParam(kMultiArpSource + part) == 1)
      if (IControl* own = lookUp(0)) control = own;
  }
  p = control->ParamIdx();
  const int value = nrpn ? d.value : v;
  if (apply)
  {
    mState.applyingReceivedController = 1;
    ApplyDeviceValue(control, p, v, value);
  }
  else
    ReceiveAsUser(control, value);
  if (nrpn && d.refreshPart) mHost.RunSecondaryChangeHandler(kQuickTab);
  mState.applyingReceivedController = 0;
}

void IncomingMessages::ApplyDeviceValue(IControl* control, int p, int v, int value)
{
  if (const int part = PartOf(p, kEnvelopeTriggering); part >= 0)
  {
    const int bits = value >= 7 ? 7 : std::max(value, 0);
    mHost.SetParamInEditor(kEnvelope1Triggering + part, (bits & 4) ? 1.0 : 0.0);
    mHost.SetParamInEditor(kEnvelope2Triggering + part, (bits & 2) ? 1.0 : 0.0);
    mHost.SetParamInEditor(kEnvelope3Triggering + part, (bits & 1) ? 1.0 : 0.0);
    return;
  }
  if (const int early = ReverbEarlyRef(p); early >= 0)
  {
    // One value carries both: room in the upper bits, early reflection in the lower three.
    const int room = early + 16;
    const double roomValue = std::max(value, 0) / 8;
    const double earlyValue = std::max(value, 0) % 8;
    const bool roomDiffers = mHost.ParamValue(room) != roomValue;
    const bool earlyDiffers = mHost.ParamValue(early) != earlyValue;
    if (earlyDiffers) mHost.SetParamInEditor(early, earlyValue);
    if (roomDiffers) mHost.SetParamInEditor(room, roomValue);
    if (roomDiffers)
      mHost.RunChangeHandler(room);
    else if (earlyDiffers)
      mHost.RunChangeHandler(early);
    return;
  }
  const int arpPart = PartOf(p, kArpNoteOrdering) >= 0 ? PartOf(p, kArpNoteOrdering) : PartOf(p, kArpFillIn);
  if (arpPart >= 0 && In(v, 122, 127))
  {
    const int fill = (v - 122) % 2;
    const int ordering = (v - 122) / 2;
    const bool sameOrdering = mHost.IntParam(kArpNoteOrdering + arpPart) == ordering;
    mHost.SetParamInEditor(kArpFillIn + arpPart, fill);
    mHost.SetParamInEditor(kArpNoteOrdering + arpPart, ordering);
    mHost.RunChangeHandler(sameOrdering && fill == 1 ? kArpFillIn + arpPart : kArpNoteOrdering + arpPart);
    return;
  }
  if (PartOf(p, kMultiPartEffectsUsed) >= 0)
  {
    if (value == 0 || value == 1) mHost.SetParamInEditor(p, value);
    mHost.RunChangeHandler(kMainTab);
    return;
  }
  const int polyPart =
      PartOf(p, kProgramPolyphony) >= 0 ? PartOf(p, kProgramPolyphony) : PartOf(p, kMultiPartPolyphony);
  if (polyPart >= 0)
  {
    const int voices = value + 1;
    mHost.SetParamInEditor(kMultiPartPolyphony + polyPart, voices);
    if (voices == 1 || voices == 2) mHost.SetParamInEditor(kProgramPolyphony + polyPart, voices - 1);
    return;
  }
  if (p == kGlobalLocalControl)
  {
    // The switch follows the flag, so the editor shows what the synthesizer now does.
    mState.localControlOn = v != 0;
    mHost.SetParamInEditor(kGlobalLocalControl, v != 0 ? 1.0 : 0.0);
    return;
  }
  ReceiveAsUser(control, value);
}

void IncomingMessages::PassOn(const IMidiMessage& message, bool deviceSide)
{
  DeviceSender sender(mHost);
  if (mState.ledsShowIncoming)
    if (const int part = PartOnChannel(message.status & 0x0F); part >= 0) sender.LightPart(part);
  if (deviceSide && mState.localControlOn) return;
  if (mState.connectPending || !mState.editorReady || !mState.midiOutputReady) return;
  // quiet: neither the MIDI input thread nor the host's processing thread waits on the console.
  sender.SendGated(message, true);
}
