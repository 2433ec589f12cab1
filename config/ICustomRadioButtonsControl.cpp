#include "config/ICustomRadioButtonsControl.h"

#include "framework/graphics/IGraphics.h"

#include <cstdint>

ICustomRadioButtonsControl::ICustomRadioButtonsControl(IEffectBase* plug, const IRectangle& area,
                                                       int paramIdx, int count, const IBitmapStrip& strip,
                                                       int direction)
    : IRadioButtonsControl(plug, area, paramIdx, count, strip, direction)
{
  SetNoPrompt(true);
  if (count < 1 || ButtonCount() != count) return;
  mCount = count;
  const bool cellsInColumn = strip.framesSideBySide;
  mLength = cellsInColumn ? strip.height : strip.width;
  mCrossSize = cellsInColumn ? strip.FrameWidth() : strip.FrameHeight();
  // The second look starts where the picture's second frame does, rounded as frames are.
  if (strip.FrameCount() > 1)
    mSelectedAt = int(double(cellsInColumn ? strip.width : strip.height) / strip.FrameCount() + 0.5);
  for (int k = 0; k < count; ++k)
  {
    const int from = CellEdge(k), to = CellEdge(k + 1);
    if (direction == kSideBySide)
      SetButtonRect(k, IRectangle(area.L + from, area.T, area.L + to, area.T + mCrossSize));
    else
      SetButtonRect(k, IRectangle(area.L, area.T + from, area.L + mCrossSize, area.T + to));
  }
}

int ICustomRadioButtonsControl::CellEdge(int i) const
{
  if (mCount < 1) return 0;
  i = i < 0 ? 0 : i > mCount ? mCount : i;
  // round(i * length / count), in integers: no edge drifts by the sum of the cells' remainders.
  return int((2 * int64_t(i) * mLength + mCount) / (2 * int64_t(mCount)));
}

IRectangle ICustomRadioButtonsControl::SourceRect(int k, bool selected) const
{
  if (k < 0 || k >= mCount) return IRectangle();
  const int across = selected ? mSelectedAt : 0;
  if (Strip().framesSideBySide) return IRectangle(across, CellEdge(k), across + mCrossSize, CellEdge(k + 1));
  return IRectangle(CellEdge(k), across, CellEdge(k + 1), across + mCrossSize);
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
  const bool twoLooks = strip.FrameCount() > 1;
  for (int k = 0; k < mCount; ++k)
  {
    const IRectangle source = SourceRect(k, k == s && twoLooks);
    const IRectangle rect = ButtonRect(k);
    graphics->DrawBitmap(&strip, &rect, source.L, source.T, &blend);
  }
  return true;
}
