#include "link/output/LogSysExOut.h"

#include <cstdio>

std::string SysExOutLine(const uint8_t* bytes, int length)
{
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  if (bytes && length > 0)
  {
    // The line writes the frame's F0 and F7 itself: a framed message's own are not repeated.
    int first = 0, end = length;
    if (bytes[0] == 0xF0) first = 1;
    if (end > first && bytes[end - 1] == 0xF7) --end;
    hex.reserve(size_t(length) * 3);
    for (int i = first; i < end; ++i)
    {
      hex += kHex[bytes[i] >> 4];
      hex += kHex[bytes[i] & 0x0F];
      hex += ' ';
    }
  }
  if (length < 0) length = 0;
  return "Plug-in MIDI Out (sysex | " + std::to_string(length) + " bytes | F0 " + hex + "F7)\n";
}

void LogSysExOut(const uint8_t* bytes, int length)
{
  std::fputs(SysExOutLine(bytes, length).c_str(), stdout);
}
