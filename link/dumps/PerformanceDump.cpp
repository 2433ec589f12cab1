#include "link/dumps/PerformanceDump.h"

#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/ParameterIds.h"
#include "link/dumps/DumpForms.h"
#include "link/dumps/DumpParameters.h"
#include "link/dumps/SysExCodec.h"

#include <algorithm>

namespace
{
using enum DumpLock;

constexpr DumpField Inverted(DumpField f)
{
  return Special(f, DumpSpecial::Inverted);
}

constexpr DumpField kCommonFields[] = {
    // Byte 24: part 8 on (inverted), then the five switches of the multi.
    Single(Inverted(DumpBits(24, kMultiPartStatus + 7, 6, 1, None))),
    Single(DumpBits(24, kMultiLargeCase24Param6, 5, 1, None)),
    Single(DumpBits(24, kMultiLargeCase24Param5, 4, 1, None)),
    Single(DumpBits(24, kMultiLargeCase24Param4, 3, 1, None)),
    Single(DumpBits(24, kMultiLargeCase24Param3, 2, 1, None)),
    Single(DumpBits(24, kMultiLargeCase24Param1, 0, 2, None)),
    Single(DumpByte(25, kGlobalTempo, None)),
    Single(DumpByte(26, kQuickTab, None)),
    // Byte 27: bit p is part p + 1 off.
    Single(Inverted(DumpBits(27, kMultiPartStatus + 6, 6, 1, None))),
    Single(Inverted(DumpBits(27, kMultiPartStatus + 5, 5, 1, None))),
    Single(Inverted(DumpBits(27, kMultiPartStatus + 4, 4, 1, None))),
    Single(Inverted(DumpBits(27, kMultiPartStatus + 3, 3, 1, None))),
    Single(Inverted(DumpBits(27, kMultiPartStatus + 2, 2, 1, None))),
    Single(Inverted(DumpBits(27, kMultiPartStatus + 1, 1, 1, None))),
    Single(Inverted(DumpBits(27, kMultiPartStatus + 0, 0, 1, None))),
};

constexpr DumpField kPartFields[] = {
    DumpByte(0, kMultiPartPatch, None),
    DumpByte(1, kMultiPartBank, None, 5),
    Special(DumpByte(2, kMultiPartMIDICh, None), DumpSpecial::PartChannel),
    DumpByte(3, kMultiPartOutput, MultiOutputs, 98),
    Special(DumpByte(4, kMultiPartSustain, None), DumpSpecial::SustainCode),
    DumpByte(5, kMultiPartTranspose, None, 40),
    DumpByte(6, kMultiPartDetune, None),
    DumpByte(7, kMultiPartVeloCurve, None, 80),
    DumpByte(8, kMultiPartKeyLow, None),
    DumpByte(9, kMultiPartKeyHigh, None),
    DumpBits(10, kMultiPartEffectsUsed, 6, 1, None),
    DumpBits(10, kMultiPartExpressionPdl, 5, 1, None),
    Inverted(DumpBits(10, kMultiArpSwitch, 4, 1, None)),
    DumpBits(10, kMultiPartControlChange, 3, 1, None),
    DumpBits(10, kMultiPartProgramChange, 2, 1, None),
    DumpBits(10, kMultiPartPolyphony, 0, 2, None),
    DumpByte(11, kMultiPartLevel, None),
    DumpByte(12, kFXMultiDistortionOverdrive, None),
    DumpByte(13, kFXMultiDistortionOverdriveMW, None),
    DumpByte(14, kFXMultiEQBass, None),
    DumpByte(15, kFXMultiEQTreble, None),
    DumpByte(16, kFXMultiCombFilterFrequency, None),
    DumpByte(17, kFXMultiCombFilterBoost, None),
    DumpByte(18, kFXMultiPanDryLevel, None),
    DumpByte(19, kFXMultiPanPosition, None),
    DumpByte(20, kFXMultiPanSpeed, None),
    DumpByte(21, kFXMultiPanDepth, None),
    DumpByte(22, kFXMultiPanType, None, 55),
    DumpByte(23, kFXMultiReverbSend, None),
    DumpByte(24, kFXMultiReverbMWheel, None),
    DumpByte(25, kFXMultiReverbDecay, None),
    DumpByte(26, kFXMultiReverbHFDamp, None),
    DumpBits(27, kFXMultiReverbRoom, 3, 4, None),
    DumpBits(27, kFXMultiReverbEarlyRef, 0, 3, None),
    DumpByte(28, kFXMultiChorusSend, None),
    DumpByte(29, kFXMultiChorusMWheel, None),
    DumpByte(30, kFXMultiChorusSpeed1, None),
    DumpByte(31, kFXMultiChorusModDepth, None),
    DumpByte(32, kFXMultiChorusFeedback, None),
    // Byte 33 holds 32 plus its fields; its bit 3 stays 0.
    DumpBits(33, kFXMultiPassToFXConfig, 5, 2, None, 0, 32),
    DumpBits(33, kFXMultiPanWithFX, 4, 1, None, 0, 32),
    DumpBits(33, kFXMultiPassToFXAudio, 2, 1, None, 0, 32),
    Special(DumpBits(33, kFXMultiChorusType, 0, 2, None, 0, 32), DumpSpecial::ChorusTypeBits),
    DumpByte(34, kFXMultiDelaySend, None),
    DumpByte(35, kFXMultiDelayMWheel, None),
    DumpByte(36, kFXMultiDelayTime, None),
    DumpByte(37, kFXMultiDelayFeedback, None),
    DumpByte(38, kFXMultiDelayHFDamp, None),
    DumpByte(39, kFXMultiDelayRatio, None, 96),
    DumpByte(40, kFXMultiDelayStereoWidth, None),
    DumpByte(41, kFXMultiDelaySync, None),
    DumpByte(42, kFXMultiRoutingConfig, None),
    DumpByte(43, kFXMultiCMorph, None),
};

constexpr DumpField kVocoderFields[] = {
    Single(DumpByte(8, kMultiSmallCase08, None)),
    Single(DumpByte(9, kMultiVocoderInput, MultiVocoder, 18)),
    Single(DumpByte(10, kMultiVocoderInsert, MultiVocoder, 28)),
    Single(DumpByte(11, kMultiVocoderWidth, MultiVocoder, 111)),
    Single(DumpByte(12, kMultiVocoderBalance, MultiVocoder)),
    Single(DumpByte(13, kMultiSmallCase13, None)),
    Single(DumpByte(14, kMultiVocoderSibilanceLevel, MultiVocoder, 96)),
    Single(DumpByte(15, kMultiVocoderSibilanceType, MultiVocoder)),
};

// Field 0 is the bypass alone: passing it through the chorus rule of field 1 would turn a bypassed
// part's chorus into type 3.
constexpr DumpField kPartsFields[] = {
    DumpByte(0, kFXMultiBypass, None),
    Special(DumpByte(1, kFXMultiChorusType, None), DumpSpecial::ChorusExtended, kFXMultiChorusType2),
    DumpByte(2, kFXMultiDistortionOPLevel, None),
    DumpByte(3, kFXMultiDistortionGainComp, None),
    DumpByte(4, kFXMultiDistortionCurve, None),
    DumpByte(5, kFXMultiCombFilterBoostWH, None),
    DumpByte(6, kFXMultiCombFilterFreqWH, None),
    DumpByte(7, kFXMultiCombFilterSpread, None),
    DumpByte(8, kFXMultiCombFilterSpeed, None),
    DumpByte(9, kFXMultiCombFilterDepth, None),
    DumpByte(10, kFXMultiChorusDelay, None),
    DumpByte(11, kFXMultiChorusLFOWave, None),
    DumpByte(12, kFXMultiChorusStereoWidth, None),
    DumpByte(13, kFXMultiChorusSpeed2, None),
    DumpByte(14, kFXMultiChorusInertia, None),
    DumpByte(16, kFXMultiPanSync, None),
    DumpByte(17, kFXMultiChorusSync, None),
    DumpByte(18, kFXMultiCombFilterSync, None),
    Inverted(DumpBits(33, kMultiArpSource, 6, 1, None)),
    DumpBits(33, kMultiPartPedalBreath, 3, 1, None),
    DumpBits(33, kMultiPartSwitch3, 2, 1, None),
    DumpBits(33, kMultiPartSwitch2, 1, 1, None),
    DumpBits(33, kMultiPartSwitch1, 0, 1, None),
    DumpByte(34, kMultiArpBank, None, 76),
    DumpByte(35, kMultiArpProgram, None),
    DumpByte(36, kMultiPartSwitch1Mode, None),
    DumpByte(37, kMultiPartSwitch3Mode, None),
};

// The initial performance. Per-part entries hold for every part; everything not listed is 0.
struct InitValue
{
  int param;
  int value;
  bool perPart;
};
constexpr InitValue kInitValues[] = {
    {kMultiPartStatus, 1, false}, // part 1 on, the others off
    {kGlobalTempo, 120, false},     {kMultiPartTranspose, 24, true},  {kMultiPartDetune, 64, true},
    {kMultiPartKeyHigh, 127, true}, {kMultiPartLevel, 127, true},     {kFXMultiEQBass, 64, true},
    {kFXMultiEQTreble, 64, true},   {kFXMultiPanDryLevel, 127, true}, {kFXMultiPanPosition, 64, true},
};

double InitValueOf(int index)
{
  for (const InitValue& v : kInitValues)
    if (index == v.param || (v.perPart && index > v.param && index < v.param + kPartCount)) return v.value;
  return 0;
}

DumpStatus Check(const uint8_t* message, size_t size, uint8_t type, size_t wanted, DumpResult& result)
{
  if (!IsDumpOfType(message, size, type)) return DumpStatus::NotThisType;
  if (size != wanted)
  {
    result.statusText =
        size < wanted ? "Incomplete performance dump ignored!" : "Performance dump of wrong length ignored!";
    return DumpStatus::Refused;
  }
  return DumpStatus::Taken;
}

std::vector<uint8_t> BuildCommon(const SysExAddress& address, const std::string& name, auto&& valueOf)
{
  std::vector<uint8_t> message = BuildSysExMessage(kSysExPerformanceEditBuffer, address);
  WriteDumpName(name, message.data() + kPerformanceNameOffset);
  WriteDumpFields(kCommonFields, message.data(), message.size(), 0, 0, valueOf);
  for (int part = 0; part < kPartCount; ++part)
    WriteDumpFields(kPartFields, message.data(), message.size(),
                    kPerformancePartBlock + kPerformancePartStride * size_t(part), part, valueOf);
  return message;
}

std::vector<uint8_t> BuildVocoder(const SysExAddress& address, auto&& valueOf)
{
  std::vector<uint8_t> message = BuildSysExMessage(kSysExPerformanceEditBuffer2, address);
  WriteDumpFields(kVocoderFields, message.data(), message.size(), 0, 0, valueOf);
  return message;
}

std::vector<uint8_t> BuildParts(const SysExAddress& address, auto&& valueOf)
{
  std::vector<uint8_t> message = BuildSysExMessage(kSysExPerformanceEditParts, address);
  for (int part = 0; part < kPartCount; ++part)
    WriteDumpFields(kPartsFields, message.data(), message.size(),
                    kPerformancePartsBlock + kPerformancePartsStride * size_t(part), part, valueOf);
  return message;
}
} // namespace

