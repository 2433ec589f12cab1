#pragma once

#include <cstdint>
#include <string>

// The console line of a SysEx message sent: "Plug-in MIDI Out (sysex | n bytes | F0 xx xx ... F7)",
// each byte as two lower-case hex digits and a blank, printed as given.
std::string SysExOutLine(const uint8_t* bytes, int length);
void LogSysExOut(const uint8_t* bytes, int length);
