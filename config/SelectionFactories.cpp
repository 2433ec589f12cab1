// The display and the selections: "display", "dropMenu" of the types "textSelection",
// "dropSelection", "nameSelection" and "deviceSelection".
#include "config/ControlFactory.h"

#include "framework/controls/ICaptionControl.h"
#include "framework/controls/IDeviceMenuControl.h"
#include "framework/controls/ITextControl.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"

namespace
{
IRectangle ScaledBounds(const ConfigReader& reader, const ControlElement& e)
{
  const int x = reader.Scaled(e.bounds[0]);
  const int y = reader.Scaled(e.bounds[1]);
  return IRectangle(x, y, x + reader.Scaled(e.bounds[2]), y + reader.Scaled(e.bounds[3]));
}
} // namespace

IControl* ConfigReader::CreateDisplay(const ControlElement& e)
{
  ControlFactory f(*this);
  const IRectangle rect = ScaledBounds(*this, e);
  ITextControl* control =
      new ITextControl(mPlug, rect, f.CaptionStyle(rect.H(), IColour(255, 255, 255, 255)));
  f.Place(control, e.parent);
  // The main class finds the display through the record of its parameter, to write its text.
  if (mPlug && mPlug->ParameterAt(e.paramIdx)) f.Bind(e.paramIdx, MidiMapRecord::kNone, control);
  return control;
}

IControl* ConfigReader::CreateTextSelection(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "textSelection");
  if (!param) return nullptr;
  param->SetupEnumerated(e.name.c_str(), 0, 1, MakeParamGroup(e.partIndex, e.caption).c_str());
  param->AddValueText(0, "----");
  const IRectangle rect = ScaledBounds(*this, e);
  IControl* control =
      new ICaptionControl(mPlug, rect, e.paramIdx, f.CaptionStyle(rect.H(), IColour(255, 210, 59, 59)));
  f.Place(control, e.parent);
  f.Bind(e.paramIdx, MidiMapRecord::kNone, control);
  return control;
}

IControl* ConfigReader::CreateDropSelection(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "dropSelection");
  if (!param || !f.SetupMenu(param, e.name, e, true, false)) return nullptr;
  const IRectangle rect = ScaledBounds(*this, e);
  ICaptionControl* control =
      new ICaptionControl(mPlug, rect, e.paramIdx, f.CaptionStyle(rect.H(), IColour(255, 255, 173, 0)));
  control->SetNoPrompt(false);
  f.Place(control, e.parent);
  f.Bind(e.paramIdx, MidiMapRecord::kNone, control);
  return control;
}

IControl* ConfigReader::CreateNameSelection(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "nameSelection");
  if (!param) return nullptr;
  const int idx = e.paramIdx;
  param->SetupContinuous(e.name.c_str(), 0.0, 0.0, 0.0, 1.0, MakeParamGroup(e.partIndex, e.caption).c_str());
  param->SetType(IParameter::kTypeText);
  const char* text = idx == kMultiName                                    ? "Init Multi"
                     : idx >= kPatchName && idx < kPatchName + kPartCount ? "-- INIT --"
                     : idx == kPatchRename                                ? "New Name"
                     : idx == kPatchSearchString                          ? "search..."
                                                                          : "INIT";
  param->AddValueText(0, text);
  const bool grey = idx == kPatchRename || idx == kPatchSearchString;
  const IRectangle rect = ScaledBounds(*this, e);
  ICaptionControl* control = new ICaptionControl(
      mPlug, rect, idx,
      f.CaptionStyle(rect.H(), grey ? IColour(255, 225, 225, 225) : IColour(255, 26, 180, 232)));
  control->SetTextEntryLength(e.nameLen);
  control->SetNoPrompt(false);
  f.Place(control, e.parent);
  f.Bind(idx, MidiMapRecord::kNone, control);
  return control;
}

IControl* ConfigReader::CreateDeviceSelection(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "deviceSelection");
  if (!param) return nullptr;
  // Only "Select MIDI Device" until the menu is opened: the ports are listed then (listing makes a
  // MIDI client, which building the editor must not).
  param->SetType(IParameter::kTypeEnumerated);
  param->SetupContinuous("Device Selection", 0.0, 0.0, 0.0, 1.0, MakeParamGroup(-1, "").c_str());
  IDeviceMenuControl::ShowPorts(*param, {});
  const IRectangle rect = ScaledBounds(*this, e);
  IDeviceMenuControl* control = new IDeviceMenuControl(
      mPlug, rect, e.paramIdx, f.CaptionStyle(rect.H(), IColour(255, 0, 174, 255)), e.inputDev == 1);
  control->SetNoPrompt(false);
  f.Place(control, e.parent);
  f.Bind(e.paramIdx, MidiMapRecord::kNone, control);
  return control;
}
