#include "config/ICustomRadioButtonsControl.h"

#include "framework/graphics/IGraphics.h"

ICustomRadioButtonsControl::ICustomRadioButtonsControl(IEffectBase* plug, const IRectangle& area,
                                                       int paramIdx, int count, const IBitmapStrip& strip,
                                                       int direction)
    : IRadioButtonsControl(plug, area, paramIdx, count, strip, direction)
{
  SetNoPrompt(true);
  if (count < 1) return;
  const int w = strip.width;
  const int h = strip.height;
  if (strip.framesSideBySide)
  {
    mCellWidth = w / 2;
    mCellHeight = h / count;
  }
  else
  {
    mCellWidth = w / count;
    mCellHeight = h / 2;
  }
  const int frameHeight = h / strip.FrameCount();
  for (int k = 0; k < ButtonCount(); ++k)
  {
    if (direction == kSideBySide)
      SetButtonRect(k, IRectangle(area.L + k * mCellWidth, area.T, area.L + (k + 1) * mCellWidth,
                                  area.T + frameHeight));
    else
      SetButtonRect(k, IRectangle(area.L, area.T + k * mCellHeight, area.L + mCellWidth,
                                  area.T + (k + 1) * mCellHeight));
  }
}

void ICustomRadioButtonsControl::OnMouseDown(int x, int y, const IMouseMod& mod)
{
  if (mod.R && !mod.L)
  {
    RequestRedraw(true);
    return;
  }
  SelectButtonAt(x, y, mod);
  RequestRedraw(true);
}

void ICustomRadioButtonsControl::SelectButtonAt(int x, int y, const IMouseMod&)
{
  const int n = ButtonCount();
  for (int k = 0; k < n; ++k)
  {
    const IRectangle r = ButtonRect(k);
    if (r.L == 0 && r.T == 0 && r.R == 0 && r.B == 0) continue;
    if (x >= r.L && x < r.R && y >= r.T && y < r.B)
    {
      SetValue(n > 1 ? double(k) / double(n - 1) : 0.0);
      break;
    }
  }
  RequestRedraw(true);
}

void ICustomRadioButtonsControl::OnMouseOut()
{
  RequestRedraw(false);
}

int ICustomRadioButtonsControl::SelectedIndex() const
{
  const int n = ButtonCount();
  if (n < 1) return 0;
  int s = int((n - 1) * Value() + 0.5);
  return s < 0 ? 0 : s > n - 1 ? n - 1 : s;
}

bool ICustomRadioButtonsControl::Draw(IGraphics* graphics)
{
  SetBlendAlpha(1.0f);
  if (!graphics) return true;
  const IBlend blend = Blend();
  const IBitmapStrip& strip = Strip();
  const int s = SelectedIndex();
  const int frames = strip.FrameCount();
  for (int k = 0; k < ButtonCount(); ++k)
  {
    int sx = strip.framesSideBySide ? 0 : k * mCellWidth;
    int sy = strip.framesSideBySide ? k * mCellHeight : 0;
    if (k == s && frames > 1)
    {
      if (strip.framesSideBySide)
        sx = int(double(strip.width) / frames + 0.5);
      else
        sy = int(double(strip.height) / frames + 0.5);
    }
    const IRectangle rect = ButtonRect(k);
    graphics->DrawBitmap(&strip, &rect, sx, sy, &blend);
  }
  return true;
}
