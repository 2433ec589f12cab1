#include "link/dumps/GlobalDump.h"

#include "framework/plugin/ParameterIds.h"
#include "link/dumps/DumpParameters.h"

#include <algorithm>

namespace
{
using enum DumpLock;

constexpr DumpField kFieldsA[] = {
    Single(DumpByte(6, kGlobalMidiChannel, None)),       Single(DumpByte(10, kGlobalMasterTune, None)),
    Single(DumpByte(11, kGlobalPedalSensitivity, None)), Single(DumpByte(14, kGlobalMIDIClock, None, 105)),
    Single(DumpByte(15, kGlobalMasterVolume, None)),
};

constexpr DumpField kFieldsB[] = {
    Single(DumpByte(6, kGlobalMidiChannel, None)),
    Single(Special(DumpByte(9, kGlobalBreathSensing, None), DumpSpecial::BreathSensing)),
    Single(Special(DumpByte(9, kGlobalLocalControl, None), DumpSpecial::LocalControl)),
    Single(DumpBits(10, kGlobalBreathMode, 4, 3, None)),
    Single(DumpByte(20, kGlobalPedalSw3, None, 11)),
    Single(DumpBits(22, kGlobalKnobMode, 4, 1, None)),
    Single(Special(DumpBits(22, kGlobalVelocitySensitivity, 3, 1, None), DumpSpecial::Inverted)),
    Single(DumpBits(22, kGlobalRXCC, 2, 1, None)),
    Single(Special(DumpBits(22, kGlobalRXPC, 0, 2, None), DumpSpecial::RxProgramChange)),
    Single(Special(DumpBits(22, kGlobalCase22Undefined, 0, 0, None), DumpSpecial::ClearOnRead)),
    Single(DumpBits(24, kGlobalTXAT, 3, 1, None)),
    Single(DumpBits(24, kGlobalTXCC, 2, 1, None)),
    Single(DumpBits(24, kGlobalTXPC, 1, 1, None)),
    Single(DumpBits(24, kGlobalFinderDemos, 0, 1, None)),
    Single(DumpByte(25, kGlobalInputSw1, None)),
    Single(DumpByte(26, kGlobalInputSw2, None)),
    Single(DumpByte(34, kGlobalAudioIn1Trim, None, 56)),
    Single(DumpByte(35, kGlobalAudioIn2Trim, None, 56)),
};

DumpResult Parse(IEffectBase& plug, const uint8_t* message, size_t size, uint8_t type, size_t wanted,
                 std::span<const DumpField> fields)
{
  DumpResult result;
  if (!IsGlobalDump(message, size, type)) return result;
  if (size != wanted)
  {
    result.status = DumpStatus::Refused;
    result.statusText = size < wanted ? "Incomplete global settings dump ignored!"
                                      : "Global settings dump of wrong length ignored!";
    return result;
  }
  result.status = DumpStatus::Taken;
  result.deviceId = message[6] & 0x7F;
  return WithParameterLock(plug,
                           [&]
                           {
                             DumpParameters parameters(plug);
                             ReadDumpFields(fields, message, size, 0, 0, DumpReadState{}, parameters);
                             if (type == kSysExGlobalSettings2)
                               result.localControlOn =
                                   LocalControlIsOn(parameters.IntValue(kGlobalLocalControl)) ? 1 : 0;
                             return result;
                           });
}

std::vector<uint8_t> Build(IEffectBase& plug, const SysExAddress& address, uint8_t type,
                           std::span<const DumpField> fields, const std::vector<uint8_t>* received)
{
  std::vector<uint8_t> message = BuildSysExMessage(type, address);
  WithParameterLock(plug,
                    [&]
                    {
                      DumpParameters parameters(plug);
                      WriteDumpFields(fields, message.data(), message.size(), 0, 0,
                                      [&](int index) { return parameters.Value(index); });
                      return 0;
                    });
  std::vector<uint8_t> masks;
  MarkWrittenBits(fields, 0, masks);
  KeepReceivedBits(message, received, masks);
  return message;
}
} // namespace

bool LocalControlIsOn(int value)
{
  return value == 1;
}

bool IsGlobalDump(const uint8_t* message, size_t size, uint8_t type)
{
  return message && size > 8 && message[1] == 0x00 && message[2] == 0x20 && message[3] == 0x29 &&
         message[4] == 0x01 && message[7] == type;
}

std::span<const DumpField> GlobalDumpAFields()
{
  return kFieldsA;
}
std::span<const DumpField> GlobalDumpBFields()
{
  return kFieldsB;
}

DumpResult ParseGlobalDumpA(IEffectBase& plug, const uint8_t* message, size_t size, const DumpContext&)
{
  return Parse(plug, message, size, kSysExGlobalSettings, kGlobalDumpASize, kFieldsA);
}

DumpResult ParseGlobalDumpB(IEffectBase& plug, const uint8_t* message, size_t size, const DumpContext&)
{
  return Parse(plug, message, size, kSysExGlobalSettings2, kGlobalDumpBSize, kFieldsB);
}

std::vector<uint8_t> BuildGlobalDumpA(IEffectBase& plug, const SysExAddress& address,
                                      const std::vector<uint8_t>* received)
{
  return Build(plug, address, kSysExGlobalSettings, kFieldsA, received);
}

std::vector<uint8_t> BuildGlobalDumpB(IEffectBase& plug, const SysExAddress& address,
                                      const std::vector<uint8_t>* received)
{
  return Build(plug, address, kSysExGlobalSettings2, kFieldsB, received);
}
