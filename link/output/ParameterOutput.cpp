#include "link/output/ParameterOutput.h"

#include "config/MidiMapRecord.h"
#include "framework/controls/IControl.h"
#include "framework/plugin/ParameterIds.h"
#include "link/dumps/SysExFrame.h"
#include "link/output/DeviceSender.h"
#include "link/host/LinkHost.h"
#include "link/host/LinkState.h"

#include <algorithm>
#include <cmath>
#include <string>

ParameterOutput::ParameterOutput(LinkHost& host) : mHost(host), mState(host.State()) {}

namespace
{
bool In(int index, int first, int last)
{
  return index >= first && index <= last;
}

// A per-part parameter: the part of index within the eight indices from base, or -1.
int PartOf(int index, int base)
{
  return In(index, base, base + kPartCount - 1) ? index - base : -1;
}

uint8_t DataByte(int value)
{
  return uint8_t(std::clamp(value, 0, 0x7F));
}

bool GlobalChannelIndex(int index)
{
  return In(index, kGlobalLocalControl, kGlobalTempo);
}

bool GlobalNrpnIndex(int index)
{
  return GlobalChannelIndex(index) || In(index, 3153, 3169) || In(index, 2096, 2112);
}

bool IsDeviceSetting(int index)
{
  return index == kDeviceOutSelection || index == kDeviceInSelection || index == kCurrentModel ||
         index == kGlobalMidiChannel;
}
} // namespace

int ParameterOutput::RecordChannel(const MidiMapRecord& record)
{
  DeviceSender sender(mHost);
  return record.part >= 0 && record.part < kPartCount ? sender.PartChannel(record.part)
                                                      : sender.GlobalChannel();
}

void ParameterOutput::SendParamToHardware(MidiMapRecord* record, int index, double value)
{
  if (!record || !std::isfinite(value)) return;
  // Rounded, as every integer setting is read: a value a hair below a step is that step.
  const int v = NearestWhole(value);
  if (record->lastValueSent.load() == double(v)) return;
  if (!mState.midiOutputReady)
  {
    if (!IsDeviceSetting(index) && mState.editorReady) mHost.SetStatusText(DeviceSender::kSetMidiFirst);
    return; // not remembered: the same value is tried again on the next change
  }
  record->lastValueSent = double(v);
  const double normalised = mHost.ParamNormalised(index);
  for (IControl* control : record->boundControls)
    if (control) control->ReceivePluginValue(normalised);

  switch (record->kind)
  {
  case MidiMapRecord::kCc:
    SendController(*record, index, v);
    break;
  case MidiMapRecord::kCcOffOn:
    SendControllerOffOn(*record, index, v);
    break;
  case MidiMapRecord::kNrpn:
    SendNrpn(*record, index, v, value);
    break;
  case MidiMapRecord::kSysExPair:
    SendSysExTable(*record, index, v);
    break;
  case MidiMapRecord::kSysExTable:
    SendSysExTable(*record, index, v);
    if (!record->sysExList) RequestPatternAfterSysEx(index);
    break;
  default:
    break;
  }
}

bool ParameterOutput::MayEcho()
{
  if (mState.inSecondaryChange) return false;
  if (mState.applyingReceivedController && mState.localControlOn && !mState.fromHostFlag) return false;
  return true;
}

void ParameterOutput::SendShort(int channel, int controller, int value)
{
  if (!MayEcho()) return;
  IMidiMessage message;
  message.status = uint8_t(0xB0 | (channel & 0x0F));
  message.data1 = DataByte(controller);
  message.data2 = DataByte(value);
  DeviceSender(mHost).SendGated(message);
}