std::span<const DumpField> PerformanceCommonFields()
{
  return kCommonFields;
}
std::span<const DumpField> PerformancePartFields()
{
  return kPartFields;
}
std::span<const DumpField> PerformanceVocoderFields()
{
  return kVocoderFields;
}
std::span<const DumpField> PerformancePartsFields()
{
  return kPartsFields;
}

DumpResult ParsePerformanceCommon(IEffectBase& plug, const uint8_t* message, size_t size,
                                  const DumpContext& context)
{
  DumpResult result;
  result.status = Check(message, size, kSysExPerformanceEditBuffer, kPerformanceCommonSize, result);
  if (!result.Taken()) return result;

  return WithParameterLock(
      plug,
      [&]
      {
        DumpParameters parameters(plug);
        AppendNameChars(message, size, int(kPerformanceNameOffset),
                        int(kPerformanceNameOffset + kDumpNameChars), result.name);
        parameters.SetText(kMultiName, result.name);

        DumpReadState state;
        state.locks = ReadDumpLocks(parameters, 0);
        state.partChannels = context.partChannels;
        result.outputsLocked = (state.locks & (1u << unsigned(DumpLock::MultiOutputs))) != 0;
        ReadDumpFields(kCommonFields, message, size, 0, 0, state, parameters);
        for (int part = 0; part < kPartCount; ++part)
          ReadDumpFields(kPartFields, message, size,
                         kPerformancePartBlock + kPerformancePartStride * size_t(part), part, state,
                         parameters);

        const int selected = std::clamp(parameters.IntValue(kQuickTab), 0, kPartCount - 1);
        result.selectedPart = selected;
        result.showsSelectedPart = true;
        result.progressText = parameters.Text(kPatchName + selected);
        result.infoText = CategoryText(context.categoryNames, parameters.IntValue(kCategoryName + selected));
        return result;
      });
}

