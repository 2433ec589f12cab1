// libFuzzer target for the dump parsers and form conversions: any bytes, handed to every parser
// as one message, must never crash or read past the message, and every parameter a parser sets
// stays inside its range. Whatever is built afterwards holds data bytes below 0x80 only.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/dumps/DumpForms.h"
#include "link/transfer/TransferBuffer.h"
#include "tests/support/DumpTestPlug.h"

namespace
{
DumpTestPlug& Plug()
{
  static DumpTestPlug* plug = new DumpTestPlug;
  return *plug;
}

void Require(bool condition)
{
  if (!condition) std::abort();
}

void CheckRanges(DumpTestPlug& plug)
{
  for (int i = 0; i < plug.NumParameters(); ++i)
  {
    const IParameter* p = plug.ParameterAt(i);
    Require(std::isfinite(p->Value()) && p->Value() >= p->Min() && p->Value() <= p->Max());
  }
}

void CheckBuilt(const std::vector<uint8_t>& m)
{
  Require(m.size() > 9 && m.front() == 0xF0 && m.back() == 0xF7);
  for (size_t i = 1; i + 1 < m.size(); ++i)
    Require(m[i] < 0x80);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
  if (size > 4096) return 0;
  DumpTestPlug& plug = Plug();
  // An exact-size copy, so that a read past the message is a read past the allocation.
  const std::vector<uint8_t> message(data, data + size);
  const uint8_t* bytes = message.empty() ? nullptr : message.data();
  static const std::vector<std::string> categories{"None", "Bass", "Lead"};
  const DumpContext context{size ? data[0] % 9 : 0, size > 1 && (data[1] & 1), &categories};

  using Parser = DumpResult (*)(IEffectBase&, const uint8_t*, size_t, const DumpContext&);
  for (Parser parse : {ParseProgramDump, ParseProgramDumpB, ParsePerformanceCommon, ParsePerformanceType1B,
                       ParsePerformanceParts, ParseGlobalDumpA, ParseGlobalDumpB})
  {
    const DumpResult r = parse(plug, bytes, message.size(), context);
    Require(r.Taken() || (r.status == DumpStatus::Refused) != r.statusText.empty());
  }
  CheckRanges(plug);

  const SysExAddress address{size > 2 ? data[2] : 0, size > 3 ? data[3] : 15};
  for (int part = 0; part < kPartCount; ++part)
  {
    CheckBuilt(BuildProgramDump(plug, part, address));
    CheckBuilt(BuildProgramDumpB(plug, part, address));
  }
  CheckBuilt(BuildPerformanceCommon(plug, address));
  CheckBuilt(BuildPerformanceType1B(plug, address));
  CheckBuilt(BuildPerformanceParts(plug, address));
  CheckBuilt(BuildGlobalDumpA(plug, address, &message));
  CheckBuilt(BuildGlobalDumpB(plug, address, &message));

  for (DumpKind kind : {DumpKind::Program, DumpKind::Performance, DumpKind::Pattern})
  {
    std::vector<uint8_t> memory = message;
    if (ToMemoryDump(memory, kind, size > 4 ? data[4] : 0, size > 5 ? data[5] - 1 : -1))
    {
      const int index = SlotMessageIndex(kind, memory.data(), memory.size());
      Require(IsStoredSlotMessage(kind, index, memory.data(), memory.size()));
      std::vector<uint8_t> edit = memory;
      Require(ToEditForm(edit, kind, 3));
    }
    else
      Require(memory == message);

    // A slot collector armed for each kind takes the message into its place, or refuses it.
    TransferBuffer record(kind);
    record.Arm(size > 6 ? data[6] : 0);
    const TransferBuffer::Collected c = record.Collect(bytes, message.size());
    Require((c == TransferBuffer::Collected::Refused) == record.Slot().messages.empty());
    for (const std::vector<uint8_t>& stored : record.Slot().messages)
      Require(IsStoredSlotMessage(kind, SlotMessageIndex(kind, bytes, message.size()), stored.data(),
                                  stored.size()));
  }
  return 0;
}
