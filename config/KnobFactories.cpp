// Knobs and sliders: "ccKnob", "msbLsbKnob", "seKnob", "multiFx" "Knob", the CC and SysEx sliders.
#include "config/ControlFactory.h"

#include "framework/controls/IFaderControl.h"
#include "framework/controls/IKnobMultiControl.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"

#include <optional>

namespace
{
IControl* NewKnob(IEffectBase* plug, int x, int y, int idx, const IBitmapStrip& strip)
{
  return new IKnobMultiControl(plug, x, y, idx, strip, IKnobMultiControl::kVertical, 4.0);
}
} // namespace

IControl* ConfigReader::CreateCcKnob(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "ccKnob");
  if (!param || !f.LinkIsSound(e, "ccKnob")) return nullptr;
  const IBitmapStrip strip = GetImage(e.imageId);
  const int idx = e.paramIdx;

  // The part comes from the parameter where its index shows it.
  using Channel = ControlFactory::Channel;
  int part = e.partIndex;
  std::string name = e.name;
  Channel channel = Channel::kPart;
  if (ControlFactory::InMixerSet(e.parent) || ControlFactory::ParentIs(e.parent, "vocoderLayer") ||
      ControlFactory::ParentIs(e.parent, "arpTempoLayer"))
  {
    // A filter knob of one part names its part.
    int n = ControlFactory::PartNumberOf(idx, kFilterCutoff);
    if (n == 0) n = ControlFactory::PartNumberOf(idx, kFilterResonance);
    if (n > 0)
    {
      name = ControlFactory::PartName(e.name, n);
      part = n - 1;
    }
  }
  else if (ControlFactory::InDelayPanningSet(e.parent))
  {
    // The pan position and delay send of each part, on the element's channel.
    int n = ControlFactory::PartNumberOf(idx, kFXMultiPanPosition);
    if (n == 0) n = ControlFactory::PartNumberOf(idx, kFXMultiDelaySend);
    if (n == 0) n = e.partIndex + 1;
    name = ControlFactory::PartName(e.name, n);
    part = n - 1;
    channel = Channel::kElementGlobalBlock;
  }
  else if (!ControlFactory::InParts(idx, kMultiPartPanning))
    name = ControlFactory::PartName(e.name, e.partIndex + 1);

  // A step below 1 would divide by zero or jump to the maximum when a value snaps.
  const int step = e.valueBounds[3] < 1 ? 1 : e.valueBounds[3];
  // The element as built: a copy only where the part differs from the element's own.
  std::optional<ControlElement> copy;
  if (part != e.partIndex)
  {
    copy = e;
    copy->partIndex = part;
  }
  const ControlElement& derived = copy ? *copy : e;
  f.SetupKnob(param, name, derived, double(step));
  IControl* control = NewKnob(mPlug, Scaled(e.position[0]), Scaled(e.position[1]), idx, strip);
  f.Place(control, e.parent);
  MidiMapRecord* record = f.Bind(idx, MidiMapRecord::kCc, control);
  f.Link(record, e);
  ControlFactory::Route(*record, derived, channel);
  record->ccNumber = MidiMapRecord::DataByte(int32_t(e.ccNumber));
  RegisterCcControl(record, control);
  return control;
}

IControl* ConfigReader::CreateMsbLsbKnob(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "msbLsbKnob");
  if (!param || !f.LinkIsSound(e, "msbLsbKnob")) return nullptr;
  const IBitmapStrip strip = GetImage(e.imageId);
  const int idx = e.paramIdx;
  const bool mixer = ControlFactory::InMixerSet(e.parent);
  const bool plain = mixer || ControlFactory::ParentIs(e.parent, "multiVocoderLayer") ||
                     ControlFactory::ParentIs(e.parent, "arpTempoLayer");
  f.SetupKnob(param, ControlFactory::ControlName(e, plain), e, 1.0);
  IControl* control = NewKnob(mPlug, Scaled(e.position[0]), Scaled(e.position[1]), idx, strip);
  f.Place(control, e.parent);
  MidiMapRecord* record = f.Bind(idx, MidiMapRecord::kNrpn, control);
  f.Link(record, e);
  const bool vocoderGlobal = ControlFactory::InRange(idx, kMultiVocoderWidth, kMultiVocoderSibilanceLevel);
  ControlFactory::Route(
      *record, e, ControlFactory::ChannelFor(mixer || ControlFactory::IsVocoderIndex(idx), vocoderGlobal));
  ControlFactory::SetNrpnNumbers(*record, e);
  RegisterNrpnControl(record, control);
  return control;
}

