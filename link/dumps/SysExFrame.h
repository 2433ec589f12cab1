#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The frame every system-exclusive message to and from the synthesizer shares:
// F0, manufacturer 00 20 29, 01, model byte, device id, message type, payload, F7.
// Byte positions count from F0 = 0.

enum SysExType : uint8_t
{
  kSysExProgramEditBuffer = 0x00,      // 296 bytes: part, name, data
  kSysExProgramEditBuffer2 = 0x1E,     // 98 bytes: second message of the program edit buffer
  kSysExProgramMemory = 0x02,          // 297 bytes: bank code, slot, name, data
  kSysExProgramMemory2 = 0x1F,         // 99 bytes
  kSysExPerformanceEditBuffer = 0x05,  // 381 bytes: common settings
  kSysExPerformanceEditBuffer2 = 0x1B, // 25 bytes
  kSysExPerformanceEditParts = 0x20,   // 473 bytes: part settings
  kSysExPerformanceMemory = 0x07,      // 383 bytes: bank 1-4, slot
  kSysExPerformanceMemory2 = 0x1C,     // 27 bytes
  kSysExPerformanceMemoryParts = 0x21, // 475 bytes
  kSysExPatternMemory = 0x0C,          // 204 bytes: 0, slot
  kSysExGlobalSettings = 0x0F,         // 281 bytes
  kSysExGlobalSettings2 = 0x15,        // 297 bytes
  kSysExEditBufferRequest = 0x08,      // 9 bytes, no payload
  kSysExMemoryRequest = 0x13,          // 11 bytes: bank code, slot
  kSysExDeviceIdRequest = 0x10,        // 9 bytes, no payload
};

constexpr size_t kSysExHeaderSize = 8;
constexpr size_t kSysExModelOffset = 5;
constexpr size_t kSysExDeviceIdOffset = 6;
constexpr size_t kSysExTypeOffset = 7;

// Whom a message is addressed to: the synthesizer model (the value of kCurrentModel: 0, 1 or 2)
// and the device id (the value of kGlobalMidiChannel).
struct SysExAddress
{
  int model = 0;
  int deviceId = 15;
};

// 0x24 for model 0, 0x22 for model 1, 0x23 (the six-part model) for any other value.
uint8_t SysExModelByte(int model);
// The device id as it may travel: 0 .. 127.
uint8_t SysExDeviceIdByte(int deviceId);
// Whole size of a message of this type, F0 and F7 included; 0 for a type we do not know.
size_t SysExMessageSize(uint8_t type);

// Writes the eight header bytes into `message`, which must hold at least kSysExHeaderSize bytes.
void WriteSysExHeader(uint8_t* message, uint8_t type, const SysExAddress& address);
// A message of the type's full size: header, zero payload, F7. Empty for an unknown type.
std::vector<uint8_t> BuildSysExMessage(uint8_t type, const SysExAddress& address);

std::vector<uint8_t> BuildEditBufferRequest(const SysExAddress& address);
// Bank code: performance bank n (0-3) is n + 1, program bank n (0-7) is n + 5. Slot 0 - 127.
std::vector<uint8_t> BuildMemoryRequest(const SysExAddress& address, int bankCode, int slot);
std::vector<uint8_t> BuildDeviceIdRequest(const SysExAddress& address);

// The message without its F0 and F7 (as the request jobs hand it to the device send, which frames it).
std::vector<uint8_t> WithoutSysExFraming(const std::vector<uint8_t>& message);
