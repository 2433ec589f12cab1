#include "framework/controls/ICaptionControl.h"

#include "framework/graphics/IGraphics.h"
#include "framework/plugin/IParameter.h"

#include <cstdio>

ICaptionControl::ICaptionControl(IEffectBase* plug, const IRectangle& rect, int paramIdx, const ITextStyle& style,
                                 bool showLabel)
  : ITextControl(plug, rect, style), mShowLabel(showLabel)
{
  mParamIdx = paramIdx;
}

void ICaptionControl::OnMouseDown(int, int, const IMouseMod& mod)
{
  if (!IsGreyed() && (mod.L || mod.R))
    AskForValue();
}

void ICaptionControl::OnMouseDblClick(int, int, const IMouseMod&)
{
  if (!IsGreyed())
    AskForValue();
}

void ICaptionControl::CaptionText(char* out, int size) const
{
  if (!out || size <= 0)
    return;
  out[0] = '\0';
  const IParameter* param = Parameter();
  if (!param)
    return;
  char value[128];
  param->DisplayValue(param->Value(), false, value, sizeof(value), true);
  if (mShowLabel)
    std::snprintf(out, size_t(size), "%s %s", value, param->HostLabel());
  else
    std::snprintf(out, size_t(size), "%s", value);
}

bool ICaptionControl::Draw(IGraphics* graphics)
{
  if (!Parameter())
    return ITextControl::Draw(graphics);
  char text[256];
  CaptionText(text, sizeof(text));
  std::lock_guard<std::mutex> lock(mTextLock);
  mText.Set(text);
  return DrawLockedText(graphics);
}
