// Values of the editor graphics: parameter values to their controls, and the value prompt of a
// control (a menu or a typed text) back to it.
#include "framework/controls/IControl.h"
#include "framework/graphics/IGraphics.h"
#include "framework/graphics/IMenu.h"
#include "framework/graphics/LayerGroup.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IParameter.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace
{
// The value of a parameter's plain value on its normalised scale. False when the parameter has no
// usable scale (an empty range or a shape that is not positive): then nothing may change.
bool NormaliseChecked(const IParameter* param, double v, double* n)
{
  const double range = param->Max() - param->Min();
  if (!(range > 0.0) || !std::isfinite(range) || !(param->Shape() > 0.0) || std::isnan(v)) return false;
  *n = param->NormaliseValue(v);
  return std::isfinite(*n);
}

// The text read as a decimal number: leading blanks, an optional sign, digits with an optional
// point and exponent. 0 when the text does not start with a number. Independent of the locale.
double ParseDecimal(const char* text)
{
  if (!text) return 0.0;
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f')
    ++p;
  bool negative = false;
  if (*p == '+' || *p == '-')
  {
    negative = *p == '-';
    ++p;
  }
  const bool startsNumber = (*p >= '0' && *p <= '9') || (*p == '.' && p[1] >= '0' && p[1] <= '9');
  if (!startsNumber) return 0.0;
  double v = 0.0;
  const auto result = std::from_chars(p, p + std::strlen(p), v, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range)
  {
    // Too large or too small for a double: far outside any range, clamped by the caller.
    const char* e = p;
    while ((*e >= '0' && *e <= '9') || *e == '.')
      ++e;
    v = (*e == 'e' || *e == 'E') && e[1] == '-' ? 0.0 : HUGE_VAL;
  }
  else if (result.ec != std::errc())
    return 0.0;
  return negative ? -v : v;
}
} // namespace

void IGraphics::SyncParameterToControls(int paramIdx, double value, bool normalised)
{
  if (paramIdx < 0) return;
  std::lock_guard<std::recursive_mutex> lock(mListLock);
  if (!normalised)
  {
    IParameter* param = mPlug ? mPlug->ParameterAt(paramIdx) : nullptr;
    if (!param) return;
    double n = 0.0;
    if (!NormaliseChecked(param, value, &n)) return;
    param->SetFromNormalised(n);
    value = n;
  }
  if (mIndex.Current() || mIndex.Build(mControls, mGroups))
  {
    mIndex.Push(paramIdx, value);
    return;
  }
  // Without memory for the index: the walk.
  SyncControls(mControls, paramIdx, value);
  for (int i = 0; i < mGroups.Count(); ++i)
    mGroups.Get(i)->SyncParameter(paramIdx, value, normalised);
}

void IGraphics::SyncParametersToControls(const ParameterValue* values, int count)
{
  if (!values || count <= 0) return;
  std::lock_guard<std::recursive_mutex> lock(mListLock);
  if (mIndex.Current() || mIndex.Build(mControls, mGroups))
  {
    mIndex.PushMany(values, count);
    return;
  }
  for (int i = 0; i < count; ++i)
    SyncParameterToControls(values[i].index, values[i].normalised, true);
}

int IGraphics::CountBoundControls(int paramIdx)
{
  std::lock_guard<std::recursive_mutex> lock(mListLock);
  if (!mIndex.Current() && !mIndex.Build(mControls, mGroups)) return -1;
  return mIndex.Count(paramIdx);
}

void IGraphics::PromptForValue(IControl* control, IParameter* param, const IRectangle* rect)
{
  if (!control || !param || !rect) return;
  const int type = param->Type();
  const double value = param->Value();
  char current[128];
  param->DisplayValue(value, false, current, sizeof(current), true);

  if ((type == IParameter::kTypeBool || type == IParameter::kTypeEnumerated) && param->ValueTextCount() > 0)
  {
    IMenu menu;
    const int count = param->ValueTextCount();
    for (int i = 0; i < count; ++i)
    {
      const char* text = param->ValueText(i);
      IMenuItem* item = menu.AddItem(text);
      if (item && std::strcmp(text, current) == 0) item->SetFlag(IMenuItem::kChecked, true);
    }
    IMenu* chosen = ShowPopupMenu(&menu, rect);
    if (chosen && chosen->ChosenIndex() >= 0)
    {
      double n = 0.0;
      if (NormaliseChecked(param, chosen->ChosenIndex(), &n) && n != control->Value())
      {
        control->SetValue(n);
        control->RequestRedraw(true);
        control->SetDirty(true);
      }
    }
    return;
  }

  char text[128];
  const std::string valueText = param->ValueTextCopy(NearestWhole(std::isfinite(value) ? value : 0.0));
  if (type == IParameter::kTypeText && !valueText.empty())
    std::snprintf(text, sizeof(text), "%s", valueText.c_str());
  else
    param->DisplayValue(value, false, text, sizeof(text), false);
  ShowTextEntry(control, &control->TextStyle(), rect, text, param);
}

void IGraphics::SetValueFromText(IControl* control, IParameter* param, const char* text)
{
  if (!control || !param) return;
  if (!text) text = "";
  const int type = param->Type();
  double v = 0.0;
  if (type == IParameter::kTypeBool || type == IParameter::kTypeEnumerated)
  {
    bool matched = false;
    const int count = param->ValueTextCount();
    for (int i = 0; i < count && !matched; ++i)
    {
      if (std::strcmp(param->ValueText(i), text) == 0)
      {
        v = i;
        matched = true;
      }
    }
    // Typing the number itself must work too.
    if (!matched) v = ParseDecimal(text);
  }
  else if (type == IParameter::kTypeText)
  {
    param->AddValueText(0, text);
    const double t = control->Value() == 0.0 ? 1.0 : 0.0;
    param->SetClamped(t);
    if (control->Value() != t)
    {
      control->SetValue(t);
      control->RequestRedraw(true);
      control->SetDirty(true);
    }
    v = 0.0;
  }
  else
    v = ParseDecimal(text);

  double n = 0.0;
  if (type == IParameter::kTypeText)
    n = param->NormaliseValue(v); // a text parameter's range may be the one value 0: position 0
  else if (!NormaliseChecked(param, v, &n))
    return;
  if (n != control->Value())
  {
    control->SetValue(n);
    control->RequestRedraw(true);
    control->SetDirty(true);
  }
}
