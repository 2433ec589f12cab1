#pragma once

#include <cstdint>

// One short MIDI message (one to three bytes) passed between the MIDI input, the plug-in
// base and the main class. Offset counts frames into the current block; messages from the
// hardware carry 0.
struct IMidiMessage
{
  int32_t offset = 0;
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;

  // Number of bytes the status byte implies on the wire: 3 for notes, aftertouch, controllers,
  // pitch bend and song position; 2 for program change, channel pressure, time code and song
  // select; 1 for every other system message. 0 for a byte that is no status byte and for the
  // SysEx framing bytes F0 and F7, which never travel as a short message.
  static int LengthForStatus(uint8_t status);
};
