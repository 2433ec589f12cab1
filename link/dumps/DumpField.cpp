#include "link/dumps/DumpField.h"

#include "framework/plugin/ParameterRange.h"
#include "framework/plugin/ParameterIds.h"
#include "link/dumps/DumpParameters.h"
#include "link/dumps/SysExCodec.h"

#include <algorithm>
#include <cmath>

namespace
{
// Breath-sensing codes 0 - 10 and the byte that carries each (code 5 travels as 0).
constexpr int kBreathBytes[11] = {48, 56, 64, 72, 80, 0, 8, 16, 24, 32, 40};

int Mask(const DumpField& field)
{
  return (1 << field.width) - 1;
}

// The largest field value that still keeps the byte, bias included, below 0x80.
int FieldMax(const DumpField& field)
{
  return std::min(Mask(field), (0x7F - field.bias) >> field.shift);
}

// A parameter's value as the field's integer: rounded, as every integer setting is read.
int Rounded(double value)
{
  if (!(value > -1e6 && value < 1e6)) return value > 0 ? 1000000 : (value < 0 ? -1000000 : 0);
  return NearestWhole(value);
}

// The largest multiple of 8 up to 80 that the byte reaches (0 below 8).
int BreathThreshold(uint8_t byte)
{
  return std::min(int(byte) / 8, 10) * 8;
}

int BreathCode(uint8_t byte)
{
  const int threshold = BreathThreshold(byte);
  for (int code = 0; code < 11; ++code)
    if (kBreathBytes[code] == threshold) return code;
  return 5;
}
} // namespace

int DumpLockParameter(DumpLock lock, int part)
{
  static constexpr int kSwitches[] = {
      -1,
      kSectionLockOsc1,
      kSectionLockOsc2,
      kSectionLockOsc3,
      kSectionLockMixer,
      kSectionLockVoice,
      kSectionLockFilter,
      kSectionLockEnv1,
      kSectionLockEnv2,
      kSectionLockEnv3,
      kSectionLockLFO1,
      kSectionLockLFO2,
      kSectionLockArp,
      kSectionLockVocoder,
      kSectionLockFXDistortion,
      kSectionLockFXEQ,
      kSectionLockFXCombFilter,
      kSectionLockFXPanning,
      kSectionLockFXReverb,
      kSectionLockFXChorus,
      kSectionLockFXDelay,
  };
  static_assert(std::size(kSwitches) == size_t(DumpLock::MultiOutputs));
  if (lock == DumpLock::MultiOutputs) return kSectionLockMultiOutputs;
  if (lock == DumpLock::MultiVocoder) return kSectionLockVocoder;
  const size_t i = size_t(lock);
  if (i == 0 || i >= std::size(kSwitches)) return -1;
  return kSwitches[i] + std::clamp(part, 0, kPartCount - 1);
}

uint32_t ReadDumpLocks(const DumpParameters& parameters, int part)
{
  uint32_t locks = 0;
  for (int lock = 1; lock < int(DumpLock::Count); ++lock)
    if (parameters.IsOn(DumpLockParameter(DumpLock(lock), part))) locks |= 1u << lock;
  return locks;
}

DumpDomain FieldDomain(const DumpField& field)
{
  if (field.param < 0) return {};
  switch (field.special)
  {
  case DumpSpecial::ReadOnly:
  case DumpSpecial::ChorusExtended:
  case DumpSpecial::ClearOnRead:
    return {0, 0, false};
  case DumpSpecial::Inverted:
  case DumpSpecial::Polyphony:
  case DumpSpecial::NonZero:
  case DumpSpecial::LocalControl:
  case DumpSpecial::RxProgramChange:
    return {0, 1, true};
  case DumpSpecial::ConstantOnWrite:
    return {0, 0x7F, true};
  case DumpSpecial::ChorusTypeBits:
    return {0, 4, true};
  case DumpSpecial::SustainCode:
    return {0, 13, true};
  case DumpSpecial::BreathSensing:
    return {0, 10, true};
  default:
    return {-field.add, FieldMax(field) - field.add, true};
  }
}

int EncodeField(const DumpField& field, double value)
{
  const int v = Rounded(value);
  int bits = 0;
  switch (field.special)
  {
  case DumpSpecial::ReadOnly:
  case DumpSpecial::ConstantOnWrite:
  case DumpSpecial::ClearOnRead:
    return 0;
  case DumpSpecial::Inverted:
    bits = v == 0 ? 1 : 0;
    break;
  case DumpSpecial::NonZero:
    bits = v != 0 ? 1 : 0;
    break;
  case DumpSpecial::ChorusExtended:
    bits = v == 3 ? 1 : (v == 4 ? 2 : 0);
    break;
  case DumpSpecial::SustainCode:
    bits = EncodeSustainCode(v);
    break;
  case DumpSpecial::BreathSensing:
    bits = v >= 0 && v <= 10 ? kBreathBytes[v] : 0;
    break;
  case DumpSpecial::LocalControl:
    bits = v == 0 ? 4 : 0;
    break;
  case DumpSpecial::RxProgramChange:
    bits = v != 0 ? 2 : 0;
    break;
  default:
    bits = std::clamp(v + field.add, 0, FieldMax(field));
    break;
  }
  return std::clamp(bits, 0, FieldMax(field)) << field.shift;
}