DumpResult ParsePerformanceType1B(IEffectBase& plug, const uint8_t* message, size_t size, const DumpContext&)
{
  DumpResult result;
  result.status = Check(message, size, kSysExPerformanceEditBuffer2, kPerformanceVocoderSize, result);
  if (!result.Taken()) return result;

  return WithParameterLock(plug,
                           [&]
                           {
                             DumpParameters parameters(plug);
                             DumpReadState state;
                             state.locks = ReadDumpLocks(parameters, 0);
                             ReadDumpFields(kVocoderFields, message, size, 0, 0, state, parameters);
                             return result;
                           });
}

DumpResult ParsePerformanceParts(IEffectBase& plug, const uint8_t* message, size_t size, const DumpContext&)
{
  DumpResult result;
  result.status = Check(message, size, kSysExPerformanceEditParts, kPerformancePartsSize, result);
  if (!result.Taken()) return result;

  return WithParameterLock(plug,
                           [&]
                           {
                             DumpParameters parameters(plug);
                             const DumpReadState state;
                             for (int part = 0; part < kPartCount; ++part)
                               ReadDumpFields(kPartsFields, message, size,
                                              kPerformancePartsBlock + kPerformancePartsStride * size_t(part),
                                              part, state, parameters);
                             return result;
                           });
}

