#include "link/dumps/SysExFrame.h"

#include <algorithm>

namespace
{
uint8_t DataByte(int value)
{
  return static_cast<uint8_t>(std::clamp(value, 0, 0x7F));
}
} // namespace

uint8_t SysExModelByte(int model)
{
  switch (model)
  {
  case 0:
    return 0x24;
  case 1:
    return 0x22;
  default:
    return 0x23;
  }
}

uint8_t SysExDeviceIdByte(int deviceId)
{
  return DataByte(deviceId);
}

size_t SysExMessageSize(uint8_t type)
{
  switch (type)
  {
  case kSysExProgramEditBuffer:
    return 296;
  case kSysExProgramEditBuffer2:
    return 98;
  case kSysExProgramMemory:
    return 297;
  case kSysExProgramMemory2:
    return 99;
  case kSysExPerformanceEditBuffer:
    return 381;
  case kSysExPerformanceEditBuffer2:
    return 25;
  case kSysExPerformanceEditParts:
    return 473;
  case kSysExPerformanceMemory:
    return 383;
  case kSysExPerformanceMemory2:
    return 27;
  case kSysExPerformanceMemoryParts:
    return 475;
  case kSysExPatternMemory:
    return 204;
  case kSysExGlobalSettings:
    return 281;
  case kSysExGlobalSettings2:
    return 297;
  case kSysExEditBufferRequest:
  case kSysExDeviceIdRequest:
    return 9;
  case kSysExMemoryRequest:
    return 11;
  default:
    return 0;
  }
}

void WriteSysExHeader(uint8_t* message, uint8_t type, const SysExAddress& address)
{
  message[0] = 0xF0;
  message[1] = 0x00;
  message[2] = 0x20;
  message[3] = 0x29;
  message[4] = 0x01;
  message[kSysExModelOffset] = SysExModelByte(address.model);
  message[kSysExDeviceIdOffset] = SysExDeviceIdByte(address.deviceId);
  message[kSysExTypeOffset] = DataByte(type);
}

std::vector<uint8_t> BuildSysExMessage(uint8_t type, const SysExAddress& address)
{
  const size_t size = SysExMessageSize(type);
  if (size == 0) return {};
  std::vector<uint8_t> message(size, 0);
  WriteSysExHeader(message.data(), type, address);
  message.back() = 0xF7;
  return message;
}

std::vector<uint8_t> BuildEditBufferRequest(const SysExAddress& address)
{
  return BuildSysExMessage(kSysExEditBufferRequest, address);
}

std::vector<uint8_t> BuildMemoryRequest(const SysExAddress& address, int bankCode, int slot)
{
  std::vector<uint8_t> message = BuildSysExMessage(kSysExMemoryRequest, address);
  message[8] = DataByte(bankCode);
  message[9] = DataByte(slot);
  return message;
}

std::vector<uint8_t> BuildDeviceIdRequest(const SysExAddress& address)
{
  return BuildSysExMessage(kSysExDeviceIdRequest, address);
}

std::vector<uint8_t> WithoutSysExFraming(const std::vector<uint8_t>& message)
{
  size_t first = !message.empty() && message.front() == 0xF0 ? 1 : 0;
  size_t end = message.size();
  if (end > first && message.back() == 0xF7) --end;
  return std::vector<uint8_t>(message.begin() + first, message.begin() + end);
}
