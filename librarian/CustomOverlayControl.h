#pragma once

#include "framework/controls/IBitmapOverlayControl.h"

// The base of overlay controls that draw more than their strip (the librarian's slot view);
// no behaviour of its own.
class CustomOverlayControl : public IBitmapOverlayControl
{
public:
  using IBitmapOverlayControl::IBitmapOverlayControl;
};
