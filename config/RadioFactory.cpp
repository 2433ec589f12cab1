// "radio": a row or column of mutually exclusive buttons over one enumerated parameter.
#include "config/ControlFactory.h"
#include "config/ICustomRadioButtonsControl.h"

#include "framework/plugin/IParameter.h"

IControl* ConfigReader::CreateRadioButtons(const ControlElement& e)
{
  ControlFactory f(*this);
  IParameter* param = f.RequireParam(e, "radio");
  if (!param) return nullptr;
  const int n = e.buttons;
  if (n < 2)
  {
    // One button has nothing to choose from, and its value step would divide by zero.
    Log("radio " + e.name + ": " + std::to_string(n) + " buttons, NOT BUILT!");
    return nullptr;
  }
  if (!f.CountIsSound(n, e, "radio")) return nullptr;
  const IBitmapStrip strip = GetImage(e.imageId);
  if (param->Type() == IParameter::kTypeUnset) param->SetType(IParameter::kTypeEnumerated);
  param->SetupContinuous(e.name.c_str(), 0.0, 0.0, double(n - 1), 1.0,
                         MakeParamGroup(e.partIndex, e.caption).c_str());
  const int x = Scaled(e.position[0]);
  const int y = Scaled(e.position[1]);
  const bool stacked = strip.framesSideBySide;
  const IRectangle area = stacked ? IRectangle(x, y, x + strip.width / 2, y + strip.height)
                                  : IRectangle(x, y, x + strip.width, y + strip.height / 2);
  IControl* control = new ICustomRadioButtonsControl(mPlug, area, e.paramIdx, n, strip,
                                                     stacked ? IRadioButtonsControl::kStacked
                                                             : IRadioButtonsControl::kSideBySide);
  f.Place(control, e.parent);
  f.Bind(e.paramIdx, MidiMapRecord::kNone, control);
  return control;
}
