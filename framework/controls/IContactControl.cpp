#include "framework/controls/IContactControl.h"

void IContactControl::OnMouseUp(int, int, const IMouseMod&)
{
  SetValue(0.0);
  RequestRedraw(true);
}
