#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The small routines every SysEx dump parser and builder shares: bit-field unpackers, name
// characters and the code table of the per-part sustain setting.

// Each unpacker empties `flags` and appends its entries, most significant field first. The byte
// is taken as a 7-bit data byte (bits above bit 6 are ignored).
// Seven entries: bit 6, bit 5, ... bit 0.
void UnpackFlags(int byte, std::vector<uint32_t>& flags);
// Six entries: bit 6, 5, 4, 3, 2, then bits 1-0 as a number 0 - 3.
void UnpackFlagsWithLowPair(int byte, std::vector<uint32_t>& flags);
// Five entries: bits 6-5 as a number 0 - 3, bit 4, bit 3, bit 2, bits 1-0 as a number 0 - 3.
void UnpackFlagsWithPairs(int byte, std::vector<uint32_t>& flags);

// Appends message bytes [first, end) to text, one character each, unchanged. Nothing for
// end <= first; the range is cut at the end of the message.
void AppendNameChars(const uint8_t* message, size_t messageSize, int first, int end, std::string& text);
// Writes a name into `length` bytes of a message: padded with blanks, cut at `length`, and any
// character above 0x7F (which cannot travel inside SysEx) written as '?'.
void WriteNameChars(const std::string& name, uint8_t* destination, size_t length);

// The value 0 - 13 of a sustain code; 0 for a code not in the table.
int DecodeSustainCode(unsigned code);
// The code of a sustain value 0 - 13; values outside are held to that range.
uint8_t EncodeSustainCode(int value);
