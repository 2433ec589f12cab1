#include "framework/controls/ISwitchControl.h"

void ISwitchControl::OnMouseDown(int, int, const IMouseMod&)
{
  if (IsGreyed()) return;
  const double step = mStrip.frames < 2 ? 1.0 : 1.0 / (mStrip.frames - 1);
  double v = Value() + step;
  if (v > 1.001) v = 0.0;
  SetValue(v);
  RequestRedraw(true);
}

void ISwitchControl::OnMouseDblClick(int x, int y, const IMouseMod& mod)
{
  ISwitchControl::OnMouseDown(x, y, mod);
}
