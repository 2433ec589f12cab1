#include "link/LogSysExOut.h"

#include <cstdio>

std::string SysExOutLine(const uint8_t* bytes, int length)
{
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  if (bytes && length > 0)
  {
    hex.reserve(size_t(length) * 3);
    for (int i = 0; i < length; ++i)
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
