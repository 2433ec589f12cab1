#pragma once

#include <cstdint>

// A system-exclusive message passed between the MIDI input, the plug-in base and the main
// class. The bytes are not owned by the record: they stay valid for the duration of the call
// that receives it.
struct ISysExMessage
{
  int32_t offset = 0;
  int32_t size = 0;
  const uint8_t* bytes = nullptr;
};
