#pragma once

#include "framework/IControl.h"

// The base of the knobs; no behaviour of its own.
class IKnobControl : public IControl
{
public:
  using IControl::IControl;
};
