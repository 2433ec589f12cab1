#pragma once

#include "framework/controls/ISwitchControl.h"

// The base of the overlay controls (progress overlay, librarian view); no behaviour of its own.
class IBitmapOverlayControl : public ISwitchControl
{
public:
  using ISwitchControl::ISwitchControl;
};