void ParameterOutput::SendController(const MidiMapRecord& record, int index, int v)
{
  // A record without a controller number sends nothing rather than controller 0 (bank select).
  if (record.ccNumber < 0 || record.ccNumber > 127) return;
  const bool tempo = index == kGlobalTempo || PartOf(index, kArpSpeed) >= 0;
  if (tempo && mHost.IntParam(kOverrideTempo) == 1) return; // the host's tempo rules
  int data = v;
  if (PartOf(index, kFXReverbEarlyRef) >= 0 || PartOf(index, kFXMultiReverbEarlyRef) >= 0)
    data = v + 8 * mHost.IntParam(index + 16);
  else if (PartOf(index, kFXReverbRoom) >= 0 || PartOf(index, kFXMultiReverbRoom) >= 0)
    data = 8 * v + mHost.IntParam(index - 16);
  const int channel = GlobalChannelIndex(index) ? DeviceSender(mHost).GlobalChannel() : RecordChannel(record);
  mHost.SetMidiDisplayText("CC|" + std::to_string(record.ccNumber));
  SendShort(channel, record.ccNumber, data);
}

void ParameterOutput::SendControllerOffOn(const MidiMapRecord& record, int index, int v)
{
  if (record.ccNumber < 0 || record.ccNumber > 127) return;
  int data = v == 0 ? record.offValue : record.onValue;
  if ((index == kGlobalLocalControl || PartOf(index, kArpLatch) >= 0) && data == 1) data = 127;
  const int channel = GlobalChannelIndex(index) ? DeviceSender(mHost).GlobalChannel() : RecordChannel(record);
  mHost.SetMidiDisplayText("CC|" + std::to_string(record.ccNumber));
  SendShort(channel, record.ccNumber, data);
}

void ParameterOutput::SendNrpn(const MidiMapRecord& record, int index, int v, double value)
{
  if (record.ccNumber < 0 || record.ccNumber > 127) return;
  int msb = record.nrpnMsb;
  int lsb = record.nrpnLsb;
  int data = record.nrpnValueOffset + v;

  if (const int p = PartOf(index, kEnvelopeTriggering); p >= 0)
  {
    const int e1 = mHost.IntParam(kEnvelope1Triggering + p);
    const int e2 = mHost.IntParam(kEnvelope2Triggering + p);
    const int e3 = mHost.IntParam(kEnvelope3Triggering + p);
    lsb = 1;
    data = record.nrpnValueOffset + (e1 == 1 ? 4 : e1) + (e2 == 1 ? 2 : e2) + e3;
  }
  if (index == kGlobalMidiChannel)
  {
    data = record.nrpnValueOffset + v + 32;
    mHost.SetParamInEditor(kDeviceID_old, value);
  }
  else if (GlobalNrpnIndex(index))
  {
    // the defaults
  }
  else if (const int p = PartOf(index, kArpFillIn); p >= 0)
    data = v + 2 * (mHost.IntParam(kArpNoteOrdering + p) + 61);
  else if (const int p = PartOf(index, kArpNoteOrdering); p >= 0)
    data = mHost.IntParam(kArpFillIn + p) + 2 * v + 122;
  else if (PartOf(index, kArpBank) >= 0 || PartOf(index, kMultiArpBank) >= 0)
  {
    // The multi-mode twin shares the page: data 79 and up there is the arpeggiator latch.
    if (v > 2) msb = 43, lsb = 122, data = v - 3;
  }
  else if (const int p = PartOf(index, kFXChorusType); p >= 0)
  {
    if (v >= 3)
    {
      msb = 14, lsb = 122, data = v - 2;
      mHost.SetParamInEditor(kFXChorusType2 + p, v - 2);
    }
  }
  else if (const int p = PartOf(index, kFXMultiChorusType); p >= 0)
  {
    if (v >= 3)
    {
      msb = 14, lsb = 122, data = v - 2;
      mHost.SetParamInEditor(kFXMultiChorusType2 + p, v - 2);
    }
  }
  else if (PartOf(index, kFXDelayRatio) >= 0 || PartOf(index, kFXMultiDelayRatio) >= 0)
  {
    if (v >= 11) msb = 0, lsb = 100, data = v + 99;
  }
  else if (PartOf(index, kOscillator13FM) >= 0 || PartOf(index, kMultiPartSwitch1) >= 0)
    data = v == 1 ? 0 : 3;
  else if (PartOf(index, kOscillator23FM) >= 0 || PartOf(index, kMultiPartSwitch2) >= 0)
    data = v == 1 ? 1 : 4;
  else if (PartOf(index, kNoiseFM) >= 0 || PartOf(index, kMultiPartSwitch3) >= 0)
    data = v == 1 ? 2 : 5;
  else if (PartOf(index, kMultiPartSustain) >= 0)
  {
    if (v == 3)
      lsb = 110, data = 126;
    else if (v >= 4 && v <= 6)
      data = v + 76;
    else if (v == 7)
      lsb = 110, data = 127;
    else if (v >= 8 && v <= 12)
      lsb = 113, data = v - 4;
    else if (v == 13)
      data = 83;
  }
  if (index == kGlobalRXPC) data = v == 0 ? 34 : 36;
  if (PartOf(index, kMultiPartPolyphony) >= 0) data -= 1;

  const int channel = GlobalNrpnIndex(index) ? DeviceSender(mHost).GlobalChannel() : RecordChannel(record);
  SendShort(channel, 99, msb);
  SendShort(channel, 98, lsb);
  mHost.SetMidiDisplayText("MSB/LSB");
  SendShort(channel, record.ccNumber, data);
}

