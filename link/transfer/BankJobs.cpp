// The jobs that move whole librarian slots: loading one into the editor and the synthesizer (4),
// writing a bank of 128 into the synthesizer's memory (5), and the initial slots (15, 16, 17).
#include "link/transfer/MIDIMessageSender.h"

#include "framework/plugin/ParameterIds.h"
#include "librarian/PatchLibrarian.h"
#include "link/output/DeviceSender.h"
#include "link/dumps/PerformanceDump.h"
#include "link/dumps/ProgramDump.h"
#include "link/host/TransferHost.h"
#include "link/transfer/TransferWorker.h"

#include <algorithm>
#include <string>
#include <vector>

namespace
{
constexpr int kBankSize = 128;
constexpr size_t kPerformanceChannelByte = 30; // part p's MIDI channel at 30 + 44 p (edit form)

uint8_t MemoryType(DumpKind kind, size_t index)
{
  static constexpr uint8_t kProgram[] = {kSysExProgramMemory, kSysExProgramMemory2};
  static constexpr uint8_t kPerformance[] = {kSysExPerformanceMemory, kSysExPerformanceMemory2,
                                             kSysExPerformanceMemoryParts};
  return kind == DumpKind::Program ? kProgram[index] : kPerformance[index];
}

// One stored message as the synthesizer's memory takes it: memory form, the bank code and slot,
// grown from (or cut to) the template to its type's full size, every data byte 0..127.
std::vector<uint8_t> ForMemoryWrite(const std::vector<uint8_t>& stored, DumpKind kind, size_t index,
                                    const std::vector<std::vector<uint8_t>>& templates,
                                    const SysExAddress& address, int bankCode, int slot)
{
  std::vector<uint8_t> message = stored;
  if (kind == DumpKind::Pattern)
  {
    message.resize(kPatternDumpSize, 0);
    message[8] = 0;
  }
  else
  {
    ToMemoryDump(message, kind, slot, bankCode);
    const std::vector<uint8_t>& full = templates[index];
    if (message.size() != full.size())
    {
      std::vector<uint8_t> padded = full;
      std::copy_n(message.begin(), std::min(message.size(), full.size()) - 1, padded.begin());
      message = std::move(padded);
    }
    message[kSysExTypeOffset] = MemoryType(kind, index);
    message[8] = uint8_t(bankCode);
  }
  message[9] = uint8_t(slot);
  message[0] = 0xF0;
  message[kSysExModelOffset] = SysExModelByte(address.model);
  message[kSysExDeviceIdOffset] = SysExDeviceIdByte(address.deviceId);
  for (size_t i = 1; i + 1 < message.size(); ++i)
    message[i] = std::min<uint8_t>(message[i], 0x7F);
  message.back() = 0xF7;
  return message;
}
// Slot numbers as the librarian shows them (from 001), runs joined: "005, 041-128". A long list
// ends with the count of slots it leaves out.
std::string SlotList(const std::vector<int>& slots)
{
  constexpr size_t kMaxRuns = 4;
  const auto number = MIDIMessageSender::SlotNumber;
  std::string list;
  size_t runs = 0;
  for (size_t i = 0; i < slots.size();)
  {
    size_t end = i;
    while (end + 1 < slots.size() && slots[end + 1] == slots[end] + 1)
      ++end;
    if (runs == kMaxRuns)
    {
      list += ", ... (" + std::to_string(slots.size() - i) + " more)";
      break;
    }
    list += (runs ? ", " : "") + number(slots[i]) + (end > i ? "-" + number(slots[end]) : "");
    ++runs;
    i = end + 1;
  }
  return list;
}
} // namespace

std::string MIDIMessageSender::SlotNumber(int slot)
{
  const std::string digits = std::to_string(slot + 1);
  return std::string(digits.size() < 3 ? 3 - digits.size() : 0, '0') + digits;
}

DumpKind MIDIMessageSender::CurrentKind() const
{
  return mState.patternMode       ? DumpKind::Pattern
         : mState.performanceMode ? DumpKind::Performance
                                  : DumpKind::Program;
}