int DecodeFieldBits(const DumpField& field, uint8_t byte)
{
  const int v = std::max(0, int(byte & 0x7F) - int(field.bias));
  return (v >> field.shift) & Mask(field);
}

void ReadDumpFields(std::span<const DumpField> fields, const uint8_t* message, size_t size, size_t base,
                    int part, const DumpReadState& state, DumpParameters& parameters)
{
  for (const DumpField& field : fields)
  {
    const size_t at = base + field.at;
    if (field.param < 0 || at >= size) continue;
    if (field.lock != DumpLock::None && (state.locks & (1u << unsigned(field.lock)))) continue;
    const uint8_t byte = message[at] & 0x7F;
    const int index = FieldIndex(field, part);
    const int bits = DecodeFieldBits(field, byte);
    switch (field.special)
    {
    case DumpSpecial::Inverted:
      parameters.Set(index, bits ? 0 : 1);
      break;
    case DumpSpecial::ConstantOnWrite:
    case DumpSpecial::SustainCode:
      parameters.Set(index, field.special == DumpSpecial::SustainCode ? DecodeSustainCode(byte) : byte);
      break;
    case DumpSpecial::EnvTriggering:
    {
      const int v = bits - field.add;
      parameters.Set(index, v);
      // Bit 2 of the value is envelope 1, bit 1 envelope 2, bit 0 envelope 3; any value outside
      // 0 - 6 keeps all three on.
      const int flags[3] = {kEnvelope1Triggering, kEnvelope2Triggering, kEnvelope3Triggering};
      for (int e = 0; e < 3; ++e)
        parameters.Set(flags[e] + part, v >= 0 && v <= 6 ? (v >> (2 - e)) & 1 : 1);
      break;
    }
    case DumpSpecial::ArpOrdering:
      if (byte >= field.bias) parameters.Set(index, bits - field.add);
      break;
    case DumpSpecial::ArpFillIn:
      parameters.Set(index, byte >= field.bias ? bits - field.add : byte);
      break;
    case DumpSpecial::Polyphony:
      parameters.Set(index, (byte & 1) ? 0 : 1);
      break;
    case DumpSpecial::ChorusExtended:
      parameters.Set(field.single ? field.other : field.other + part, byte);
      if (byte == 1 || byte == 2) parameters.Set(index, byte + 2);
      break;
    case DumpSpecial::PartChannel:
      parameters.Set(index, state.partChannels ? part : bits - field.add);
      break;
    case DumpSpecial::BreathSensing:
      parameters.Set(index, BreathCode(byte));
      break;
    case DumpSpecial::LocalControl:
    {
      const int r = byte - BreathThreshold(byte);
      parameters.Set(index, r == 0 ? 1 : (r == 4 ? 0 : r));
      break;
    }
    case DumpSpecial::RxProgramChange:
      parameters.Set(index, bits != 0 ? 1 : 0);
      break;
    case DumpSpecial::ClearOnRead:
      parameters.Set(index, 0);
      break;
    default:
      parameters.Set(index, bits - field.add);
      break;
    }
  }
}

void MarkWrittenBits(std::span<const DumpField> fields, size_t base, std::vector<uint8_t>& masks)
{
  for (const DumpField& field : fields)
  {
    const size_t at = base + field.at;
    if (at >= masks.size()) masks.resize(at + 1, 0);
    uint8_t bits = 0;
    switch (field.special)
    {
    case DumpSpecial::ReadOnly:
    case DumpSpecial::ClearOnRead:
      break; // the builder writes nothing for them
    case DumpSpecial::ConstantOnWrite:
    case DumpSpecial::SustainCode:
    case DumpSpecial::BreathSensing:
    case DumpSpecial::LocalControl:
      bits = 0x7F;
      break;
    default:
      bits = field.param < 0 || field.bias != 0 ? 0x7F : uint8_t((Mask(field) << field.shift) & 0x7F);
      break;
    }
    masks[at] |= bits;
  }
}

void KeepReceivedBits(std::vector<uint8_t>& message, const std::vector<uint8_t>* received,
                      const std::vector<uint8_t>& masks)
{
  if (!received || received->size() != message.size() || message.size() < 10) return;
  for (size_t i = 1; i < 8; ++i)
    if (i != 5 && i != 6 && (*received)[i] != message[i]) return; // another kind of message
  for (size_t i = 8; i + 1 < message.size(); ++i)
  {
    const uint8_t written = i < masks.size() ? masks[i] : 0;
    message[i] = uint8_t((message[i] & written) | ((*received)[i] & ~written & 0x7F));
  }
}
