#include "editor/SettledEdits.h"

#include "config/MidiMapRecord.h"
#include "framework/plugin/IEffectBase.h"
#include "framework/plugin/IParameter.h"
#include "framework/plugin/ParameterIds.h"
#include "link/dumps/GlobalDump.h"
#include "link/dumps/PerformanceDump.h"
#include "link/dumps/ProgramDump.h"

#include <span>

namespace
{
constexpr uint8_t kPerformanceCode = 9;
constexpr uint8_t kGlobalsCode = 10;

// What ParameterOutput can put on the cable for the record.
bool SendsOwnMessage(const MidiMapRecord* record)
{
  if (!record) return false;
  switch (record->kind)
  {
  case MidiMapRecord::kCc:
  case MidiMapRecord::kCcOffOn:
  case MidiMapRecord::kNrpn:
    return record->ccNumber >= 0 && record->ccNumber <= 127;
  case MidiMapRecord::kSysExPair:
  case MidiMapRecord::kSysExTable:
    return record->sysExList ? !record->messageGroups.empty() : !record->sysExMessages.empty();
  default:
    return false;
  }
}
} // namespace

SettledEdits::SettledEdits(IEffectBase& plug) : mCarrier(size_t(plug.NumParameters()), 0)
{
  // The first dump that names a parameter carries it: a part's program before the performance.
  auto mark = [&](int index, uint8_t code)
  {
    if (index < 0 || index >= int(mCarrier.size()) || mCarrier[size_t(index)] != 0) return;
    const IParameter* param = plug.ParameterAt(index);
    if (!param || SendsOwnMessage(param->MidiMap())) return;
    mCarrier[size_t(index)] = code;
  };
  auto table = [&](std::span<const DumpField> fields, int parts, auto codeOf)
  {
    for (const DumpField& field : fields)
      for (int part = 0; part < parts; ++part)
      {
        if (field.special == DumpSpecial::ReadOnly || field.special == DumpSpecial::ClearOnRead) continue;
        const int offset = field.single ? 0 : part;
        if (field.param >= 0) mark(field.param + offset, codeOf(part));
        if (field.other >= 0) mark(field.other + offset, codeOf(part));
      }
  };
  auto program = [](int part) { return uint8_t(1 + part); };
  auto performance = [](int) { return kPerformanceCode; };
  auto globals = [](int) { return kGlobalsCode; };
  table(ProgramDumpFields(), kPartCount, program);
  table(ProgramDumpBFields(), kPartCount, program);
  table(PerformanceCommonFields(), 1, performance);
  table(PerformancePartFields(), kPartCount, performance);
  table(PerformanceVocoderFields(), 1, performance);
  table(PerformancePartsFields(), kPartCount, performance);
  table(GlobalDumpAFields(), 1, globals);
  table(GlobalDumpBFields(), 1, globals);
  // A part's bank and program are chosen by program change (the change handler selects them),
  // and the device id travels in every message's frame.
  for (int part = 0; part < kPartCount; ++part)
    mCarrier[size_t(kMultiPartBank + part)] = mCarrier[size_t(kMultiPartPatch + part)] = 0;
  for (int index : {int(kMultiBank), int(kMultiPatch), int(kGlobalMidiChannel)})
    mCarrier[size_t(index)] = 0;
  // The part shown sits in the performance's selected-part byte, but choosing it selects the part on
  // the synthesizer by its own message: sending the editor's whole performance for it would
  // overwrite the synthesizer's.
  for (size_t index = 0; index < mCarrier.size(); ++index)
    if (IsViewSetting(int(index))) mCarrier[index] = 0;
}

bool SettledEdits::IsViewSetting(int index)
{
  auto within = [index](int first, int count) { return index >= first && index < first + count; };
  for (int single :
       {int(kMainTab), int(kQuickTab), int(kMultiSettings), int(kViewMIDIFilterSettings), int(kLibrarianArea),
        int(kDatatype), int(kPatchSearch), int(kCategorySelection), int(kPatchSelectionListUpper),
        int(kPatchSelectionListLower), int(kCurrentOpenPerfBankL), int(kCurrentOpenPerfBankR)})
    if (index == single) return true;
  for (int perPart : {int(kViewOscPages), int(kMatrixSelector), int(kMatrix2Selector),
                      int(kMultiPartSettings), int(kCurrentOpenPatternBankL), int(kCurrentOpenPatternBankR),
                      int(kCurrentOpenPatchBankL), int(kCurrentOpenPatchBankR)})
    if (within(perPart, kPartCount)) return true;
  return false;
}

SettledEdits::Carrier SettledEdits::CarrierOf(int index) const
{
  if (index < 0 || index >= int(mCarrier.size())) return Carrier::kNone;
  const uint8_t code = mCarrier[size_t(index)];
  return code == 0                  ? Carrier::kNone
         : code == kPerformanceCode ? Carrier::kPerformance
         : code == kGlobalsCode     ? Carrier::kGlobals
                                    : Carrier::kProgram;
}

int SettledEdits::PartOf(int index) const
{
  return CarrierOf(index) == Carrier::kProgram ? mCarrier[size_t(index)] - 1 : 0;
}

int SettledEdits::Count() const
{
  int n = 0;
  for (uint8_t code : mCarrier)
    n += code != 0;
  return n;
}

uint32_t SettledEdits::Bit(const Send& send)
{
  switch (send.carrier)
  {
  case Carrier::kProgram:
    return 1u << (send.part & 7);
  case Carrier::kPerformance:
    return kPerformanceBit;
  case Carrier::kGlobals:
    return kGlobalsBit;
  default:
    return 0;
  }
}

bool SettledEdits::Changed(int index, int64_t nowMs)
{
  const Carrier carrier = CarrierOf(index);
  if (carrier == Carrier::kNone) return false;
  mLastChangeMs = nowMs;
  mPending.fetch_or(Bit({carrier, PartOf(index)}));
  return true;
}

std::optional<SettledEdits::Send> SettledEdits::TakeSettled(int64_t nowMs)
{
  const uint32_t pending = mPending.load();
  if (pending == 0 || nowMs - mLastChangeMs.load() < kSettleMs) return std::nullopt;
  Send send;
  if (pending & 0xFF)
  {
    send.carrier = Carrier::kProgram;
    while (!(pending & (1u << send.part)))
      ++send.part;
  }
  else
    send.carrier = (pending & kPerformanceBit) ? Carrier::kPerformance : Carrier::kGlobals;
  mPending.fetch_and(~Bit(send));
  return send;
}

void SettledEdits::PutBack(const Send& send)
{
  mPending.fetch_or(Bit(send));
}
