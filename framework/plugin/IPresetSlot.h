#pragma once

#include "framework/support/HeapString.h"
#include "framework/plugin/IStateChunk.h"

// One preset: a name and the state captured with WriteStateChunk. A slot that is not
// initialised holds nothing yet.
struct IPresetSlot
{
  bool initialised = false;
  HeapString name;
  IStateChunk chunk;
};