std::string PerformanceDumpName(const std::vector<uint8_t>& common)
{
  std::string name;
  if (common.size() >= kPerformanceNameOffset + kDumpNameChars)
    AppendNameChars(common.data(), common.size(), int(kPerformanceNameOffset),
                    int(kPerformanceNameOffset + kDumpNameChars), name);
  return name;
}

std::vector<uint8_t> BuildPerformanceCommon(IEffectBase& plug, const SysExAddress& address,
                                            const std::vector<uint8_t>* received)
{
  std::vector<uint8_t> message =
      WithParameterLock(plug,
                        [&]
                        {
                          DumpParameters parameters(plug);
                          return BuildCommon(address, parameters.Text(kMultiName),
                                             [&](int index) { return parameters.Value(index); });
                        });
  std::vector<uint8_t> masks(kPerformanceNameOffset + kDumpNameChars, 0x7F); // the name
  MarkWrittenBits(kCommonFields, 0, masks);
  for (int part = 0; part < kPartCount; ++part)
    MarkWrittenBits(kPartFields, kPerformancePartBlock + kPerformancePartStride * size_t(part), masks);
  KeepReceivedBits(message, received, masks);
  return message;
}

std::vector<uint8_t> BuildPerformanceType1B(IEffectBase& plug, const SysExAddress& address,
                                            const std::vector<uint8_t>* received)
{
  std::vector<uint8_t> message =
      WithParameterLock(plug,
                        [&]
                        {
                          DumpParameters parameters(plug);
                          return BuildVocoder(address, [&](int index) { return parameters.Value(index); });
                        });
  std::vector<uint8_t> masks;
  MarkWrittenBits(kVocoderFields, 0, masks);
  KeepReceivedBits(message, received, masks);
  return message;
}

std::vector<uint8_t> BuildPerformanceParts(IEffectBase& plug, const SysExAddress& address,
                                           const std::vector<uint8_t>* received)
{
  std::vector<uint8_t> message =
      WithParameterLock(plug,
                        [&]
                        {
                          DumpParameters parameters(plug);
                          return BuildParts(address, [&](int index) { return parameters.Value(index); });
                        });
  std::vector<uint8_t> masks;
  for (int part = 0; part < kPartCount; ++part)
    MarkWrittenBits(kPartsFields, kPerformancePartsBlock + kPerformancePartsStride * size_t(part), masks);
  KeepReceivedBits(message, received, masks);
  return message;
}

std::vector<std::vector<uint8_t>> BuildPerformanceForSlot(IEffectBase& plug, const SysExAddress& address,
                                                          int bankCode, int slot,
                                                          const std::vector<std::vector<uint8_t>>* received)
{
  auto receivedAt = [&](size_t i) { return received && received->size() > i ? &(*received)[i] : nullptr; };
  std::vector<std::vector<uint8_t>> messages =
      WithParameterLock(plug,
                        [&]
                        {
                          return std::vector{BuildPerformanceCommon(plug, address, receivedAt(0)),
                                             BuildPerformanceType1B(plug, address, receivedAt(1)),
                                             BuildPerformanceParts(plug, address, receivedAt(2))};
                        });
  for (std::vector<uint8_t>& message : messages)
    ToMemoryDump(message, DumpKind::Performance, slot, bankCode);
  return messages;
}

std::vector<std::vector<uint8_t>> BuildInitPerformance(const SysExAddress& address, int bankCode, int slot)
{
  std::vector<std::vector<uint8_t>> messages = {BuildCommon(address, "Init Perf", InitValueOf),
                                                BuildVocoder(address, InitValueOf),
                                                BuildParts(address, InitValueOf)};
  for (std::vector<uint8_t>& message : messages)
    ToMemoryDump(message, DumpKind::Performance, slot, bankCode);
  return messages;
}
