#pragma once

#include "link/dumps/DumpField.h"
#include "link/dumps/DumpResult.h"
#include "link/dumps/SysExFrame.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class IEffectBase;

// The synthesizer's global settings as two messages: type 0x0F (281 bytes) and type 0x15 (297
// bytes). Byte 6, the device id of the frame, is also `kGlobalMidiChannel`. Only a few bytes carry
// settings the editor shows; the others are the synthesizer's own.

constexpr size_t kGlobalDumpASize = 281;
constexpr size_t kGlobalDumpBSize = 297;

// Whether a value of `kGlobalLocalControl` means the synthesizer's keyboard plays its own sound
// (1, "On"): then nothing the synthesizer sends is echoed back to it. 0 is "Off", 2 - 7 other modes.
bool LocalControlIsOn(int value);

// Bytes 1 - 4 (00 20 29 01) and the type byte; the length is not checked.
bool IsGlobalDump(const uint8_t* message, size_t size, uint8_t type);

std::span<const DumpField> GlobalDumpAFields();
std::span<const DumpField> GlobalDumpBFields();

// Each parser takes a message whose frame (00 20 29 01) and type byte are its own, of the exact
// length, and reads it into the parameters under the parameter lock. The type byte is checked, so
// a program in memory form (also 297 bytes) is never taken for global settings.
DumpResult ParseGlobalDumpA(IEffectBase& plug, const uint8_t* message, size_t size,
                            const DumpContext& context);
DumpResult ParseGlobalDumpB(IEffectBase& plug, const uint8_t* message, size_t size,
                            const DumpContext& context);

// Builds a message from the parameters. `received` is the last message of this type the
// synthesizer sent, or null: its bytes and bits that carry no parameter are kept, so that sending
// the settings back does not overwrite the synthesizer's other settings with zeros.
std::vector<uint8_t> BuildGlobalDumpA(IEffectBase& plug, const SysExAddress& address,
                                      const std::vector<uint8_t>* received = nullptr);
std::vector<uint8_t> BuildGlobalDumpB(IEffectBase& plug, const SysExAddress& address,
                                      const std::vector<uint8_t>* received = nullptr);
