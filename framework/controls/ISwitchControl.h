#pragma once

#include "framework/controls/IBitmapControl.h"

// Steps through the frames of its strip on every press: 0, 1/(frames - 1), ..., 1.0, then 0.
// A strip of fewer than two frames alternates between 0 and 1.0.
class ISwitchControl : public IBitmapControl
{
public:
  using IBitmapControl::IBitmapControl;

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnMouseDblClick(int x, int y, const IMouseMod& mod) override;
};