void ParameterOutput::SendSysExTable(const MidiMapRecord& record, int index, int v)
{
  const int64_t entry = int64_t(v) - int64_t(mHost.ParamMinimum(index));
  const int32_t deviceId = mState.deviceId;
  // The templates are written for the eight-part model; the synthesizer ignores a message of
  // another model's byte, so every one carries the current model's, as the requests do.
  const uint8_t model = SysExModelByte(mHost.IntParam(kCurrentModel));
  auto send = [&](SysExBytes message)
  {
    // The model and device id go into the frame's bytes of a message framed F0 00 20 29 01.
    const bool framed = message.size() > size_t(kSysExDeviceIdByte) && message[0] == 0xF0 &&
                        message[1] == 0x00 && message[2] == 0x20 && message[3] == 0x29;
    if (framed && message[4] == 0x01) message[kSysExModelByte] = model;
    if (framed && deviceId >= 0) message[kSysExDeviceIdByte] = std::min(deviceId, 127);
    mHost.SetMidiDisplayText("SysEx");
    if (MayEcho()) SendConfiguredSysEx(message);
  };
  if (record.kind == MidiMapRecord::kSysExTable && record.sysExList)
  {
    if (entry < 0 || entry >= int64_t(record.messageGroups.size())) return;
    for (const SysExBytes& message : record.messageGroups[size_t(entry)])
      send(message);
    return;
  }
  if (entry < 0 || entry >= int64_t(record.sysExMessages.size())) return;
  send(record.sysExMessages[size_t(entry)]);
}

void ParameterOutput::RequestPatternAfterSysEx(int index)
{
  // Only the eight pattern parameters ask for their pattern back; the pause the synthesizer
  // needs before the request is the job's, so this thread never waits.
  const int part = PartOf(index, kPartPattern);
  if (part < 0) return;
  mState.requestProcessed = 0;
  mState.hardwareAnswered = 0;
  if (!mHost.JobsThreadIdle()) return;
  LinkJob job;
  job.code = LinkJobCode::kRequestPattern;
  job.partOrSlot = part;
  job.toEditorFlag = true;
  mHost.PostJob(job);
}

void ParameterOutput::SendConfiguredSysEx(const SysExBytes& message)
{
  if (mHost.IntParam(kDeviceOutSelection) == 0)
  {
    mHost.SetStatusText(DeviceSender::kSetMidiFirst);
    return;
  }
  if (message.empty()) return;
  std::vector<uint8_t> bytes(message.size());
  const size_t last = bytes.size() - 1;
  for (size_t i = 0; i < bytes.size(); ++i)
  {
    const uint8_t byte = uint8_t(message[i] & 0xFF);
    const bool frame = (i == 0 && byte == 0xF0) || (i == last && byte == 0xF7);
    // A template value past 127 must not end the message early or start another.
    bytes[i] = frame || byte < 0x80 ? byte : 0x7F;
  }
  mHost.DeviceSendSysEx(bytes.data(), int(bytes.size()));
}