namespace
{
// The SysEx knob and sliders share everything but the control.
IControl* CreateSeContinuous(ConfigReader& reader, const ControlElement& e, const char* kind, bool slider,
                             bool horizontal)
{
  ControlFactory f(reader);
  IParameter* param = f.RequireParam(e, kind);
  if (!param || !f.LinkIsSound(e, kind)) return nullptr;
  const int minimum = e.valueBounds[1];
  const int maximum = e.valueBounds[2];
  SysExTableSet set;
  int32_t key[4];
  if (!f.BuildSysEx(e, kind, int64_t(maximum) - minimum + 1, int64_t(e.msgZeroVal) + minimum, set, key))
    return nullptr;
  const IBitmapStrip strip = reader.GetImage(e.imageId);
  f.SetupKnob(param, ControlFactory::ControlName(e, ControlFactory::InMixerSet(e.parent)), e, 1.0);
  const int x = reader.Scaled(e.position[0]);
  const int y = reader.Scaled(e.position[1]);
  IControl* control = slider ? static_cast<IControl*>(new IFaderControl(
                                   reader.Plug(), x, y, reader.Scaled(e.length), e.paramIdx, strip,
                                   horizontal ? IFaderControl::kHorizontal : IFaderControl::kVertical))
                             : NewKnob(reader.Plug(), x, y, e.paramIdx, strip);
  f.Place(control, e.parent);
  MidiMapRecord* record = f.Bind(e.paramIdx, MidiMapRecord::kSysExTable, control);
  f.Link(record, e);
  record->SetSysExTables(set);
  // Sliders outside any part register apart from the per-part ones of the same message.
  reader.RegisterSysExControl(key, slider && e.partIndex == -1 ? 1 : 0, control);
  return control;
}
} // namespace

IControl* ConfigReader::CreateSeKnob(const ControlElement& e)
{
  return CreateSeContinuous(*this, e, "seKnob", false, false);
}

IControl* ConfigReader::CreateSeSlider(const ControlElement& e, bool horizontal)
{
  return CreateSeContinuous(*this, e, horizontal ? "seSliderHor" : "seSliderVer", true, horizontal);
}

IControl* ConfigReader::CreateCcSlider(const ControlElement& e, bool horizontal)
{
  ControlFactory f(*this);
  const char* kind = horizontal ? "ccSliderHor" : "ccSliderVer";
  IParameter* param = f.RequireParam(e, kind);
  if (!param || !f.LinkIsSound(e, kind)) return nullptr;
  const IBitmapStrip strip = GetImage(e.imageId);
  f.SetupKnob(param, ControlFactory::ControlName(e, ControlFactory::InMixerSet(e.parent)), e, 1.0);
  IControl* control =
      new IFaderControl(mPlug, Scaled(e.position[0]), Scaled(e.position[1]), Scaled(e.length), e.paramIdx,
                        strip, horizontal ? IFaderControl::kHorizontal : IFaderControl::kVertical);
  f.Place(control, e.parent);
  MidiMapRecord* record = f.Bind(e.paramIdx, MidiMapRecord::kCc, control);
  f.Link(record, e);
  ControlFactory::Route(*record, e, ControlFactory::Channel::kElement);
  record->ccNumber = MidiMapRecord::DataByte(int32_t(e.ccNumber));
  RegisterCcControl(record, control);
  return control;
}

IControl* ConfigReader::CreateMultiFxKnob(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "multiFx Knob");
  if (!param) return nullptr;
  const IBitmapStrip strip = GetImage(e.imageId);
  f.SetupKnob(param, e.name, e, 1.0);
  IControl* control = NewKnob(mPlug, Scaled(e.position[0]), Scaled(e.position[1]), e.paramIdx, strip);
  f.Place(control, e.parent);
  return control;
}
