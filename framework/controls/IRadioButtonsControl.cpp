#include "framework/controls/IRadioButtonsControl.h"

#include "framework/graphics/IGraphics.h"

#include <cmath>

IRadioButtonsControl::IRadioButtonsControl(IEffectBase* plug, const IRectangle& area, int paramIdx, int count,
                                           const IBitmapStrip& strip, int direction)
    : IControl(plug, area, paramIdx, IBlend(IBlend::kSourceAlpha, 1.0f)), mStrip(strip)
{
  // One button has nothing to choose from (and no spacing to divide by).
  if (count < 2) return;
  const int wanted = count * int(sizeof(IRectangle));
  mButtons.Resize(wanted);
  if (mButtons.Size() != wanted) return;
  IRectangle* buttons = Buttons();
  const int w = strip.width;
  const int h = strip.height / strip.FrameCount();
  if (direction == kSideBySide)
  {
    const double s = double(area.R - w * count - area.L) / (count - 1);
    int x = area.L;
    for (int i = 0; i < count; ++i)
    {
      buttons[i] = IRectangle(x, area.T, x + w, area.T + h);
      x += w + int(s);
    }
  }
  else
  {
    const double s = double(area.B - h * count - area.T) / (count - 1);
    int y = area.T;
    for (int i = 0; i < count; ++i)
    {
      buttons[i] = IRectangle(area.L, y, area.L + w, y + h);
      y += int(s) + h;
    }
  }
}

IRadioButtonsControl::~IRadioButtonsControl()
{
  mButtons.Release();
}

IRectangle IRadioButtonsControl::ButtonRect(int index) const
{
  if (index < 0 || index >= ButtonCount()) return IRectangle();
  return Buttons()[index];
}

void IRadioButtonsControl::SetButtonRect(int index, const IRectangle& rect)
{
  if (index >= 0 && index < ButtonCount()) Buttons()[index] = rect;
}

int IRadioButtonsControl::ButtonAt(int x, int y) const
{
  const int n = ButtonCount();
  for (int i = 0; i < n; ++i)
    if (Buttons()[i].Contains(x, y)) return i;
  return -1;
}

int IRadioButtonsControl::SelectedButton() const
{
  const int n = ButtonCount();
  if (n < 2) return -1;
  const double v = Value();
  const double f = std::isfinite(v) ? (n - 1) * v + 0.5 : 0.0;
  if (f < 0.0) return 0;
  if (f >= n - 1) return n - 1;
  return int(f);
}

void IRadioButtonsControl::OnMouseDown(int x, int y, const IMouseMod& mod)
{
  if (IsGreyed()) return;
  if (mod.R)
  {
    AskForValue();
    return;
  }
  const int n = ButtonCount();
  if (n < 2) return;
  const int hit = ButtonAt(x, y);
  if (hit >= 0) SetValue(double(hit) / (n - 1));
  RequestRedraw(true);
}

bool IRadioButtonsControl::Draw(IGraphics* graphics)
{
  const int n = ButtonCount();
  if (!graphics || n < 2) return true;
  const int selected = SelectedButton();
  const IBlend blend = Blend();
  for (int i = 0; i < n; ++i)
  {
    int sx = 0;
    int sy = 0;
    if (i == selected && mStrip.frames > 1)
    {
      if (mStrip.framesSideBySide)
        sx = int(double(mStrip.width) / mStrip.frames + 0.5);
      else
        sy = int(double(mStrip.height) / mStrip.frames + 0.5);
    }
    const IRectangle rect = Buttons()[i];
    graphics->DrawBitmap(&mStrip, &rect, sx, sy, &blend);
  }
  return true;
}