void MIDIMessageSender::WriteBank()
{
  BusyScope busy(mTransferHost);
  DeviceSender sender(mHost);
  // All Notes Off on channel 1: nothing hangs while the memory is rewritten.
  sender.SendMidiToHardware(IMidiMessage{.offset = 0, .status = 0xB0, .data1 = 0x7B, .data2 = 0x00});
  if (!Sleep(50))
  {
    mHost.SetStatusText("Data write CANCELLED!");
    return;
  }
  PatchLibrarian* librarian = mHost.Librarian();
  if (!librarian) return;
  const int side = job.side == 0 ? PatchLibrarian::kLeft : PatchLibrarian::kRight;
  std::atomic<int32_t>& selected =
      side == PatchLibrarian::kLeft ? librarian->selectedLeftSlot : librarian->selectedRightSlot;
  {
    auto lock = librarian->Lock();
    if (!librarian->Bank(side)) return;
  }
  const DumpKind kind = CurrentKind();
  const int bankCode = kind == DumpKind::Program       ? job.bank + 5
                       : kind == DumpKind::Performance ? job.bank + 1
                                                       : 0;
  const SysExAddress address = Address();
  const std::vector<std::vector<uint8_t>> templates =
      kind == DumpKind::Program       ? BuildInitProgram(address, bankCode, 0)
      : kind == DumpKind::Performance ? BuildInitPerformance(address, bankCode, 0)
                                      : std::vector<std::vector<uint8_t>>{};
  const int delay = Delay();
  const size_t count = size_t(SlotMessageCount(kind));

  bool going = true;
  int written = 0;
  std::vector<int> skipped;
  for (int n = 0; n < kBankSize && going; ++n)
  {
    selected = n;
    LibrarianSlot slot;
    if (librarian->CopySlot(side, n, &slot) && !slot.IsEmpty())
    {
      for (size_t i = 0; i < std::min(count, slot.messages.size()) && going; ++i)
        going = SendPaced(ForMemoryWrite(slot.messages[i], kind, i, templates, address, bankCode, n), delay);
      if (going) ++written;
    }
    else
    {
      skipped.push_back(n);
    }
    // A cancel stops the write at once: the synthesizer's memory keeps what it had.
    if (!going) break;
    mHost.SetStatusText("Writing " + std::to_string(int(n / 1.28)) + "%, please wait..");
    mTransferHost.SetPartTexts("", "Processed " + std::to_string(n) + "/127");
  }
  selected = 0;
  if (!going)
  {
    mHost.SetStatusText("Data write CANCELLED!");
  }
  else if (skipped.empty())
  {
    mHost.SetStatusText("Data write completed!");
  }
  else
  {
    // Empty slots (never received, or left empty) are not written: the synthesizer keeps what
    // those slots held, and the user is told which they are rather than that all were written.
    mHost.SetStatusText("Data write completed: " + std::to_string(written) + " of " +
                        std::to_string(kBankSize) + " slots written");
    mTransferHost.SetPartTexts("", "Skipped empty: " + SlotList(skipped));
  }
}

void MIDIMessageSender::LoadSlot()
{
  if (job.slotFromBank && !DeviceSender(mHost).TakeLibrarianSlot(int(job.slot.number), job.side, job.slot))
  {
    // An empty slot sends nothing, and the reception its program change opened is closed again.
    mHost.CancelEditBufferReceive();
    mState.pendingRequestId = -1;
    mWorker.sendBusy = 0;
    return;
  }
  BusyScope busy(mTransferHost);
  const DumpKind kind = CurrentKind();
  const int part = job.partOrSlot;
  const SysExAddress address = Address();

  mWorker.ArmReceive(false);
  bool going = true;
  for (size_t i = 0; i < job.slot.messages.size() && going; ++i)
  {
    std::vector<uint8_t> message = job.slot.messages[i];
    if (kind == DumpKind::Pattern && message.size() > kPatternSlotByte)
      message[kPatternSlotByte] = uint8_t(job.slot.number);
    // A message that is no whole message of the kind is not offered to the parsers.
    if (!ToEditForm(message, kind, part)) continue;
    message[kSysExModelOffset] = SysExModelByte(address.model);
    message[kSysExDeviceIdOffset] = SysExDeviceIdByte(address.deviceId);
    if (kind == DumpKind::Performance && message[kSysExTypeOffset] == kSysExPerformanceEditBuffer)
    {
      // The parts listen on their own channels while the editor holds this performance.
      for (int p = 0; p < 8; ++p)
      {
        const size_t at = kPerformanceChannelByte + kPerformancePartStride * size_t(p);
        if (at >= message.size()) break;
        mHost.SetParamInEditor(kMultiPartMIDICh + p, p);
        message[at] = uint8_t(p);
      }
    }
    mWorker.slotLoad = 1;
    mState.transferBusy = 0;
    mWorker.ReceiveSysExMessage(message.data(), message.size(), true);
    going = Sleep(100);
  }

  if (going && kind == DumpKind::Performance)
  {
    mState.sendGlobalsFirst = 0;
    mState.sendPartsFirst = 0;
    SendPerformance(false);
    going = !Cancelled() && Sleep(500);
    if (going && job.reselectParts && DeviceSender(mHost).ReselectPerformanceParts())
    {
      SendPerformance(false);
      if (Sleep(1000))
      {
        job.toEditorFlag = true;
        RequestEditBuffer();
      }
    }
  }
  else if (going && kind == DumpKind::Program)
  {
    mState.transferBusy = 1;
    mWorker.editBufferPolling = 0;
    SendPartProgram(part, false);
  }
  mWorker.editBufferReceive = 0;
  mWorker.slotLoad = 0;
  mState.transferBusy = 0;
  mWorker.sendBusy = 0;
}

void MIDIMessageSender::SendInitSlot(DumpKind kind)
{
  BusyScope busy(mTransferHost);
  if (job.initTarget && !mState.uiUpdate) return;
  PatchLibrarian* librarian = mHost.Librarian();
  const int slot = librarian ? librarian->selectedLeftSlot.load() : 0;
  const SysExAddress address = Address();
  switch (kind)
  {
  case DumpKind::Performance:
    InjectSlot(BuildInitPerformance(address, DefaultBankCode(kind), slot));
    break;
  case DumpKind::Program:
    InjectSlot(BuildInitProgram(address, mHost.IntParam(kRequestFromBank) + 5, slot));
    break;
  case DumpKind::Pattern:
    InjectSlot({BuildInitPattern(address, slot)});
    break;
  }
}
