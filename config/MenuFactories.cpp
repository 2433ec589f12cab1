// Menus: "ccMenu", "msbLsbMenu", "seMenu" and "multiFx" "Menu", caption controls over a value list.
#include "config/ControlFactory.h"

#include "framework/controls/ICaptionControl.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"

namespace
{
// The caption of a CC, NRPN or SysEx menu: the third "position" number wide, one text line high.
IControl* NewMenuCaption(ConfigReader& reader, const ControlFactory& f, const ControlElement& e,
                         const IColour& colour)
{
  const int x = reader.Scaled(e.position[0]);
  const int y = reader.Scaled(e.position[1]);
  const int lineHeight = int(13 * reader.UiScale());
  ICaptionControl* control =
      new ICaptionControl(reader.Plug(), IRectangle(x, y, x + reader.Scaled(e.position[2]), y + lineHeight),
                          e.paramIdx, f.CaptionStyle(lineHeight, colour));
  control->SetNoPrompt(false);
  return control;
}
} // namespace

IControl* ConfigReader::CreateCcMenu(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "ccMenu");
  if (!param) return nullptr;
  const bool mixer = ControlFactory::InMixerSet(e.parent);
  const bool plain = mixer || ControlFactory::ParentIs(e.parent, "vocoderLayer");
  if (!f.SetupMenu(param, ControlFactory::ControlName(e, plain), e, false, false)) return nullptr;
  IControl* control = NewMenuCaption(*this, f, e, IColour(255, 255, 255, 255));
  f.Place(control, e.parent);
  MidiMapRecord* record = f.Bind(e.paramIdx, MidiMapRecord::kCc, control);
  ControlFactory::Route(*record, e, ControlFactory::ChannelFor(mixer),
                        ControlFactory::InParts(e.paramIdx, kMultiArpProgram));
  record->ccNumber = MidiMapRecord::DataByte(int32_t(e.ccNumber));
  RegisterCcControl(record, control);
  return control;
}

IControl* ConfigReader::CreateMsbLsbMenu(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "msbLsbMenu");
  if (!param) return nullptr;
  const int idx = e.paramIdx;
  const bool mixer = ControlFactory::InMixerSet(e.parent);
  const bool additional = ControlFactory::InAdditionalSettingsSet(e.parent);
  const bool plain = mixer || additional || ControlFactory::ParentIs(e.parent, "multiVocoderLayer");
  if (!f.SetupMenu(param, ControlFactory::ControlName(e, plain), e, false, false)) return nullptr;
  IControl* control = NewMenuCaption(*this, f, e, IColour(255, 255, 255, 255));
  f.Place(control, e.parent);
  MidiMapRecord* record = f.Bind(idx, MidiMapRecord::kNrpn, control);
  ControlFactory::Route(*record, e,
                        ControlFactory::ChannelFor(mixer || additional || ControlFactory::IsVocoderIndex(idx),
                                                   idx == kMultiVocoderInput || idx == kMultiVocoderInsert),
                        ControlFactory::InParts(idx, kMultiArpBank));
  ControlFactory::SetNrpnNumbers(*record, e);
  RegisterNrpnControl(record, control);
  return control;
}

IControl* ConfigReader::CreateSeMenu(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "seMenu");
  if (!param) return nullptr;
  const int from = e.valueBounds[1];
  const int to = e.valueBounds[2];
  SysExTableSet set;
  int32_t key[4];
  if (!f.BuildSysEx(e, "seMenu", int64_t(to) - from + 1, from, set, key)) return nullptr;
  const std::string name = ControlFactory::ControlName(e, ControlFactory::InMixerSet(e.parent));
  if (!f.SetupMenu(param, name, e, false, false)) return nullptr;
  IControl* control = NewMenuCaption(*this, f, e, IColour(255, 0, 0, 0));
  f.Place(control, e.parent);
  MidiMapRecord* record = f.Bind(e.paramIdx, MidiMapRecord::kSysExTable, control);
  record->SetSysExTables(set);
  RegisterSysExControl(key, 0, control);
  return control;
}

IControl* ConfigReader::CreateMultiFxMenu(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "multiFx Menu");
  if (!param) return nullptr;
  const int idx = e.paramIdx;
  if (!f.SetupMenu(param, e.name, e, false, ControlFactory::InParts(idx, kMultiPartPatch))) return nullptr;
  const bool bankOrPatch = ControlFactory::InRange(idx, kMultiPartBank, kMultiPartPatch + kPartCount - 1) ||
                           idx == kMultiBank || idx == kMultiPatch;
  const bool shown = e.visible == 1;
  IColour colour = shown && e.white ? IColour(255, 255, 255, 255)
                   : bankOrPatch    ? IColour(255, 0, 174, 255)
                                    : IColour(255, 255, 173, 0);
  // An entry that is not to be seen keeps its place and value but draws no text.
  if (!shown) colour.A = 0;
  const int x = Scaled(e.position[0]);
  const int y = Scaled(e.position[1]);
  const int height = Scaled(e.position[3]);
  ICaptionControl* control = new ICaptionControl(
      mPlug, IRectangle(x, y, x + Scaled(e.position[2]), y + height), idx, f.CaptionStyle(height, colour));
  control->SetNoPrompt(false);
  f.Place(control, e.parent);
  return control;
}
