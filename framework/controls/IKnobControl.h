#pragma once

#include "framework/controls/IControl.h"

// The base of the knobs; no behaviour of its own.
class IKnobControl : public IControl
{
public:
  using IControl::IControl;
};
