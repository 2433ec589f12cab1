#include "framework/plugin/IMidiMessage.h"

int IMidiMessage::LengthForStatus(uint8_t status)
{
  if (status < 0x80) return 0;
  if (status < 0xF0)
  {
    const uint8_t kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 2 : 3;
  }
  switch (status)
  {
  case 0xF0: // SysEx start
  case 0xF7: // SysEx end
    return 0;
  case 0xF1: // MIDI time code quarter frame
  case 0xF3: // song select
    return 2;
  case 0xF2: // song position pointer
    return 3;
  default: // tune request, real-time and the undefined system bytes
    return 1;
  }
}
