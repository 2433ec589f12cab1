// Switches and buttons: "switch", "autooff", "ccButton", "msbLsbButton", "seButton" and the cancel button.
#include "config/ControlFactory.h"

#include "framework/controls/IContactControl.h"
#include "framework/controls/ISwitchControl.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"

IControl* ConfigReader::CreateSwitch(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "switch");
  if (!param) return nullptr;
  const IBitmapStrip strip = GetImage(e.imageId);
  f.SetupTwoState(param, e.name, e.valueBounds[0], e.partIndex, e.caption);
  IControl* control =
      new ISwitchControl(mPlug, Scaled(e.position[0]), Scaled(e.position[1]), e.paramIdx, strip);
  f.Place(control, e.parent);
  f.Bind(e.paramIdx, MidiMapRecord::kNone, control);
  return control;
}

IControl* ConfigReader::CreateAutoOffButton(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "autooff");
  if (!param) return nullptr;
  const IBitmapStrip strip = GetImage(e.imageId);
  f.SetupTwoState(param, e.name, 0, e.partIndex, e.caption);
  IControl* control =
      new IContactControl(mPlug, Scaled(e.position[0]), Scaled(e.position[1]), e.paramIdx, strip);
  f.Place(control, e.parent);
  f.Bind(e.paramIdx, MidiMapRecord::kNone, control);
  return control;
}

IContactControl* ConfigReader::CreateContactButton(const std::string& name, int x, int y,
                                                   const std::string& imageId, LayerGroup* parent,
                                                   const std::string& caption)
{
  ControlFactory f(*this);
  ControlElement e;
  e.name = name;
  e.paramIdx = kCancelDataRequest;
  IParameter* param = f.RequireParam(e, "contact button");
  if (!param) return nullptr;
  const IBitmapStrip strip = GetImage(imageId);
  f.SetupTwoState(param, name, 0, 0, caption);
  IContactControl* control = new IContactControl(mPlug, Scaled(x), Scaled(y), kCancelDataRequest, strip);
  f.Place(control, parent);
  f.Bind(kCancelDataRequest, MidiMapRecord::kNone, control);
  return control;
}

IControl* ConfigReader::CreateCcButton(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "ccButton");
  if (!param) return nullptr;
  const IBitmapStrip strip = GetImage(e.imageId);
  const bool mixer = ControlFactory::InMixerSet(e.parent);
  const bool plain = mixer || ControlFactory::ParentIs(e.parent, "vocoderLayer");
  f.SetupTwoState(param, ControlFactory::ControlName(e, plain), e.valueBounds[0], e.partIndex, e.caption);
  IControl* control =
      new ISwitchControl(mPlug, Scaled(e.position[0]), Scaled(e.position[1]), e.paramIdx, strip);
  f.Place(control, e.parent);
  MidiMapRecord* record = f.Bind(e.paramIdx, MidiMapRecord::kCcOffOn, control);
  ControlFactory::Route(*record, e, ControlFactory::ChannelFor(mixer));
  record->ccNumber = MidiMapRecord::DataByte(int32_t(e.ccNumber));
  record->offValue = MidiMapRecord::DataByte(int32_t(e.valueBounds[1]));
  record->onValue = MidiMapRecord::DataByte(int32_t(e.valueBounds[2]));
  RegisterCcControl(record, control);
  return control;
}

IControl* ConfigReader::CreateMsbLsbButton(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "msbLsbButton");
  if (!param || !f.LinkIsSound(e, "msbLsbButton")) return nullptr;
  const IBitmapStrip strip = GetImage(e.imageId);
  const bool mixer = ControlFactory::InMixerSet(e.parent);
  const bool additional = ControlFactory::InAdditionalSettingsSet(e.parent);
  const bool plain = mixer || additional || ControlFactory::ParentIs(e.parent, "multiVocoderLayer");
  f.SetupTwoState(param, ControlFactory::ControlName(e, plain), e.valueBounds[0], e.partIndex, e.caption);
  IControl* control =
      new ISwitchControl(mPlug, Scaled(e.position[0]), Scaled(e.position[1]), e.paramIdx, strip);
  f.Place(control, e.parent);
  MidiMapRecord* record = f.Bind(e.paramIdx, MidiMapRecord::kNrpn, control);
  f.Link(record, e);
  ControlFactory::Route(
      *record, e,
      ControlFactory::ChannelFor(mixer || additional || ControlFactory::IsVocoderIndex(e.paramIdx),
                                 e.paramIdx == kMultiVocoderSibilanceType));
  ControlFactory::SetNrpnNumbers(*record, e);
  RegisterNrpnControl(record, control);
  return control;
}

IControl* ConfigReader::CreateSeButton(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "seButton");
  if (!param || !f.LinkIsSound(e, "seButton")) return nullptr;
  SysExTableSet set;
  int32_t key[4];
  if (!f.BuildSysEx(e, "seButton", 2, 0, set, key)) return nullptr;
  const IBitmapStrip strip = GetImage(e.imageId);
  const bool plain = ControlFactory::InMixerSet(e.parent);
  f.SetupTwoState(param, ControlFactory::ControlName(e, plain), e.valueBounds[0], e.partIndex, e.caption);
  IControl* control =
      new ISwitchControl(mPlug, Scaled(e.position[0]), Scaled(e.position[1]), e.paramIdx, strip);
  f.Place(control, e.parent);
  MidiMapRecord* record = f.Bind(e.paramIdx, MidiMapRecord::kSysExPair, control);
  f.Link(record, e);
  record->SetSysExTables(set);
  RegisterSysExControl(key, 0, control);
  return control;
}
