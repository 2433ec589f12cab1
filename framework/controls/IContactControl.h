#pragma once

#include "framework/controls/ISwitchControl.h"

// A momentary button: pressed like a switch, back to 0 on every release.
class IContactControl : public ISwitchControl
{
public:
  using ISwitchControl::ISwitchControl;

  void OnMouseUp(int x, int y, const IMouseMod& mod) override;
};
