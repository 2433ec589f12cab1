#include "link/dumps/DumpParameters.h"

#include "framework/plugin/IEditorHook.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IParameter.h"

#include <cmath>

double DumpParameters::Value(int index) const
{
  const IParameter* parameter = mPlug.ParameterAt(index);
  return parameter ? parameter->Value() : 0.0;
}

int DumpParameters::IntValue(int index) const
{
  const IParameter* parameter = mPlug.ParameterAt(index);
  if (!parameter || !(parameter->Value() > -1e9 && parameter->Value() < 1e9)) return 0;
  return parameter->IntValue();
}

void DumpParameters::Set(int index, double value)
{
  IParameter* parameter = mPlug.ParameterAt(index);
  if (!parameter) return;
  // Dump values are whole numbers: clamping keeps them exact, where a trip through the
  // normalised scale could leave 4.999.. behind.
  parameter->SetClamped(value);
  if (IEditorHook* editor = mPlug.Editor())
    editor->SyncParameterToControls(index, parameter->NormalisedValue(), true);
}

std::string DumpParameters::Text(int index) const
{
  const IParameter* parameter = mPlug.ParameterAt(index);
  return parameter ? parameter->ValueTextCopy(0) : std::string();
}

void DumpParameters::SetText(int index, const std::string& text)
{
  if (IParameter* parameter = mPlug.ParameterAt(index)) parameter->AddValueText(0, text.c_str());
}
